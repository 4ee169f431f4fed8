#!/usr/bin/env python3
"""Draws the program's two tray icons as 16-colour pixel art and writes them as Windows .ico files.

The build uses the committed .ico files; run this only after changing a picture:
    python3 src/app/resources/draw_icons.py
Each file holds a 32x32 and a 16x16 image, 4 bits per pixel over the standard Windows 16-colour
palette, with a 1-bit AND mask: 6 + 2*16 + (40+64+512+128) + (40+64+128+64) = 1078 bytes.

The launchers' icons are the text icon's pictures enlarged, pixel for pixel, so tray and launcher
stay one design; the Linux build writes them with
    python3 src/app/resources/draw_icons.py --launcher-icons FOLDER
as vorda-dictionary-48.png (the 16x16 picture, 3 times), -64, -128 and -256.png (the 32x32 one, 2, 4
and 8 times) and vorda-dictionary.svg (the 32x32 one, one square per pixel).
"""

import pathlib
import struct
import sys
import zlib

# The standard Windows 16-colour palette, in its fixed order; one letter per colour in the art below.
PALETTE = [
    ("K", (0x00, 0x00, 0x00)),  # black
    ("r", (0x80, 0x00, 0x00)),  # dark red
    ("g", (0x00, 0x80, 0x00)),  # dark green
    ("y", (0x80, 0x80, 0x00)),  # olive
    ("n", (0x00, 0x00, 0x80)),  # navy
    ("p", (0x80, 0x00, 0x80)),  # purple
    ("t", (0x00, 0x80, 0x80)),  # teal
    ("s", (0xC0, 0xC0, 0xC0)),  # silver
    ("d", (0x80, 0x80, 0x80)),  # grey
    ("R", (0xFF, 0x00, 0x00)),  # red
    ("G", (0x00, 0xFF, 0x00)),  # green
    ("Y", (0xFF, 0xFF, 0x00)),  # yellow
    ("B", (0x00, 0x00, 0xFF)),  # blue
    ("M", (0xFF, 0x00, 0xFF)),  # magenta
    ("C", (0x00, 0xFF, 0xFF)),  # cyan
    ("W", (0xFF, 0xFF, 0xFF)),  # white
]
TRANSPARENT = "."
INDEX = {letter: i for i, (letter, _) in enumerate(PALETTE)}

# An open book, resting on a flat hand whose thumb holds the left page.
OPEN_BOOK_32 = """
................................
................................
..KKKK....................KKKK..
nBKWWWKKKK............KKKKWWWKBn
nBKWWWWWWWKKK......KKKWWWWWWWKBn
nBKWWWWWWWWWWKK..KKWWWWWWWWWWKBn
nBKWddddddddWWWKKWWWddddddddWKBn
nBKWWWWWWWWWWWWddWWWWWWWWWWWWKBn
nBKWddddddddddWddWddddddddddWKBn
nBKWWWWWWWWWWWWddWWWWWWWWWWWWKBn
nBKWddddddddddWddWddddddddddWKBn
nBKWWWWWWWWWWWWddWWWWWWWWWWWWKBn
nBKWddddddWWWWWddWWWWWddddddWKBn
nBKWWWWWKKKWWWWddWWWWWWWWWWWWKBn
nBKKKKWKYYYKWWWddWWWWWWWWWKKKKBn
nBBBBBKKYYYKWWWddWWWWWKKKKBBBBBn
nnnnnnBKYYyKKWWddWWKKKBBBBnnnnnn
......nKYYyKBKKKKKKBBBnnnn......
.......KYYyKnBBBBBBnnn..........
.......KYYyKKKKKKKKKKKKKKK......
......KYYYYYYYYYYYYYYYYYYYK.....
.....KYYYYYYYYYYYYYYYYYYYYYK....
.....KYYYYYYYYyyyyyyyyyyyyyK....
....KYYYYYYYYYYYYYYYYYYYYYYK....
....KYYYYYYYyyyyyyyyyyyyyyK.....
...KKYYYYYYYYYYYYYYYYYYYYYK.....
..KWWKYYYYYyyyyyyyyyyyyyKK......
.KWWWWKyyyyKKKKKKKKKKKKK........
KttWWWWKKKK.....................
ttttWWWWK.......................
tttttWWK........................
ttttttK.........................
"""

OPEN_BOOK_16 = """
................
................
.KKK........KKK.
nKWWKKK..KKKWWKn
nKWWWWWKKWWWWWKn
nKWdddWssWdddWKn
nKWWWWWssWWWWWKn
nKKKddWssWdddWKn
nKYYKWWssWWWWWKn
nKYyKWWssWWWKKKn
nKYyKKKKKKKKKBBn
KYYYYYYYYYYYYKnn
KYYYYYyyyyyyyYK.
KYYYYYYYYYYYYK..
KKyyyKKKKKKKK...
ttKK............
"""

# A closed red book with a yellow label, its pages showing at the side and bottom.
CLOSED_BOOK_32 = """
................................
................................
....KKKKKKKKKKKKKKKKKKKKK.......
....KrrrKRRRRRRRRRRRRRRRKK......
....KYYYKRRRRRRRRRRRRRRRKWK.....
....KYYYKRRRRRRRRRRRRRRRKWsK....
....KrrrKRRKKKKKKKKKKKRRKWsrK...
....KrrrKRRKYYYYYYYYYKRRKWsrK...
....KrrrKRRKyyyyyyyyyKRRKWsrK...
....KrrrKRRKYyyyyyyyYKRRKWsrK...
....KrrrKRRKYYYYYYYYYKRRKWsrK...
....KrrrKRRKKKKKKKKKKKRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KYYYKRRRRRRRRRRRRRRRKWsrK...
....KYYYKRRRRRRRRRRRRRRRKWsrK...
....KrrrKRRRRRRRRRRRRRRRKWsrK...
....KKKKKKKKKKKKKKKKKKKKKWsrK...
.....KWWWWWWWWWWWWWWWWWWWWsrK...
......KssssssssssssssssssWsrK...
.......KrrrrrrrrrrrrrrrrrrrrK...
........KKKKKKKKKKKKKKKKKKKKK...
................................
"""

CLOSED_BOOK_16 = """
................
.KKKKKKKKKKK....
.KrrKRRRRRRKK...
.KrrKRKKKKRKWK..
.KrrKRKYYKRKWrK.
.KrrKRKYYKRKWrK.
.KrrKRKKKKRKWrK.
.KrrKRRRRRRKWrK.
.KrrKRRRRRRKWrK.
.KrrKRRRRRRKWrK.
.KrrKRRRRRRKWrK.
.KrrKRRRRRRKWrK.
.KKKKKKKKKKKWrK.
..KWWWWWWWWWWrK.
...KrrrrrrrrrrK.
....KKKKKKKKKKK.
"""


def rows_of(art, size):
    rows = art.strip("\n").split("\n")
    if len(rows) != size or any(len(row) != size for row in rows):
        raise ValueError(f"picture is not {size}x{size}")
    return rows


def packed_rows(bits_per_row):
    """Bytes of one row, padded to a multiple of 4 as DIB rows are."""
    return (bits_per_row + 31) // 32 * 4


def image_bytes(art, size):
    rows = rows_of(art, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for _, (r, g, b) in PALETTE)
    colour, mask = bytearray(), bytearray()
    for row in reversed(rows):  # DIBs store the bottom row first
        nibbles = [0 if c == TRANSPARENT else INDEX[c] for c in row]
        line = bytes(nibbles[i] << 4 | nibbles[i + 1] for i in range(0, size, 2))
        colour += line.ljust(packed_rows(4 * size), b"\0")
        bits = 0
        for c in row:
            bits = bits << 1 | (c == TRANSPARENT)
        mask += bits.to_bytes(size // 8, "big").ljust(packed_rows(size), b"\0")
    return header + palette + bytes(colour) + bytes(mask)


def icon_file(images):
    """images: list of (art, size), largest first."""
    blobs = [image_bytes(art, size) for art, size in images]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for (_, size), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def rgba_of(letter):
    if letter == TRANSPARENT:
        return (0, 0, 0, 0)
    return PALETTE[INDEX[letter]][1] + (255,)


def png_file(art, size, scale):
    """The picture as an RGBA PNG, each pixel a scale x scale square."""
    raw = bytearray()
    for row in rows_of(art, size):
        line = b"".join(bytes(rgba_of(c)) * scale for c in row)
        raw += (b"\0" + line) * scale  # filter type 0 before each row
    side = size * scale

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (
        b"\x89PNG\r\n\x1a\n"
        + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0))
        + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
        + chunk(b"IEND", b"")
    )


def svg_file(art, size):
    """The picture as SVG: one rectangle per run of same-coloured pixels in a row."""
    shapes = []
    for y, row in enumerate(rows_of(art, size)):
        x = 0
        while x < size:
            end = x
            while end < size and row[end] == row[x]:
                end += 1
            if row[x] != TRANSPARENT:
                r, g, b = PALETTE[INDEX[row[x]]][1]
                shapes.append(f'<rect x="{x}" y="{y}" width="{end - x}" height="1" fill="#{r:02x}{g:02x}{b:02x}"/>')
            x = end
    return (
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{size * 8}" height="{size * 8}" '
        f'viewBox="0 0 {size} {size}" shape-rendering="crispEdges">\n'
        + "\n".join(shapes)
        + "\n</svg>\n"
    )


# (file name, picture, its size, how many times larger)
LAUNCHER_PNGS = [
    ("vorda-dictionary-48.png", OPEN_BOOK_16, 16, 3),
    ("vorda-dictionary-64.png", OPEN_BOOK_32, 32, 2),
    ("vorda-dictionary-128.png", OPEN_BOOK_32, 32, 4),
    ("vorda-dictionary-256.png", OPEN_BOOK_32, 32, 8),
]


def write_launcher_icons(folder):
    folder.mkdir(parents=True, exist_ok=True)
    for name, art, size, scale in LAUNCHER_PNGS:
        (folder / name).write_bytes(png_file(art, size, scale))
    (folder / "vorda-dictionary.svg").write_text(svg_file(OPEN_BOOK_32, 32), encoding="ascii")


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--launcher-icons":
        write_launcher_icons(pathlib.Path(sys.argv[2]))
        return
    if len(sys.argv) != 1:
        sys.exit(__doc__)
    here = pathlib.Path(__file__).resolve().parent
    for name, images in (
        ("text.ico", [(OPEN_BOOK_32, 32), (OPEN_BOOK_16, 16)]),
        ("notext.ico", [(CLOSED_BOOK_32, 32), (CLOSED_BOOK_16, 16)]),
    ):
        data = icon_file(images)
        assert len(data) == 1078, len(data)
        (here / name).write_bytes(data)
        print(f"wrote {name} ({len(data)} bytes)")


if __name__ == "__main__":
    main()
