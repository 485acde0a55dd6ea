#!/usr/bin/env python3
"""The player tried as a new user would, under a real X server, with real mouse and keys only.

Starts the program in a folder of three tracks, opens the browser, clicks the tree's root (which
lists the current folder), selects all, opens the files, exits the browser, plays, steps to the
next track, pauses, plays again, lets the last track end and closes the window. It looks only at
the screen (regions compared with the window drawn in the expected state by zr-e2e-reference)
and listens to what reached SDL's disk driver.

    e2e_player.py --program P --reference R --fixtures DIR --artifacts DIR [--scenario S]

Scenario "nodevice" does the same without any sound device: the tracks play silently, one
after the other, in real time. Scenario "controls" mutes, steps to the next track (which must
stay muted), unmutes and seeks with the bar. Scenario "speed" sets Slow Play and steps to the
next track, which must play at half speed with its pitch kept. Scenario "volume" steps the
volume to the top and the bottom and listens to each level; "startvolume" checks that a track
started at a low volume never sounds louder at its start; "closepaused" and "closeplaying"
close the window with a track paused or playing; "selection" clicks the blank part of the
playlist and Ctrl+clicks the selected row (the row stays selected), double-clicks below the rows
(the row restarts) and, after Clear Playlist and Pause (the sound stops), on the empty list; "menus" takes Select All, Open Files and Exit
from the browser's menus with the mouse and double-clicks a row, and "menuseparators" checks that the menus' separator
lines carry no text and that the leading one is drawn; "deepfolders" walks twenty folder
levels of the browser's tree with the keys and clicks the deepest. Scenario "monkey" clicks at
random for ten seconds, then checks that Stop and Play still obey and the program exits cleanly.
Scenario "mpris" runs a private session bus and drives the player with playerctl (play-pause,
position, metadata, status, next) and with keys (Space, the Play/Pause and Next media keys,
Return); "nobus" starts the player with an unreachable session bus, which it must not mention.
Scenario "screenreader" reads both windows as a screen reader does, through AT-SPI on a private
accessibility bus (pyatspi): roles and names, the playlist's rows, focus, the seek bar's value
and focus mark, the clock, and which labels announce changes. Scenario "drop" drags a track
whose name is not UTF-8 from a GTK window (XDND) onto the playlist, plays it with playerctl
and reads its title there and its stream's name on the sound server.

Exit 0 on success, 1 on failure (screenshots kept in the artifacts folder), 77 when the X tools
are missing.
"""

import argparse
import os
import random
import select
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))

from pulseserver import PulseServer, ServerFailed, SessionBus, available  # noqa: E402
from recording import DiskTap  # noqa: E402
from xsession import (Image, StepFailed, XServer, differing_pixels, save_png,  # noqa: E402
                      tools_missing, wait_until)

TITLE = "ZR - Mp3 Player"
BROWSER = "Select you Mp3 Files"
WINDOW_SIZE = (378, 460)
CLIENT = (4, 27)  # frame and self-drawn caption bar

# The tracks of each scenario, in the order the browser lists them, with their lengths in ms.
# The first of "user" is made here, long enough that Next always comes before its end.
SCENARIOS = {
    "user": [("alpha.mp3", None, 5000),
             ("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000),
             ("charlie.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # No sound device at all: the player plays silently in real time.
    "nodevice": [("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000),
                 ("charlie.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # Mute carried over to the next track, unmute, and a seek near the end with the bar.
    "controls": [("alpha.mp3", None, 3000), ("bravo.mp3", None, 8000)],
    # A user clicking everywhere at random (but Open and Clear Playlist) for a while.
    "monkey": [(f"{c}.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000) for c in "abcd"],
    # Volume up to the top and down to the bottom, heard and shown; the next track keeps it.
    "volume": [("alpha.mp3", None, 10000), ("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # Closing the window while a track is paused (the device stays open) and while one plays.
    "closepaused": [("alpha.mp3", None, 5000)],
    "closeplaying": [("alpha.mp3", None, 5000)],
    # The browser's menus used with the mouse, and how their separators look.
    "menus": [("alpha.mp3", None, 3000), ("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    "menuseparators": [("alpha.mp3", None, 3000)],
    # The volume set before Play holds from a track's very first sample.
    "startvolume": [("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # The playlist's selection kept against blank and Ctrl clicks, double clicks below the rows
    # and on the emptied list, and Pause after Clear Playlist.
    "selection": [("alpha.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000), ("bravo.mp3", None, 4000),
                  ("charlie.mp3", None, 5000)],
    # Twenty folder levels reached in the browser's tree with the keyboard and the mouse.
    "deepfolders": [("alpha.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000),
                    ("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # Slow Play held over Next: the next track plays at half speed with its pitch kept.
    "speed": [("alpha.mp3", None, 3000), ("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # playerctl and the keyboard on the desktop's media bus (a private one).
    # The second row is long enough that only the media key can bring on the third in time.
    "mpris": [("alpha.mp3", None, 6000), ("bravo.mp3", None, 5000),
              ("charlie.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # Both windows read through AT-SPI; the second row is long enough to watch the clock tick.
    "screenreader": [("alpha.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000), ("bravo.mp3", None, 5000),
                     ("charlie.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # A Latin-1 name ("caf\xe9.mp3" on disk; Python spells the byte as "\udce9") dragged in.
    "drop": [("caf\udce9.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000),
             ("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
    # No session bus to be had: the player plays and says nothing about it.
    "nobus": [("bravo.mp3", "tone_1s_cbr_44100_stereo.mp3", 1000)],
}
MPRIS_PLAYER = "zr_mp3_player"
TONE_HZ = 440.0


def shown(name):
    """A file name as the window shows it: each byte that is not UTF-8 as U+FFFD."""
    return os.fsencode(name).decode("utf-8", "replace")


def gtk_python():
    """A Python that has GTK 3 for the drag source (often only the system's), or None."""
    for python in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(python) and subprocess.run(
                [python, "-c", "import gi; gi.require_version('Gtk', '3.0'); "
                               "from gi.repository import Gtk"],
                capture_output=True).returncode == 0:
            return python
    return None


def twips(left, top, width=0, height=0):
    """A layout rectangle in twips as window pixels (x, y, w, h)."""
    return (CLIENT[0] + left // 15, CLIENT[1] + top // 15, width // 15, height // 15)


# Regions of the window a user reads. Self-sizing labels get room for the widest value.
REGIONS = {
    "title": twips(1800, 360, 3360, 195),
    "length": twips(1800, 600, 1200, 195),
    "position": twips(1800, 840, 1200, 195),
    "clock": twips(1800, 1080, 690, 195),
    "play mode": twips(1800, 1320, 1200, 195),
    "playlist": twips(255, 2760, 5280, 3495),
    "progress": twips(720, 2460, 3615, 80),
}


def button(index):
    """Window position of the middle of picture button imgControl(index)."""
    left, top, width, height = {
        0: (480, 1800, 510, 180), 1: (1200, 1800, 510, 180), 2: (1920, 1800, 510, 180),
        3: (2640, 1800, 510, 180), 4: (3360, 1800, 510, 180), 5: (4080, 1800, 510, 180),
        6: (3840, 2040, 255, 180), 7: (4320, 2040, 255, 180), 8: (480, 2040, 510, 180),
        9: (1200, 2040, 510, 180), 10: (5040, 1800, 180, 375), 11: (5040, 2205, 180, 375),
        12: (570, 2420, 180, 150), 13: (4310, 2420, 180, 150), 14: (1920, 2040, 510, 180),
        15: (4080, 2040, 255, 180),
    }[index]
    x, y, w, h = twips(left, top, width, height)
    return x + w // 2, y + h // 2


def make_tone(path, seconds, work):
    """A 44.1 kHz stereo MP3 of the test tone with an encoder header (exact length)."""
    wav = os.path.join(work, "tone.wav")
    for argv in (["sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", wav,
                  "synth", str(seconds), "sine", str(TONE_HZ), "vol", "0.5"],
                 ["lame", "--quiet", "-b", "128", "-m", "j", wav, path]):
        if subprocess.run(argv, timeout=60).returncode != 0:
            raise StepFailed(f"could not make the track {path}")
    os.unlink(wav)


class Run:
    def __init__(self, args):
        self.args = args
        self.work = tempfile.mkdtemp(prefix="zr-e2e-")
        self.shots = []  # (name, Image) kept for the artifacts
        self.x = None
        self.window = None
        self.program = None
        self.pulse = None
        self.refs = {}
        self.tracks = SCENARIOS[args.scenario]
        self.bus = None
        self.a11y = None
        self.reader = None

    # ---- references: the window drawn in an expected state ----
    @staticmethod
    def _key(labels):
        return tuple(sorted(labels.items()))

    def render_references(self, states):
        """Draws every expected state up front (two at a time), so that timed steps never wait."""
        pending = []
        for labels in states:
            out = os.path.join(self.work, f"ref{len(self.refs) + len(pending)}.ppm")
            argv = [self.args.reference, out]
            for name, value in labels.items():
                if name == "rows":
                    argv += [f"row={row}" for row in value.split("|")]
                else:
                    argv.append(f"{name}={value}")
            pending.append((labels, out, argv))
        running = []
        for item in pending + [None, None]:
            if item:
                proc = subprocess.Popen(item[2], env=self.x.env(XDG_RUNTIME_DIR=self.work),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                running.append((item, proc))
            if len(running) == 2 or (item is None and running):
                (labels, out, argv), proc = running.pop(0)
                try:
                    _, err = proc.communicate(timeout=30)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    raise StepFailed("the reference renderer hung")
                if proc.returncode != 0:
                    raise StepFailed(f"reference renderer failed: {err.decode(errors='replace')}")
                with open(out, "rb") as f:
                    self.refs[self._key(labels)] = Image.from_ppm(f.read())

    def reference(self, **labels):
        key = self._key(labels)
        if key not in self.refs:
            self.render_references([labels])
        return self.refs[key]

    def shot(self, name):
        image = self.x.screenshot()
        self.shots.append((name, image))
        return image

    def region_differs(self, screen, region, ref):
        x, y, w, h = REGIONS[region]
        wx, wy = self.window[0], self.window[1]
        return differing_pixels(screen, wx + x, wy + y, ref, x, y, w, h)

    def expect_regions(self, screen, ref, regions, step):
        bad = {r: n for r in regions if (n := self.region_differs(screen, r, ref))}
        if bad:
            raise StepFailed(f"{step}: regions differ from the expected drawing "
                             f"(differing pixels): {bad}")

    def wait_for(self, what, region, ref, timeout, interval=0.1):
        """Takes screenshots until the region matches the reference; returns that screenshot."""
        def matches():
            screen = self.shot(what)
            return screen if not self.region_differs(screen, region, ref) else None
        return wait_until(what, matches, timeout, interval)

    def progress_columns(self, screen):
        """How many columns of the seek bar show the drawn progress (a light colour)."""
        x, y, w, h = REGIONS["progress"]
        x, y = x + self.window[0], y + self.window[1]
        return sum(1 for cx in range(x, x + w)
                   if any(sum(screen.pixel(cx, cy)) > 600 for cy in range(y, y + h)))

    def light(self, screen, index):
        """Colour in the middle of speCommandLight(index): 0-5 left of buttons 0-5, then the
        lights of Mute, Random Select and Clear Playlist in the second row."""
        left, top = (360 + 720 * index, 1800) if index < 6 else (360 + 720 * (index - 6), 2040)
        x, y, w, h = twips(left, top, 105, 60)
        return screen.pixel(self.window[0] + x + w // 2, self.window[1] + y + h // 2)

    def lit_volume_steps(self, screen):
        """How many of the six volume steps are lit, or None when they are not a lit block
        growing from VolumeInd(0) upwards."""
        tops = {4: 1800, 3: 1920, 2: 2040, 1: 2160, 0: 2280, 5: 2400}
        lit = []
        for index in range(6):
            x, y, w, h = twips(5280, tops[index], 135, 90)
            colour = screen.pixel(self.window[0] + x + w // 2, self.window[1] + y + h // 2)
            if colour not in ((250, 0, 0), (128, 0, 0)):
                return None
            lit.append(colour == (250, 0, 0))
        count = sum(lit)
        return count if lit == [True] * count + [False] * (6 - count) else None

    def matching_clock(self, screen, seconds_choices):
        """Which of the given elapsed seconds the clock shows, or None."""
        for s in seconds_choices:
            ref = self.reference(lblELTimeC="0", lblELTimeD=str(s))
            if not self.region_differs(screen, "clock", ref):
                return s
        return None

    def at(self, pos):
        return self.window[0] + pos[0], self.window[1] + pos[1]

    # ---- the session ----
    def expected_states(self):
        states = [{}, {"rows": "|".join(shown(t[0]) for t in self.tracks)}, {"lblPositionA": "0"}]
        for row, (name, _, length) in enumerate(self.tracks, 1):
            states.append({"lblArtistA": f"({row:02d}) {shown(name)}", "lblLengthA": str(length)})
        for seconds in range(4):
            states.append({"lblELTimeC": "0", "lblELTimeD": str(seconds)})
        return states

    def start(self):
        self.render_references(self.expected_states())
        music = os.path.join(self.work, "music")
        os.mkdir(music)
        for name, fixture, length in self.tracks:
            if fixture:
                shutil.copy(os.path.join(self.args.fixtures, fixture), os.path.join(music, name))
            else:
                make_tone(os.path.join(music, name), length / 1000, self.work)
        if self.args.scenario == "nodevice":
            env = self.x.env(SDL_AUDIODRIVER="no-such-driver", XDG_RUNTIME_DIR=self.work)
        elif self.args.audio in ("pulse", "pipewire"):
            # A private sound server: what its null sink plays is what the user hears.
            self.pulse = PulseServer("pulseaudio" if self.args.audio == "pulse" else "pipewire")
            self.pulse.__enter__()
            self.tap = self.pulse.tap()
            env = self.x.env(SDL_AUDIODRIVER="pulseaudio", **self.pulse.client_env())
        else:
            self.tap = DiskTap(os.path.join(self.work, "audio.fifo"))
            env = self.x.env(SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=self.tap.path,
                             XDG_RUNTIME_DIR=self.work)
        if self.args.scenario in ("mpris", "screenreader", "drop"):
            self.bus = SessionBus()
            env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        if self.args.scenario == "screenreader":
            from atspi_reader import AccessibilityBus, Reader
            self.a11y = AccessibilityBus(env)
            self.reader = Reader(self.bus.address)
            env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        elif self.args.scenario == "nobus":
            env["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=" + os.path.join(self.work, "no-bus")
        self.log = open(os.path.join(self.work, "program.log"), "wb")
        self.program = subprocess.Popen([self.args.program], cwd=music, env=env,
                                        stdout=self.log, stderr=subprocess.STDOUT)
        self.window = wait_until("the player window",
                                 lambda: self.x.find_window(TITLE, WINDOW_SIZE), 20)
        time.sleep(0.5)
        start_ref = self.reference()
        screen = self.wait_for("the window's first paint", "title", start_ref, 10)
        self.expect_regions(screen, start_ref, ["title", "length", "position", "clock", "play mode"],
                            "at start")

    def fill_playlist(self):
        if self.args.scenario == "drop":
            self.drag_to_playlist()
            return
        self.x.click(*self.at(button(5)))  # Open
        browser = wait_until("the browser window", lambda: self.x.find_window(BROWSER), 15)
        time.sleep(0.5)
        # The tree's root is its first row, below the menu bar.
        self.shot("browser open")
        self.x.click(browser[0] + 50, browser[1] + 36)
        list_box = (browser[0] + 300, browser[1] + 45, 220, 120)

        def rows_in_list(image):
            # Text rows of the file list: bands of lines holding text pixels (not grid lines).
            x0, y0, w, h = list_box
            bands, inside = 0, False
            for y in range(y0, y0 + h):
                inked = sum(1 for x in range(x0, x0 + w) if sum(image.pixel(x, y)) < 600)
                dark = 0 < inked < w * 0.9
                if dark and not inside:
                    bands += 1
                inside = dark
            return bands

        wait_until("the file list to show the folder's tracks",
                   lambda: rows_in_list(self.shot("root clicked")) == len(self.tracks), 10)
        if self.args.scenario in ("menus", "menuseparators"):
            self.menus_by_mouse(browser, list_box)
            return
        self.x.key("ctrl+t")  # Select All

        def selected_rows(image):
            x0, y0, w, h = list_box
            colour = image.pixel(x0 + 150, y0 + 3)
            return colour if sum(colour) < 600 else None  # the highlight replaces the white

        wait_until("Select All to highlight the rows", lambda: selected_rows(self.shot("select all")), 5)
        self.x.key("ctrl+o")  # Open Files
        time.sleep(0.3)
        self.open_files_shot = (self.shot("open files"), browser)
        self.x.key("ctrl+x")  # Exit
        self.after_browser()

    def menus_by_mouse(self, browser, list_box):
        """Select All, Open Files and Exit chosen from the menus with the mouse."""
        def at(x, y):
            return browser[0] + x, browser[1] + y

        def menu_open(title, step):
            self.x.click(*at(*title))
            time.sleep(0.4)
            return self.shot(step)

        def items(image, left):
            """Window positions of the menu's item texts, top to bottom: bands of rows with
            dark text pixels right of the icon column (separator lines are not dark). Below
            a short menu the tree's texts follow."""
            bands, start = [], None
            for y in range(16, 140):
                inked = any(sum(image.pixel(browser[0] + x, browser[1] + y)) < 300
                            for x in range(left + 30, left + 110))
                if inked and start is None:
                    start = y
                elif not inked and start is not None:
                    bands.append((left + 60, (start + y) // 2))
                    start = None
            return [at(*band) for band in bands]

        def first_item_below_separator(image, left, positions, name):
            """The menu's first entry is a separator, drawn as a grey rule above the first
            item."""
            if not positions:
                raise StepFailed(f"the {name} menu shows no items")
            first = positions[0][1] - browser[1]
            # Grey rows above the first item: the menu's top border, then, after a light gap,
            # the rule. A separator squeezed into the border would give one run only.
            runs, inside = 0, False
            for y in range(16, first - 4):
                grey = sum(1 for x in range(left + 10, left + 90)
                           if 90 < max(image.pixel(browser[0] + x, browser[1] + y)) < 180) > 60
                runs += grey and not inside
                inside = grey
            rule = runs >= 2
            if not rule:
                raise StepFailed(f"the {name} menu's first separator is not drawn "
                                 f"(items at {positions})")

        mp3 = menu_open((55, 8), "Mp3 menu")
        mp3_items = items(mp3, 40)
        first_item_below_separator(mp3, 40, mp3_items, "Mp3")
        self.x.click(*mp3_items[0])  # Select All
        wait_until("Select All from the menu to highlight the rows",
                   lambda: sum(self.shot("select all").pixel(list_box[0] + 150, list_box[1] + 3)) < 600, 5)
        file_menu = menu_open((18, 8), "File menu")
        file_items = items(file_menu, 0)
        first_item_below_separator(file_menu, 0, file_items, "File")
        if len(file_items) < 2:
            raise StepFailed(f"the File menu shows {len(file_items)} items, not Open Files and Exit")
        self.x.click(*file_items[0])  # Open Files
        time.sleep(0.3)
        menu_open((18, 8), "File menu again")
        self.x.click(*file_items[1])  # Exit
        if self.args.scenario == "menuseparators":
            # Each menu starts with a separator line; nothing may be written on it.
            # The band where a text separator under the menu bar would show its text.
            for name, image, left in (("Mp3", mp3, 40), ("File", file_menu, 0)):
                ink = sum(1 for x in range(left + 2, left + 24) for y in range(16, 31)
                          if sum(image.pixel(browser[0] + x, browser[1] + y)) < 300)
                if ink:
                    raise StepFailed(f"the {name} menu's first separator carries text "
                                     f"({ink} dark pixels)")
        self.after_browser()

    def drag_to_playlist(self):
        """The tracks dragged from a GTK window onto the playlist with the mouse (XDND)."""
        music = os.path.join(self.work, "music")
        uris = ["file://" + urllib.parse.quote(os.fsencode(os.path.join(music, name)))
                for name, _, _ in self.tracks]
        source = subprocess.Popen([gtk_python(), os.path.join(HERE, "dragsource.py"), *uris],
                                  env=self.x.env(), stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        try:
            box = wait_until("the drag source window",
                             lambda: self.x.find_window("zr-drag-source"), 15)
            time.sleep(0.3)
            sx, sy = box[0] + 20, box[1] + 20
            tx, ty = self.at(self.blank_of_list())
            self.x.move(sx, sy)
            self.x.run("xdotool", "mousedown", "1")
            for step in range(1, 21):  # a drag starts after a few pixels of movement
                self.x.run("xdotool", "mousemove", str(sx + (tx - sx) * step // 20),
                           str(sy + (ty - sy) * step // 20))
                time.sleep(0.03)
            time.sleep(0.3)
            self.x.run("xdotool", "mouseup", "1")
            said = b""
            deadline = time.monotonic() + 10
            while b"dropped" not in said and time.monotonic() < deadline:
                if select.select([source.stdout], [], [], 0.5)[0]:
                    said += source.stdout.read1(256)
            if b"dropped" not in said:
                raise StepFailed("the drag did not end")
        finally:
            source.terminate()
            source.communicate(timeout=10)
        ref = self.reference(rows="|".join(shown(t[0]) for t in self.tracks))
        self.wait_for("the dropped tracks on the playlist", "playlist", ref, 5)

    def after_browser(self):
        wait_until("the browser to close", lambda: self.x.find_window(BROWSER) is None, 10)
        ref = self.reference(rows="|".join(t[0] for t in self.tracks))
        self.wait_for("the playlist to show the three tracks", "playlist", ref, 5)

    def playing(self, row, clock_choices, step):
        name, _, length = self.tracks[row - 1]
        ref = self.reference(lblArtistA=f"({row:02d}) {name}", lblLengthA=str(length))
        screen = self.shot(step)
        self.expect_regions(screen, ref, ["title", "length"], step)
        shown = self.matching_clock(screen, clock_choices)
        if shown is None:
            raise StepFailed(f"{step}: the clock shows none of {clock_choices} s")
        return screen, shown

    def hover_lights(self):
        """Pointing at a button lights it when it can act: Pause cannot yet, Play can."""
        self.x.move(*self.at(button(2)))
        time.sleep(0.3)
        if self.light(self.shot("over Pause"), 2) != (0, 0, 0):
            raise StepFailed("pointing at Pause with nothing playing lit its light")
        self.x.move(*self.at(button(1)))
        wait_until("Play's light to turn yellow under the pointer",
                   lambda: self.light(self.shot("over Play"), 1) == (255, 255, 0), 3)

    def play_through(self):
        self.hover_lights()
        t_play = time.monotonic()
        self.x.click(*self.at(button(1)))  # Play: the list has no selection, the first row plays
        time.sleep(2.5)
        screen, shown = self.playing(1, [2, 1], "first track after 2.5 s")
        self.playing_shot = screen
        zero = self.reference(lblPositionA="0")
        if not self.region_differs(screen, "position", zero):
            raise StepFailed("first track after 2.5 s: the position still reads 0")
        if self.light(screen, 1) != (0, 255, 0):
            raise StepFailed("first track after 2.5 s: the pressed Play button's light is not green")
        if not 0 < self.progress_columns(screen) < REGIONS["progress"][2]:
            raise StepFailed("first track after 2.5 s: the seek bar shows no partial progress")
        t_next = time.monotonic()
        self.x.click(*self.at(button(4)))  # Next
        time.sleep(0.4)
        t_pause = time.monotonic()
        self.x.click(*self.at(button(2)))  # Pause
        time.sleep(1.2)
        self.playing(2, [0], "second track paused")
        t_resume = time.monotonic()
        self.x.click(*self.at(button(1)))  # Play continues the paused track
        # The clock's next tick finds the second track ended and starts the third.
        third = self.reference(lblArtistA=f"(03) {self.tracks[2][0]}", lblLengthA=str(self.tracks[2][2]))
        self.wait_for("the third track to start after the second ends", "title", third, 4, 0.2)
        stopped = self.reference()
        t_third = time.monotonic()
        screen = self.wait_for("the player to stop after the last track", "title", stopped, 5, 0.2)
        t_end = time.monotonic()
        self.expect_regions(screen, stopped, ["title", "length", "position", "clock"], "after the last track")
        if self.progress_columns(screen):
            raise StepFailed("after the last track: the seek bar still shows progress")
        return dict(play=t_play, next=t_next, pause=t_pause, resume=t_resume, third=t_third, end=t_end)

    def play_silently(self):
        """Without a sound device the tracks still play, one after the other, in real time."""
        t_play = time.monotonic()
        self.x.click(*self.at(button(1)))
        for row, (name, _, length) in enumerate(self.tracks, 1):
            ref = self.reference(lblArtistA=f"({row:02d}) {name}", lblLengthA=str(length))
            self.wait_for(f"track {row} to play without a sound device", "title", ref, 5, 0.1)
        stopped = self.reference()
        screen = self.wait_for("the player to stop after the last track", "title", stopped, 5, 0.1)
        self.expect_regions(screen, stopped, ["title", "length", "position", "clock"],
                            "after the last track")
        took = time.monotonic() - t_play
        total = sum(t[2] for t in self.tracks) / 1000
        if took < total - 0.1:
            raise StepFailed(f"{total:.1f} s of tracks were over after {took:.2f} s: "
                             "silent playback must keep real time")

    def mute_next_unmute_seek(self):
        """Muted sound stays muted on the next track; unmuting brings it back; a press on the
        seek bar near its right end jumps there and the track ends soon after."""
        t_play = time.monotonic()
        self.x.click(*self.at(button(1)))  # Play
        time.sleep(0.8)
        t_mute = time.monotonic()
        self.x.click(*self.at(button(8)))  # Mute
        time.sleep(0.3)
        if self.light(self.shot("muted"), 6) != (255, 0, 0):
            raise StepFailed("after Mute the Mute light is not red")
        time.sleep(0.7)
        self.x.click(*self.at(button(4)))  # Next: the second track starts, still muted
        second = self.reference(lblArtistA=f"(02) {self.tracks[1][0]}",
                                lblLengthA=str(self.tracks[1][2]))
        self.wait_for("the second track after Next", "title", second, 3)
        time.sleep(1.0)
        t_unmute = time.monotonic()
        self.x.click(*self.at(button(8)))  # Mute again: sound on
        time.sleep(1.2)
        x, y, w, h = REGIONS["progress"]
        t_seek = time.monotonic()
        self.x.click(*self.at((x + w * 9 // 10, y + h // 2)))  # 90 % of the track
        stopped = self.reference()
        self.wait_for("the player to stop after the seek to the end", "title", stopped, 4, 0.1)
        t_end = time.monotonic()

        heard = self.tap.sounding_seconds
        if heard(t_play + 0.3, t_mute) < 0.3:
            raise StepFailed("the first track was not heard before Mute")
        if (muted := heard(t_mute + 0.4, t_unmute)) > 0.05:
            raise StepFailed(f"heard {muted:.2f} s of sound while muted (the next track too)")
        if heard(t_unmute + 0.4, t_seek) < 0.5:
            raise StepFailed("sound did not come back after the second press on Mute")
        rest = self.tracks[1][2] / 1000 * 0.1
        if (after := heard(t_seek + 0.25, None)) > rest + 0.3:
            raise StepFailed(f"heard {after:.2f} s after seeking to 90 %; expected at most {rest:.2f} s")
        if t_end - t_seek > rest + 1.6:
            raise StepFailed(f"the track ended {t_end - t_seek:.1f} s after the seek to 90 %")

    def slow_next(self):
        """Slow Play shows "Slow play"; the next track plays at half speed, pitch unchanged."""
        self.x.click(*self.at(button(1)))  # Play
        time.sleep(0.5)
        self.x.click(*self.at(button(6)))  # Slow Play
        slow = self.reference(lblPlayMode1="Slow play")
        self.wait_for("the play mode to read Slow play", "play mode", slow, 3)
        time.sleep(0.5)
        t_next = time.monotonic()
        self.x.click(*self.at(button(4)))  # Next
        stopped = self.reference()
        self.wait_for("the player to stop after the slowed last track", "title", stopped, 6, 0.1)
        heard = self.tap.sounding_seconds(t_next + 0.2, None)
        expected = self.tracks[1][2] / 1000 * 2
        if abs(heard - expected) > 0.35:
            raise StepFailed(f"the last track sounded {heard:.2f} s at Slow play; expected {expected:.2f} s")
        pitch = self.tap.tone_frequency()
        if abs(pitch - TONE_HZ) > 15:
            raise StepFailed(f"at Slow play the tone sounded at {pitch:.0f} Hz, not {TONE_HZ:.0f} Hz")
        return heard, pitch

    def monkey(self, seconds=10.0):
        """Clicks, double clicks and moves at random on the buttons (but Open and Clear
        Playlist), the seek bar and the playlist rows; then the player must still obey."""
        rng = random.Random(20261207)
        buttons = [0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 15]
        bar = REGIONS["progress"]
        rows = REGIONS["playlist"]
        deadline = time.monotonic() + seconds
        clicks = 0
        while time.monotonic() < deadline:
            r = rng.random()
            if r < 0.7:
                pos = button(rng.choice(buttons))
            elif r < 0.85:
                pos = (bar[0] + rng.randrange(bar[2]), bar[1] + bar[3] // 2)
            else:
                pos = (rows[0] + 60, rows[1] + 22 + 13 * rng.randrange(len(self.tracks) + 2))
            self.x.move(*self.at(pos))
            self.x.run("xdotool", "click", *(["--repeat", "2"] if rng.random() < 0.15 else []), "1")
            clicks += 1
            time.sleep(rng.choice([0.0, 0.02, 0.1, 0.3]))
            if self.program.poll() is not None:
                raise StepFailed(f"the program ended (code {self.program.returncode}) "
                                 f"after {clicks} random clicks")
        self.x.click(*self.at(button(15)))  # Normal Play
        self.x.click(*self.at(button(3)))   # Stop
        stopped = self.reference()
        self.wait_for("Stop after the random clicks", "title", stopped, 3)
        self.x.click(*self.at(rows[:2]))    # nothing selected is fine too: Play takes row 1
        self.x.click(*self.at(button(1)))   # Play
        playing = wait_until("Play after the random clicks to show a track",
                             lambda: self.region_differs(self.shot("play again"), "title", stopped), 3)
        self.wait_for("the list to play to its end", "title", stopped, 3 + 2 * len(self.tracks), 0.2)
        return clicks, playing

    def row(self, index):
        """Window position of the middle of playlist row `index` (1-based), in its name column."""
        x, y, _, _ = REGIONS["playlist"]
        return x + 80, y + 23 + 13 * (index - 1)

    def blank_of_list(self):
        """A point of the playlist below any row this test adds."""
        x, y, _, h = REGIONS["playlist"]
        return x + 80, y + h - 40

    def double_click(self, pos):
        self.x.move(*self.at(pos))
        self.x.run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")

    def selection_kept(self):
        """A blank click and a Ctrl+click leave the selected row selected; a double click below
        the rows restarts it; the keyboard still moves it; Pause works on an emptied list and a
        double click on the empty list stops."""
        self.x.click(*self.at(self.row(2)))
        time.sleep(0.2)
        self.x.click(*self.at(self.blank_of_list()))
        time.sleep(0.2)
        self.x.click(*self.at(button(1)))  # Play
        # At once: row 1 is short, and its end would move on to row 2 as well.
        time.sleep(0.5)
        self.playing(2, [0], "Play with the row kept selected (row 2)")
        wait_until("the clock to count two seconds of row 2",
                   lambda: self.matching_clock(self.shot("row 2 playing"), [2]) is not None, 4, 0.2)
        self.double_click(self.blank_of_list())
        time.sleep(0.4)
        self.playing(2, [0], "a double click below the rows")
        # Ctrl+click on the selected row keeps it selected: Next then has a row to move on from.
        self.x.move(*self.at(self.row(2)))
        self.x.run("xdotool", "keydown", "ctrl", "click", "1", "keyup", "ctrl")
        time.sleep(0.2)
        self.x.click(*self.at(button(4)))  # Next
        time.sleep(0.5)
        self.playing(3, [0], "Next after a Ctrl+click on the selected row")
        self.x.key("Up")
        time.sleep(0.2)
        self.double_click(self.blank_of_list())
        time.sleep(0.5)
        self.playing(2, [0], "Up, then a double click below the rows")
        time.sleep(0.6)
        self.x.click(*self.at(button(14)))  # Clear Playlist
        self.wait_for("the emptied list", "playlist", self.reference(), 3)
        time.sleep(0.5)
        t_pause = time.monotonic()
        self.x.click(*self.at(button(2)))  # Pause, with nothing left in the list
        time.sleep(0.4)
        frozen = self.shot("paused after Clear Playlist")
        time.sleep(1.4)
        later = self.shot("still paused")
        x, y, w, h = REGIONS["clock"]
        wx, wy = self.window[0], self.window[1]
        if differing_pixels(frozen, wx + x, wy + y, later, wx + x, wy + y, w, h):
            raise StepFailed("the clock went on counting after Pause on an emptied list")
        t_stop = time.monotonic()
        self.double_click(self.blank_of_list())  # on the empty list: Stop
        stopped = self.reference()
        screen = self.wait_for("a double click on the empty list to stop", "title", stopped, 3)
        self.expect_regions(screen, stopped, ["title", "length", "position", "clock"],
                            "after a double click on the empty list")
        heard_paused = self.tap.sounding_seconds(t_pause + 0.3, t_stop)
        if heard_paused > 0.05:
            raise StepFailed(f"heard {heard_paused:.2f} s of sound after Pause on an emptied list")
        if self.tap.sounding_seconds(None, t_pause) < 1.5:
            raise StepFailed("the rows played before Pause were not heard")

    def volume_steps(self):
        """Three steps up reach the top, five down the bottom; each shows and is heard."""
        def press(index, times):
            for _ in range(times):
                self.x.click(*self.at(button(index)))
                time.sleep(0.15)

        def expect_lit(count, step):
            shown = self.lit_volume_steps(self.shot(step))
            if shown != count:
                raise StepFailed(f"{step}: {shown} volume steps lit, expected {count}")

        def listen(seconds=0.7):
            # From a little after the last click, so that the click has surely arrived.
            start = time.monotonic() + 0.4
            time.sleep(0.4 + seconds)
            return self.tap.peak(start, time.monotonic())

        self.x.click(*self.at(button(1)))  # Play
        expect_lit(3, "start volume")
        middle = listen()
        press(10, 3)  # Increase Volume, to the top
        expect_lit(6, "three steps up")
        top = listen()
        press(10, 1)
        expect_lit(6, "a fourth step up")
        press(11, 5)  # Decrease Volume, to the bottom
        expect_lit(1, "five steps down")
        bottom = listen()
        self.x.click(*self.at(button(4)))  # Next: the next track starts at the same level
        next_track = listen(0.5)
        stopped = self.reference()
        self.wait_for("the player to stop after the last track", "title", stopped, 4, 0.1)
        levels = f"peaks: bottom {bottom:.3f}, start {middle:.3f}, top {top:.3f}, next {next_track:.3f}"
        # The tone is made at half of full scale; the top step is about unity gain.
        if not (0.0005 < bottom < middle / 1.2 and middle < top / 1.2 and 0.35 < top < 0.55):
            raise StepFailed(f"the volume steps were not heard in order ({levels})")
        if abs(next_track - bottom) > 0.25 * bottom:
            raise StepFailed(f"the next track did not keep the volume ({levels})")
        return levels

    def start_volume(self):
        """Two steps down while nothing plays, then Play: no part of the track, its start
        included, may sound louder than the level set."""
        for _ in range(2):
            self.x.click(*self.at(button(11)))  # Decrease Volume
            time.sleep(0.15)
        t_play = time.monotonic()
        self.x.click(*self.at(button(1)))
        stopped = self.reference()
        self.wait_for("the track to end", "title", stopped, 4, 0.1)
        steady = self.tap.peak(t_play + 0.4, t_play + 0.9)
        first = self.tap.peak(None, t_play + 0.4)
        if not 0 < steady < 0.01:
            raise StepFailed(f"two steps down sounded at peak {steady:.4f}, expected about 0.002")
        if first > 1.5 * steady:
            loud = self.tap.sounding_seconds(None, t_play + 0.4, threshold=1.5 * steady)
            raise StepFailed(f"the track began with {loud * 1000:.0f} ms at peak {first:.3f} before "
                             f"settling at the set level (peak {steady:.4f})")
        return steady

    def close(self):
        self.x.click(*self.at((self.window[2] - 16, 4 + 11)))  # the caption bar's close button
        try:
            code = self.program.wait(10)
        except subprocess.TimeoutExpired:
            raise StepFailed("the program did not exit within 10 s of closing its window")
        if code != 0:
            raise StepFailed(f"the program exited with code {code}")

    def check_audio(self, t):
        first = min(t["next"] - t["play"], self.tracks[0][2] / 1000)
        heard = self.tap.sounding_seconds()
        expected = first + self.tracks[1][2] / 1000 + self.tracks[2][2] / 1000
        # Clicks reach the program a little after they are sent, and SDL's disk driver runs a
        # few percent fast.
        if abs(heard - expected) > 0.45:
            raise StepFailed(f"heard {heard:.2f} s of sound, expected about {expected:.2f} s")
        during_pause = self.tap.sounding_seconds(t["pause"] + 0.3, t["resume"])
        if during_pause > 0.05:
            raise StepFailed(f"heard {during_pause:.2f} s of sound while paused")
        after_end = self.tap.sounding_seconds(t["end"] + 0.3, None)
        if after_end > 0.05:
            raise StepFailed(f"heard {after_end:.2f} s of sound after the last track ended")
        pitch = self.tap.tone_frequency()
        if abs(pitch - TONE_HZ) > 10:
            raise StepFailed(f"the tone sounded at {pitch:.0f} Hz, not {TONE_HZ:.0f} Hz")
        return heard, expected, pitch

    # ---- the scenarios: each ends with the window closed and returns what it found ----
    def scenario_user(self):
        times = self.play_through()
        self.close()
        heard, expected, pitch = self.check_audio(times)
        if self.args.readme_shot:
            self.save_readme_shot(self.args.readme_shot)
        return f"heard {heard:.2f} s (expected {expected:.2f} s) at {pitch:.0f} Hz"

    def save_readme_shot(self, path):
        """The browser right after Open Files beside the player playing the first track, as
        one small PNG for the README."""
        browser_screen, (bx, by, bw, bh) = self.open_files_shot
        px, py, pw, ph = self.window[:4]
        with tempfile.TemporaryDirectory() as tmp:
            browser_png = os.path.join(tmp, "browser.png")
            player_png = os.path.join(tmp, "player.png")
            save_png(browser_screen, browser_png)
            save_png(self.playing_shot, player_png)
            os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
            subprocess.run(
                ["convert", "-background", "white",
                 "(", browser_png, "-crop", f"{bw}x{bh}+{bx}+{by}", "+repage", ")",
                 "(", player_png, "-crop", f"{pw}x{ph}+{px}+{py}", "+repage", ")",
                 "-gravity", "north", "-splice", "0x0", "+append", "-bordercolor", "white",
                 "-border", "6", "-colors", "64", "-strip", path],
                check=True, timeout=30)
    def scenario_nodevice(self):
        self.play_silently()
        self.close()
        with open(os.path.join(self.work, "program.log"), "rb") as f:
            if b"no sound device" not in f.read():
                raise StepFailed("the program did not say that it has no sound device")
        return "played silently in real time without a sound device"

    def scenario_controls(self):
        self.mute_next_unmute_seek()
        self.close()
        return "mute held over Next, unmute, seek near the end"

    def scenario_speed(self):
        heard, pitch = self.slow_next()
        self.close()
        return f"the next track sounded {heard:.2f} s at half speed, {pitch:.0f} Hz"

    def scenario_volume(self):
        levels = self.volume_steps()
        self.close()
        return levels

    def scenario_selection(self):
        self.selection_kept()
        self.close()
        return ("the selection held against blank and Ctrl clicks; double clicks below the rows "
                "and on the empty list; Pause after Clear Playlist")

    def scenario_startvolume(self):
        steady = self.start_volume()
        self.close()
        return f"the track sounded at peak {steady:.4f} from its first sample"

    def _close_during_track(self, pause):
        self.x.click(*self.at(button(1)))  # Play
        time.sleep(1.2)
        if pause:
            self.x.click(*self.at(button(2)))
            time.sleep(0.5)
        t_close = time.monotonic()
        self.close()
        after = self.tap.sounding_seconds(t_close + 0.3, None)
        if after > 0.05:
            raise StepFailed(f"heard {after:.2f} s of sound after the window closed")
        return f"closed cleanly in {time.monotonic() - t_close:.2f} s"

    def scenario_closepaused(self):
        return self._close_during_track(pause=True)

    def scenario_closeplaying(self):
        return self._close_during_track(pause=False)

    def scenario_menus(self):
        # A double click on the second row plays it; being the last row, the list then stops.
        x, y, _, _ = REGIONS["playlist"]
        self.x.move(*self.at((x + 80, y + 37)))
        self.x.run("xdotool", "click", "--repeat", "2", "--delay", "80", "1")
        name, _, length = self.tracks[1]
        second = self.reference(lblArtistA=f"(02) {name}", lblLengthA=str(length))
        self.wait_for("a double click to play the second row", "title", second, 3)
        self.wait_for("the player to stop after the last row", "title", self.reference(), 4, 0.1)
        self.close()
        return "menus used with the mouse; a double-clicked row played"

    def scenario_menuseparators(self):
        return self.scenario_closeplaying()

    def scenario_deepfolders(self):
        """C:\\tmp\\<folder>\\deep\\ then twenty levels of long names: each level is
        reached with Right, the deepest shows its file, one more Right stays there, and a
        click on the deepest node (in view, the tree scrolled sideways) lists it again."""
        top = tempfile.mkdtemp(prefix="zr-deep-", dir="/tmp")
        try:
            path = os.path.join(top, "deep")
            for level in range(1, 21):
                path = os.path.join(path, f"level {level:02d} of a deep folder tree")
                os.makedirs(path)
                if level == 19:  # three rows: neither the root's two nor the deepest's one
                    for name in ("one.mp3", "two.mp3", "six.mp3"):
                        open(os.path.join(path, name), "wb").close()
            open(os.path.join(path, "deepest.mp3"), "wb").close()
            return self._walk_deep_tree(os.path.basename(top))
        finally:
            shutil.rmtree(top, ignore_errors=True)

    def _walk_deep_tree(self, top_name):
        self.x.click(*self.at(button(5)))  # Open
        browser = wait_until("the browser window", lambda: self.x.find_window(BROWSER), 15)
        time.sleep(0.5)
        list_box = (browser[0] + 300, browser[1] + 45, 220, 120)
        tree = (browser[0] + 2, browser[1] + 30, 285, 390)

        def rows_in_list(image):
            x0, y0, w, h = list_box
            bands, inside = 0, False
            for y in range(y0, y0 + h):
                inked = sum(1 for x in range(x0, x0 + w) if sum(image.pixel(x, y)) < 600)
                dark = 0 < inked < w * 0.9
                if dark and not inside:
                    bands += 1
                inside = dark
            return bands

        def highlight(image):
            """(left, top, bottom) of the selected node's highlight in the tree, or None."""
            x0, y0, w, h = tree
            hits = [(x, y) for y in range(y0, y0 + h, 1) for x in range(x0, x0 + w, 3)
                    if (p := image.pixel(x, y))[2] > p[0] + 60 and p[2] > 120]
            if not hits:
                return None
            ys = [y for _, y in hits]
            return min(x for x, _ in hits), min(ys), max(ys)

        def keys(*names):
            for name in names:
                self.x.key(name)
                time.sleep(0.12)

        self.x.click(browser[0] + 50, browser[1] + 36)  # the root
        time.sleep(0.3)
        keys("Down", "Right", "Right")  # C:, opened, its first folder
        self.x.run("xdotool", "type", "--delay", "60", "tmp")
        time.sleep(0.5)
        keys("Right", "Right")
        self.x.run("xdotool", "type", "--delay", "60", top_name)
        time.sleep(0.5)
        keys("Right", "Right")  # deep
        for level in range(1, 21):
            keys("Right", "Right")
        wait_until("the deepest folder's file in the list",
                   lambda: rows_in_list(self.shot("deepest by keyboard")) == 1, 5)
        keys("Right")  # nothing below: the selection must stay on the deepest node
        time.sleep(0.5)
        screen = self.shot("one more Right")
        if rows_in_list(screen) != 1:
            raise StepFailed("one more Right on the deepest folder changed the listed folder")
        deepest = highlight(screen)
        if deepest is None:
            raise StepFailed("the deepest node is not shown selected inside the tree")
        keys("Left")  # up to level 19, which holds three files
        wait_until("level 19's three files", lambda: rows_in_list(self.shot("level 19")) == 3, 5)
        nineteen = highlight(self.shot("level 19 selected"))
        if nineteen is None:
            raise StepFailed("level 19 is not shown selected inside the tree")
        row_height = nineteen[2] - nineteen[1] + 1
        # The deepest node's text: one row below, one indentation step right.
        self.x.click(max(deepest[0], nineteen[0] + 20) + 30, nineteen[2] + row_height // 2 + 1)
        wait_until("a click on the deepest node to list its file",
                   lambda: rows_in_list(self.shot("deepest clicked")) == 1, 5)
        self.x.key("ctrl+x")
        wait_until("the browser to close", lambda: self.x.find_window(BROWSER) is None, 10)
        self.close()
        return "twenty levels reached with the keyboard and the deepest clicked"

    def scenario_monkey(self):
        clicks, _ = self.monkey()
        self.close()
        return f"{clicks} random clicks, then Stop and Play obeyed"

    def playerctl(self, *args):
        """Runs playerctl on the private bus against this player; returns its output."""
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus.address)
        try:
            done = subprocess.run(["playerctl", "-p", MPRIS_PLAYER, *args], env=env,
                                  capture_output=True, timeout=10)
        except subprocess.TimeoutExpired:
            raise StepFailed(f"playerctl {' '.join(args)} did not finish in 10 s")
        if done.returncode != 0:
            raise StepFailed(f"playerctl {' '.join(args)} failed: "
                             f"{done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode().strip()

    def expect_status(self, status, step):
        got = wait_until(f"{step}: playerctl status {status}",
                         lambda: self.playerctl("status") == status, 3, 0.1)
        return got

    def title_ref(self, row):
        name, _, length = self.tracks[row - 1]
        return self.reference(lblArtistA=f"({row:02d}) {name}", lblLengthA=str(length))

    def scenario_mpris(self):
        """playerctl starts, pauses and steps the player as its buttons would; what it reports
        is what the window shows; Space, a media key and Return act while the window has the
        focus. Checked on the screen and by ear."""
        music = os.path.join(self.work, "music")
        self.expect_status("Stopped", "before playing")
        t_play = time.monotonic()
        self.playerctl("play-pause")
        self.wait_for("playerctl play-pause to show the first row playing", "title",
                      self.title_ref(1), 3)
        self.expect_status("Playing", "after play-pause")
        title = self.playerctl("metadata", "xesam:title")
        if title != "(01) alpha.mp3":
            raise StepFailed(f"metadata title {title!r}, the window shows (01) alpha.mp3")
        url = self.playerctl("metadata", "xesam:url")
        if url != "file://" + os.path.join(music, "alpha.mp3"):
            raise StepFailed(f"metadata url {url!r}")
        length = int(self.playerctl("metadata", "mpris:length"))
        if length != self.tracks[0][2] * 1000:
            raise StepFailed(f"metadata length {length} us, the window shows {self.tracks[0][2]} ms")
        time.sleep(1.2)
        position = float(self.playerctl("position"))
        if not 0.8 < position < 2.5:
            raise StepFailed(f"playerctl position {position:.2f} s, 1.2 s after Play")
        self.playerctl("position", "0.7-")  # a seek back, through the seek bar's seek
        back = float(self.playerctl("position"))
        if not back < position - 0.4:
            raise StepFailed(f"playerctl position 0.7- went from {position:.2f} s to {back:.2f} s")

        t_pause = time.monotonic()
        self.playerctl("play-pause")
        self.expect_status("Paused", "after the second play-pause")
        time.sleep(1.0)
        # The window gets the focus as a user gives it: a click on the playlist's first row.
        rows = REGIONS["playlist"]
        self.x.click(*self.at((rows[0] + 80, rows[1] + 24)))
        time.sleep(0.2)
        t_resume = time.monotonic()
        self.x.key("space")
        self.expect_status("Playing", "after Space")
        time.sleep(0.8)
        # The keyboard's Play/Pause key (X sends XF86AudioPlay) toggles, as Space does.
        self.x.key("XF86AudioPlay")
        self.expect_status("Paused", "after the Play/Pause media key")
        self.x.key("XF86AudioPlay")
        self.expect_status("Playing", "after the Play/Pause media key again")
        t_next = time.monotonic()
        self.playerctl("next")
        self.wait_for("playerctl next to show the second row", "title", self.title_ref(2), 3)
        if self.playerctl("metadata", "title") != "(02) bravo.mp3":
            raise StepFailed("after next, playerctl does not report the second row")
        # After bus calls, Space acts on what the window shows; the focus given to the window
        # by the window system this time, not by a click.
        wid = self.x.run("xdotool", "search", "--onlyvisible", "--name", f"^{TITLE}$").split()[0]
        self.x.run("xdotool", "windowfocus", "--sync", wid.decode())
        self.x.key("space")
        self.expect_status("Paused", "Space after playerctl next")
        self.x.key("space")
        self.expect_status("Playing", "Space again after playerctl next")
        time.sleep(0.3)
        self.x.key("XF86AudioNext")  # the media key while the window has the focus
        self.wait_for("the Next media key to show the third row", "title", self.title_ref(3), 2)
        stopped = self.reference()
        self.wait_for("the player to stop after the last row", "title", stopped, 4, 0.1)
        self.expect_status("Stopped", "after the last row ended")
        # Return on the selected (last) row plays it again, as a double-click.
        self.x.key("Return")
        self.wait_for("Return to play the selected row", "title", self.title_ref(3), 3)
        self.wait_for("the row to end again", "title", stopped, 4, 0.1)
        t_end = time.monotonic()
        self.close()

        heard = self.tap.sounding_seconds
        # The window holds about 1.3 s of play; blocks land whole on either side of its edges.
        if heard(t_play + 0.3, t_pause) < 0.5:
            raise StepFailed("the first row was not heard after playerctl play-pause")
        if (paused := heard(t_pause + 0.3, t_resume)) > 0.05:
            raise StepFailed(f"heard {paused:.2f} s while paused by playerctl")
        if heard(t_resume + 0.3, t_next) < 0.3:
            raise StepFailed("nothing was heard after Space resumed the track")
        if (after := heard(t_end + 0.3, None)) > 0.05:
            raise StepFailed(f"heard {after:.2f} s after the last row ended")
        return (f"playerctl play-pause/position {position:.2f} s/metadata/status/next, "
                "Space, XF86AudioPlay, XF86AudioNext and Return obeyed")

    def scenario_screenreader(self):
        """Both windows as a screen reader reads them: a frame and a dialog with named lists;
        playlist rows of two cells, stepped through by their file names; the seek bar a
        slider with the position as its value and a visible focus mark; the clock one text;
        and only labels whose text changed announce it."""
        from atspi_reader import require
        r = self.reader
        app = r.application(TITLE)
        frame = r.find(app, role="frame", name=TITLE)

        self.x.click(*self.at(button(5)))  # Open
        wait_until("the browser window", lambda: self.x.find_window(BROWSER), 15)
        dialog = r.find(app, role="dialog", name=BROWSER)
        for name in ("Drives and folders", "Mp3 files"):
            r.find(dialog, name=name)
        self.x.key("ctrl+x")
        wait_until("the browser to close", lambda: self.x.find_window(BROWSER) is None, 10)

        playlist = r.find(frame, role="tree", name="Playlist")
        rows = [r.cells(playlist, row) for row in range(len(self.tracks))]
        require(rows[1] == ["02.", "bravo.mp3"],
                f"the playlist's rows read {rows}: hidden columns or wrong cells")

        # Stepping through the rows reads file names, also after a click on a row's number.
        r.listen("object:state-changed:focused", "object:property-change:accessible-name")
        x, y, _, _ = REGIONS["playlist"]
        self.x.click(*self.at((x + 10, y + 23)))  # row 1, on its number
        self.x.key("Down")
        r.pump(1.0)
        focused = [e.name for e in r.heard("object:state-changed:focused") if e.detail1]
        require(focused and focused[-1] == "bravo.mp3" and "02." not in focused,
                f"stepping to row 2 the focus read {focused}")

        # Tab: the seek bar, a slider, with a focus mark on the screen.
        bx, by, bw, bh = REGIONS["progress"]
        bottom = lambda image: sum(1 for cx in range(bw) if image.pixel(
            self.window[0] + bx + cx, self.window[1] + by + bh - 1) != (0, 0, 0))
        unmarked = bottom(self.shot("before Tab"))
        since = time.monotonic()
        self.x.key("Tab")
        r.pump(0.5)
        focused = [(e.role, e.name) for e in r.heard("object:state-changed:focused", since)
                   if e.detail1]
        require(focused[-1:] == [("slider", "Seek bar")], f"Tab focused {focused}")
        marked = bottom(self.shot("seek bar focused"))
        require(unmarked == 0 and marked >= bw // 3,
                f"the seek bar's bottom row has {marked} lit pixels with the focus, "
                f"{unmarked} without: no focus mark")

        # Space plays row 2; the bar's value follows the position, the clock reads as one.
        self.x.key("space")
        self.wait_for("Space to play row 2", "title", self.title_ref(2), 3)
        t_play = time.monotonic()
        r.pump(3.4)
        slider = r.find(frame, role="slider", name="Seek bar")
        value, maximum = slider.queryValue().currentValue, slider.queryValue().maximumValue
        require(maximum == self.tracks[1][2] / 1000 and 1.0 <= value < maximum,
                f"the seek bar reads {value} of {maximum} s, 3 s into a 5 s track")
        clock = r.find(frame, role="label", description="Elapsed Time")
        require(clock.name in ("00:02", "00:03", "00:04"), f"the clock reads {clock.name!r}")
        require(not r.find_all(frame, role="label", name=":"), "the clock's colon is a label")
        # Only what changed is announced: no title, length or play mode after the start, and
        # the clock once a tick (not each digit).
        names = r.heard("object:property-change:accessible-name", t_play + 0.5)
        by = {d: sum(1 for e in names if e.description == d)
              for d in ("Artist", "Length", "Play Mode", "Elapsed Time")}
        require(by["Artist"] == by["Length"] == by["Play Mode"] == 0 and by["Elapsed Time"] <= 5,
                f"name changes announced in 2.9 s of ticks: {by} ({names})")
        require(not [e for e in names if e.name in ("0", ":")],
                f"the clock's digits announce themselves: {names}")
        shown = clock.name
        self.x.key("space")  # Pause
        self.close()
        return (f"frame, dialog, rows {rows[1]}, focus on names, slider {value:.1f}/{maximum:.0f} s, "
                f"clock {shown}, name changes {by}")

    def scenario_drop(self):
        """A dropped track whose name is not UTF-8 plays; playerctl reads the title the window
        shows and the sound server names the stream the same."""
        name = shown(self.tracks[0][0])
        self.playerctl("play")
        self.wait_for("the dropped first row to play", "title", self.title_ref(1), 3)
        title = self.playerctl("metadata", "xesam:title")
        if title != f"(01) {name}":
            raise StepFailed(f"playerctl reads the title {title!r}, the window shows (01) {name}")
        streams = []
        if self.pulse:
            streams = wait_until("the stream on the sound server", lambda: [
                s for s in self.pulse.sink_inputs()
                if s.get("application.process.id") == str(self.program.pid)], 3, 0.1)
            if streams[0].get("media.name") != name:
                raise StepFailed(f"the server names the stream {streams[0].get('media.name')!r}, "
                                 f"the window shows {name!r}")
        self.wait_for("the list to play to its end", "title", self.reference(), 5, 0.1)
        self.close()
        if self.tap.sounding_seconds() < 1.5:
            raise StepFailed("the dropped tracks were not heard")
        return f"dropped, played and read as {title!r}" + (
            f", stream {streams[0].get('media.name')!r}" if streams else "")

    def scenario_nobus(self):
        self.x.click(*self.at(button(1)))
        self.wait_for("Play without a session bus", "title", self.title_ref(1), 3)
        self.wait_for("the track to end", "title", self.reference(), 4, 0.1)
        self.close()
        with open(os.path.join(self.work, "program.log"), "rb") as f:
            log = f.read().decode(errors="replace")
        if any(word in log.lower() for word in ("dbus", "d-bus", "mpris")):
            raise StepFailed(f"the program spoke of the missing bus: {log!r}")
        return "played without a session bus and said nothing about it"

    def keep_artifacts(self):
        out = self.args.artifacts
        shutil.rmtree(out, ignore_errors=True)
        os.makedirs(out, exist_ok=True)
        for i, (name, image) in enumerate(self.shots[-12:]):
            slug = "".join(c if c.isalnum() else "-" for c in name)
            save_png(image, os.path.join(out, f"{i:02d}-{slug}.png"))
        for i, image in enumerate(self.refs.values()):
            save_png(image, os.path.join(out, f"reference-{i:02d}.png"))
        log = os.path.join(self.work, "program.log")
        if os.path.exists(log):
            shutil.copy(log, os.path.join(out, "program.log"))
        print(f"screenshots kept in {out}", file=sys.stderr)

    def main(self):
        with XServer() as x:
            self.x = x
            try:
                self.start()
                self.fill_playlist()
                print("ok: " + getattr(self, "scenario_" + self.args.scenario)())
                shutil.rmtree(self.args.artifacts, ignore_errors=True)
                return 0
            except (StepFailed, OSError, ValueError, ServerFailed) as failure:
                print(f"FAIL: {failure}", file=sys.stderr)
                self.keep_artifacts()
                return 1
            finally:
                if self.program and self.program.poll() is None:
                    self.program.kill()
                    self.program.wait()
                if getattr(self, "tap", None):
                    self.tap.close()
                if self.a11y:
                    self.a11y.close()
                if self.bus:
                    self.bus.close()
                if self.pulse:
                    self.pulse.stop()
                shutil.rmtree(self.work, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--reference", required=True)
    parser.add_argument("--fixtures", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--scenario", choices=sorted(SCENARIOS), default="user")
    parser.add_argument("--readme-shot", help="user scenario: also save the README's picture here")
    parser.add_argument("--audio", choices=["disk", "pulse", "pipewire"], default="disk",
                        help="listen through SDL's disk driver, a private PulseAudio or a "
                             "private PipeWire (its PulseAudio layer)")
    args = parser.parse_args()
    for name in ("program", "reference", "fixtures", "artifacts"):
        setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.readme_shot:
        args.readme_shot = os.path.abspath(args.readme_shot)
    missing = tools_missing()
    if args.scenario == "mpris":
        missing += [t for t in ("dbus-daemon", "playerctl") if shutil.which(t) is None]
    if args.scenario == "drop":
        missing += [t for t in ("dbus-daemon", "playerctl") if shutil.which(t) is None]
        if gtk_python() is None:
            missing.append("GTK 3 for Python (gir1.2-gtk-3.0)")
    if args.scenario == "screenreader":
        missing += [t for t in ("dbus-daemon", "gdbus") if shutil.which(t) is None]
        import atspi_reader
        if not atspi_reader.available():
            # pyatspi is a package of the system's Python, which may not be this one.
            system = "/usr/bin/python3"
            if os.path.realpath(sys.executable) != os.path.realpath(system) and \
                    os.path.exists(system) and subprocess.run(
                        [system, "-c", "import pyatspi"], capture_output=True).returncode == 0:
                os.execv(system, [system, os.path.abspath(__file__), *sys.argv[1:]])
            missing.append("pyatspi or at-spi-bus-launcher")
    if missing:
        print(f"skipped: {', '.join(missing)} not installed", file=sys.stderr)
        return 77
    server = {"pulse": "pulseaudio", "pipewire": "pipewire"}.get(args.audio)
    if server and not available(server):
        print(f"skipped: {server} is not installed", file=sys.stderr)
        return 77
    return Run(args).main()


if __name__ == "__main__":
    sys.exit(main())
