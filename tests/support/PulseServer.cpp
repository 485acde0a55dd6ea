#include "PulseServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zr::test {
namespace {

using namespace std::chrono_literals;

bool onPath(const char* tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t to = std::min(dirs.find(':', from), dirs.size());
        const std::string file = dirs.substr(from, to - from) + "/" + tool;
        if (access(file.c_str(), X_OK) == 0)
            return true;
        from = to + 1;
    }
    return false;
}

std::vector<std::string> currentEnvWithout(const std::vector<std::string>& prefixes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool drop = false;
        for (const auto& p : prefixes)
            drop = drop || entry.rfind(p, 0) == 0;
        if (!drop)
            env.push_back(entry);
    }
    return env;
}

template <class Pred> bool waitFor(Pred pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred())
            return true;
        std::this_thread::sleep_for(20ms);
    }
    return pred();
}

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

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::string& stdoutPath) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    const int out = open(stdoutPath.empty() ? "/dev/null" : stdoutPath.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(null, 0);
        dup2(out, 1);
        dup2(null, 2);
        execvpe(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (pid_ > 0)
        setpgid(pid_, pid_); // also here, so the group exists before anyone signals it
    if (out >= 0)
        close(out);
    if (null >= 0)
        close(null);
}

ChildProcess::~ChildProcess() {
    stop();
}

bool ChildProcess::running() {
    if (pid_ <= 0)
        return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        kill(-pid_, SIGKILL); // anything it left in its group
        pid_ = -1;
        return false;
    }
    return true;
}

void ChildProcess::stop() {
    if (pid_ <= 0)
        return;
    kill(-pid_, SIGTERM);
    int status = 0;
    bool gone = waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 3000ms);
    kill(-pid_, SIGKILL);
    if (!gone)
        waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool PulseServer::installed() {
    return onPath("pulseaudio") && onPath("pactl") && onPath("parec") && onPath("pacat");
}

PulseServer::PulseServer() {
    char pattern[] = "/tmp/zr-pulse-XXXXXX";
    if (!mkdtemp(pattern)) {
        error_ = "cannot make a temporary folder";
        return;
    }
    root_ = pattern;
    const auto runtime = root_ / "run";
    const auto home = root_ / "home";
    mkdir(runtime.c_str(), 0700);
    mkdir(home.c_str(), 0700);
    socket_ = (runtime / "pulse" / "native").string();

    auto env =
        currentEnvWithout({"PULSE_", "PIPEWIRE_", "DBUS_", "DISPLAY=", "WAYLAND_",
                           "XDG_RUNTIME_DIR=", "HOME=", "XDG_CONFIG_HOME=", "XDG_STATE_HOME="});
    env.push_back("XDG_RUNTIME_DIR=" + runtime.string());
    env.push_back("HOME=" + home.string());
    env.push_back("XDG_CONFIG_HOME=" + (home / ".config").string());
    env.push_back("XDG_STATE_HOME=" + (home / ".local/state").string());
    env.push_back("PULSE_RUNTIME_PATH=" + (runtime / "pulse").string());
    env.push_back("PULSE_STATE_PATH=" + (home / "pulse-state").string());
    env.push_back("PULSE_COOKIE=" + (home / "pulse-cookie").string());
    // -n: no default.pa, so nothing probes for hardware. As root it warns and goes on.
    server_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{
            "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
            "--use-pid-file=no", "--log-target=stderr", "-L",
            std::string("module-null-sink sink_name=") + kSink + " rate=" + std::to_string(kRate) +
                " channels=" + std::to_string(kChannels),
            "-L", "module-native-protocol-unix"},
        env);

    // This process's clients, SDL among them, go to this server and no other.
    for (const auto& entry : clientEnv()) {
        const auto eq = entry.find('=');
        setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
    ready_ = waitFor([&] { return !server_->running() || !pactl("info").empty(); }, 15000ms) &&
             server_->running();
    if (!ready_)
        error_ = "pulseaudio did not answer within 15 s";
}

PulseServer::~PulseServer() {
    server_.reset();
    unsetenv("PULSE_SERVER");
    unsetenv("PULSE_COOKIE");
    std::error_code ec;
    if (!root_.empty())
        std::filesystem::remove_all(root_, ec);
}

void PulseServer::kill() {
    if (server_)
        server_->stop();
}

std::vector<std::string> PulseServer::clientEnv() const {
    return {"PULSE_SERVER=unix:" + socket_,
            "PULSE_COOKIE=" + (root_ / "home/pulse-cookie").string()};
}

std::string PulseServer::pactl(const std::string& args) const {
    return runCapture("pactl " + args + " 2>/dev/null");
}

std::vector<std::map<std::string, std::string>> PulseServer::sinkInputs() const {
    std::vector<std::map<std::string, std::string>> streams;
    std::istringstream in(pactl("list sink-inputs"));
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Sink Input #", 0) == 0) {
            streams.emplace_back()["Sink Input"] = line.substr(12);
            continue;
        }
        const auto eq = line.find(" = ");
        if (streams.empty() || eq == std::string::npos)
            continue;
        const auto first = line.find_first_not_of(" \t");
        std::string value = line.substr(eq + 3);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        streams.back()[line.substr(first, eq - first)] = value;
    }
    return streams;
}

PulseServer::Recording::Recording(const PulseServer& server)
    : path_(server.root_ / "recording.raw") {
    const auto env = currentEnvWithout({});
    const std::string rate = "--rate=" + std::to_string(kRate);
    const std::string channels = "--channels=" + std::to_string(kChannels);
    // An idle null sink renders nothing and its monitor records nothing. Both streams ask for
    // 20 ms: a monitor stream asking for less than the sink's latency may get nothing at all.
    keepalive_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"pacat", "--playback", "--raw", "--format=s16le", rate, channels,
                                 "--latency-msec=20", "--client-name=zr-test-keepalive", "-d",
                                 kSink, "/dev/zero"},
        env);
    if (!waitFor(
            [&] { return server.pactl("list short sinks").find("RUNNING") != std::string::npos; },
            10000ms))
        return;
    parec_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"parec", "--raw", "--format=s16le", rate, channels,
                                 "--latency-msec=20", "-d", std::string(kSink) + ".monitor"},
        env, path_.string());
    started_ = waitFor([&] { return frames() > 0; }, 10000ms);
}

PulseServer::Recording::~Recording() {
    parec_.reset();
    keepalive_.reset();
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

ToneExtent analyseTone(const std::vector<std::int16_t>& samples, int channels, int threshold,
                       long minGapFrames) {
    const auto ch = static_cast<std::size_t>(channels);
    const long frames = static_cast<long>(samples.size() / ch);
    const auto loud = [&](long f) {
        for (std::size_t c = 0; c < ch; ++c)
            if (std::abs(static_cast<int>(samples[static_cast<std::size_t>(f) * ch + c])) >
                threshold)
                return true;
        return false;
    };
    ToneExtent e;
    long f = 0;
    while (f < frames && !loud(f))
        ++f;
    if (f == frames)
        return e;
    e.start = f;
    long last = frames - 1;
    while (!loud(last))
        --last;
    e.end = last + 1;
    long run = -1;
    for (f = e.start; f < e.end; ++f) {
        if (loud(f)) {
            if (run >= 0 && f - run >= minGapFrames)
                e.gaps.emplace_back(run, f - run);
            run = -1;
        } else if (run < 0) {
            run = f;
        }
    }
    return e;
}

} // namespace zr::test
