// mci-shell: sends media commands to the service the player uses and prints what comes back.
// One command per line, from standard input or from the script file given as the only argument.
// Prints "<code>\t<reply>" per command. "wait N" sleeps N ms; "#" lines and empty lines are
// skipped.

#include "MediaService.h"
#include "mWinAPI.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

std::string trimmed(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = line.find_last_not_of(" \t\r\n");
    return line.substr(first, last - first + 1);
}

bool runWait(const std::string& line) {
    if (line.rfind("wait", 0) != 0 || (line.size() > 4 && line[4] != ' ' && line[4] != '\t'))
        return false;
    const std::string arg = trimmed(line.substr(4));
    long ms = 0;
    try {
        ms = arg.empty() ? 0 : std::stol(arg);
    } catch (const std::exception&) {
        ms = 0;
    }
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
}

int runScript(std::istream& in) {
    std::string raw;
    while (std::getline(in, raw)) {
        const std::string line = trimmed(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (runWait(line))
            continue;
        char reply[1024] = {};
        const int code = mWinAPI::mciSendStringA(line.c_str(), reply, sizeof reply, nullptr);
        std::printf("%d\t%s\n", code, code == 0 ? reply : "");
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int rc = 0;
    if (argc > 2) {
        std::fprintf(stderr, "usage: mci-shell [script]\n");
        return 2;
    }
    if (argc == 2) {
        std::ifstream file(argv[1]);
        if (!file) {
            std::fprintf(stderr, "mci-shell: cannot read %s\n", argv[1]);
            return 2;
        }
        rc = runScript(file);
    } else {
        rc = runScript(std::cin);
    }
    zr::media::shutdownProcessMediaService();
    return rc;
}
