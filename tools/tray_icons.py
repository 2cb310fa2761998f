#!/usr/bin/env python3
"""Makes the tray icon's other looks from resources/chronobel.ico: the same
picture with a mark in its lower right corner, amber for "stale" (the last
success is old, or the clock was found off) and red with a white bar for
"failing" (automatic operations fail). The output depends on the input
alone, so running it again gives the same bytes.
    tools/tray_icons.py [RESOURCES_DIR]"""
import struct
import sys
from pathlib import Path

# (blue, green, red) of the mark, its outline and the failing look's bar.
AMBER = (0x00, 0xA8, 0xF5)
RED = (0x28, 0x28, 0xD8)
OUTLINE = (0x20, 0x20, 0x20)
WHITE = (0xFF, 0xFF, 0xFF)


def mark(size, x, y, fill, bar):
    """The mark's colour at pixel (x, y) counted from the top left, or None."""
    scale = size / 16
    centre = 12 * scale
    radius = 4.5 * scale
    dx, dy = x + 0.5 - centre, y + 0.5 - centre  # from the pixel's middle
    d2 = dx * dx + dy * dy
    if d2 > radius * radius:
        return None
    if d2 > (radius - scale) ** 2:
        return OUTLINE
    if bar and abs(dy) <= scale and abs(dx) <= radius - 2 * scale:
        return WHITE
    return fill


def marked(image, fill, bar):
    """One icon image (BITMAPINFOHEADER, 32-bit pixels, AND mask) with the mark."""
    header_size, width, height2, planes, bits = struct.unpack_from("<IiiHH", image)
    assert header_size == 40 and bits == 32 and height2 == 2 * width, "32-bit square images only"
    size = width
    data = bytearray(image)
    pixels = header_size
    mask = pixels + size * size * 4
    mask_row = ((size + 31) // 32) * 4
    for y in range(size):
        row = size - 1 - y  # rows are stored bottom up
        for x in range(size):
            colour = mark(size, x, y, fill, bar)
            if colour is None:
                continue
            at = pixels + (row * size + x) * 4
            data[at:at + 4] = bytes(colour) + b"\xff"
            data[mask + row * mask_row + x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
    return bytes(data)


def make(source, fill, bar):
    reserved, kind, count = struct.unpack_from("<HHH", source)
    assert reserved == 0 and kind == 1
    entries = [struct.unpack_from("<BBBBHHII", source, 6 + 16 * i) for i in range(count)]
    images = [marked(source[e[7]:e[7] + e[6]], fill, bar) for e in entries]
    out = bytearray(struct.pack("<HHH", 0, 1, count))
    offset = 6 + 16 * count
    for e, image in zip(entries, images):
        out += struct.pack("<BBBBHHII", *e[:6], len(image), offset)
        offset += len(image)
    for image in images:
        out += image
    return bytes(out)


def main():
    resources = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "resources")
    source = (resources / "chronobel.ico").read_bytes()
    (resources / "tray_stale.ico").write_bytes(make(source, AMBER, False))
    (resources / "tray_failing.ico").write_bytes(make(source, RED, True))


if __name__ == "__main__":
    main()
