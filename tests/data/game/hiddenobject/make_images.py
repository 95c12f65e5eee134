#!/usr/bin/env python3
"""Writes the fixture pictures of the hidden-object board tests: small RGBA PNG files whose alpha
the tests rely on (opaque discs and squares on transparent ground). Run from anywhere; the files
land in images/ beside this script."""
import os
import struct
import zlib


def png(path, width, height, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) +
                  chunk(b"IEND", b""))


def disc(size, colour):
    centre = (size - 1) / 2.0
    radius = size / 2.0 - 2
    def pixel(x, y):
        inside = (x - centre) ** 2 + (y - centre) ** 2 <= radius * radius
        return colour + ((255,) if inside else (0,))
    return pixel


def framed(width, height, border, colour):
    def pixel(x, y):
        inside = border <= x < width - border and border <= y < height - border
        return colour + ((255,) if inside else (0,))
    return pixel


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
os.makedirs(here, exist_ok=True)
png(os.path.join(here, "background.png"), 128, 96, lambda x, y: (40, 90 + y % 16, 60, 255))
png(os.path.join(here, "disc40.png"), 40, 40, disc(40, (200, 160, 40)))
png(os.path.join(here, "letter24.png"), 24, 24, disc(24, (220, 220, 255)))
png(os.path.join(here, "piece48.png"), 48, 48, framed(48, 48, 4, (150, 80, 200)))
png(os.path.join(here, "person.png"), 60, 100, framed(60, 100, 10, (90, 60, 40)))
