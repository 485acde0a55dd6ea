#!/usr/bin/env python3
"""Draws every picture of the player as pixel art and writes them as PNG files.

Standard library only: the PNG writer below packs indexed-colour images itself, so the
output is byte-for-byte reproducible. The PNGs are committed; the build never runs this.

    resources/draw.py            redraw all pictures into resources/
    resources/draw.py --check    exit 1 if a committed picture differs from what is drawn
    resources/draw.py --sheet F  also write F, every picture enlarged 8 times, for looking at
"""

import pathlib
import struct
import sys
import zlib

HERE = pathlib.Path(__file__).resolve().parent

# ---------------------------------------------------------------------------------------
# Image and PNG writer


class Image:
    def __init__(self, w, h, fill=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c if len(c) == 4 else (*c, 255)

    def get(self, x, y):
        return self.px[y][x]

    def hline(self, x0, x1, y, c):
        for x in range(x0, x1 + 1):
            self.set(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(y0, y1 + 1):
            self.set(x, y, c)

    def colours(self):
        return {c for row in self.px for c in row}


def _chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_bytes(img):
    """Indexed PNG: 4 bits per pixel when 16 colours suffice, else 8; tRNS for transparency."""
    palette = sorted(img.colours())
    if len(palette) > 256:
        raise ValueError("more than 256 colours")
    depth = 4 if len(palette) <= 16 else 8
    index = {c: i for i, c in enumerate(palette)}
    raw = bytearray()
    for row in img.px:
        raw.append(0)  # filter: none
        idx = [index[c] for c in row]
        if depth == 8:
            raw.extend(idx)
        else:
            idx += [0] * (len(idx) % 2)
            raw.extend((idx[i] << 4) | idx[i + 1] for i in range(0, len(idx), 2))
    out = b"\x89PNG\r\n\x1a\n"
    out += _chunk(b"IHDR", struct.pack(">IIBBBBB", img.w, img.h, depth, 3, 0, 0, 0))
    out += _chunk(b"PLTE", b"".join(bytes(c[:3]) for c in palette))
    alphas = [c[3] for c in palette]
    if min(alphas) < 255:
        last = max(i for i, a in enumerate(alphas) if a < 255)
        out += _chunk(b"tRNS", bytes(alphas[: last + 1]))
    out += _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    out += _chunk(b"IEND", b"")
    return out


# ---------------------------------------------------------------------------------------
# Button faces: dark teal, light outline with rounded corners, a one-pixel bevel inside.

OUTLINE = (184, 228, 228)
FACE = (0, 92, 100)
HILITE = (0, 136, 144)
SHADOW = (0, 52, 60)
INK = (255, 255, 255)


def face(w, h):
    img = Image(w, h)
    for y in range(h):
        for x in range(w):
            img.set(x, y, FACE)
    # Outline with two-pixel rounded corners; the three corner pixels stay transparent.
    img.hline(2, w - 3, 0, OUTLINE)
    img.hline(2, w - 3, h - 1, OUTLINE)
    img.vline(0, 2, h - 3, OUTLINE)
    img.vline(w - 1, 2, h - 3, OUTLINE)
    for cx, cy, dx, dy in ((0, 0, 1, 1), (w - 1, 0, -1, 1), (0, h - 1, 1, -1), (w - 1, h - 1, -1, -1)):
        img.set(cx, cy, (0, 0, 0, 0))
        img.set(cx + dx, cy, (0, 0, 0, 0))
        img.set(cx, cy + dy, (0, 0, 0, 0))
        img.set(cx + dx, cy + dy, OUTLINE)
    # Light from above. Only the top and bottom rows are bevelled: the side columns are
    # needed for lettering (PREVIOUS takes 29 of the 32 inner columns).
    img.hline(2, w - 3, 1, HILITE)
    img.hline(2, w - 3, h - 2, SHADOW)
    return img


# A 3 x 5 capital font. I is one column, N four and M five, so that PREVIOUS fits a
# 34-pixel face and M and N stay distinct from H.
GLYPHS = {
    "A": [".#.", "#.#", "###", "#.#", "#.#"],
    "C": [".##", "#..", "#..", "#..", ".##"],
    "D": ["##.", "#.#", "#.#", "#.#", "##."],
    "E": ["###", "#..", "##.", "#..", "###"],
    "F": ["###", "#..", "##.", "#..", "#.."],
    "I": ["#", "#", "#", "#", "#"],
    "L": ["#..", "#..", "#..", "#..", "###"],
    "M": ["#...#", "##.##", "#.#.#", "#...#", "#...#"],
    "N": ["#..#", "##.#", "#.##", "#..#", "#..#"],
    "O": [".#.", "#.#", "#.#", "#.#", ".#."],
    "P": ["##.", "#.#", "##.", "#..", "#.."],
    "R": ["##.", "#.#", "##.", "#.#", "#.#"],
    "S": [".##", "#..", ".#.", "..#", "##."],
    "T": ["###", ".#.", ".#.", ".#.", ".#."],
    "U": ["#.#", "#.#", "#.#", "#.#", "###"],
    "V": ["#.#", "#.#", "#.#", "#.#", ".#."],
    "X": ["#.#", "#.#", ".#.", "#.#", "#.#"],
    "Y": ["#.#", "#.#", ".#.", ".#.", ".#."],
}


def text_width(word):
    return sum(len(GLYPHS[ch][0]) for ch in word) + len(word) - 1


def lettered(w, h, word):
    img = face(w, h)
    tw = text_width(word)
    # Keep at least one clear column between the text and the outline on either side.
    if tw > w - 4:
        raise ValueError(f"{word} is {tw} px wide, too wide for a {w} px face")
    x = (w - tw + 1) // 2
    y = (h - 5) // 2
    for ch in word:
        glyph = GLYPHS[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "#":
                    img.set(x + gx, y + gy, INK)
        x += len(glyph[0]) + 1
    return img


def volume(up):
    """12 x 25 upright face with a solid arrowhead, pointing up or down."""
    w, h = 12, 25
    img = face(w, h)
    rows = 4
    top = (h - rows) // 2
    for i in range(rows):
        half = i + 1  # half-width of this row of the arrowhead: 2, 4, 6, 8 px wide
        y = top + i if up else top + rows - 1 - i
        img.hline(6 - half, 5 + half, y, INK)
    return img


# ---------------------------------------------------------------------------------------
# 16 x 16 icons, drawn from character maps.

MASK = (192, 192, 192)  # the tree's image list treats this colour as transparent

# The 16 colours of the classic palette; the mask colour silver is never used inside an icon.
PALETTE = {
    ".": MASK,
    " ": (0, 0, 0, 0),
    "k": (0, 0, 0),
    "g": (128, 128, 128),
    "w": (255, 255, 255),
    "y": (255, 255, 0),
    "o": (128, 128, 0),
    "r": (255, 0, 0),
    "m": (128, 0, 0),
    "G": (0, 128, 0),
    "l": (0, 255, 0),
    "b": (0, 0, 255),
    "n": (0, 0, 128),
    "t": (0, 128, 128),
    "c": (0, 255, 255),
    "f": (255, 0, 255),
}


def from_map(rows, colours=PALETTE):
    if len(rows) != 16 or any(len(r) != 16 for r in rows):
        raise ValueError("icon maps are 16 rows of 16 characters: " + repr(rows))
    img = Image(16, 16)
    for y, row in enumerate(rows):
        for x, ch in enumerate(row):
            img.set(x, y, colours[ch])
    return img


def overlay(base, rows):
    """Lays rows over base; '.' in rows leaves base as it is."""
    out = []
    for b, r in zip(base, rows):
        out.append("".join(bc if rc == "." else rc for bc, rc in zip(b, r)))
    return out


BLANK = ["................"] * 16

# A drive box seen slightly from above, with a green activity light; rows 9..14.
DRIVE = [
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
    "...kkkkkkkkkkkk.",
    "..kwwwwwwwwwwkgk",
    ".kkkkkkkkkkkkggk",
    ".kwwwwwwwwwwwkgk",
    ".kgggggggggGlkk.",
    ".kkkkkkkkkkkkk..",
    "................",
]

ICONS = {
    "cldfolder": [
        "................",
        "................",
        "................",
        "..kkkkk.........",
        ".kwyyyyk........",
        "kwyyyyyykkkkkkk.",
        "kwwwwwwwwwwwwwyk",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kwyyyyyyyyyyyyok",
        "kooooooooooooook",
        "kkkkkkkkkkkkkkkk",
        "................",
    ],
    "opnfolder": [
        "................",
        "................",
        "................",
        "..kkkkk.........",
        ".kwyyyyk........",
        "kwyyyyyykkkkkk..",
        "kwoooooooooooyk.",
        "kwoookkkkkkkkkkk",
        "kwookwwwwwwwwwwk",
        "kwokwyyyyyyyyyk.",
        "kwokwyyyyyyyyyk.",
        "kwkwyyyyyyyyyk..",
        "kwkwyyyyyyyyyk..",
        "kkwyyyyyyyyyk...",
        "kkkkkkkkkkkkk...",
        "................",
    ],
    "drvcd": overlay(
        BLANK[:1] + DRIVE[:15],
        [
            "......kkkk......",
            "....kkwwwwkk....",
            "...kwwwwccwwk...",
            "...kwwwwwccwk...",
            "..kwwwwggwwwgk..",
            "..kwwwgkkwwwgk..",
            "...kwffwwwwgk...",
            "...kwwffwwggk...",
            "....kkggggkk....",
            "......kkkk......",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
        ],
    ),
    "drvremove": overlay(
        [r if i != 13 else ".kgkkkkkkkgGlkk." for i, r in enumerate(DRIVE)],
        [
            "....nnnnnnnnk...",
            "....nnwwwgwnnk..",
            "....nnwwwgwnnk..",
            "....nnwwwwwnnk..",
            "....nnnnnnnnnk..",
            "....nwwwwwwwnk..",
            "....nwkkkkkwnk..",
            "....nwwwwwwwnk..",
            "....kkkkkkkkkk..",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
        ],
    ),
    "drvfixed": DRIVE[3:] + BLANK[:3],
    # A drive on a length of network pipe.
    "drvremote": overlay(
        DRIVE[5:] + BLANK[:5],
        [
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "................",
            "......kttk......",
            "......kttk......",
            "kkkkkkkttkkkkkkk",
            "tttttttttttttttt",
            "kkkkkkkkkkkkkkkk",
            "................",
        ],
    ),
    "mycomputer": [
        ".kkkkkkkkkkkkkk.",
        ".kwwwwwwwwwwwgk.",
        ".kwkkkkkkkkkwgk.",
        ".kwktctttttkwgk.",
        ".kwkcttttttkwgk.",
        ".kwktttttttkwgk.",
        ".kwktttttttkwgk.",
        ".kwkkkkkkkkkwgk.",
        ".kwwwwwwwwlGwgk.",
        ".kggggggggggggk.",
        ".kkkkkkkkkkkkkk.",
        "......kggk......",
        "...kkkkkkkkkkkk.",
        "..kwgwgwgwgwgwk.",
        ".kwgwgwgwgwgwgk.",
        ".kkkkkkkkkkkkkk.",
    ],
    "drvunknown": overlay(
        DRIVE[2:] + BLANK[:2],
        [
            "................",
            "................",
            "................",
            "..rr........rr..",
            "...rr......rr...",
            "....rr....rr....",
            ".....rr..rr.....",
            "......rrrr......",
            ".......rr.......",
            "......rrrr......",
            ".....rr..rr.....",
            "....rr....rr....",
            "...rr......rr...",
            "..rr........rr..",
            ".rr..........rr.",
            "................",
        ],
    ),
    "drvmemory": [
        "................",
        "................",
        "................",
        "................",
        "kkkkkkkkkkkkkkkk",
        "klllllllllllllGk",
        "klkkkGkkkGkkkGGk",
        "klkkkGkkkGkkkGGk",
        "klkkkGkkkGkkkGGk",
        "klGGGGGGGGGGGGGk",
        "klGGGGGGkGGGGGGk",
        "kyoyoyoykyoyoyok",
        "kyoyoyoykyoyoyok",
        "kkkkkkkkkkkkkkkk",
        "................",
        "................",
    ],
}

WINDOW_ICON = [
    "  oooooooooooo  ",
    " otttttttttttto ",
    "otttttttttttttto",
    "ottttttwwwwwwtto",
    "ottttttwwwwwwtto",
    "ottttttwttttwtto",
    "ottttttwttttwtto",
    "ottttttwttttwtto",
    "ottttttwttttwtto",
    "ottttttwttwwwtto",
    "ottttwwwtwwwwtto",
    "otttwwwwtwwwttto",
    "otttwwwtttttttto",
    "otttttttttttttto",
    " otttttttttttto ",
    "  oooooooooooo  ",
]


def window_icon():
    colours = dict(PALETTE)
    colours["t"] = FACE
    colours["o"] = OUTLINE
    return from_map(WINDOW_ICON, colours)


# ---------------------------------------------------------------------------------------
# What is written where. Button faces by the command they show; imgControl(12) and (13)
# share the plain end cap.

def pictures():
    out = {}
    for name, size, word in (
        ("previous", (34, 12), "PREVIOUS"),
        ("play", (34, 12), "PLAY"),
        ("pause", (34, 12), "PAUSE"),
        ("stop", (34, 12), "STOP"),
        ("next", (34, 12), "NEXT"),
        ("open", (34, 12), "OPEN"),
        ("slowplay", (17, 12), "SP"),
        ("fastplay", (17, 12), "FP"),
        ("mute", (34, 12), "MUTE"),
        ("random", (34, 12), "RAND"),
        ("clear", (34, 12), "CLEAR"),
        ("normalplay", (17, 12), "NP"),
    ):
        out[f"buttons/{name}.png"] = lettered(*size, word)
    out["buttons/volumeup.png"] = volume(True)
    out["buttons/volumedown.png"] = volume(False)
    out["buttons/endcap.png"] = face(12, 10)
    out["icons/window.png"] = window_icon()
    for key, rows in ICONS.items():
        out[f"tree/{key}.png"] = from_map(rows)
    return out


def contact_sheet(images, scale=8, gap=8, width=720):
    """All pictures enlarged side by side; transparent parts show black, as on the window."""
    placed, x, y, row_h = [], gap, gap, 0
    for img in images:
        w, h = img.w * scale, img.h * scale
        if x + w + gap > width:
            x, y, row_h = gap, y + row_h + gap, 0
        placed.append((img, x, y))
        x, row_h = x + w + gap, max(row_h, h)
    sheet = Image(width, y + row_h + gap, (64, 64, 64, 255))
    for img, ox, oy in placed:
        for py in range(img.h * scale):
            for px in range(img.w * scale):
                c = img.get(px // scale, py // scale)
                sheet.set(ox + px, oy + py, c if c[3] == 255 else (0, 0, 0))
    return sheet


def main(argv):
    args = argv[1:]
    check = "--check" in args
    if "--sheet" in args:
        target = pathlib.Path(args[args.index("--sheet") + 1])
        target.write_bytes(png_bytes(contact_sheet(pictures().values())))
    stale = []
    for rel, img in pictures().items():
        data = png_bytes(img)
        path = HERE / rel
        if check:
            if not path.exists() or path.read_bytes() != data:
                stale.append(rel)
            continue
        path.parent.mkdir(parents=True, exist_ok=True)
        if not path.exists() or path.read_bytes() != data:
            path.write_bytes(data)
    if stale:
        print("pictures differ from draw.py: " + ", ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
