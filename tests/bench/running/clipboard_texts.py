"""The clipboard contents the measurements use, written to files that xclip serves."""
import os
import struct
import zlib

WORDS = ("lantern harbour quiet meadow copper window thistle river amber orchard signal "
         "granite willow ember canvas puzzle violet saddle marble cobalt hollow").split()

SHORT_TEXT = "serendipity"
LONG_TEXT_BYTES = 10_000_000


def words_text(size):
    """SIZE bytes of words and single spaces, the same every run."""
    pieces, length, index = [], 0, 0
    while length < size:
        word = WORDS[(index * 7 + index // len(WORDS)) % len(WORDS)]
        pieces.append(word)
        length += len(word) + 1
        index += 1
    text = " ".join(pieces)[:size]
    return text[:-1] + "x" if text.endswith(" ") else text


def small_png(width=24, height=24):
    """A plain orange picture, for a clipboard that holds no text at all."""
    row = b"\x00" + b"\xff\x80\x00" * width
    raw = row * height

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def write(folder, name, data):
    path = os.path.join(folder, name)
    with open(path, "wb") as file:
        file.write(data if isinstance(data, bytes) else data.encode("utf-8"))
    return path


def hold_files(folder):
    """(short text file, 10 MB text file)."""
    os.makedirs(folder, exist_ok=True)
    return write(folder, "short.txt", SHORT_TEXT), write(folder, "long.txt", words_text(LONG_TEXT_BYTES))


def soak_items(folder):
    """The soak's cycle: (file, xclip target or None for text, description). Texts of different
    lengths, spaces only, a picture with no text, and another script."""
    os.makedirs(folder, exist_ok=True)
    items = [
        ("soak-word.txt", SHORT_TEXT, None, "a word"),
        ("soak-padded.txt", "  new york  ", None, "two words padded with spaces"),
        ("soak-spaces.txt", " " * 64, None, "64 spaces (no text)"),
        ("soak-4k.txt", words_text(4096), None, "4 KB of words"),
        ("soak-picture.png", small_png(), "image/png", "a picture only (no text)"),
        ("soak-200k.txt", words_text(200_000), None, "200 KB of words"),
        ("soak-many-spaces.txt", " " * 10_000, None, "10,000 spaces (no text)"),
        ("soak-cyrillic.txt", "  словарь  ", None, "a Cyrillic word padded with spaces"),
        ("soak-1m.txt", words_text(1_000_000), None, "1 MB of words"),
    ]
    return [(write(folder, name, data), target, description) for name, data, target, description in items]
