#!/usr/bin/env python3
"""Draws Tarvik's icons and the Mouse button's bitmaps as PNG files (standard library only), and
the application icon once more as SVG for the desktop's scalable icon theme.

Run once after changing a drawing; the files are kept next to this script. The program compiles
the 16 and 32 pixel PNGs in as Qt resources; the package installs the application icon at 16, 32
and 48 pixels and as SVG. Shapes are sampled 4x4 per pixel for smooth edges.
"""
import struct
import zlib
from pathlib import Path

HERE = Path(__file__).resolve().parent
SS = 4  # samples per pixel side


def png(path, w, h, pixels):
    raw = b"".join(b"\x00" + bytes(c for px in pixels[y * w:(y + 1) * w] for c in px) for y in range(h))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    path.write_bytes(data)


class Canvas:
    def __init__(self, w, h, background=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(background) for _ in range(w * h)]

    def fill(self, inside, colour):
        """Paints `colour` wherever inside(x, y) holds (x, y in pixel units, continuous)."""
        r, g, b, a = colour
        for y in range(self.h):
            for x in range(self.w):
                hits = sum(inside(x + (i + 0.5) / SS, y + (j + 0.5) / SS) for i in range(SS) for j in range(SS))
                if not hits:
                    continue
                cover = hits / (SS * SS) * a / 255.0
                dst = self.px[y * self.w + x]
                out_a = cover + dst[3] / 255.0 * (1 - cover)
                for k, c in enumerate((r, g, b)):
                    mixed = c * cover + dst[k] * dst[3] / 255.0 * (1 - cover)
                    dst[k] = int(round(mixed / out_a)) if out_a else 0
                dst[3] = int(round(out_a * 255))

    def save(self, name):
        png(HERE / name, self.w, self.h, [tuple(p) for p in self.px])


def rrect(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def ellipse(cx, cy, rx, ry):
    return lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0


def ring(cx, cy, rx, ry, width):
    outer, inner = ellipse(cx, cy, rx, ry), ellipse(cx, cy, rx - width, ry - width)
    return lambda x, y: outer(x, y) and not inner(x, y)


def segment(ax, ay, bx, by, width):
    def inside(x, y):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= (width / 2) ** 2
    return inside


APP_BACK = (22, 92, 125)
APP_SCREEN = (210, 236, 245)
APP_KEY = (250, 196, 64)


def app_icon_shapes(keys):
    """The application icon on a 32-unit square, as (x0, y0, x1, y1, corner radius, colour)."""
    shapes = [(1, 1, 31, 31, 6, APP_BACK), (5, 5, 27, 15, 2, APP_SCREEN), (7, 8, 20, 11, 1, APP_BACK)]
    gap, top = 22.0 / keys, 18.0
    for i in range(keys):
        x0 = 5 + i * gap
        shapes.append((x0 + 0.5, top, x0 + gap - 0.5, top + 9, 1.5, APP_KEY))
    return shapes


def app_icon(size):
    """A keypad in front of a screen: the PC standing in for the instrument's keyboard."""
    s = size / 32.0
    c = Canvas(size, size)
    for x0, y0, x1, y1, r, colour in app_icon_shapes(3 if size >= 32 else 2):
        c.fill(rrect(x0 * s, y0 * s, x1 * s, y1 * s, r * s), colour + (255,))
    c.save(f"icon131_{size}.png")


def app_icon_svg():
    """The same drawing at any size; small sizes keep their own two-key PNG."""
    rects = []
    for x0, y0, x1, y1, r, (red, green, blue) in app_icon_shapes(3):
        rects.append(f'  <rect x="{x0:g}" y="{y0:g}" width="{x1 - x0:g}" height="{y1 - y0:g}" rx="{r:g}" '
                     f'fill="#{red:02x}{green:02x}{blue:02x}"/>')
    svg = ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" viewBox="0 0 32 32">\n'
           + "\n".join(rects) + "\n</svg>\n")
    (HERE / "tarvik.svg").write_text(svg)


QUESTION = [
    "................",
    ".....######.....",
    "....##....##....",
    "...##......##...",
    "...##......##...",
    "...........##...",
    "..........##....",
    ".........##.....",
    "........##......",
    ".......##.......",
    ".......##.......",
    "................",
    ".......##.......",
    ".......##.......",
    "................",
    "................",
]


def help_icon():
    c = Canvas(16, 16)
    c.fill(ellipse(8, 8, 7.6, 7.6), (37, 99, 200, 255))
    for y, row in enumerate(QUESTION):
        for x, ch in enumerate(row):
            if ch == "#":
                c.fill(lambda px, py, x=x, y=y: x <= px < x + 1 and y <= py < y + 1, (255, 255, 255, 255))
    c.save("icon134_16.png")


def mouse_bitmap(on, name):
    """A mouse seen from above; mouse mode on lights it up green with its cable live."""
    c = Canvas(100, 100, (236, 236, 236, 255) if not on else (226, 244, 226, 255))
    body = (120, 200, 120, 255) if on else (200, 200, 200, 255)
    edge = (30, 110, 40, 255) if on else (110, 110, 110, 255)
    c.fill(segment(50, 4, 50, 22, 4), edge)
    c.fill(ellipse(50, 58, 27, 36), edge)
    c.fill(ellipse(50, 58, 23.5, 32.5), body)
    c.fill(segment(50, 26, 50, 52, 3), edge)
    c.fill(segment(27, 52, 73, 52, 3), edge)
    c.fill(rrect(46, 32, 54, 44, 3), edge)
    if on:
        c.fill(ring(50, 58, 33, 42, 3), (60, 170, 70, 160))
    c.save(name)


if __name__ == "__main__":
    app_icon(48)
    app_icon(32)
    app_icon(16)
    app_icon_svg()
    help_icon()
    mouse_bitmap(False, "bitmap132.png")
    mouse_bitmap(True, "bitmap133.png")
