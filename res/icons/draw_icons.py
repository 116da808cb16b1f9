#!/usr/bin/env python3
"""Draws the Memovky icons and writes them as .ico files beside this script.

    python3 res/icons/draw_icons.py          # writes app, clock, settings, small .ico
    python3 res/icons/draw_icons.py --check  # reads them back (check_icons.py), lists
                                             # the images, writes x8 PNGs to /tmp/icon_previews

Every picture is built from signed-distance shapes and drawn at its own size, so
the 16 px images are not blurred copies of big ones. Standard library only and no
randomness: the same bytes come out on every run.
"""
import math
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
CUBE = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
GREYS = [(v, v, v) for v in (round(i * 255 / 25) for i in range(1, 25))]
PALETTES = {1: [(0, 0, 0), (255, 255, 255)], 4: VGA, 8: VGA + CUBE + GREYS}


# --- shapes: functions (x, y) -> signed distance in pixels, negative inside ---

def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def box(x0, y0, x1, y1, r=0.0):
    cx, cy, hw, hh = (x0 + x1) / 2, (y0 + y1) / 2, (x1 - x0) / 2 - r, (y1 - y0) / 2 - r

    def d(x, y):
        qx, qy = abs(x - cx) - hw, abs(y - cy) - hh
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0) - r
    return d


def below_diagonal(c):
    """Inside where x + y <= c: the cut of a folded corner."""
    return lambda x, y: (x + y - c) / math.sqrt(2)


def stroke(points, width):
    def d(x, y):
        best = 1e9
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / ((dx * dx + dy * dy) or 1)))
            best = min(best, math.hypot(x - ax - t * dx, y - ay - t * dy))
        return best - width / 2
    return d


def union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def inter(*fs):
    return lambda x, y: max(f(x, y) for f in fs)


def minus(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


def grow(f, by):
    return lambda x, y: f(x, y) - by


def shift(f, dx, dy):
    return lambda x, y: f(x - dx, y - dy)


def cog(cx, cy, body, tip, teeth, tooth_w):
    step = 2 * math.pi / teeth

    def tooth(x, y):
        # rotate into the frame of the nearest tooth, which is then a plain box
        ang = round(math.atan2(y - cy, x - cx) / step) * step
        u = (x - cx) * math.cos(ang) + (y - cy) * math.sin(ang)
        v = -(x - cx) * math.sin(ang) + (y - cy) * math.cos(ang)
        qx, qy = abs(u - tip / 2) - tip / 2, abs(v) - tooth_w / 2
        return math.hypot(max(qx, 0), max(qy, 0)) + min(max(qx, qy), 0)
    return union(circle(cx, cy, body), tooth)


def hand(cx, cy, minutes, back, length, width):
    a = math.radians(minutes * 6)
    sx, sy = math.sin(a), -math.cos(a)
    return stroke([(cx - sx * back, cy - sy * back), (cx + sx * length, cy + sy * length)], width)


# --- canvas ---

class Canvas:
    """Straight-alpha RGBA pixels. 1 and 4 bpp images get hard edges, a pixel is
    either in a shape or not: blends would only map to stray VGA colours. From 8 bpp
    up edges are anti-aliased; the outline against the background still ends up hard
    unless there is an alpha channel, as the mask is on/off."""

    def __init__(self, n, bpp):
        self.n, self.bpp, self.soft = n, bpp, bpp >= 8
        self.px = [[0.0, 0.0, 0.0, 0.0] for _ in range(n * n)]

    def pick(self, vga, rich=None, mono=None):
        if self.bpp == 1:
            return mono
        return vga if self.bpp == 4 or rich is None else rich

    def fill(self, sdf, colour, alpha=1.0, blur=1.0):
        for y in range(self.n):
            for x in range(self.n):
                d = sdf(x + 0.5, y + 0.5)
                if self.soft:
                    cov = min(1.0, max(0.0, 0.5 - d / blur)) * alpha
                else:
                    cov = alpha if d <= 0 else 0.0
                if cov <= 0:
                    continue
                c = colour(x + 0.5, y + 0.5) if callable(colour) else colour
                p = self.px[y * self.n + x]
                a = cov + p[3] * (1 - cov)
                for i in range(3):
                    p[i] = (c[i] * cov + p[i] * p[3] * (1 - cov)) / a
                p[3] = a

    def outlined(self, sdf, edge, inside):
        self.fill(sdf, edge)
        self.fill(grow(sdf, -1), inside)

    def grad(self, y0, y1, top, bottom):
        """Vertical shading; flat in 8 bpp, where a ramp would only band."""
        if self.bpp < 24:
            return tuple((a + b) / 2 for a, b in zip(top, bottom))

        def col(x, y):
            t = min(1.0, max(0.0, (y - y0) / (y1 - y0)))
            return tuple(a + (b - a) * t for a, b in zip(top, bottom))
        return col

    def shadow(self, sdf, dx, dy, blur, alpha):
        if self.bpp == 32:  # only a real alpha channel can carry a soft shadow
            self.fill(shift(sdf, dx, dy), (0, 0, 0), alpha, blur)


# --- pictures ---

def scribble(c, x, y, words, ink, seed):
    """A line of handwriting, placed pixel by pixel: anti-aliased squiggles turn to
    mush at icon sizes. The baseline wobbles up and down and some letters rise."""
    for w in words:
        for j in range(x, x + w):
            up = 1 if math.sin(j + seed) > 0.3 else 0
            c.fill(box(j, y - up, j + 1, y + 1 - up), ink)
            if (j * 5 + seed) % 7 == 0:
                c.fill(box(j, y - up - 2, j + 1, y - up), ink)
        x += w + 2


def draw_note(c):
    """Yellow sheet with handwriting, pinned at the top by a teal push-pin."""
    mono = c.bpp == 1
    sheet = inter(box(4, 6, 27, 29), below_diagonal(50))
    flap = inter(box(21, 23, 27, 29), below_diagonal(50))
    edge = c.pick((128, 128, 0), mono=(0, 0, 0))
    c.fill(shift(sheet, 1, 1), c.pick((128, 128, 128), mono=(0, 0, 0)))
    c.outlined(sheet, edge, c.pick((255, 255, 0), mono=(255, 255, 255)))
    c.outlined(flap, edge, (255, 255, 255))
    ink = c.pick((0, 0, 128), mono=(0, 0, 0))
    for y, seed, words in ((15, 14, (5, 7, 4)), (20, 18, (7, 3, 6)), (25, 22, (3, 6))):
        scribble(c, 7, y, words, ink, seed)
    if not mono:
        c.fill(circle(17.5, 8, 3.5), (128, 128, 128))
    c.fill(circle(16, 6, 4.2), (0, 0, 0))
    c.fill(circle(16, 6, 3.2), c.pick((0, 128, 128), mono=(0, 0, 0)))
    c.fill(circle(14.8, 4.8, 1.3), c.pick((0, 255, 255), mono=(255, 255, 255)))


def draw_clock(c):
    """Round wall-clock face showing ten past ten."""
    k = c.n / 32
    cx = cy = c.n / 2
    c.fill(circle(cx, cy, 15 * k), (0, 0, 128))
    c.fill(circle(cx, cy, 14 * k), (0, 0, 255))
    c.fill(circle(cx, cy, 12 * k), (0, 0, 0))
    c.fill(circle(cx, cy, 11.2 * k), (255, 255, 255))
    for i in range(12):
        major = i % 3 == 0
        c.fill(hand(cx, cy, i * 5, -(8 if major else 9) * k, 10.5 * k, 1.6 if major else 1.0),
               (0, 0, 0) if major else (128, 128, 128))
    c.fill(hand(cx, cy, 50 + 10 / 12, 1, 5.5 * k, 2.6), (0, 0, 0))
    c.fill(hand(cx, cy, 10, 1, 8.5 * k, 1.4), (0, 0, 0))
    c.fill(hand(cx, cy, 33, 3 * k, 9.5 * k, 1.0), (255, 0, 0))
    c.fill(circle(cx, cy, 1.5 * k), (255, 0, 0))


# Per size: window box, bottom of its title bar, cog centre / body / tip / tooth width /
# hole. Straight tooth edges sit on pixel lines so they stay crisp.
SETTINGS_LAYOUT = {
    16: ((0, 1, 13, 12), 5, (10.5, 4.5, 6, 3, 1.5)),
    32: ((1, 3, 27, 25), 9, (22, 6.8, 10, 4, 2.8)),
    48: ((2, 4, 40, 37), 13, (32, 10, 15, 6, 4)),
}


def draw_settings(c):
    """Program window with a cog wheel over its lower right corner."""
    n = c.n
    (x0, y0, x1, y1), bar, (g, body, tip, tooth, hole) = SETTINGS_LAYOUT[n]
    win = box(x0, y0, x1, y1)
    wheel = cog(g, g, body, tip, 8, tooth)
    c.shadow(union(win, wheel), n / 32, n / 24, n / 16, 0.45)
    c.outlined(win, c.pick((0, 0, 0), (52, 60, 74)), c.pick((192, 192, 192), (214, 220, 228)))
    c.fill(box(x0 + 1, y0 + 1, x1 - 1, bar),
           c.pick((0, 0, 128), c.grad(y0, bar, (70, 140, 230), (20, 70, 160))))
    if n > 16:  # close button
        c.fill(box(x1 - 1 - (bar - y0) * 4 // 5, y0 + 2, x1 - 2, bar - 1),
               c.pick((192, 192, 192), (210, 60, 50)))
    c.fill(box(x0 + 2, bar + 1, x1 - 2, y1 - 2), (255, 255, 255))
    dark = c.pick((0, 0, 0), (40, 44, 52))
    if n <= 16:  # no room for a rim round the hole: a light wheel with the hole punched out
        c.outlined(wheel, dark, c.pick((192, 192, 192),
                                       c.grad(g - tip, g + tip, (226, 230, 236), (150, 156, 168))))
        c.fill(circle(g, g, hole), (255, 255, 255))
    else:
        steel = c.grad(g - tip, g + tip, (200, 206, 216), (104, 112, 126))
        c.outlined(minus(wheel, circle(g, g, hole)), dark, c.pick((128, 128, 128), steel))
        c.fill(minus(circle(g, g, hole + 2 * n / 32), circle(g, g, hole + 1)),
               c.pick((192, 192, 192), (222, 226, 232)))


def draw_emblem(c):
    """Rounded yellow square with a folded corner, a few lines and the teal pin."""
    if c.n <= 16:
        square, flap = box(1, 1, 15, 15, 2), inter(box(10, 10, 15, 15), below_diagonal(25))
        square = inter(square, below_diagonal(25))
        lines, pin = ((4, 9, 12), (4, 12, 9)), (8, 5, 3)
    else:
        square, flap = box(2, 2, 30, 30, 4), inter(box(20, 20, 30, 30), below_diagonal(50))
        square = inter(square, below_diagonal(50))
        lines, pin = ((7, 13, 25), (7, 17, 25), (7, 21, 25), (7, 25, 17)), (16, 7, 4)
    # 8 bpp colours are taken from the palette's colour cube, so they come out as drawn
    edge = c.pick((128, 128, 0), (204, 153, 0))
    c.outlined(square, edge, c.pick((255, 255, 0), (255, 255, 102)))
    c.outlined(flap, edge, c.pick((255, 255, 255), (255, 255, 204)))
    for x0, y, x1 in lines:
        c.fill(box(x0, y, x1, y + 1), c.pick((0, 0, 128), (51, 51, 153)))
    x, y, r = pin
    if c.n > 16:  # at 16 px a black rim would leave hardly any teal
        c.fill(circle(x, y, r), (0, 0, 0))
        r -= 1
    c.fill(circle(x, y, r), c.pick((0, 128, 128), (0, 153, 153)))
    c.fill(circle(x - r / 3, y - r / 3, r / 3), c.pick((0, 255, 255), (102, 255, 255)))


ICONS = [
    ("app.ico", draw_note, [(32, 1), (32, 4)]),
    ("clock.ico", draw_clock, [(32, 4)]),
    ("settings.ico", draw_settings,
     [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (32, 24), (16, 32)]),
    ("small.ico", draw_emblem, [(32, 4), (32, 8), (16, 4), (16, 8)]),
]


# --- .ico writing ---

def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(palette[i], rgb)))


def pack_row(values, bits):
    out, acc, used = bytearray(), 0, 0
    for v in values:
        acc, used = (acc << bits) | v, used + bits
        if used == 8:
            out.append(acc)
            acc = used = 0
    if used:
        out.append(acc << (8 - used))
    return bytes(out) + b"\0" * (-len(out) % 4)


def encode(c):
    n, bpp = c.n, c.bpp
    pal = PALETTES.get(bpp, [])
    xor, mask = [], []
    for y in reversed(range(n)):  # BMP rows go bottom-up
        row, bits = [], []
        for x in range(n):
            r, g, b, a = c.px[y * n + x]
            alpha = int(a * 255 + 0.5)
            rgb = [int(v + 0.5) for v in (r, g, b)]
            bits.append(1 if alpha < 128 else 0)
            if bpp <= 8:
                row.append(0 if bits[-1] else nearest(pal, rgb))
            elif bpp == 24:
                row.append(b"\0\0\0" if bits[-1] else bytes(rgb[::-1]))
            else:
                row.append(bytes(rgb[::-1] + [alpha]) if alpha else b"\0\0\0\0")
        if bpp <= 8:
            xor.append(pack_row(row, bpp))
        else:
            raw = b"".join(row)
            xor.append(raw + b"\0" * (-len(raw) % 4))
        mask.append(pack_row(bits, 1))
    body = b"".join(xor) + b"".join(mask)
    head = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, bpp, 0, len(body), 0, 0, 0, 0)
    return head + b"".join(bytes((b, g, r, 0)) for r, g, b in pal) + body


def build_ico(draw, images):
    blobs = []
    for n, bpp in images:
        c = Canvas(n, bpp)
        draw(c)
        blobs.append(encode(c))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (n, bpp), blob in zip(images, blobs):
        colours = 1 << bpp if bpp < 8 else 0
        out += struct.pack("<BBBBHHII", n % 256, n % 256, colours, 0, 1, bpp, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


if __name__ == "__main__":
    if "--check" in sys.argv:
        import check_icons
        check_icons.main()
    else:
        for name, draw, images in ICONS:
            with open(os.path.join(HERE, name), "wb") as f:
                f.write(build_ico(draw, images))
            print("wrote", name)
