#!/usr/bin/env python3
"""Writes kormit.ico, the installer's icon, from the pixel maps below.

The icon is a blue box with a white pair of beamed quavers: 32x32 and 16x16,
16 colours each, in that order (the resource compiler numbers the images 1
and 2 in file order). Run it again after editing a map and commit both files:
    python3 resources/icons/make_icons.py resources/icons/kormit.ico
"""
import struct
import sys

# The standard 16-colour palette; one letter per entry used in the maps.
PALETTE = [  # (letter, red, green, blue)
    ("k", 0x00, 0x00, 0x00), ("r", 0x80, 0x00, 0x00), ("g", 0x00, 0x80, 0x00),
    ("o", 0x80, 0x80, 0x00), ("b", 0x00, 0x00, 0x80), ("m", 0x80, 0x00, 0x80),
    ("t", 0x00, 0x80, 0x80), ("c", 0xC0, 0xC0, 0xC0), ("d", 0x80, 0x80, 0x80),
    ("R", 0xFF, 0x00, 0x00), ("G", 0x00, 0xFF, 0x00), ("y", 0xFF, 0xFF, 0x00),
    ("B", 0x00, 0x00, 0xFF), ("M", 0xFF, 0x00, 0xFF), ("T", 0x00, 0xFF, 0xFF),
    ("w", 0xFF, 0xFF, 0xFF),
]
TRANSPARENT = "."  # shows the background: palette entry 0 with the mask set

ICON_32 = """
................................
....kkkkkkkkkkkkkkkkkkkkkkkk....
..kkcccccccccccccccccccccccbkk..
..kcBBBBBBBBBBBBBBBBBBBBBBBBbk..
.kcBBBBBBBBBBBBBBBBBBBBBBBBBBbk.
.kcBBBBBBBBBBBBBBBBBBBBBBBBBBbk.
.kcBBBBBBBBBBBBBBBBBBBwwwwBBBbk.
.kcBBBBBBBBBBBBBBwwwwwwwwwBBBbk.
.kcBBBBBBBBBBwwwwwwwwwwwwwBBBbk.
.kcBBBBBBBBBBwwwwwwwwwBBwwBBBbk.
.kcBBBBBBBBBBwwwwBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBBBBBBwwBBBbk.
.kcBBBBBBBBBBwwBBBBwwwwwwwBBBbk.
.kcBBBBBBBBBBwwBBBwwwwwwwwBBBbk.
.kcBBBBBwwwwwwwBBBwwwwwwwwBBBbk.
.kcBBBBwwwwwwwwBBBwwwwwwwBBBBbk.
.kcBBBBwwwwwwwwBBBBwwwwwBBBBBbk.
.kcBBBBwwwwwwwBBBBBBBBBBBBBBBbk.
.kcBBBBBwwwwwBBBBBBBBBBBBBBBBbk.
.kcBBBBBBBBBBBBBBBBBBBBBBBBBBbk.
.kcBBBBBBBBBBBBBBBBBBBBBBBBBBbk.
.kbBBBBBBBBBBBBBBBBBBBBBBBBBBbk.
..kbBBBBBBBBBBBBBBBBBBBBBBBBbk..
..kkbbbbbbbbbbbbbbbbbbbbbbbbkk..
....kkkkkkkkkkkkkkkkkkkkkkkk....
................................
"""

ICON_16 = """
.kkkkkkkkkkkkkk.
kkcccccccccccbkk
kcBBBBBBBBBBBBbk
kcBBBBBBBBwwwBbk
kcBBBBwwwwwwwBbk
kcBBBBwwwwBBwBbk
kcBBBBwBBBBBwBbk
kcBBBBwBBBBBwBbk
kcBBBBwBBBBBwBbk
kcBBBBwBBwwwwBbk
kcBwwwwBBwwwwBbk
kcBwwwwBBwwwwBbk
kcBwwwwBBBBBBBbk
kbBBBBBBBBBBBBbk
kkbbbbbbbbbbbbkk
.kkkkkkkkkkkkkk.
"""


def rows_of(pixel_map, size):
    rows = pixel_map.split()
    assert len(rows) == size and all(len(r) == size for r in rows), "map is not square"
    return rows


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def icon_image(pixel_map, size):
    """One icon image: BITMAPINFOHEADER, palette, colour bits, mask bits."""
    index = {letter: i for i, (letter, *_rgb) in enumerate(PALETTE)}
    rows = rows_of(pixel_map, size)
    colour = b""
    mask = b""
    for row in reversed(rows):  # bitmaps are stored bottom-up
        nibbles = [0 if p == TRANSPARENT else index[p] for p in row]
        colour += padded(bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, size, 2)))
        bits = [1 if p == TRANSPARENT else 0 for p in row]
        mask += padded(bytes(sum(bits[i + j] << (7 - j) for j in range(8)) for i in range(0, size, 8)))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    palette = b"".join(bytes((blue, green, red, 0)) for _l, red, green, blue in PALETTE)
    return header + palette + colour + mask


def main(path):
    images = [(32, icon_image(ICON_32, 32)), (16, icon_image(ICON_16, 16))]
    assert [len(i) for _s, i in images] == [744, 296]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, image in images:
        entries += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    with open(path, "wb") as out:
        out.write(directory + entries + b"".join(i for _s, i in images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "kormit.ico")
