#!/usr/bin/env python3
"""Reads the .ico files back with its own decoder and checks them.

    python3 res/icons/check_icons.py [preview-dir]   # default /tmp/icon_previews

Prints each file's images (w x h @ bpp, in file order), fails loudly on a broken
header, layout or mask, and writes x8 PNG previews on a checkerboard so the
pictures can be looked at.
"""
import os
import struct
import sys
import zlib

import draw_icons

HERE = os.path.dirname(os.path.abspath(__file__))
SCALE = 8

# What the resource script expects in each file, in this order.
WANTED = {
    "app.ico": [(32, 1), (32, 4)],
    "clock.ico": [(32, 4)],
    "settings.ico": [(32, 4), (16, 4), (48, 8), (32, 8), (16, 8), (48, 32), (32, 24), (16, 32)],
    "small.ico": [(32, 4), (32, 8), (16, 4), (16, 8)],
}
VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def fail(msg):
    raise SystemExit("FAIL: " + msg)


def read_ico(path):
    """Returns [(w, h, bpp, rgba rows top-down)]."""
    data = open(path, "rb").read()
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if (reserved, kind) != (0, 1) or count == 0:
        fail(f"{path}: not an icon directory")
    images, expect_off = [], 6 + 16 * count
    for i in range(count):
        w, h, ncol, res, planes, bpp, size, off = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        w, h = w or 256, h or 256
        where = f"{path} image {i}"
        if off != expect_off:
            fail(f"{where}: offset {off}, expected {expect_off} (gap or overlap)")
        expect_off = off + size
        if planes != 1 or res != 0 or ncol != (1 << bpp if bpp < 8 else 0):
            fail(f"{where}: bad planes/reserved/colour count {planes}/{res}/{ncol}")
        hsz, bw, bh, bplanes, bbpp, comp = struct.unpack_from("<IiiHHI", data, off)
        if (hsz, bw, bh, bplanes, bbpp, comp) != (40, w, 2 * h, 1, bpp, 0):
            fail(f"{where}: BITMAPINFOHEADER disagrees with its entry")
        npal = 1 << bpp if bpp <= 8 else 0
        quads = range(off + 40, off + 40 + 4 * npal, 4)
        pal = [(data[p + 2], data[p + 1], data[p]) for p in quads]  # stored as B, G, R, 0
        if bpp == 4 and pal != VGA:
            fail(f"{where}: 4 bpp palette is not the standard VGA one")
        if bpp == 1 and pal != [(0, 0, 0), (255, 255, 255)]:
            fail(f"{where}: 1 bpp palette is not black, white")
        xs, ms = (w * bpp + 31) // 32 * 4, (w + 31) // 32 * 4
        if 40 + 4 * npal + (xs + ms) * h != size:
            fail(f"{where}: bytes-in-res {size} does not match a {w}x{h}@{bpp} image")
        xor0 = off + 40 + 4 * npal
        mask0 = xor0 + xs * h
        rows = []
        for y in range(h):
            xrow = data[xor0 + (h - 1 - y) * xs:][:xs]
            mrow = data[mask0 + (h - 1 - y) * ms:][:ms]
            row = []
            for x in range(w):
                clear = mrow[x // 8] >> (7 - x % 8) & 1
                if bpp <= 8:
                    bit = x * bpp
                    idx = xrow[bit // 8] >> (8 - bpp - bit % 8) & ((1 << bpp) - 1)
                    raw, rgb, a = idx, pal[idx], 0 if clear else 255
                else:
                    px = xrow[x * bpp // 8:][:bpp // 8]
                    raw, rgb = int.from_bytes(px, "little"), (px[2], px[1], px[0])
                    a = px[3] if bpp == 32 else (0 if clear else 255)
                    if bpp == 32 and a == 0 and not clear:
                        fail(f"{where}: pixel {x},{y} has alpha 0 but is opaque in the mask")
                if clear and a == 0 and raw != 0:
                    fail(f"{where}: transparent pixel {x},{y} is not 0 in the XOR image")
                row.append(rgb + (a,))
            rows.append(row)
        images.append((w, h, bpp, rows))
    if expect_off != len(data):
        fail(f"{path}: {len(data) - expect_off} stray bytes after the last image")
    return images


def check_picture(where, w, h, bpp, rows):
    alphas = [p[3] for row in rows for p in row]
    if 0 not in alphas or 255 not in alphas:
        fail(f"{where}: image is all transparent or all opaque")
    if bpp == 32 and not any(0 < a < 255 for a in alphas):
        fail(f"{where}: 32 bpp image has no soft edges")
    edge = [rows[y][x][3] for y in range(h) for x in range(w) if x in (0, w - 1) or y in (0, h - 1)]
    colours = {p[:3] for row in rows for p in row if p[3]}
    if len(colours) < (2 if bpp == 1 else 4):
        fail(f"{where}: only {len(colours)} colours, the picture has no detail")
    if all(edge):
        fail(f"{where}: no transparent pixel on the border, the mask looks inverted")


def png(path, rows):
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body))
    head = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def preview(rows):
    """RGBA -> RGB over a light checkerboard, blown up so single pixels are visible."""
    out = []
    for y, row in enumerate(rows):
        line = []
        for x, (r, g, b, a) in enumerate(row):
            for _ in range(SCALE):
                bg = 235 if (x + y) % 2 else 205
                line.append(tuple((c * a + bg * (255 - a)) // 255 for c in (r, g, b)))
        out.extend([line] * SCALE)
    return out


def main(outdir="/tmp/icon_previews"):
    os.makedirs(outdir, exist_ok=True)
    for name, wanted in WANTED.items():
        images = read_ico(os.path.join(HERE, name))
        got = [(w, bpp) for w, h, bpp, _ in images]
        print(f"{name}: " + ", ".join(f"{w}x{h}@{bpp}" for w, h, bpp, _ in images))
        if got != wanted or any(w != h for w, h, _, _ in images):
            fail(f"{name}: images {got}, expected {wanted}")
        for i, (w, h, bpp, rows) in enumerate(images):
            check_picture(f"{name} image {i}", w, h, bpp, rows)
            png(os.path.join(outdir, f"{name[:-4]}_{i}_{w}x{h}_{bpp}bpp.png"), preview(rows))
        # one strip per file, images side by side, for a quick look
        tall = max(h for _, h, _, _ in images)
        strip = [[] for _ in range(tall * SCALE)]
        for w, h, bpp, rows in images:
            big = preview(rows + [[(255, 255, 255, 0)] * w] * (tall - h))
            for y in range(tall * SCALE):
                strip[y].extend(big[y] + [(255, 255, 255)] * 16)
        png(os.path.join(outdir, f"{name[:-4]}_all.png"), strip)
    # last, so a damaged file is reported by what is wrong with it, not just as changed
    for name, draw, images in draw_icons.ICONS:
        if open(os.path.join(HERE, name), "rb").read() != draw_icons.build_ico(draw, images):
            fail(f"{name} differs from a fresh drawing: stale, or the drawing is not deterministic")
    print("all icons OK; previews in", outdir)


if __name__ == "__main__":
    main(*sys.argv[1:2])
