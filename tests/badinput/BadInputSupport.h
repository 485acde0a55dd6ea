#pragma once
// What the bad-input tests share: a temporary folder that is the current folder (the browser's
// root lists it), files made from the project's fixtures, a pass-through observer of the real
// media service, real input on the player window and the browser, and bounded waits.

#include "MediaChannel.h"
#include "TempDir.h"
#include "WindowDriving.h"
#include "frmExplore.h"
#include "frmMain.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace zr::badinput {

// A fresh temporary folder, made the process's current folder while the object lives.
class CurrentFolder : public test::TempDir {
public:
    CurrentFolder();
    ~CurrentFolder();

private:
    QString previous_;
};

// The bytes of a fixture made by the build (ZR_TEST_FIXTURES).
[[nodiscard]] QByteArray Fixture(const char* name);

// Hands every command to the real media service and keeps what was sent and what came back.
// Installed as the current service while it lives.
class ObservedService : public MediaEndpoint {
public:
    struct Call {
        std::string command;
        int result;
        std::string reply;
    };

    ObservedService();
    int SendString(const char* command, char* reply, unsigned replyLength) override;

    [[nodiscard]] const std::vector<Call>& Calls() const { return calls_; }
    // The file of every "open" command, in order (decoded from its URI), with its result.
    [[nodiscard]] std::vector<std::pair<QString, int>> Opens() const;

private:
    std::vector<Call> calls_;
    MediaEndpoint& next_; // the service that was current before this one
    ScopedMediaEndpoint scope_;
};

// For the benchmark only: with ZR_MCI_CALL_LOG=<file> set, main() installs one for the whole
// run; it times every command on the caller's thread and appends "<microseconds>\t<command>"
// lines to the file. Without the variable nothing is installed.
class CallTimeLog : public MediaEndpoint {
public:
    explicit CallTimeLog(const char* path);
    ~CallTimeLog() override;
    CallTimeLog(const CallTimeLog&) = delete;
    CallTimeLog& operator=(const CallTimeLog&) = delete;
    int SendString(const char* command, char* reply, unsigned replyLength) override;

private:
    std::FILE* file_;
    MediaEndpoint& next_;
    ScopedMediaEndpoint scope_;
};

// Asks the real service directly (not through the player) how its device "mp3" is doing.
[[nodiscard]] QString DeviceMode();

// Handles events until `done` holds or `timeoutMs` passes; returns whether it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

// A left click on a picture button of the player, as a user makes it.
using test::ClickButton;

// A left click on a node's text in the browser's tree.
using test::ClickNode;

// Presses Open on the player and runs a step inside the browser.
using test::WithBrowser;

// Open, click the tree's root (the current folder), Select All, Open Files, Exit: the files of
// the current folder become the playlist. Returns the names the browser listed.
QStringList AddCurrentFolder(ui::frmMain& window);

// The playlist's file names and play marks.
[[nodiscard]] QStringList PlaylistNames(ui::frmMain& window);
[[nodiscard]] bool EveryRowPlayed(ui::frmMain& window);

// Whether the player is back at rest: nothing playing, the title reads "No Track loaded.".
[[nodiscard]] bool Stopped(ui::frmMain& window);

} // namespace zr::badinput
