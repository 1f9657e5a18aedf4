#!/usr/bin/env python3
"""Turns an icon drawn as character art into a 16-colour .ico file.

Usage: make_icons.py ART.txt OUT.ico

The art file holds one or more images, each introduced by a line
"size N" (N = 32 or 16) and followed by N lines of N characters, one
character a pixel.  Lines starting with '#' are comments.  Characters map
to the standard 16-colour VGA palette:

    K black        r dark red     g dark green   y dark yellow
    b dark blue    m dark magenta c dark cyan    s light grey (silver)
    d dark grey    R red          G green        Y yellow
    B blue         M magenta      C cyan         W white
    . transparent (AND-mask bit set)

Each image is written as a 4-bit BMP with the full 16-entry palette and an
AND mask, largest first.
"""
import struct
import sys

# Windows' 16-colour palette in its usual order, as (R, G, B).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00),
    (0x80, 0x80, 0x00), (0x00, 0x00, 0x80), (0x80, 0x00, 0x80),
    (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0), (0x80, 0x80, 0x80),
    (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0xFF),
]
COLOUR_CHARS = "KrgybmcsdRGYBMCW"
TRANSPARENT = "."


class ArtError(Exception):
    pass


def parse_art(text, name):
    """Returns a list of (size, rows) where rows are lists of colour
    indexes, None for transparent."""
    images = []
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i].rstrip()
        i += 1
        if not line or line.startswith("#"):
            continue
        words = line.split()
        if len(words) != 2 or words[0] != "size" or not words[1].isdigit():
            raise ArtError(f"{name}:{i}: expected 'size N', got {line!r}")
        size = int(words[1])
        if size not in (16, 32):
            raise ArtError(f"{name}:{i}: size must be 16 or 32")
        rows = []
        for _ in range(size):
            if i >= len(lines):
                raise ArtError(f"{name}: image of size {size} is cut short")
            row = lines[i].rstrip("\n")
            i += 1
            if len(row) != size:
                raise ArtError(
                    f"{name}:{i}: row has {len(row)} characters, not {size}")
            for ch in row:
                if ch != TRANSPARENT and ch not in COLOUR_CHARS:
                    raise ArtError(f"{name}:{i}: unknown colour {ch!r}")
            rows.append([None if ch == TRANSPARENT else COLOUR_CHARS.index(ch)
                         for ch in row])
        images.append((size, rows))
    if not images:
        raise ArtError(f"{name}: no image")
    sizes = [s for s, _ in images]
    if len(set(sizes)) != len(sizes):
        raise ArtError(f"{name}: the same size appears twice")
    images.sort(key=lambda im: -im[0])
    return images


def bmp_image(size, rows):
    """BITMAPINFOHEADER + palette + XOR bits + AND mask, bottom-up."""
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, px in enumerate(row):
            # Two pixels a byte, the left one in the high half.
            line[x // 2] |= (px or 0) << (4 if x % 2 == 0 else 0)
            if px is None:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0,
                         len(xor) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0)
                       for r, g, b in PALETTE)
    return header + palette + bytes(xor) + bytes(mask)


def ico_file(images):
    blobs = [bmp_image(size, rows) for size, rows in images]
    out = bytearray(struct.pack("<HHH", 0, 1, len(blobs)))
    offset = 6 + 16 * len(blobs)
    for (size, _), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16, 0, 1, 4,
                           len(blob), offset)
        offset += len(blob)
    return bytes(out + b"".join(blobs))


def main(argv):
    args = argv[1:]
    if len(args) != 2:
        print(__doc__.splitlines()[2], file=sys.stderr)
        return 2
    source, target = args
    try:
        with open(source, encoding="ascii") as f:
            images = parse_art(f.read(), source)
    except (ArtError, UnicodeDecodeError) as e:
        print(f"make_icons.py: {e}", file=sys.stderr)
        return 1
    with open(target, "wb") as f:
        f.write(ico_file(images))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
