// mci-shell driven as a user would: a script file or standard input in, one line per command out.
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

namespace {

std::string fixture(const std::string& name) {
    const char* dir = std::getenv("ZR_TEST_FIXTURES");
    return std::string(dir ? dir : "fixtures") + "/" + name;
}

struct ShellRun {
    int exitCode = -1;
    std::string output;
};

ShellRun runShell(const std::string& arguments) {
    ShellRun run;
    FILE* pipe = popen((std::string(MCI_SHELL) + " " + arguments + " 2>/dev/null").c_str(), "r");
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
                      fixture("tone_1s_cbr_44100_stereo.mp3") +
                      " type MPEGVideo alias mp3\n"
                      "status mp3 length\n"
                      "wait 20\n"
                      "set mp3 time format tmsf\n"
                      "status mp3 time format\r\n"
                      "open " +
                      fixture("tone_1s_cbr_44100_stereo.mp3") +
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
    ScriptFile script("open " + fixture("tone_1s_cbr_48000_stereo.mp3") +
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

} // namespace
