#!/usr/bin/env python3
"""Draws every picture the bundled examples use, with the standard library only.

    scripts/make_art.py                      # regenerate examples/*/*.png in place
    scripts/make_art.py paddle --into DIR    # only paddle's pictures, written into DIR
    scripts/make_art.py paddle --into DIR --colour ball=ff4040

--colour NAME=RRGGBB changes the main colour of one picture (NAME is its file name
without .png), so a copied example can get its own look. The output is the same bytes
on every run with the same options, so the committed PNGs can be checked against it.
"""
import argparse
import math
import os
import struct
import sys
import zlib

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


# ---------------------------------------------------------------- PNG writing

def png_bytes(width, height, pixels):
    """An 8-bit RGBA PNG; pixels is a flat list of (r, g, b, a), row by row, top first."""
    rows = []
    for y in range(height):
        row = pixels[y * width:(y + 1) * width]
        rows.append(b"\0" + bytes(c for px in row for c in px))

    def chunk(kind, body):
        crc = zlib.crc32(kind + body) & 0xFFFFFFFF
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


class Canvas:
    """A transparent RGBA picture with a few drawing helpers."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [fill] * (width * height)

    def put(self, x, y, colour, coverage=1.0):
        """Blends colour over the pixel (source-over), weighted by coverage 0..1."""
        if not (0 <= x < self.width and 0 <= y < self.height) or coverage <= 0:
            return
        r, g, b, a = colour
        a = a / 255.0 * min(coverage, 1.0)
        i = y * self.width + x
        dr, dg, db, da = self.pixels[i]
        da /= 255.0
        out = a + da * (1 - a)
        if out <= 0:
            return
        mix = [(c * a + d * da * (1 - a)) / out for c, d in ((r, dr), (g, dg), (b, db))]
        self.pixels[i] = tuple(int(round(v)) for v in mix) + (int(round(out * 255)),)

    def shape(self, inside, colour, box=None, samples=4):
        """Fills the points where inside(x, y) holds, anti-aliased by sub-sampling."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        step = 1.0 / samples
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                if hits:
                    self.put(x, y, colour(x, y) if callable(colour) else colour, hits / samples ** 2)

    def circle(self, cx, cy, radius, colour):
        box = (int(cx - radius) - 1, int(cy - radius) - 1, int(cx + radius) + 2, int(cy + radius) + 2)
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2, colour, box)

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def png(self):
        return png_bytes(self.width, self.height, self.pixels)


def shade(colour, factor):
    """An (r, g, b) made lighter (factor > 1) or darker (factor < 1)."""
    r, g, b = colour[:3]
    if factor >= 1:
        t = factor - 1
        r, g, b = (c + (255 - c) * t for c in (r, g, b))
    else:
        r, g, b = (c * factor for c in (r, g, b))
    return int(round(r)), int(round(g)), int(round(b))


def mix(a, b, t):
    return tuple(int(round(x + (y - x) * t)) for x, y in zip(a, b))


# ---------------------------------------------------------------- paddle

def ball(colour):
    """A 16x16 ball with a darker stripe, so its spin can be seen."""
    c = Canvas(16, 16)
    c.circle(8, 8, 7.5, colour + (255,))
    dark = shade(colour, 0.55) + (255,)
    c.shape(lambda x, y: (x - 8) ** 2 + (y - 8) ** 2 <= 7.5 ** 2 and abs(x - y) < 2.2, dark)
    c.circle(5.5, 5.5, 2, (255, 255, 255, 200))
    return c


def paddle(colour):
    """A 96x16 rounded bar, lit from above."""
    c = Canvas(96, 16)
    top, bottom = shade(colour, 1.4), shade(colour, 0.6)

    def inside(x, y):
        # A capsule: a rectangle with half circles at both ends.
        px = min(max(x, 8), 88)
        return (x - px) ** 2 + (y - 8) ** 2 <= 7.5 ** 2

    c.shape(inside, lambda x, y: mix(top, bottom, y / 15.0) + (255,))
    return c


def wall(colour):
    """A 16x16 brick tile for the court's walls, stretched by the game."""
    c = Canvas(16, 16, colour + (255,))
    mortar = shade(colour, 0.5) + (255,)
    c.rect(0, 7, 16, 8, mortar)
    c.rect(0, 15, 16, 16, mortar)
    c.rect(4, 0, 5, 7, mortar)
    c.rect(12, 8, 13, 15, mortar)
    c.rect(0, 0, 16, 1, shade(colour, 1.25) + (255,))
    return c


# ---------------------------------------------------------------- layers

def sky(colour):
    """800x600: deep colour at the top fading to a pale horizon; fully opaque."""
    c = Canvas(800, 600)
    horizon = shade(colour, 1.8)
    for y in range(600):
        row = mix(colour, horizon, (y / 599.0) ** 1.5) + (255,)
        c.pixels[y * 800:(y + 1) * 800] = [row] * 800
    return c


def hills(colour, seed, height, waves):
    """800 wide, transparent above a ridge; the ridge repeats every 800 pixels, so two
    copies side by side join without a seam."""
    c = Canvas(800, height)
    light, dark = shade(colour, 1.2), shade(colour, 0.7)

    def ridge(x):
        y = height * 0.45
        for i, (count, amp) in enumerate(waves):
            y += amp * math.sin(2 * math.pi * count * x / 800.0 + seed * (i + 1))
        return y

    for x in range(800):
        r = ridge(x + 0.5)
        for y in range(height):
            cover = min(1.0, max(0.0, y + 1 - r))
            if cover > 0:
                t = (y - r) / max(1.0, height - r)
                # Small stripes give the slope some texture.
                stripe = 0.08 if (x // 6 + y // 6) % 2 == 0 else 0.0
                c.put(x, y, mix(light, dark, min(1.0, t + stripe)) + (255,), cover)
    return c


def sun(colour):
    """96x96: a disc with eight pointed rays; rotating it shows the turn."""
    c = Canvas(96, 96)
    ray = colour + (230,)

    def in_ray(x, y):
        dx, dy = x - 48, y - 48
        r = math.hypot(dx, dy)
        if r > 46 or r < 20:
            return False
        a = math.atan2(dy, dx) % (math.pi / 4)
        half = 0.17 * (46 - r) / 26  # narrows to a point
        return abs(a - math.pi / 8) < half

    c.shape(in_ray, ray)
    c.circle(48, 48, 24, shade(colour, 0.9) + (255,))
    c.circle(48, 48, 20, shade(colour, 1.3) + (255,))
    return c


def cloud(colour):
    """160x64: a few overlapping discs, lighter on top."""
    c = Canvas(160, 64)
    lobes = [(40, 40, 20), (70, 28, 26), (104, 32, 22), (128, 42, 16), (80, 44, 18)]
    for cx, cy, r in lobes:
        c.circle(cx, cy, r, shade(colour, 0.85) + (255,))
    for cx, cy, r in lobes:
        c.circle(cx, cy - 3, r - 4, colour + (255,))
    return c


def blades(colour):
    """128x128: four windmill sails around a hub, centred so they turn about the hub."""
    c = Canvas(128, 128)

    def in_sail(x, y):
        dx, dy = x - 64, y - 64
        for k in range(4):
            a = k * math.pi / 2
            u = dx * math.cos(a) + dy * math.sin(a)   # along the sail
            v = -dx * math.sin(a) + dy * math.cos(a)  # across it
            if 8 < u < 62 and 0 < v < 12 * (u / 62.0) + 4:
                return True
            if 0 < u < 62 and abs(v) < 1.6:
                return True
        return False

    c.shape(in_sail, colour + (255,))
    c.circle(64, 64, 7, shade(colour, 0.5) + (255,))
    return c


def tower(colour):
    """40x144: a tapering windmill body with a door."""
    c = Canvas(40, 144)

    def inside(x, y):
        half = 8 + 11 * y / 144.0
        return abs(x - 20) < half

    c.shape(inside, lambda x, y: mix(shade(colour, 1.2), shade(colour, 0.8), x / 40.0) + (255,))
    c.rect(16, 120, 24, 144, shade(colour, 0.45) + (255,))
    return c


def bar(colour):
    """8x8 plain square, stretched into the brightness meter."""
    return Canvas(8, 8, colour + (255,))


# ---------------------------------------------------------------- particles

def spark(colour):
    """16x16 soft dot: a white core fading into the colour, then into transparency."""
    c = Canvas(16, 16)
    for y in range(16):
        for x in range(16):
            r = math.hypot(x + 0.5 - 8, y + 0.5 - 8) / 8.0
            if r >= 1:
                continue
            core = max(0.0, 1 - r * 2.2)
            rgb = mix(colour, (255, 255, 255), core)
            c.pixels[y * 16 + x] = rgb + (int(round(255 * (1 - r) ** 1.5)),)
    return c


def ring(colour):
    """32x32 circle outline marking the emitter."""
    c = Canvas(32, 32)
    c.shape(lambda x, y: 12.5 <= math.hypot(x - 16, y - 16) <= 15, colour + (255,))
    return c


# ---------------------------------------------------------------- the catalogue

# example -> picture name -> (drawing function, default main colour)
ART = {
    "paddle": {
        "ball": (ball, (255, 196, 64)),
        "paddle": (paddle, (72, 160, 255)),
        "wall": (wall, (150, 90, 70)),
    },
    "layers": {
        "sky": (sky, (24, 64, 140)),
        "hills_far": (lambda col: hills(col, 1.0, 300, [(2, 40), (5, 14), (9, 5)]), (70, 110, 150)),
        "hills_near": (lambda col: hills(col, 2.0, 260, [(3, 36), (7, 10), (13, 4)]), (60, 140, 70)),
        "sun": (sun, (255, 210, 80)),
        "cloud": (cloud, (245, 245, 250)),
        "blades": (blades, (235, 225, 200)),
        "tower": (tower, (190, 120, 90)),
        "bar": (bar, (255, 255, 255)),
    },
    "particles": {
        "spark": (spark, (255, 150, 40)),
        "ring": (ring, (120, 200, 255)),
    },
}


def parse_colour(text):
    text = text.lstrip("#")
    if len(text) != 6:
        raise argparse.ArgumentTypeError(f"colour '{text}' is not RRGGBB")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def main(argv):
    parser = argparse.ArgumentParser(description="Draws the examples' pictures.")
    parser.add_argument("example", nargs="?", choices=sorted(ART), help="only this example's pictures")
    parser.add_argument("--into", help="folder to write into (needs an example); default examples/NAME")
    parser.add_argument("--colour", action="append", default=[], metavar="NAME=RRGGBB",
                        help="main colour of picture NAME (repeatable)")
    args = parser.parse_args(argv)
    if args.into and not args.example:
        parser.error("--into needs an example name")

    colours = {}
    for item in args.colour:
        name, _, value = item.partition("=")
        colours[name] = parse_colour(value)
    examples = [args.example] if args.example else sorted(ART)
    known = {name for ex in examples for name in ART[ex]}
    for name in colours:
        if name not in known:
            parser.error(f"no picture called '{name}' (known: {', '.join(sorted(known))})")

    for example in examples:
        folder = args.into or os.path.join(TOP, "examples", example)
        os.makedirs(folder, exist_ok=True)
        for name, (draw, default) in sorted(ART[example].items()):
            path = os.path.join(folder, name + ".png")
            with open(path, "wb") as f:
                f.write(draw(colours.get(name, default)).png())
            inside = not os.path.relpath(path).startswith("..")
            print(os.path.relpath(path) if inside else path)


if __name__ == "__main__":
    main(sys.argv[1:])
