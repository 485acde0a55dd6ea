#include "BadInputSupport.h"

#include "ListView.h"
#include "Menu.h"
#include "mVariables.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>

namespace zr::badinput {

CurrentFolder::CurrentFolder() : previous_(QDir::currentPath()) {
    QDir::setCurrent(Path());
}

CurrentFolder::~CurrentFolder() {
    QDir::setCurrent(previous_);
}

QByteArray Fixture(const char* name) {
    const QByteArray dir = qgetenv("ZR_TEST_FIXTURES");
    QFile file(QString::fromLocal8Bit(dir) + u'/' + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return file.readAll();
}

ObservedService::ObservedService() : next_(CurrentMediaEndpoint()), scope_(*this) {}

int ObservedService::SendString(const char* command, char* reply, unsigned replyLength) {
    const int result = next_.SendString(command, reply, replyLength);
    std::string text;
    if (reply && replyLength > 0)
        text.assign(reply, strnlen(reply, replyLength));
    calls_.push_back({command, result, text});
    return result;
}

CallTimeLog::CallTimeLog(const char* path)
    : file_(std::fopen(path, "a")), next_(CurrentMediaEndpoint()), scope_(*this) {}

CallTimeLog::~CallTimeLog() {
    if (file_)
        std::fclose(file_);
}

int CallTimeLog::SendString(const char* command, char* reply, unsigned replyLength) {
    const auto start = std::chrono::steady_clock::now();
    const int result = next_.SendString(command, reply, replyLength);
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    if (file_)
        std::fprintf(file_, "%lld\t%s\n", static_cast<long long>(us), command ? command : "");
    return result;
}

std::vector<std::pair<QString, int>> ObservedService::Opens() const {
    std::vector<std::pair<QString, int>> opens;
    for (const Call& call : calls_) {
        const QString command = QString::fromStdString(call.command);
        if (!command.startsWith(QStringLiteral("open ")))
            continue;
        // "open <one word> type MPEGVideo alias mp3": the word is the file's URI.
        const QString word = command.section(u' ', 1, 1);
        const QUrl url = QUrl::fromEncoded(word.toUtf8());
        const QString file = url.isLocalFile() ? url.toLocalFile() : word;
        opens.emplace_back(QFileInfo(file).fileName(), call.result);
    }
    return opens;
}

QString DeviceMode() {
    char reply[32] = {};
    if (SystemMediaEndpoint().SendString("status mp3 mode", reply, sizeof reply) != 0)
        return {};
    return QString::fromUtf8(reply);
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(10);
    }
    return true;
}

QStringList AddCurrentFolder(ui::frmMain& window) {
    QStringList listed;
    WithBrowser(window, [&](ui::frmExplore& b) {
        ui::Node* root = b.Explorer().Nodes().Item(1);
        ASSERT_NE(root, nullptr);
        ClickNode(b.Explorer(), root);
        for (int i = 1; i <= b.FileList().ListItems().Count(); ++i)
            listed << b.FileList().ListItems().Item(i).Text();
        // Shortcuts go to the active window. The player's own activation may still be on its
        // way when the browser opens, so ask again until the browser has it.
        EXPECT_TRUE(WaitUntil(
            [&] {
                if (!b.isActiveWindow())
                    b.activateWindow();
                return b.isActiveWindow();
            },
            5000));
        QTest::keyClick(&b, Qt::Key_T, Qt::ControlModifier); // Select All
        QTest::keyClick(&b, Qt::Key_O, Qt::ControlModifier); // Open Files
        QTest::keyClick(&b, Qt::Key_X, Qt::ControlModifier); // Exit
    });
    return listed;
}

QStringList PlaylistNames(ui::frmMain& window) {
    QStringList names;
    for (int i = 1; i <= window.lstFiles.ListItems().Count(); ++i)
        names << window.lstFiles.ListItems().Item(i).SubItems(2);
    return names;
}

bool EveryRowPlayed(ui::frmMain& window) {
    for (int i = 1; i <= window.lstFiles.ListItems().Count(); ++i) {
        if (window.lstFiles.ListItems().Item(i).SubItems(3) != QStringLiteral("P"))
            return false;
    }
    return true;
}

bool Stopped(ui::frmMain& window) {
    return mVariables::IsPlaying() != mVariables::kTrue &&
           window.lblArtistA.Caption() == QStringLiteral("No Track loaded.");
}

} // namespace zr::badinput
