#include "PythonHelpers.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace zr::test {
namespace {

const std::string kSupport = ZR_TEST_SUPPORT_DIR;

std::string runCapture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    return pclose(pipe) == 0 ? out : std::string();
}

} // namespace

PythonHelper::PythonHelper(const char* script, const std::vector<std::string>& arguments) {
    // A socket rather than pipes: writing to a helper that died fails instead of raising SIGPIPE.
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return;
    std::vector<std::string> words{ZR_PYTHON, kSupport + "/" + script};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(ends[1], 0);
        dup2(ends[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(ends[1]);
    socket_ = ends[0];
}

PythonHelper::~PythonHelper() {
    if (socket_ >= 0)
        shutdown(socket_, SHUT_WR);
    if (pid_ > 0) {
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(-pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (socket_ >= 0)
        close(socket_);
}

std::string PythonHelper::readLine() const {
    std::string line;
    char c = 0;
    for (;;) {
        pollfd fd{socket_, POLLIN, 0};
        // Longer than any wait of the helper's own, which gives up after 15 s.
        if (socket_ < 0 || poll(&fd, 1, 30000) <= 0 || read(socket_, &c, 1) != 1)
            return {};
        if (c == '\n')
            return line.empty() ? std::string(" ") : line;
        line += c;
    }
}

bool PythonHelper::command(const std::string& line, std::vector<std::string>* answer) const {
    const std::string text = line + "\n";
    if (socket_ < 0 ||
        send(socket_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
        return false;
    for (std::string reply = readLine(); !reply.empty(); reply = readLine()) {
        if (reply == "ok")
            return true;
        if (reply.rfind("failed: ", 0) == 0) {
            std::fprintf(stderr, "pulseserver.py %s: %s\n", line.c_str(), reply.c_str());
            return false;
        }
        if (answer)
            answer->push_back(reply);
    }
    return false;
}

bool PulseServer::installed() {
    static const bool answer =
        std::system(
            (std::string(ZR_PYTHON) + " " + kSupport + "/pulseserver.py --available").c_str()) == 0;
    return answer;
}

PulseServer::PulseServer() {
    for (std::string line = helper_.readLine(); !line.empty(); line = helper_.readLine()) {
        if (line == "ready") {
            ready_ = true;
            return;
        }
        const auto eq = line.find('=');
        if (line.rfind("failed: ", 0) == 0 || eq == std::string::npos) {
            error_ = line;
            return;
        }
        // This process's clients, SDL among them, go to this server and no other.
        const std::string name = line.substr(0, eq);
        const char* previous = std::getenv(name.c_str());
        savedEnv_.emplace_back(name, previous ? previous : std::string(1, '\0'));
        setenv(name.c_str(), line.substr(eq + 1).c_str(), 1);
    }
    error_ = "pulseserver.py ended without a server";
}

PulseServer::~PulseServer() {
    for (auto it = savedEnv_.rbegin(); it != savedEnv_.rend(); ++it) {
        if (it->second == std::string(1, '\0'))
            unsetenv(it->first.c_str());
        else
            setenv(it->first.c_str(), it->second.c_str(), 1);
    }
}

SessionBus::SessionBus() {
    const std::string line = helper_.readLine();
    if (line.rfind("unix:", 0) == 0)
        address_ = line;
}

void PulseServer::kill() {
    (void)helper_.command("stop");
}

std::string PulseServer::pactl(const std::string& args) const {
    return runCapture("pactl " + args + " 2>/dev/null");
}

std::vector<std::map<std::string, std::string>> PulseServer::sinkInputs() const {
    std::vector<std::map<std::string, std::string>> streams;
    std::vector<std::string> lines;
    if (!ready_ || !helper_.command("sink-inputs", &lines))
        return streams;
    for (const std::string& line : lines) {
        auto& stream = streams.emplace_back();
        std::istringstream fields(line);
        std::string field;
        while (std::getline(fields, field, '\t')) {
            const auto eq = field.find('=');
            if (eq != std::string::npos)
                stream[field.substr(0, eq)] = field.substr(eq + 1);
        }
    }
    return streams;
}

PulseServer::Recording::Recording(const PulseServer& server)
    : server_(server), path_((server.folder_.path() / "recording.raw").string()) {
    started_ = server_.ready_ && server_.helper_.command("record " + path_);
}

PulseServer::Recording::~Recording() {
    if (started_)
        (void)server_.helper_.command("stop-recording");
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

std::size_t PulseServer::Recording::frames() const {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    return ec ? 0 : static_cast<std::size_t>(size) / (2 * kChannels);
}

std::vector<std::int16_t> PulseServer::Recording::samples() const {
    std::ifstream in(path_, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::int16_t> out(bytes.size() / (2 * kChannels) * kChannels);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                           (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

namespace {

template <class Sample>
ToneExtent analyse(const std::vector<Sample>& samples, const char* format, int channels, long rate,
                   double threshold, long minGapFrames) {
    const TempDir dir;
    const std::string file = (dir.path() / "samples.raw").string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(samples.data()),
               static_cast<std::streamsize>(samples.size() * sizeof(Sample)));
    std::ostringstream command;
    command << ZR_PYTHON << ' ' << kSupport << "/toneanalysis.py " << file << " --format "
            << format << " --rate " << rate << " --channels " << channels << " --threshold "
            << threshold << " --min-gap-ms "
            << static_cast<double>(minGapFrames) * 1000.0 / static_cast<double>(rate);
    std::istringstream lines(runCapture(command.str()));
    ToneExtent e;
    lines >> e.start >> e.end >> e.hz;
    long first = 0;
    long length = 0;
    while (lines >> first >> length)
        e.gaps.emplace_back(first, length);
    return e;
}

} // namespace

ToneExtent analyseTone(const std::vector<std::int16_t>& samples, int channels, int threshold,
                       long minGapFrames) {
    return analyse(samples, "s16", channels, PulseServer::kRate, threshold, minGapFrames);
}

ToneExtent analyseTone(const std::vector<float>& samples, int channels, long rate,
                       float threshold, long minGapFrames) {
    return analyse(samples, "f32", channels, rate, threshold, minGapFrames);
}

} // namespace zr::test
