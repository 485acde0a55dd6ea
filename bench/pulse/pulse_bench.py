#!/usr/bin/env python3
"""The media service on a real sound server: a private PulseAudio with a recorded null sink.

    pulse_bench.py BUILD_DIR [--only a,b,...] [--plays N] [--cpu-runs N] [--shell-arg ARG ...]

Sections (all by default), each figure against its peer measured in this same run:
  dropouts  a 10 s tone played N times (10) while three busy loops load the cores: plays with a
            silent gap >= 10 ms or a length off by more than 30 ms, ours vs mpv --ao=pulse
  cpu       CPU seconds from Play to the end of a 60 s track (median of --cpu-runs plays, 3),
            and voluntary context switches a second summed over the threads, measured once
            settled: 20 s into playing, and while paused and stopped. Ours vs Audacious as its
            users get it (its default output, PulseAudio; started and settled before Play, so
            that both count from Play), the server's CPU meanwhile beside it; CPU also vs a
            bare decode (mpg123 -o dummy, unpaced; median of 3 runs next to each of ours)
  floor     CPU to play 60 s of CBR 128, CBR 320 and VBR -V2 (median of --floor-runs plays,
            5, interleaved): ours vs the bare decode (mpg123 -t, whole process) and vs
            mpg123 -o pulse (whole process), the server's CPU meanwhile beside each; and the
            peak resident memory of mci-shell against mpg123 -o pulse playing the same file
  latency   ms from a command (mute, volume, seek, speed) to its change in the recording
  first     ms from Play to the first sound in the recording: ours vs paplay vs mpv --ao=pulse
Ours plays through its own PulseAudio stream (checked on the server while it plays); with
ZR_AUDIO_OUTPUT=sdl in the environment it plays through SDL's pulseaudio driver instead, and
the rows say so.
Prints rows for bench/run (the format of bench/rows.sh); progress on standard error.
Installs mpv and audacious with apt-get when they are missing.
"""

import argparse
import os
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
sys.path.insert(0, os.path.join(ROOT, "bench"))

from cpuwindow import CpuWindow  # noqa: E402
from mcishell import MciShell  # noqa: E402
from pulseserver import BusyLoops, PulseServer, SessionBus, _spawn, _stop  # noqa: E402
from toneanalysis import analyse  # noqa: E402

RATE = 44100
LOUD = 1000
BARE_RUNS = 3  # bare decodes next to each of our CPU runs


def log(message):
    print(message, file=sys.stderr, flush=True)


SDL_CHOSEN = os.environ.get("ZR_AUDIO_OUTPUT") == "sdl"
OUTPUT = "PulseAudio via SDL" if SDL_CHOSEN else "PulseAudio, own stream"


def row(name, ours, peer, ref):
    """One row for bench/run, which sets ours against ref."""
    print(f"row\t{name}\t{OUTPUT}\t{fmt(ours)}\t{peer}\t{fmt(ref)}", flush=True)


def fmt(v):
    return f"{v:.3f}".rstrip("0").rstrip(".") if isinstance(v, float) else str(v)


def ensure(tool, package):
    if shutil.which(tool):
        return True
    log(f"installing {package} ...")
    sudo = [] if os.geteuid() == 0 else ["sudo"]
    subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends", package],
                   env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"),
                   stdout=subprocess.DEVNULL, check=False)
    return shutil.which(tool) is not None


# ---- /proc readings ----

def voluntary_switches(pid):
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/status") as f:
                total += int(re.search(r"^voluntary_ctxt_switches:\s+(\d+)", f.read(), re.M)[1])
        except (OSError, TypeError):
            pass  # a thread that ended meanwhile
    return total


def switches_per_second(pid, seconds):
    before = voluntary_switches(pid)
    time.sleep(seconds)
    return (voluntary_switches(pid) - before) / seconds


# ---- material ----

def make_material(work, build):
    log("making material ...")
    paths = {"tone10": os.path.join(build, "fixtures", "tone_10s_cbr_44100_stereo.mp3")}
    if not os.path.exists(paths["tone10"]):
        raise SystemExit(f"missing {paths['tone10']}: build target zr_fixtures")
    m60 = os.path.join(work, "m60.wav")
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", m60, "synth", "60",
                    "pinknoise", "synth", "60", "sine", "mix", "440", "vol", "0.5"], check=True)
    step = os.path.join(work, "step.wav")  # 5 s of tone, then 5 s of silence
    subprocess.run(["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", step, "synth", "5",
                    "sine", "440", "vol", "0.5", "pad", "0", "5"], check=True)
    for name, wav, rate in (("m60", m60, ["-b", "192"]), ("step", step, ["-b", "192"]),
                            ("cbr128", m60, ["-b", "128"]), ("cbr320", m60, ["-b", "320"]),
                            ("vbr", m60, ["-V2"])):
        paths[name] = os.path.join(work, name + ".mp3")
        subprocess.run(["lame", "--quiet", *rate, wav, paths[name]], check=True)
    paths["tone10_wav"] = os.path.join(work, "tone10.wav")
    subprocess.run(["mpg123", "-q", "-w", paths["tone10_wav"], paths["tone10"]], check=True)
    return paths


class Ours:
    """tools/mci-shell: its own PulseAudio stream (SDL_AUDIODRIVER=pulseaudio leaves it the choice)."""

    def __init__(self, build, extra):
        self.argv = [os.path.join(build, "tools", "mci-shell", "mci-shell"), *extra]

    def shell(self, server):
        return MciShell(self.argv[0], server.env(SDL_AUDIODRIVER="pulseaudio"), self.argv[1:])


def mpv_argv(path):
    return ["mpv", "--no-config", "--really-quiet", "--no-video", "--ao=pulse", path]


# ---- dropouts under load ----



def judge(found, seconds=10.0):
    drops = found.dropouts(10.0)
    return bool(drops) or abs(found.seconds - seconds) > 0.030, len(drops), found.silent_ms()


def dropouts(server, ours, paths, plays, peers=True):
    results = {}
    with BusyLoops(3):
        for name in ("ours", "mpv") if peers else ("ours",):
            bad = gaps = 0
            silent = 0.0
            for play in range(plays):
                with server.tap() as tap:
                    if name == "ours":
                        with ours.shell(server) as sh:
                            sh.ok(f'open "{paths["tone10"]}" type MPEGVideo alias mp3')
                            sh.ok("play mp3")
                            if not sh.wait_mode("stopped", 40):
                                raise RuntimeError("ours did not play to the end of the track")
                            time.sleep(0.3)
                    else:
                        proc = _spawn(mpv_argv(paths["tone10"]), server.env(),
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                        try:
                            proc.wait(40)
                        finally:
                            _stop(proc)
                        time.sleep(0.3)
                found = analyse(tap.samples(), RATE, 2)
                failed, n, ms = judge(found)
                bad += failed
                gaps += n
                silent += ms
                log(f"dropouts {name} play {play + 1}: length {found.seconds:.4f} s, {n} gaps "
                    f">= 10 ms, {ms:.0f} ms silent")
            results[name] = (bad, gaps, silent)
    peer = "mpv --ao=pulse" if peers else "goal"
    ref = results.get("mpv", (0, 0, 0.0))
    row(f"plays of 10 s with a dropout, of {plays} under load", results["ours"][0], peer, ref[0])
    row(f"silent gaps >= 10 ms in {plays} plays under load", results["ours"][1], peer, ref[1])
    row(f"silence in {plays} plays under load (ms)", round(results["ours"][2], 1), peer,
        round(ref[2], 1))


# ---- CPU and wake-ups ----

def check_output(server, pid):
    """Raises unless the process plays into the server through the output the rows name: our
    own stream carries a stream-restore id of its own; SDL's stream does not."""
    stream = next((s for s in server.sink_inputs()
                   if s.get("application.process.id") == str(pid)), None)
    if stream is None:
        raise RuntimeError("ours has no stream on the server while playing")
    own = "module-stream-restore.id" in stream
    if own == SDL_CHOSEN:
        raise RuntimeError(f"ours plays through {'its own stream' if own else 'SDL'}, "
                           f"not through {OUTPUT} as the rows say")


def ours_cpu(server, ours, paths):
    with ours.shell(server) as sh:
        pid = sh.proc.pid
        sh.ok(f'open "{paths["m60"]}" type MPEGVideo alias mp3')
        window = CpuWindow(pid)
        server_window = CpuWindow(server.pid())
        sh.ok("play mp3")
        played = time.monotonic()
        time.sleep(20)
        check_output(server, pid)
        playing = switches_per_second(pid, 10)
        # Asking for the mode every 50 ms for half a minute costs the shell more than playing
        # does: ask only near the end.
        time.sleep(max(0.0, played + 59.5 - time.monotonic()))
        if not sh.wait_mode("stopped", 60):
            raise RuntimeError("ours did not play to the end of the track")
        cpu, split = window.seconds()
        server_cpu, _ = server_window.seconds()
        log("ours: per thread " + ", ".join(f"{name}/{tid} {sec * 1000:.1f} ms"
                                            for tid, name, sec in split if sec > 0))
        sh.ok("play mp3 from 0")
        time.sleep(1)
        sh.ok("pause mp3")
        time.sleep(0.5)
        paused = switches_per_second(pid, 5)
        sh.ok("stop mp3")
        time.sleep(0.5)
        stopped = switches_per_second(pid, 5)
    return cpu, playing, paused, stopped, server_cpu


def audacious_cpu(server, paths):
    home = tempfile.mkdtemp(prefix="zr-bench-aud-")
    bus = None
    try:
        bus = SessionBus()
        address = bus.address
        # A fresh home: Audacious as a new user gets it, with the output it picks itself.
        env = server.env(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                         DBUS_SESSION_BUS_ADDRESS=address)
        env.pop("DISPLAY", None)
        env.pop("SDL_AUDIODRIVER", None)
        proc = _spawn(["audacious", "-H"], env, stdout=subprocess.DEVNULL,
                      stderr=subprocess.DEVNULL)

        def audtool(*args):
            return subprocess.run(["audtool", *args], env=env, capture_output=True, text=True,
                                  timeout=10)

        try:
            # Started and settled first, so that its CPU counts from Play, as ours does.
            deadline = time.monotonic() + 15
            while audtool("--playlist-length").returncode != 0:
                if time.monotonic() > deadline or proc.poll() is not None:
                    raise RuntimeError("Audacious did not start")
                time.sleep(0.2)
            audtool("--playlist-addurl", paths["m60"])
            time.sleep(2)
            window = CpuWindow(proc.pid)
            server_window = CpuWindow(server.pid())
            audtool("--playback-play")
            played = time.monotonic()
            stream = None
            while time.monotonic() < played + 10 and stream is None:
                stream = next((s for s in server.sink_inputs()
                               if s.get("application.process.id") == str(proc.pid)), None)
                time.sleep(0.02)
            if stream is None:
                raise RuntimeError("Audacious did not play into the server")
            time.sleep(max(0.0, played + 20 - time.monotonic()))
            playing = switches_per_second(proc.pid, 10)
            time.sleep(max(0.0, played + 59.5 - time.monotonic()))
            while audtool("--playback-status").stdout.strip() != "stopped":
                if time.monotonic() > played + 70:
                    raise RuntimeError("Audacious did not stop at the end of the track")
                time.sleep(0.05)
            cpu, _ = window.seconds()
            server_cpu, _ = server_window.seconds()
            audtool("--playback-play")
            time.sleep(1)
            audtool("--playback-pause")
            time.sleep(0.5)
            paused = switches_per_second(proc.pid, 5)
            audtool("--playback-stop")
            time.sleep(0.5)
            stopped = switches_per_second(proc.pid, 5)
            log(f"audacious stream: {stream.get('media.name')} / {stream.get('application.name')}"
                f" ({stream.get('application.process.binary', '?')})")
            return cpu, playing, paused, stopped, server_cpu
        finally:
            _stop(proc)
    finally:
        if bus:
            bus.close()
        shutil.rmtree(home, ignore_errors=True)


def bare_decode_cpu(paths):
    # getrusage counts a finished child to the microsecond; os.times() only in clock ticks.
    start = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(["mpg123", "-q", "-o", "dummy", paths["m60"]], check=True)
    end = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (end.ru_utime - start.ru_utime) + (end.ru_stime - start.ru_stime)


def cpu_and_wakeups(server, ours, paths, peers=True, runs=1):
    log(f"CPU and wake-ups: ours, 60 s x {runs} ...")
    cpus, bares, servers = [], [], []
    for _ in range(runs):
        o = ours_cpu(server, ours, paths)
        log(f"ours: cpu {o[0]:.3f} s, switches/s playing {o[1]:.1f} paused {o[2]:.1f} "
            f"stopped {o[3]:.1f}, server cpu {o[4]:.3f} s")
        cpus.append(o[0])
        servers.append(o[4])
        # One bare decode lasts a tenth of a second and lands on whatever the shared machine is
        # doing then (runs spread over 60-90 ms here); ours averages over a minute. Several
        # bare runs next to each of ours keep the floor's median from being one lucky draw.
        bares.extend(bare_decode_cpu(paths) for _ in range(BARE_RUNS))
    cpu, bare = statistics.median(cpus), statistics.median(bares)
    if runs > 1:
        log(f"ours: cpu runs {', '.join(f'{c:.3f}' for c in cpus)}; bare decode runs "
            f"{', '.join(f'{b:.3f}' for b in bares)}")
    o = (cpu, *o[1:4])
    server_cpu = statistics.median(servers)
    cpu_name = f"CPU from Play to the end of 60 s, median of {runs} (s)"
    row(cpu_name, round(cpu, 3), "bare decode (mpg123 -o dummy)", round(bare, 3))
    names = ("wake-ups per s, 20 s into playing (goal <= 35)", "wake-ups per s, paused (goal 0)",
             "wake-ups per s, stopped (goal 0)")
    if not peers:
        for name, value, goal in zip(names, o[1:], (35, 0, 0)):
            row(name, round(value, 1), "goal", goal)
        return
    if not (ensure("audacious", "audacious") and shutil.which("audtool")):
        raise RuntimeError("Audacious (the peer) is missing and could not be installed")
    log("CPU and wake-ups: Audacious with its default output, 60 s ...")
    a = audacious_cpu(server, paths)
    log(f"audacious: cpu {a[0]:.2f} s, switches/s playing {a[1]:.1f} paused {a[2]:.1f} "
        f"stopped {a[3]:.1f}, server cpu {a[4]:.3f} s")
    peer = "Audacious (its default output: PulseAudio)"
    row(cpu_name, round(o[0], 3), peer, round(a[0], 3))
    row("the server's CPU meanwhile (s)", round(server_cpu, 3), peer, round(a[4], 3))
    for name, value, ref in zip(names, o[1:], a[1:4]):
        row(name, round(value, 1), peer, round(ref, 1))


# ---- the decode floor: CPU per file type, and memory ----

FLOOR_FILES = (("CBR 128", "cbr128"), ("CBR 320", "cbr320"), ("VBR -V2", "vbr"))


def whole_process(argv, env):
    """Runs argv to its end: (CPU seconds, peak resident KiB) of that process alone. The peak is
    read from the process itself while it runs (every 0.2 s; it only grows): the child's
    ru_maxrss would count the forking Python before the exec."""
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    while True:
        pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
        if pid:
            break
        try:
            with open(f"/proc/{proc.pid}/status") as f:
                peak = max(peak, int(re.search(r"^VmHWM:\s+(\d+)", f.read(), re.M)[1]))
        except (OSError, TypeError):
            pass  # ending meanwhile
        time.sleep(0.2)
    proc.returncode = os.waitstatus_to_exitcode(status)
    if proc.returncode != 0:
        raise RuntimeError(f"{' '.join(argv)} exited with {proc.returncode}")
    return usage.ru_utime + usage.ru_stime, peak


def ours_floor_play(server, ours, path):
    """(CPU from Play to the end, the server's CPU meanwhile, peak resident KiB) of one play."""
    with ours.shell(server) as sh:
        pid = sh.proc.pid
        sh.ok(f'open "{path}" type MPEGVideo alias mp3')
        window, server_window = CpuWindow(pid), CpuWindow(server.pid())
        sh.ok("play mp3")
        played = time.monotonic()
        time.sleep(1)
        check_output(server, pid)
        time.sleep(max(0.0, played + 59.5 - time.monotonic()))
        if not sh.wait_mode("stopped", 60):
            raise RuntimeError("ours did not play to the end of the track")
        cpu, split = window.seconds()
        server_cpu, _ = server_window.seconds()
        with open(f"/proc/{pid}/status") as f:
            peak = int(re.search(r"^VmHWM:\s+(\d+)", f.read(), re.M)[1])
    log("ours: per thread " + ", ".join(f"{name}/{tid} {sec * 1000:.1f} ms"
                                        for tid, name, sec in split if sec > 0))
    return cpu, server_cpu, peak


def mpg123_pulse_play(server, path):
    """(CPU, the server's CPU meanwhile, peak resident KiB) of mpg123 -o pulse playing path."""
    server_window = CpuWindow(server.pid())
    cpu, peak = whole_process(["mpg123", "-q", "-o", "pulse", path], server.env())
    return cpu, server_window.seconds()[0], peak


def floor(server, ours, paths, runs):
    log(f"the decode floor: 3 files x {runs} interleaved plays of ours, mpg123 -t and "
        "mpg123 -o pulse ...")
    found = {key: {"ours": [], "bare": [], "mpg123": []} for _, key in FLOOR_FILES}
    for run in range(runs):
        for label, key in FLOOR_FILES:
            o = ours_floor_play(server, ours, paths[key])
            b = whole_process(["mpg123", "-q", "-t", paths[key]], os.environ)
            m = mpg123_pulse_play(server, paths[key])
            log(f"{label} run {run + 1}: ours {o[0]:.3f} s (server {o[1]:.3f} s, {o[2]} KiB), "
                f"mpg123 -t {b[0]:.3f} s, mpg123 -o pulse {m[0]:.3f} s (server {m[1]:.3f} s, "
                f"{m[2]} KiB)")
            found[key]["ours"].append(o)
            found[key]["bare"].append(b)
            found[key]["mpg123"].append(m)

    def median(key, who, field):
        return round(statistics.median(r[field] for r in found[key][who]), 3)

    for label, key in FLOOR_FILES:
        name = f"CPU to play 60 s of {label}, median of {runs} (s)"
        row(name, median(key, "ours", 0), "bare decode (mpg123 -t, whole process)",
            median(key, "bare", 0))
        row(name, median(key, "ours", 0), "mpg123 -o pulse (whole process)",
            median(key, "mpg123", 0))
        row(f"the server's CPU meanwhile, {label} (s)", median(key, "ours", 1),
            "mpg123 -o pulse", median(key, "mpg123", 1))
    row(f"peak resident memory playing {FLOOR_FILES[0][0]}, median of {runs} (KiB)",
        statistics.median(r[2] for r in found["cbr128"]["ours"]), "mpg123 -o pulse",
        statistics.median(r[2] for r in found["cbr128"]["mpg123"]))


# ---- latency of commands, and first sound ----

def first_change(samples, mark, test, window=RATE // 100):
    """First frame at or after mark that starts a 10 ms window where test(peak) holds."""
    frames = len(samples) // 2
    for f in range(mark, frames - window, 32):
        peak = max(abs(v) for v in samples[2 * f:2 * (f + window):2])
        if test(peak):
            return f
    return None


SPEED_GAPS = []  # ms of silence heard at each change of speed


def first_silence_ms(samples, start):
    f = start
    while f < len(samples) // 2 and abs(samples[2 * f]) <= LOUD and abs(samples[2 * f + 1]) <= LOUD:
        f += 1
    return (f - start) * 1000 / RATE


def command_latency(server, ours, paths, kind):
    with server.tap() as tap, ours.shell(server) as sh:
        path = paths["step"] if kind in ("seek", "speed") else paths["tone10"]
        sh.ok(f'open "{path}" type MPEGVideo alias mp3')
        sh.ok("play mp3")
        deadline = time.monotonic() + 10
        while int(sh.ok("status mp3 position")) < 1500 and time.monotonic() < deadline:
            time.sleep(0.02)
        position = int(sh.ok("status mp3 position"))
        mark = tap.frames()
        command = {"mute": "set mp3 audio all off", "volume": "setaudio mp3 volume to 250",
                   "seek": "play mp3 from 6000", "speed": "set mp3 speed 500"}[kind]
        sh.ok(command)
        time.sleep(8.5 if kind == "speed" else 1.0)
        samples = tap.samples()
    full = max(abs(v) for v in samples[2 * (mark - RATE // 5):2 * mark:2])
    if kind == "speed":
        # A steady tone shows a change of speed only through its end (track time 5000, R ms
        # ahead at the command): at half speed from L ms after the command it ends 2R - L ms
        # after it. A late change makes it end early; content held back or repeated makes it
        # end late. A silence right after the command is a gap the change itself made.
        end = first_change(samples, mark, lambda p: p < LOUD, window=RATE // 5)
        if end is None:
            return None
        blip = first_change(samples, mark, lambda p: p < LOUD)
        if blip is not None and blip < end and blip - mark < RATE // 5:
            SPEED_GAPS.append(first_silence_ms(samples, blip))
            log(f"speed: {SPEED_GAPS[-1]:.1f} ms of silence {(blip - mark) * 1000 / RATE:.0f} ms "
                f"after the command")
        return 2 * (5000 - position) - (end - mark) * 1000 / RATE
    test = (lambda p: p < LOUD) if kind in ("mute", "seek") else (lambda p: p < full / 2)
    change = first_change(samples, mark, test)
    return None if change is None else (change - mark) * 1000 / RATE


def latency(server, ours, paths, runs=3):
    for kind in ("mute", "volume", "seek", "speed"):
        values = [v for v in (command_latency(server, ours, paths, kind) for _ in range(runs))
                  if v is not None]
        log(f"latency {kind}: {[round(v) for v in values]} ms")
        if not values:
            raise RuntimeError(f"latency {kind}: no change heard in {runs} runs")
        if kind == "speed":
            # Positive: the change came late by that much; negative: the rest of the track
            # came that much later than it should (held back or repeated at the change).
            row(f"speed change, lateness of the change, median of {runs} (ms)",
                round(statistics.median(values), 1), "goal |x| <=", 60)
        else:
            row(f"{kind}, command to change heard, median of {runs} (ms)",
                round(statistics.median(values), 1), "goal", 60)
    row(f"silence at a speed change, worst of {runs} (ms)",
        round(max(SPEED_GAPS, default=0.0), 1), "goal", 0)


def first_sound_once(server, ours, paths, who):
    with server.tap() as tap:
        time.sleep(0.3)
        if who.startswith("ours"):
            with ours.shell(server) as sh:
                if who == "ours (open+play)":
                    mark = tap.frames()
                    sh.ok(f'open "{paths["tone10"]}" type MPEGVideo alias mp3')
                else:
                    sh.ok(f'open "{paths["tone10"]}" type MPEGVideo alias mp3')
                    mark = tap.frames()
                sh.ok("play mp3")
                time.sleep(1.0)
        else:
            argv = (["paplay", paths["tone10_wav"]] if who == "paplay" else mpv_argv(paths["tone10"]))
            mark = tap.frames()
            proc = _spawn(argv, server.env(), stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL)
            time.sleep(1.0)
            _stop(proc)
        samples = tap.samples()
    start = first_change(samples, mark, lambda p: p > LOUD)
    return None if start is None else (start - mark) * 1000 / RATE


def first_sound(server, ours, paths, runs=5):
    medians = {}
    for who in ("ours", "ours (open+play)", "paplay", "mpv"):
        values = [v for v in (first_sound_once(server, ours, paths, who) for _ in range(runs))
                  if v is not None]
        log(f"first sound {who}: {[round(v) for v in values]} ms")
        if not values:
            raise RuntimeError(f"first sound {who}: no sound heard in {runs} runs")
        medians[who] = statistics.median(values)
    for peer, name in (("paplay", "paplay (from launch)"), ("mpv", "mpv --ao=pulse (from launch)")):
        row(f"Play to first sound, median of {runs} (ms)", round(medians["ours"], 1), name,
            round(medians[peer], 1))
    row(f"open + Play to first sound, median of {runs} (ms)",
        round(medians["ours (open+play)"], 1), "paplay (from launch)", round(medians["paplay"], 1))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--only", default="dropouts,cpu,floor,latency,first")
    parser.add_argument("--plays", type=int, default=10)
    parser.add_argument("--shell-arg", action="append", default=[])
    parser.add_argument("--no-peers", action="store_true", help="measure ours only")
    parser.add_argument("--cpu-runs", type=int, default=3,
                        help="plays of 60 s for the CPU row (their median)")
    parser.add_argument("--floor-runs", type=int, default=5,
                        help="plays of 60 s per file type for the floor rows (their median)")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    for tool in ("pulseaudio", "parec"):
        if not shutil.which(tool):
            log(f"pulse_bench: {tool} is missing (scripts/setup installs it)")
            return 1
    if not ensure("mpv", "mpv"):
        log("pulse_bench: mpv (a peer) is missing and could not be installed")
        return 1
    ours = Ours(build, args.shell_arg)
    work = tempfile.mkdtemp(prefix="zr-bench-pulse-")
    try:
        paths = make_material(work, build)
        sections = args.only.split(",")
        with PulseServer() as server:
            if "first" in sections:
                first_sound(server, ours, paths)
            if "latency" in sections:
                latency(server, ours, paths)
            if "cpu" in sections:
                cpu_and_wakeups(server, ours, paths, not args.no_peers, args.cpu_runs)
            if "floor" in sections:
                floor(server, ours, paths, args.floor_runs)
            if "dropouts" in sections:
                dropouts(server, ours, paths, args.plays, not args.no_peers)
    except (RuntimeError, OSError, subprocess.SubprocessError) as failure:
        log(f"pulse_bench: {failure}")
        return 1
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
