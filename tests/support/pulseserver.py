"""A private sound server for one test, a recording of what reached it, and a private session bus.

    with PulseServer() as server:
        env = dict(os.environ, **server.client_env(), SDL_AUDIODRIVER="pulseaudio")
        with server.tap() as tap:          # the null sink's monitor, with arrival times
            ... play something with env ...
        tap.sounding_seconds(), tap.samples() ...

The server (PulseAudio, or PipeWire with its PulseAudio layer) gets its own runtime folder, home
and cookie under a temporary folder, so it never meets a user's server, and it plays into a null
sink whose monitor parec records as s16le at a known rate. Every process started here runs in its
own process group, dies with the process that started it (PR_SET_PDEATHSIG), and is stopped with
its group when the block ends, whatever happens in it.
"""

import os
import sys
import shutil
import signal
import subprocess
import tempfile
import time

from recording import Recording

SINK = "zr_sink"
RATE = 44100
CHANNELS = 2


def _spawn(argv, env, **kwargs):
    # setpriv (util-linux) sets PR_SET_PDEATHSIG before it executes the program: a test killed
    # by its timeout takes its server with it. Without a preexec_fn, which is unsafe in a
    # process that runs threads (the recorders do).
    if shutil.which("setpriv"):
        argv = ["setpriv", "--pdeathsig", "KILL", "--", *argv]
    return subprocess.Popen(argv, env=env, start_new_session=True, **kwargs)


def _program(proc):
    return proc.args[4] if proc.args[0] == "setpriv" else proc.args[0]


def _stop(proc, grace=3.0):
    """Stops a process started by _spawn and everything in its group."""
    if proc is None:
        return
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 5.0)):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            pass
        try:
            proc.wait(wait)
            break
        except subprocess.TimeoutExpired:
            continue
    # The group may outlive its leader (a helper the server started).
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


class ServerFailed(RuntimeError):
    pass


class SessionBus:
    """A dbus-daemon of one run (MPRIS tests, PipeWire's session manager, a benchmarked player);
    stopped with its process group when the block ends or on close()."""

    def __init__(self, env=None):
        self.proc = _spawn(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                            "--print-address=1"], dict(os.environ) if env is None else env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.address = self.proc.stdout.readline().decode().strip()
        if not self.address:
            self.close()
            raise ServerFailed("the private session bus did not start")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def close(self):
        _stop(self.proc)
        self.proc.stdout.close()


class BusyLoops:
    """Processes that spin on a core each until the block ends: load for dropout runs."""

    def __init__(self, count):
        self.procs = [_spawn([sys.executable, "-c", "while True: pass"], dict(os.environ))
                      for _ in range(count)]

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        for proc in self.procs:
            _stop(proc, grace=1.0)
        return False


def available(kind="pulseaudio"):
    """Whether the programs a server of this kind needs are installed."""
    tools = ["pactl", "parec", "pacat"] + (
        ["pulseaudio"] if kind == "pulseaudio"
        else ["pipewire", "pipewire-pulse", "wireplumber", "dbus-daemon"])
    return all(shutil.which(t) for t in tools)


class PulseServer:
    def __init__(self, kind="pulseaudio", rate=RATE, channels=CHANNELS):
        self.kind = kind
        self.rate = rate
        self.channels = channels
        self.root = None
        self.procs = []
        self.bus = None

    # ---- lifetime ----
    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self.root = tempfile.mkdtemp(prefix="zr-pulse-")
        self.runtime = os.path.join(self.root, "run")
        self.home = os.path.join(self.root, "home")
        os.mkdir(self.runtime, 0o700)
        os.mkdir(self.home, 0o700)
        self.socket = os.path.join(self.runtime, "pulse", "native")
        self.log = open(os.path.join(self.root, "server.log"), "wb")
        env = self.server_env()
        if self.kind == "pulseaudio":
            # -n: no default.pa (nothing probes hardware); as root it warns and goes on.
            self.procs.append(_spawn(
                ["pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                 "--use-pid-file=no", "--log-target=stderr",
                 "-L", f"module-null-sink sink_name={SINK} rate={self.rate} "
                       f"channels={self.channels}",
                 "-L", "module-native-protocol-unix"],
                env, stdout=self.log, stderr=subprocess.STDOUT))
            self.wait_ready()
        elif self.kind == "pipewire":
            # WirePlumber needs a session bus; a private one, like the rest.
            self.bus = SessionBus(env)
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
            # The session manager and the PulseAudio layer give up at once when PipeWire's own
            # socket is not there yet.
            for argv in (["pipewire"], ["wireplumber"], ["pipewire-pulse"]):
                self.procs.append(_spawn(argv, env, stdout=self.log, stderr=subprocess.STDOUT))
                if argv == ["pipewire"]:
                    core = os.path.join(self.runtime, "pipewire-0")
                    self._wait(lambda: os.path.exists(core), "PipeWire's socket")
            self.wait_ready()
            self.pactl("load-module", "module-null-sink", f"sink_name={SINK}",
                       f"rate={self.rate}", f"channels={self.channels}")
            try:
                self.pactl("set-default-sink", SINK)
            except ServerFailed:
                pass  # without a session manager's metadata; the only sink is the default anyway
            self._wait(lambda: SINK in self.pactl("list", "short", "sinks"), "the null sink")
        else:
            raise ValueError(f"unknown server kind {self.kind}")

    def stop(self):
        for proc in reversed(self.procs):
            _stop(proc)
        self.procs = []
        if self.bus:
            self.bus.close()
            self.bus = None
        if getattr(self, "log", None):
            self.log.close()
            self.log = None
        if self.root:
            shutil.rmtree(self.root, ignore_errors=True)
            self.root = None

    def pid(self):
        """The process that mixes the streams: pulseaudio, or PipeWire's own daemon."""
        return self.procs[0].pid if self.kind == "pulseaudio" else self.procs[1].pid

    # ---- environment ----
    def server_env(self):
        env = {k: v for k, v in os.environ.items()
               if not k.startswith(("PULSE_", "PIPEWIRE_", "DBUS_", "DISPLAY", "WAYLAND"))}
        env.update(XDG_RUNTIME_DIR=self.runtime, HOME=self.home,
                   XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_STATE_HOME=os.path.join(self.home, ".local", "state"),
                   PULSE_RUNTIME_PATH=os.path.join(self.runtime, "pulse"),
                   PULSE_STATE_PATH=os.path.join(self.home, "pulse-state"),
                   PULSE_COOKIE=os.path.join(self.home, "pulse-cookie"))
        return env

    def client_env(self):
        """Variables that point a client (SDL, pactl, mpv ...) at this server and no other."""
        return {"PULSE_SERVER": f"unix:{self.socket}", "PULSE_COOKIE": os.path.join(self.home, "pulse-cookie"),
                "PULSE_RUNTIME_PATH": os.path.join(self.runtime, "pulse"),
                "XDG_RUNTIME_DIR": self.runtime}

    def env(self, base=None, **extra):
        env = dict(os.environ if base is None else base)
        env.update(self.client_env())
        env.update(extra)
        return env

    def _wait(self, what, name, timeout=15.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for proc in self.procs:
                if proc.poll() is not None:
                    raise ServerFailed(f"{_program(proc)} exited ({proc.returncode}) while waiting "
                                       f"for {name}: {self.server_log()[-2000:]}")
            try:
                if what():
                    return
            except (subprocess.SubprocessError, OSError):
                pass
            time.sleep(0.05)
        raise ServerFailed(f"{name} not there after {timeout:.0f} s: {self.server_log()[-2000:]}")

    def wait_ready(self):
        self._wait(lambda: subprocess.run(["pactl", "info"], env=self.env(), timeout=5,
                                          capture_output=True).returncode == 0, "the server")

    def server_log(self):
        try:
            with open(os.path.join(self.root, "server.log"), "rb") as f:
                return f.read().decode(errors="replace")
        except (OSError, TypeError):
            return ""

    # ---- queries ----
    def pactl(self, *args):
        done = subprocess.run(["pactl", *args], env=self.env(), capture_output=True, timeout=10)
        if done.returncode != 0:
            raise ServerFailed(f"pactl {' '.join(args)}: {done.stderr.decode(errors='replace')}")
        return done.stdout.decode(errors="replace")

    def sink_inputs(self):
        """The streams playing into the server: one dict of properties each (plus 'Sink Input')."""
        return parse_sink_inputs(self.pactl("list", "sink-inputs"))

    def tap(self, out=None):
        return PulseTap(self, out=out)


def parse_sink_inputs(text):
    streams = []
    for line in text.splitlines():
        if line.startswith("Sink Input #"):
            streams.append({"Sink Input": line.split("#", 1)[1].strip()})
        elif streams and " = " in line:
            key, value = line.strip().split(" = ", 1)
            streams[-1][key] = value.strip('"')
    return streams


class PulseTap(Recording):
    """Records the null sink's monitor with parec; each block keeps the time it arrived.

    Samples are s16 (samples() gives them as recorded); the questions of Recording
    (sounding_seconds, peak, tone_frequency) see them scaled to -1..1.
    """

    def __init__(self, server, latency_ms=None, out=None):
        # An idle null sink renders nothing and its monitor records nothing: a stream of zeros
        # keeps it running, so the recording is a real-time timeline with silence between sounds.
        # Both ask for 20 ms: the sink then renders in small steps; a monitor stream asking for
        # less than the sink's own latency may get nothing at all. PipeWire's PulseAudio layer
        # drops and repeats bits of a 20 ms recording now and then (clicks that would read as the
        # player's): 100 ms there.
        if latency_ms is None:
            latency_ms = 100 if server.kind == "pipewire" else 20
        self.keepalive = _spawn(["pacat", "--playback", "--raw", "--format=s16le",
                                 f"--latency-msec={latency_ms}",
                                 f"--rate={server.rate}", f"--channels={server.channels}",
                                 "--client-name=zr-test-keepalive", "-d", SINK, "/dev/zero"],
                                server.env(), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        server._wait(lambda: "RUNNING" in server.pactl("list", "short", "sinks"),
                     "the null sink to run")
        super().__init__(server.rate, server.channels, "h", 1.0 / 32768, out)
        self.proc = _spawn(["parec", "--raw", "--format=s16le", f"--rate={self.rate}",
                            f"--channels={self.channels}", f"--latency-msec={latency_ms}",
                            "-d", f"{SINK}.monitor"],
                           server.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._start_reading(self.proc.stdout.fileno())
        # The monitor may take a moment to deliver its first block; the timeline starts then.
        try:
            server._wait(lambda: self.frames() > 0, "the recording to start")
        except BaseException:
            self.close()
            raise

    def close(self):
        _stop(self.proc)
        _stop(self.keepalive)
        self._stop_reading(5)
        if self.proc.stdout:
            self.proc.stdout.close()


def serve():
    """A server for a test in another language (tests/support/PythonHelpers.h for C++).

    Prints the client's variables (NAME=value lines), then "ready" (or "failed: why" and exits);
    then takes one command a line, each answered by its lines of data, if any, and "ok" or
    "failed: why":
      record FILE     the null sink's monitor, s16 at RATE, appended to FILE as it arrives (the
                      first block is there when it answers)
      stop-recording
      sink-inputs     one line per stream: its properties as name=value, separated by tabs
      stop            the server goes, as if killed
    The end of its input stops everything.
    """
    tap = None
    try:
        with PulseServer() as server:
            for name, value in server.client_env().items():
                print(f"{name}={value}")
            print("ready", flush=True)
            for line in sys.stdin:
                command, _, argument = line.strip().partition(" ")
                try:
                    if tap and command in ("record", "stop-recording", "stop"):
                        tap, _ = None, tap.close()
                    if command == "record":
                        tap = server.tap(out=argument)
                    elif command == "sink-inputs":
                        for stream in server.sink_inputs():
                            print("\t".join(f"{k}={v}" for k, v in stream.items()))
                    elif command == "stop":
                        server.stop()
                    elif command != "stop-recording":
                        raise ValueError(f"unknown command {command}")
                    print("ok", flush=True)
                except (ServerFailed, OSError, ValueError) as failure:
                    print(f"failed: {failure}".replace("\n", " "), flush=True)
    except ServerFailed as failure:
        print(f"failed: {failure}".replace("\n", " "), flush=True)
    finally:
        if tap:
            tap.close()


def serve_bus():
    """A session bus for a test in another language: prints its address, and stops it at the end
    of its input."""
    with SessionBus() as bus:
        print(bus.address, flush=True)
        sys.stdin.read()


if __name__ == "__main__":
    commands = {"--serve": serve, "--bus": serve_bus,
                "--available": lambda: sys.exit(0 if available() else 77)}
    if sys.argv[1:2] not in [[c] for c in commands] or len(sys.argv) != 2:
        sys.exit("usage: pulseserver.py --serve | --bus | --available")
    commands[sys.argv[1]]()
