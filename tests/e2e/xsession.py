"""A private X server, real input through XTEST (xdotool), and screenshots read as pixels.

Everything here waits with a bound: a step that does not happen in time raises StepFailed.
Python standard library only.
"""

import os
import select
import shutil
import subprocess
import tempfile
import time


class StepFailed(Exception):
    """A user-visible step did not give the expected result."""


def wait_until(what, predicate, timeout, interval=0.1):
    """Polls predicate until it returns a true value; raises StepFailed after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise StepFailed(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


class Image:
    """An RGB picture read from a binary PPM (P6, 8 bits per channel)."""

    def __init__(self, width, height, pixels):
        self.width = width
        self.height = height
        self.pixels = pixels

    @staticmethod
    def from_ppm(data):
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise ValueError("not an 8-bit binary PPM")
        width, height = int(fields[1]), int(fields[2])
        pixels = data[pos + 1:pos + 1 + width * height * 3]
        if len(pixels) != width * height * 3:
            raise ValueError("short PPM")
        return Image(width, height, pixels)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def region(self, x, y, w, h):
        """The rows of a rectangle, clipped to the picture, as one bytes object."""
        x0, y0 = max(x, 0), max(y, 0)
        x1, y1 = min(x + w, self.width), min(y + h, self.height)
        rows = []
        for row in range(y0, y1):
            start = (row * self.width + x0) * 3
            rows.append(self.pixels[start:start + (x1 - x0) * 3])
        return b"".join(rows)


def differing_pixels(a, ax, ay, b, bx, by, w, h):
    """How many pixels of the w x h rectangle at (ax, ay) in a differ from the one at (bx, by) in b."""
    count = 0
    for row in range(h):
        ra = a.region(ax, ay + row, w, 1)
        rb = b.region(bx, by + row, w, 1)
        if ra == rb:
            continue
        for i in range(0, min(len(ra), len(rb)), 3):
            if ra[i:i + 3] != rb[i:i + 3]:
                count += 1
        count += abs(len(ra) - len(rb)) // 3
    return count


class XServer:
    """Xvfb on a display it chooses itself (-displayfd), stopped on exit."""

    def __init__(self, width=800, height=600):
        self.size = (width, height)
        self.proc = None
        self.display = None

    def __enter__(self):
        # Xvfb takes the first free display and writes its number to the pipe once it accepts
        # clients: no guessing which displays are free, no race with another server.
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 f"{self.size[0]}x{self.size[1]}x24", "-nolisten", "tcp", "-noreset", "-br"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_end)
            write_end = None
            number = b""
            deadline = time.monotonic() + 10
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], 0.1)
                if ready:
                    chunk = os.read(read_end, 16)
                    if not chunk:
                        break
                    number += chunk
        finally:
            os.close(read_end)
            if write_end is not None:
                os.close(write_end)
        if not number.strip().isdigit():
            self.__exit__()
            raise StepFailed("Xvfb did not start")
        self.display = f":{number.strip().decode()}"
        return self

    def __exit__(self, *exc):
        if self.proc:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

    def env(self, **extra):
        env = dict(os.environ)
        env.pop("QT_QPA_PLATFORM", None)
        env["DISPLAY"] = self.display
        env.update(extra)
        return env

    def run(self, *args, timeout=10):
        """Runs an X client (xdotool, import) on this display; returns its standard output."""
        try:
            done = subprocess.run(args, env=self.env(), capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            raise StepFailed(f"{args[0]} did not finish in {timeout} s")
        if done.returncode != 0:
            raise StepFailed(f"{' '.join(args)} failed: {done.stderr.decode(errors='replace')}")
        return done.stdout

    # ---- what a user does ----
    # (No --sync on mousemove: it waits for the pointer to move, forever when it is already there.)
    def click(self, x, y, button=1):
        self.move(x, y)
        self.run("xdotool", "click", str(button))

    def move(self, x, y):
        self.run("xdotool", "mousemove", str(x), str(y))
        time.sleep(0.05)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "50", *keys)

    # ---- what a user sees ----
    def screenshot(self):
        return Image.from_ppm(self.run("import", "-window", "root", "-depth", "8", "ppm:-"))

    def screenshot_window(self, wid):
        return Image.from_ppm(self.run("import", "-window", str(wid), "-depth", "8", "ppm:-"))

    def find_window(self, name, size=None):
        """Geometry (x, y, w, h) of a mapped window with this exact name, or None."""
        try:
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"],
                                 env=self.env(), capture_output=True, timeout=10).stdout
        except subprocess.TimeoutExpired:
            return None
        for wid in out.split():
            geo = self.run("xdotool", "getwindowgeometry", "--shell", wid.decode()).decode()
            values = dict(line.split("=", 1) for line in geo.split() if "=" in line)
            box = (int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"]))
            if size is None or box[2:] == size:
                return box
        return None


def save_png(image, path):
    """Writes a picture as PNG through ImageMagick (for people to look at)."""
    with tempfile.NamedTemporaryFile(suffix=".ppm") as tmp:
        tmp.write(b"P6\n%d %d\n255\n" % (image.width, image.height) + image.pixels)
        tmp.flush()
        subprocess.run(["convert", tmp.name, path], check=False, timeout=30)


def tools_missing():
    return [tool for tool in ("Xvfb", "xdotool", "import", "convert", "sox", "lame") if shutil.which(tool) is None]
