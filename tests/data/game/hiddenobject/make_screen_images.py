#!/usr/bin/env python3
"""Writes the fixture pictures of the hidden-object screen tests: the item list's and the letter
row's backgrounds, a button face, a bar for lines, a white square for the shield and the cursor
mask, and "blur_rt.png", the capture image. Run from anywhere; the files land in images/."""
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


def solid(colour):
    return lambda x, y: colour


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "images")
os.makedirs(here, exist_ok=True)
png(os.path.join(here, "panel600.png"), 600, 120, solid((230, 220, 190, 255)))
png(os.path.join(here, "strip300.png"), 300, 30, solid((200, 200, 200, 255)))
png(os.path.join(here, "knob80.png"), 80, 30, solid((120, 90, 60, 255)))
png(os.path.join(here, "bar10.png"), 10, 4, solid((0, 0, 0, 255)))
png(os.path.join(here, "white16.png"), 16, 16, solid((255, 255, 255, 255)))
png(os.path.join(here, "blur_rt.png"), 64, 48, lambda x, y: (x * 4, y * 5, (x + y) * 2, 128))
