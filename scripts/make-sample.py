#!/usr/bin/env python3
"""Makes the generated pictures of the sample content and its pack.

Writes, under sample/ (Python's standard library only, so that the output is
the same on every machine):
  input/images/backdrop.jpg   a landscape picture (baseline JPEG, own encoder)
  input/images/stone.png      a small opaque tile (PNG)
  input/images/spark.png      a soft white dot for particle effects (PNG with alpha)
  input/fonts/pixel.png       the page of the bitmap font (5x7 glyphs, doubled)
  input/fonts/pixel.fnt       its descriptor
  data.dat                    a ZIP pack holding images/badge.png (PNG with alpha)

Run it again after changing it; the files it writes are committed.
"""
import io
import math
import os
import struct
import zipfile
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sample")


# --- PNG --------------------------------------------------------------------

def png_bytes(width, height, pixels, alpha):
    """pixels: rows of (r, g, b, a) tuples."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)
        for r, g, b, a in row:
            raw += bytes((r, g, b, a) if alpha else (r, g, b))
    header = struct.pack(">IIBBBBB", width, height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
            chunk(b"IEND", b""))


# --- baseline JPEG (YCbCr 4:4:4, standard tables) ---------------------------

ZIGZAG = [0, 1, 8, 16, 9, 2, 3, 10, 17, 24, 32, 25, 18, 11, 4, 5, 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,
          7, 14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31,
          39, 46, 53, 60, 61, 54, 47, 55, 62, 63]
LUMA_Q = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56, 14, 17,
          22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92, 49, 64, 78,
          87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]
CHROMA_Q = [17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99, 99, 99, 47,
            66, 99, 99, 99, 99, 99, 99] + [99] * 32
DC_LUMA = ([0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0], list(range(12)))
DC_CHROMA = ([0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0], list(range(12)))
AC_LUMA = ([0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D], bytes.fromhex(
    "01020300041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435"
    "363738393a434445464748494a535455565758595a636465666768696a737475767778797a838485868788898a92939495969798"
    "999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4"
    "f5f6f7f8f9fa"))
AC_CHROMA = ([0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77], bytes.fromhex(
    "000102031104052131061241510761711322328108144291a1b1c109233352f0156272d10a162434e125f11718191a26272829"
    "2a35363738393a434445464748494a535455565758595a636465666768696a737475767778797a82838485868788898a92939495"
    "969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9eaf2f3"
    "f4f5f6f7f8f9fa"))


def huffman_codes(table):
    counts, symbols = table
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(counts[length - 1]):
            codes[symbols[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


COSINES = [[(math.sqrt(0.5) if u == 0 else 1.0) * math.cos((2 * x + 1) * u * math.pi / 16) / 2 for x in range(8)]
           for u in range(8)]


def dct(block):
    rows = [[sum(COSINES[u][x] * block[y * 8 + x] for x in range(8)) for u in range(8)] for y in range(8)]
    return [sum(COSINES[v][y] * rows[y][u] for y in range(8)) for v in range(8) for u in range(8)]


class BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.value = 0
        self.count = 0

    def write(self, code, length):
        self.value = (self.value << length) | code
        self.count += length
        while self.count >= 8:
            byte = (self.value >> (self.count - 8)) & 0xFF
            self.out.append(byte)
            if byte == 0xFF:
                self.out.append(0)
            self.count -= 8
        self.value &= (1 << self.count) - 1

    def flush(self):
        if self.count:
            self.write((1 << (8 - self.count)) - 1, 8 - self.count)


def magnitude(value):
    size = abs(value).bit_length()
    bits = value if value >= 0 else value + (1 << size) - 1
    return size, bits


def jpeg_bytes(width, height, pixels, quality=85):
    scale = 5000 / quality if quality < 50 else 200 - 2 * quality
    tables = [[min(255, max(1, (q * scale + 50) // 100)) for q in base] for base in (LUMA_Q, CHROMA_Q)]
    dc_codes = [huffman_codes(DC_LUMA), huffman_codes(DC_CHROMA)]
    ac_codes = [huffman_codes(AC_LUMA), huffman_codes(AC_CHROMA)]
    planes = [[0.0] * (width * height) for _ in range(3)]
    for y in range(height):
        for x in range(width):
            r, g, b, _ = pixels[y][x]
            i = y * width + x
            planes[0][i] = 0.299 * r + 0.587 * g + 0.114 * b - 128
            planes[1][i] = -0.168736 * r - 0.331264 * g + 0.5 * b
            planes[2][i] = 0.5 * r - 0.418688 * g - 0.081312 * b
    bits = BitWriter()
    previous = [0, 0, 0]
    for by in range(0, height, 8):
        for bx in range(0, width, 8):
            for c in range(3):
                t = 0 if c == 0 else 1
                block = [planes[c][min(by + y, height - 1) * width + min(bx + x, width - 1)]
                         for y in range(8) for x in range(8)]
                coefficients = dct(block)
                q = [int(round(coefficients[ZIGZAG[k]] / tables[t][k])) for k in range(64)]
                size, value = magnitude(q[0] - previous[c])
                previous[c] = q[0]
                bits.write(*dc_codes[t][size])
                if size:
                    bits.write(value, size)
                run = 0
                for k in range(1, 64):
                    if q[k] == 0:
                        run += 1
                        continue
                    while run > 15:
                        bits.write(*ac_codes[t][0xF0])
                        run -= 16
                    size, value = magnitude(q[k])
                    bits.write(*ac_codes[t][(run << 4) | size])
                    bits.write(value, size)
                    run = 0
                if run:
                    bits.write(*ac_codes[t][0x00])
    bits.flush()

    def segment(marker, data):
        return struct.pack(">BBH", 0xFF, marker, len(data) + 2) + data

    out = bytearray(b"\xff\xd8")
    out += segment(0xE0, b"JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00")
    for t in range(2):
        out += segment(0xDB, bytes([t]) + bytes(tables[t][k] for k in range(64)))
    out += segment(0xC0, struct.pack(">BHHB", 8, height, width, 3) + bytes([1, 0x11, 0, 2, 0x11, 1, 3, 0x11, 1]))
    for kind, t, table in ((0, 0, DC_LUMA), (1, 0, AC_LUMA), (0, 1, DC_CHROMA), (1, 1, AC_CHROMA)):
        out += segment(0xC4, bytes([(kind << 4) | t]) + bytes(table[0]) + bytes(table[1]))
    out += segment(0xDA, bytes([3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0]))
    out += bits.out + b"\xff\xd9"
    return bytes(out)


# --- pictures ---------------------------------------------------------------

def mix(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def backdrop(width, height):
    """Evening sky over two rows of hills, with a low sun."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            colour = mix((38, 52, 96), (236, 170, 120), y / (height * 0.7))
            sun = math.hypot(x - width * 0.72, y - height * 0.52)
            if sun < height * 0.09:
                colour = (255, 226, 160)
            elif sun < height * 0.2:
                colour = mix((255, 214, 150), colour, (sun - height * 0.09) / (height * 0.11))
            far = height * (0.62 + 0.05 * math.sin(x / width * 7.0 + 1.0))
            near = height * (0.74 + 0.06 * math.sin(x / width * 4.0 + 2.5))
            if y > near:
                colour = mix((54, 92, 48), (24, 46, 28), (y - near) / (height - near + 1))
            elif y > far:
                colour = mix((86, 104, 104), (70, 90, 84), (y - far) / (near - far + 1))
            row.append(colour + (255,))
        rows.append(row)
    return rows


def stone(size):
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            brick = (x // (size // 2) + (y // (size // 4)) % 2) % 2
            edge = x % (size // 2) in (0,) or y % (size // 4) in (0,)
            base = (150, 120, 96) if brick else (132, 108, 90)
            grain = int(12 * math.sin(x * 1.7 + y * 0.9) * math.cos(y * 1.3))
            colour = (70, 60, 54) if edge else tuple(max(0, min(255, c + grain)) for c in base)
            row.append(colour + (255,))
        rows.append(row)
    return rows


def spark(size):
    """A white dot that fades out towards its edge; particles tint and blend it."""
    rows = []
    centre = (size - 1) / 2
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x - centre, y - centre) / (size / 2)
            alpha = int(round(255 * max(0.0, 1.0 - d) ** 2))
            row.append((255, 255, 255, alpha))
        rows.append(row)
    return rows


def badge(size):
    """A gold ring with a five-pointed star, transparent around it (soft edges)."""
    rows = []
    centre = (size - 1) / 2
    outer, inner = size * 0.48, size * 0.40
    for y in range(size):
        row = []
        for x in range(size):
            dx, dy = x - centre, y - centre
            distance = math.hypot(dx, dy)
            angle = math.atan2(dy, dx) + math.pi / 2
            # The star's radius at this angle: between the points and the notches.
            sector = (angle % (2 * math.pi / 5)) / (2 * math.pi / 5)
            star = inner * (0.42 + 0.58 * abs(1 - 2 * sector) ** 1.6)
            ring = max(0.0, min(1.0, outer - distance + 0.5)) * max(0.0, min(1.0, distance - inner + 0.5 + 2))
            fill = max(0.0, min(1.0, star - distance + 0.5))
            alpha = max(ring, fill)
            shade = 0.75 + 0.25 * (-dy / size + 0.5)
            colour = (int(250 * shade), int(196 * shade), int(60 * shade)) if ring >= fill else (255, 244, 200)
            row.append(colour + (int(round(alpha * 255)),))
        rows.append(row)
    return rows


# --- bitmap font ------------------------------------------------------------

GLYPHS = {
    " ": [0] * 7,
    "!": [0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04],
    "'": [0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00],
    ",": [0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08],
    "-": [0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00],
    ".": [0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C],
    "/": [0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10],
    "0": [0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E],
    "1": [0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E],
    "2": [0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F],
    "3": [0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E],
    "4": [0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02],
    "5": [0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E],
    "6": [0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E],
    "7": [0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08],
    "8": [0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E],
    "9": [0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C],
    ":": [0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00],
    "?": [0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04],
    "A": [0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11],
    "B": [0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E],
    "C": [0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E],
    "D": [0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E],
    "E": [0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F],
    "F": [0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10],
    "G": [0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F],
    "H": [0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11],
    "I": [0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E],
    "J": [0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C],
    "K": [0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11],
    "L": [0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F],
    "M": [0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11],
    "N": [0x11, 0x11, 0x19, 0x15, 0x13, 0x11, 0x11],
    "O": [0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E],
    "P": [0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10],
    "Q": [0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D],
    "R": [0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11],
    "S": [0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E],
    "T": [0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04],
    "U": [0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E],
    "V": [0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04],
    "W": [0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A],
    "X": [0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11],
    "Y": [0x11, 0x11, 0x11, 0x0A, 0x04, 0x04, 0x04],
    "Z": [0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F],
}
GLYPH_SCALE = 2
CELL_W, CELL_H = 12, 16
PAGE_W, PAGE_H = 256, 64


def bitmap_font():
    page = [[(255, 255, 255, 0) for _ in range(PAGE_W)] for _ in range(PAGE_H)]
    chars = []
    columns = PAGE_W // CELL_W
    for index, (char, rows) in enumerate(sorted(GLYPHS.items())):
        cx, cy = (index % columns) * CELL_W, (index // columns) * CELL_H
        for row, bits in enumerate(rows):
            for column in range(5):
                if bits & (0x10 >> column):
                    for sy in range(GLYPH_SCALE):
                        for sx in range(GLYPH_SCALE):
                            page[cy + row * GLYPH_SCALE + sy][cx + column * GLYPH_SCALE + sx] = (255, 255, 255, 255)
        chars.append('    <char id="%d" x="%d" y="%d" width="%d" height="%d" xoffset="0" yoffset="1" '
                     'xadvance="%d" page="0" chnl="15"/>' % (ord(char), cx, cy, 5 * GLYPH_SCALE, 7 * GLYPH_SCALE,
                                                             6 * GLYPH_SCALE))
    descriptor = ('<?xml version="1.0" encoding="utf-8"?>\n<font>\n'
                  '  <info face="pixel" size="16"/>\n'
                  '  <common lineHeight="%d" base="%d" scaleW="%d" scaleH="%d" pages="1"/>\n'
                  '  <pages>\n    <page id="0" file="pixel.png"/>\n  </pages>\n'
                  '  <chars count="%d">\n%s\n  </chars>\n</font>\n'
                  % (CELL_H + 2, 7 * GLYPH_SCALE + 1, PAGE_W, PAGE_H, len(chars), "\n  ".join(chars)))
    return png_bytes(PAGE_W, PAGE_H, page, True), descriptor.encode("utf-8")


# --- output -----------------------------------------------------------------

def write(relative, data):
    path = os.path.join(ROOT, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def pack(members):
    """A ZIP pack with fixed dates, so that it is the same on every run."""
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as archive:
        for name, data in members:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            archive.writestr(info, data)
    return buffer.getvalue()


def main():
    write("input/images/backdrop.jpg", jpeg_bytes(512, 384, backdrop(512, 384)))
    write("input/images/stone.png", png_bytes(64, 64, stone(64), False))
    write("input/images/spark.png", png_bytes(16, 16, spark(16), True))
    page, descriptor = bitmap_font()
    write("input/fonts/pixel.png", page)
    write("input/fonts/pixel.fnt", descriptor)
    write("data.dat", pack([("images/badge.png", png_bytes(96, 96, badge(96), True))]))


if __name__ == "__main__":
    main()
