#!/usr/bin/env python3
"""The player on Wayland: a headless Weston compositor (pixman renderer, so it keeps real
pixels) on a green desktop, the Qt Wayland platform plugin, SDL's disk or dummy audio.

1. The real program starts, its window maps at 378 x 460 with see-through rounded corners
   (checked in Weston's own screenshot of the screen), and it says no Qt warning.
2. The probe (the same window, driven from inside) takes a dropped track, plays it to its end,
   checks the buffer it hands the compositor, is photographed by Weston, is minimized with its
   caption bar's box and brought back by MPRIS Raise (gdbus on a private session bus), and
   closes through its close box without a Qt warning.

Exit 0 on success, 1 on failure, 77 when weston or the Qt Wayland plugin is missing."""

import argparse
import glob
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from xsession import Image, StepFailed, wait_until  # noqa: E402

GREEN = (0, 255, 0)


def desktop(pixel):
    # Weston paints its background a step off now and then (0, 254, 0).
    return all(abs(a - b) <= 2 for a, b in zip(pixel, GREEN))
WIDTH, HEIGHT = 378, 460


def log(*args):
    print(*args, flush=True)


def wait_for(condition, timeout, step=0.05):
    """condition's value, or None after timeout seconds."""
    try:
        return wait_until("", condition, timeout, step)
    except StepFailed:
        return None


def read_png(path):
    """The picture, through ImageMagick's PPM output."""
    return Image.from_ppm(subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                                         capture_output=True).stdout)


class Weston:
    def __init__(self, workdir):
        self.runtime = os.path.join(workdir, "runtime")
        os.mkdir(self.runtime, 0o700)
        config = os.path.join(workdir, "weston.ini")
        with open(config, "w") as f:
            f.write("[core]\nidle-time=0\n[shell]\nbackground-color=0xff00ff00\n"
                    "panel-position=none\n")
        self.socket = "zr-wayland-test"
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, WAYLAND_DISPLAY=self.socket)
        self.env.pop("DISPLAY", None)
        # In the sanitizer build: Qt's Wayland plugin leaves allocations of libwayland-client
        # and of graphics libraries it unloads at exit, which the leak checker would report.
        # Address errors are still caught here; leaks of the player's own code are checked by
        # the same build's offscreen tests, which run the same window code.
        if "ASAN_OPTIONS" in self.env or "LSAN_OPTIONS" in self.env:
            self.env["ASAN_OPTIONS"] = self.env.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
        self.log = open(os.path.join(workdir, "weston.log"), "w")
        self.process = subprocess.Popen(
            ["weston", "--backend=headless-backend.so", "--use-pixman", "--debug",
             "--width=800", "--height=600", "--idle-time=0", "--socket=" + self.socket,
             "--config=" + config], env=self.env, stdout=self.log, stderr=subprocess.STDOUT)
        if not wait_for(lambda: os.path.exists(os.path.join(self.runtime, self.socket)), 10):
            raise RuntimeError("weston did not start")
        self.shots = 0

    def screenshot(self, workdir):
        """Weston's picture of the whole screen, as a PNG path."""
        shotdir = os.path.join(workdir, "shot%d" % self.shots)
        self.shots += 1
        os.mkdir(shotdir)
        subprocess.run(["weston-screenshooter"], cwd=shotdir, env=self.env, check=True,
                       timeout=10, capture_output=True)
        return glob.glob(os.path.join(shotdir, "*.png"))[0]

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()


def window_box(image):
    """The bounding box (x, y, w, h) of everything that is not the green desktop."""
    xs, ys = [], []
    for y in range(image.height):
        for x in range(image.width):
            if not desktop(image.pixel(x, y)):
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def window_shot(weston, workdir):
    """A screenshot's path if it shows a window, else None."""
    shot = weston.screenshot(workdir)
    return shot if window_box(read_png(shot)) else None


def check_window_in(path, failures, what):
    image = read_png(path)
    box = window_box(image)
    if box is None:
        failures.append(f"{what}: no window on the screen")
        return
    x, y, w, h = box
    log(f"{what}: window at {x},{y} size {w}x{h}")
    if (w, h) != (WIDTH, HEIGHT):
        failures.append(f"{what}: window is {w}x{h}, expected {WIDTH}x{HEIGHT}")
        return
    # The outermost corner pixels and one further in along the rounding show the desktop; the
    # middle of each edge is the window's frame.
    for dx, dy in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1), (1, 1), (w - 2, h - 2),
                   (2, 0), (0, 2)):
        if not desktop(image.pixel(x + dx, y + dy)):
            failures.append(f"{what}: corner pixel ({dx},{dy}) is {image.pixel(x + dx, y + dy)}, "
                            "not the desktop")
    for dx, dy in ((w // 2, 0), (0, h // 2), (w - 1, h // 2), (w // 2, h - 1)):
        if desktop(image.pixel(x + dx, y + dy)):
            failures.append(f"{what}: edge pixel ({dx},{dy}) shows the desktop")


def qt_warnings(text):
    return [line for line in text.splitlines()
            if line.startswith(("qt-warning", "qt-critical", "qt-fatal"))]


def run_program(args, weston, workdir, failures):
    env = dict(weston.env, QT_QPA_PLATFORM="wayland", SDL_AUDIODRIVER="dummy",
               QT_MESSAGE_PATTERN="qt-%{type}: %{message}")
    err_path = os.path.join(workdir, "program.stderr")
    with open(err_path, "w") as err:
        program = subprocess.Popen([args.program], env=env, stdout=subprocess.DEVNULL,
                                   stderr=err)
        try:
            shot = wait_for(lambda: window_shot(weston, workdir), 15, step=0.3)
            if shot is None:
                failures.append("program: the window never mapped")
            else:
                time.sleep(0.5)  # first paint after mapping
                shot = weston.screenshot(workdir)
                shutil.copy(shot, os.path.join(args.artifacts, "program-wayland.png"))
                check_window_in(shot, failures, "program")
            if program.poll() is not None:
                failures.append(f"program: exited early with {program.returncode}")
        finally:
            program.send_signal(signal.SIGTERM)
            try:
                program.wait(10)
            except subprocess.TimeoutExpired:
                program.kill()
                program.wait()
    with open(err_path) as f:
        warnings = qt_warnings(f.read())
    if warnings:
        failures.append("program: Qt warnings: " + " | ".join(warnings))


class SessionBus:
    """A dbus-daemon of the test's own for the probe's MPRIS object."""

    def __init__(self):
        self.process = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.address = self.process.stdout.readline().decode().strip()

    def raise_player(self):
        """MPRIS Raise, as a desktop's media panel calls it; gdbus's exit status."""
        return subprocess.run(
            ["gdbus", "call", "--session", "--dest", "org.mpris.MediaPlayer2.zr_mp3_player",
             "--object-path", "/org/mpris/MediaPlayer2", "--method", "org.mpris.MediaPlayer2.Raise"],
            env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address), capture_output=True,
            timeout=10).returncode

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()


def read_line(probe, timeout):
    """The probe's next line of output, or None after timeout seconds."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        readable, _, _ = select.select([probe.stdout], [], [], 1.0)
        if readable:
            line = probe.stdout.readline().decode(errors="replace")
            if not line:
                return None
            log("probe:", line.rstrip())
            return line.strip()
    return None


def minimize_and_raise(probe, bus, weston, workdir, artifacts, failures):
    """The caption bar's minimize box hides the window; MPRIS Raise brings it back."""
    probe.stdin.write(b"minimize\n")
    if read_line(probe, 10) != "MINIMIZED":
        failures.append("probe: did not minimize")
        return
    gone = wait_for(lambda: window_box(read_png(weston.screenshot(workdir))) is None, 5, 0.3)
    if not gone:
        failures.append("probe: the window stayed on the screen after its minimize box")
        return
    if bus.raise_player() != 0:
        failures.append("probe: MPRIS Raise failed")
        return
    shot = wait_for(lambda: window_shot(weston, workdir), 5, 0.3)
    if shot is None:
        failures.append("probe: MPRIS Raise did not bring the minimized window back")
        return
    shutil.copy(shot, os.path.join(artifacts, "probe-raised-wayland.png"))
    check_window_in(shot, failures, "raised")


def run_probe(args, weston, workdir, failures):
    audio = os.path.join(workdir, "audio.raw")
    bus = SessionBus()
    env = dict(weston.env, QT_QPA_PLATFORM="wayland", SDL_AUDIODRIVER="disk",
               SDL_DISKAUDIOFILE=audio, DBUS_SESSION_BUS_ADDRESS=bus.address)
    # Unbuffered bytes: select() must not miss lines already read into a text buffer.
    probe = subprocess.Popen([args.probe, args.track], env=env, stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, bufsize=0)
    try:
        ready = False
        end = time.monotonic() + 60
        while time.monotonic() < end and not ready:
            line = read_line(probe, end - time.monotonic())
            if line is None:
                break
            ready = line == "READY"
        if not ready:
            failures.append("probe: never got ready")
        else:
            shot = weston.screenshot(workdir)
            shutil.copy(shot, os.path.join(args.artifacts, "probe-wayland.png"))
            check_window_in(shot, failures, "probe")
            minimize_and_raise(probe, bus, weston, workdir, args.artifacts, failures)
        out, err = probe.communicate(b"close\n", timeout=30)
    except subprocess.TimeoutExpired:
        probe.kill()
        out, err = probe.communicate()
        failures.append("probe: did not close")
    finally:
        bus.stop()
    out, err = out.decode(errors="replace"), err.decode(errors="replace")
    for line in out.splitlines():
        log("probe:", line)
    if probe.returncode != 0:
        failures.append(f"probe: exit {probe.returncode}; stderr:\n{err}")
    heard = open(audio, "rb").read() if os.path.exists(audio) else b""
    if len(heard) < 44100 or not any(heard):
        failures.append(f"probe: {len(heard)} bytes of sound reached the device")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--probe", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--track", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()

    plugins = glob.glob("/usr/lib/*/qt6/plugins/platforms/libqwayland-*.so")
    tools = ("weston", "weston-screenshooter", "dbus-daemon", "gdbus")
    if not (all(shutil.which(tool) for tool in tools) and plugins):
        log("SKIP: weston, dbus-daemon, gdbus or the Qt Wayland platform plugin is not installed")
        return 77
    os.makedirs(args.artifacts, exist_ok=True)

    failures = []
    with tempfile.TemporaryDirectory() as workdir:
        weston = Weston(workdir)
        try:
            run_program(args, weston, workdir, failures)
            run_probe(args, weston, workdir, failures)
        finally:
            weston.stop()
    for failure in failures:
        log("FAIL", failure)
    log("screenshots in", args.artifacts)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
