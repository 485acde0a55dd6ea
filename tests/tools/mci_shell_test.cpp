// mci-shell driven as a user would: a script file or standard input in, one line per command out.
#include "Fixtures.h"
#include "MciErrors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using zr::test::fixturePath;

struct ShellRun {
    int exitCode = -1;
    std::string output;
};

// Runs the shell through sh; stderr goes where `errors` says (default: nowhere).
ShellRun runShell(const std::string& arguments, const std::string& errors = "2>/dev/null",
                  const std::string& environment = "") {
    ShellRun run;
    FILE* pipe =
        popen((environment + " " + MCI_SHELL + " " + arguments + " " + errors).c_str(), "r");
    if (!pipe)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.output += buffer;
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class ScriptFile {
public:
    explicit ScriptFile(const std::string& text) {
        std::random_device rd;
        path_ = std::filesystem::temp_directory_path() / ("mci-shell-" + std::to_string(rd()));
        std::ofstream(path_) << text;
    }
    ~ScriptFile() { std::filesystem::remove(path_); }
    [[nodiscard]] std::string path() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

TEST(MciShell, PrintsCodeTabReplyPerCommandAndSkipsCommentsBlanksAndWaits) {
    ScriptFile script("# a comment\n"
                      "\n"
                      "open " +
                      fixturePath("tone_1s_cbr_44100_stereo.mp3") +
                      " type MPEGVideo alias mp3\n"
                      "status mp3 length\n"
                      "wait 20\n"
                      "set mp3 time format tmsf\n"
                      "status mp3 time format\r\n"
                      "open " +
                      fixturePath("tone_1s_cbr_44100_stereo.mp3") +
                      " alias mp3\n"
                      "status nothing mode\n"
                      "close all\n");
    const ShellRun run = runShell(script.path());
    EXPECT_EQ(run.exitCode, 0);
    std::ostringstream expected;
    expected << "0\t\n"
             << "0\t1000\n"
             << zr::media::kMciUnsupported << "\t\n"
             << "0\tmilliseconds\n"
             << zr::media::kMciAliasInUse << "\t\n"
             << zr::media::kMciUnknownAlias << "\t\n"
             << "0\t\n";
    EXPECT_EQ(run.output, expected.str());
}

TEST(MciShell, ReadsStandardInputAndPlaysToTheEnd) {
    ScriptFile script("open " + fixturePath("tone_1s_cbr_48000_stereo.mp3") +
                      " alias t\n"
                      "set t speed 4000\n"
                      "play t\n"
                      "wait 1000\n"
                      "status t mode\n"
                      "status t position\n");
    const ShellRun run = runShell("< " + script.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "0\t\n0\t\n0\t\n0\tstopped\n0\t1000\n");
}

TEST(MciShell, EmptyInputEndsAtOnceAndAMissingScriptIsAnError) {
    const ShellRun empty = runShell("< /dev/null");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.output, "");
    EXPECT_NE(runShell("/no/such/script.txt").exitCode, 0);
}

TEST(MciShell, WithoutASoundDeviceOrSpeedLibraryTracksStillPlayAndItSaysSoOnce) {
    ScriptFile script("open " + fixturePath("tone_1s_cbr_44100_stereo.mp3") +
                      " alias a\n"
                      "open " +
                      fixturePath("tone_1s_cbr_48000_stereo.mp3") +
                      " alias b\n"
                      "set a speed 4000\n"
                      "set b speed 4000\n"
                      "play a\n"
                      "play b\n"
                      "wait 2000\n"
                      "status a position\n"
                      "status b position\n");
    // Broken SDL and SoundTouch libraries in the loader's path stand for a machine where they are
    // missing or damaged: the loader finds them first and refuses them. Without SoundTouch the
    // tracks play at normal speed, and it says so once.
    const std::filesystem::path brokenLib =
        std::filesystem::temp_directory_path() / ("mci-shell-lib-" + std::to_string(getpid()));
    std::filesystem::create_directories(brokenLib);
    std::ofstream(brokenLib / "libSDL2-2.0.so.0") << "not a shared library\n";
    std::ofstream(brokenLib / "libSoundTouchDll.so.1") << "not a shared library\n";
    const struct {
        std::string environment;
        const char* why;
        std::size_t normalSpeedNotes;
    } machines[] = {
        // An audio driver that does not exist stands for a machine where none starts.
        {"SDL_AUDIODRIVER=no-such-driver", "no sound device", 0},
        {"SDL_AUDIODRIVER=dummy LD_LIBRARY_PATH=" + brokenLib.string(), "SDL could not be loaded",
         1},
    };
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    for (const auto& machine : machines) {
        SCOPED_TRACE(machine.environment);
        const ShellRun run = runShell(script.path(), "2>&1", machine.environment);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(count(run.output, "playing silently"), 1u) << run.output;
        EXPECT_EQ(count(run.output, "every speed plays at 1000"), machine.normalSpeedNotes)
            << run.output;
        EXPECT_NE(run.output.find(machine.why), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("0\t1000\n0\t1000\n"), std::string::npos) << run.output;
    }
    std::filesystem::remove_all(brokenLib);
}

} // namespace
