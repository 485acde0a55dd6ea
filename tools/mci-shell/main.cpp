// mci-shell: sends media commands to the service the player uses and prints what comes back.
// One command per line, from standard input or from the script file given as the only argument.
// Prints "<code>\t<reply>" per command. "wait N" sleeps N ms; "#" lines and empty lines are
// skipped. --buffer-frames N sets the SDL device buffer (frames per callback) for measurements.

#include "AudioSystem.h"
#include "MediaService.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
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

// With stdio rather than iostreams: a process that plays for minutes need not set up streams and
// locales it never uses (a few hundred KiB of its resident memory).
int runScript(zr::media::MediaService& service, std::FILE* in) {
    char* raw = nullptr;
    std::size_t size = 0;
    while (::getline(&raw, &size, in) >= 0) {
        const std::string line = trimmed(raw);
        if (line.empty() || line[0] == '#')
            continue;
        if (runWait(line))
            continue;
        char reply[1024] = {};
        const int code = service.send(line.c_str(), reply, sizeof reply);
        std::printf("%d\t%s\n", code, code == 0 ? reply : "");
        std::fflush(stdout);
    }
    std::free(raw);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    zr::media::AudioSystem::prepareProcess();
    zr::media::DeviceOptions options;
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--buffer-frames" && i + 1 < argc) {
            const long frames = std::strtol(argv[++i], nullptr, 10);
            if (frames < 64 || frames > 32768) {
                std::fprintf(stderr, "mci-shell: --buffer-frames wants 64..32768\n");
                return 2;
            }
            options.bufferFrames = static_cast<std::uint16_t>(frames);
        } else if (script.empty() && arg.rfind("--", 0) != 0) {
            script = arg;
        } else {
            std::fprintf(stderr, "usage: mci-shell [--buffer-frames N] [script]\n");
            return 2;
        }
    }
    // Its own service instance, with the options asked for; it closes every device on the way out.
    zr::media::MediaService service(options);
    if (script.empty())
        return runScript(service, stdin);
    std::FILE* file = std::fopen(script.c_str(), "r");
    if (!file) {
        std::fprintf(stderr, "mci-shell: cannot read %s\n", script.c_str());
        return 2;
    }
    const int status = runScript(service, file);
    std::fclose(file);
    return status;
}
