#!/usr/bin/env python3
"""Makes the pictures, sounds, effects and definitions of the sample's hidden-object game.

Writes, under sample/ (Python's standard library only, with the PNG writer of make-sample.py and the
WAV and Vorbis writers of make-sample-sounds.py):
  input/game/*.png            the shell's and the HUD's pictures: the menu and prologue scenes, the
                              loading and pause screens, the widescreen bars, the HUD panel, the
                              item list, the letter slots, the recharging buttons and their mask,
                              the dialogs, the cursor mask, "blur_rt.png" (256 x 192), the
                              score's digits and the picture the credits' clips play into
  input/definitions/game.xml  the shell ("mov_loading", "mov_pause", "mov_wide_left",
                              "mov_wide_right"), "scr_mainmenu", "scr_prologue", "scr_ispy" with its
                              HUD, "mov_itemtext", "mov_letter", "mov_white_blank", "cursor_mask",
                              "blur_rt.png", "dlg_guess", "dlg_endlevel", the HUD's score
                              "hud_score" (a BitmapNumber) and the menu's delayed twinkle
                              "menu_twinkle" (an effect nugget with a random start)
  input/cursors/<id>.cur      the eight cursors, named by the resource id the game registers
  input/effects/*.xml         "scav_wave", "click_penalty_2", "find_Item_UI", "buttons_UI" and the
                              level's candle glow "fx_glow", and the menu's "menu_twinkle"
  input/sounds/*.wav          "empty_click", "bttn_click", "bttn_recharged", "screen_close",
                              "find_item", the attic's wind and creak
  input/music/attic.ogg       the level's music
  input/translator_game.xml   the string-table keys the game's code and scripts use
  Attic/                      the level's library: the board "Attic" with 16 findable items (a
                              category of three candles and 13 single items), three letters of the
                              word "OW L", a person, a glow effect "fx_glow", a picture "video_dust",
                              the puzzle's key, chest, lever and treasure; its ambient sound scene
                              is input/audio/ambient/Attic.xml
  clickpoints.txt             the screen points the end-to-end test clicks, one "name x y" a line,
                              each on an opaque pixel of what it names, so that the test and the
                              content cannot drift apart
and adds, once, its definitions file to libraries.xml, its classes to libraries_meta.xml, its sounds
and the class "Effects" to Audio.xml and its translator file to translator_en.xml. The scripts that
drive the game are written by hand (input/script/*.luc). Run it again after changing it; the files
it writes are committed.
"""
import importlib.util
import math
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def load(name, file):
    spec = importlib.util.spec_from_file_location(name, os.path.join(HERE, file))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


SAMPLE = load("make_sample", "make-sample.py")
SOUNDS = load("make_sample_sounds", "make-sample-sounds.py")
ROOT = SAMPLE.ROOT
LEVEL = "Attic"
# The longest wait before the menu's twinkle starts (the effect nugget draws its delay below it).
TWINKLE_DELAY = 2.5

# --- pictures -------------------------------------------------------------------------------------


class Canvas:
    """RGBA pixels as lists of floats (0..1), composited with the usual 'over' rule."""

    def __init__(self, width, height, fill=(0, 0, 0, 0)):
        self.width, self.height = width, height
        self.pixels = [[list(fill) for _ in range(width)] for _ in range(height)]

    def blend(self, x, y, colour, coverage):
        if coverage <= 0 or not (0 <= x < self.width and 0 <= y < self.height):
            return
        r, g, b = (c / 255.0 for c in colour[:3])
        a = (colour[3] / 255.0 if len(colour) > 3 else 1.0) * min(1.0, coverage)
        p = self.pixels[y][x]
        out_a = a + p[3] * (1 - a)
        if out_a <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = (c * a + p[i] * p[3] * (1 - a)) / out_a
        p[3] = out_a

    def shape(self, inside, colour, box=None):
        """inside(x, y) -> bool on the pixel's sub-samples (4 x 4) gives the coverage."""
        x0, y0, x1, y1 = box or (0, 0, self.width, self.height)
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                hits = 0
                for sy in range(4):
                    for sx in range(4):
                        if inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4):
                            hits += 1
                self.blend(x, y, colour, hits / 16.0)

    def png(self):
        rows = [[tuple(max(0, min(255, round(c * 255))) for c in p) for p in row] for row in self.pixels]
        return SAMPLE.png_bytes(self.width, self.height, rows, True)

    def opaque(self, x, y):
        return self.pixels[int(y)][int(x)][3] > 0.9


def disc(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r0, r1):
    return lambda x, y: r0 * r0 <= (x - cx) ** 2 + (y - cy) ** 2 <= r1 * r1


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def star(cx, cy, r0, r1, n=5):
    points = []
    for i in range(2 * n):
        r = r1 if i % 2 == 0 else r0
        angle = math.pi * i / n - math.pi / 2
        points.append((cx + r * math.cos(angle), cy + r * math.sin(angle)))
    return polygon(points)


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def shade(colour, factor):
    return tuple(max(0, min(255, round(c * factor))) for c in colour[:3]) + tuple(colour[3:])


# The findable items: name, shape maker, colour, centre on the board. Every centre is an opaque
# pixel of its picture; nothing else of the board covers it.
ITEM_SIZE = 56


def item_picture(kind, colour):
    c = Canvas(ITEM_SIZE, ITEM_SIZE)
    m = ITEM_SIZE / 2
    dark = shade(colour, 0.55)
    if kind == "candle":
        c.shape(rect(20, 18, 36, 54), colour)
        c.shape(polygon([(28, 4), (34, 14), (28, 19), (22, 14)]), (255, 200, 60))
        c.shape(rect(20, 50, 36, 54), dark)
    elif kind == "cup":
        c.shape(polygon([(10, 14), (40, 14), (36, 46), (14, 46)]), colour)
        c.shape(ring(42, 28, 5, 10), colour)
        c.shape(rect(12, 46, 38, 52), dark)
    elif kind == "bell":
        c.shape(union(disc(m, 24, 16), rect(12, 24, 44, 44)), colour)
        c.shape(rect(8, 42, 48, 48), dark)
        c.shape(disc(m, 50, 5), dark)
    elif kind == "book":
        c.shape(rect(8, 12, 48, 46), colour)
        c.shape(rect(12, 16, 44, 42), (240, 232, 210))
        c.shape(rect(26, 12, 30, 46), dark)
    elif kind == "clock":
        c.shape(disc(m, m, 24), dark)
        c.shape(disc(m, m, 20), (250, 246, 230))
        c.shape(rect(27, 12, 29, 29), (30, 30, 30))
        c.shape(rect(28, 27, 40, 29), (30, 30, 30))
    elif kind == "feather":
        c.shape(polygon([(10, 50), (18, 30), (34, 10), (48, 6), (42, 22), (26, 40)]), colour)
        c.shape(polygon([(8, 52), (40, 14), (42, 16), (10, 54)]), dark)
    elif kind == "hat":
        c.shape(rect(16, 12, 40, 40), colour)
        c.shape(rect(6, 38, 50, 46), dark)
        c.shape(rect(16, 32, 40, 36), (200, 40, 40))
    elif kind == "lamp":
        c.shape(polygon([(16, 8), (40, 8), (48, 30), (8, 30)]), colour)
        c.shape(rect(25, 30, 31, 48), dark)
        c.shape(rect(14, 46, 42, 52), dark)
    elif kind == "mask":
        c.shape(minus(union(disc(18, 28, 14), disc(38, 28, 14)), union(disc(18, 26, 5), disc(38, 26, 5))), colour)
    elif kind == "pipe":
        c.shape(union(rect(6, 18, 36, 26), polygon([(34, 16), (50, 16), (48, 46), (36, 46)])), colour)
        c.shape(rect(38, 16, 48, 22), dark)
    elif kind == "ring":
        c.shape(ring(m, 34, 12, 18), colour)
        c.shape(star(m, 12, 4, 9, 4), (140, 220, 255))
    elif kind == "shell":
        c.shape(polygon([(m, 6), (52, 40), (44, 50), (12, 50), (4, 40)]), colour)
        for dx in (-12, -4, 4, 12):
            c.shape(polygon([(m, 8), (m + dx - 1, 48), (m + dx + 1, 48)]), dark)
    elif kind == "spoon":
        c.shape(union(disc(16, 16, 11), polygon([(22, 22), (26, 18), (52, 48), (48, 52)])), colour)
    elif kind == "apple":
        c.shape(disc(m, 32, 20), colour)
        c.shape(rect(27, 4, 30, 14), (90, 60, 30))
        c.shape(polygon([(30, 10), (44, 4), (40, 14)]), (60, 160, 60))
    return c


ITEMS = [
    # name, picture, colour, category, centre
    ("candle_1", "candle", (236, 228, 200), "Candles", (70, 210)),
    ("candle_2", "candle", (230, 200, 210), "Candles", (600, 95)),
    ("candle_3", "candle", (210, 226, 236), "Candles", (960, 470)),
    ("Cup", "cup", (90, 130, 200), "", (180, 330)),
    ("Bell", "bell", (214, 170, 60), "", (330, 180)),
    ("Book", "book", (150, 50, 60), "", (470, 250)),
    ("Clock", "clock", (120, 80, 40), "", (760, 190)),
    ("Feather", "feather", (80, 170, 160), "", (890, 120)),
    ("Hat", "hat", (60, 60, 70), "", (600, 330)),
    ("Lamp", "lamp", (200, 180, 90), "", (250, 80)),
    ("Mask", "mask", (190, 60, 160), "", (440, 420)),
    ("Pipe", "pipe", (110, 70, 40), "", (780, 380)),
    ("Ring", "ring", (230, 200, 70), "", (120, 460)),
    ("Shell", "shell", (240, 170, 140), "", (330, 530)),
    ("Spoon", "spoon", (180, 185, 195), "", (690, 530)),
    ("Apple", "apple", (200, 40, 40), "", (470, 110)),
]

# The secret word "OW L": letters at positions 1, 2 and 4, the third left as a space.
WORD = "OW L"
LETTERS = [("letter_o", "O", 1, (150, 110)), ("letter_w", "W", 2, (880, 300)), ("letter_l", "L", 4, (560, 450))]

# A 5 x 7 bitmap of the letters the word needs.
GLYPHS = {
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "W": ["10001", "10001", "10001", "10101", "10101", "11011", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
}


# The HUD's score digits, 5 x 7 cells each.
DIGITS = {
    "0": ["01110", "10001", "10011", "10101", "11001", "10001", "01110"],
    "1": ["00100", "01100", "00100", "00100", "00100", "00100", "01110"],
    "2": ["01110", "10001", "00001", "00010", "00100", "01000", "11111"],
    "3": ["11110", "00001", "00001", "01110", "00001", "00001", "11110"],
    "4": ["00010", "00110", "01010", "10010", "11111", "00010", "00010"],
    "5": ["11111", "10000", "11110", "00001", "00001", "10001", "01110"],
    "6": ["00110", "01000", "10000", "11110", "10001", "10001", "01110"],
    "7": ["11111", "00001", "00010", "00100", "01000", "01000", "01000"],
    "8": ["01110", "10001", "10001", "01110", "10001", "10001", "01110"],
    "9": ["01110", "10001", "10001", "01111", "00001", "00010", "01100"],
    "-": ["00000", "00000", "00000", "11111", "00000", "00000", "00000"],
    ",": ["00000", "00000", "00000", "00000", "00000", "01100", "01000"],
}
DIGIT_SIZE = (20, 28)
DIGIT_SLOTS = 6


def digit_picture(glyph):
    """A gold digit of 3 x 3 pixel cells with a dark edge, for the HUD's bitmap number."""
    c = Canvas(*DIGIT_SIZE)
    cells = [rect(2.5 + gx * 3, 3.5 + gy * 3, 5.5 + gx * 3, 6.5 + gy * 3)
             for gy, row in enumerate(DIGITS[glyph]) for gx, bit in enumerate(row) if bit == "1"]
    shape = union(*cells)
    c.shape(lambda x, y: shape(x - 1, y - 1) or shape(x + 1, y + 1) or shape(x - 1, y + 1) or shape(x + 1, y - 1),
            (40, 24, 12, 220))
    c.shape(shape, (255, 214, 110))
    return c


def letter_picture(letter):
    c = Canvas(44, 44)
    c.shape(disc(22, 22, 20), (250, 236, 190, 230))
    rows = GLYPHS[letter]
    for gy, row in enumerate(rows):
        for gx, bit in enumerate(row):
            if bit == "1":
                c.shape(rect(10 + gx * 5, 5 + gy * 5, 15 + gx * 5, 10 + gy * 5), (90, 50, 20))
    return c


# The puzzle phase: a key to drag onto the chest, a lever that is used by a click, and the treasure
# the open chest shows.
KEY_AT = (150, 540)
CHEST_AT = (500, 520)
LEVER_AT = (780, 520)
PERSON_AT = (60, 330)
EMPTY_AT = (330, 300)      # bare floor: the empty clicks land here
GLOW_AT = (70, 200)        # the candle glow "fx_glow" sits on the first candle


def key_picture(factor):
    c = Canvas(64, 32)
    gold = shade((214, 176, 70), factor)
    c.shape(ring(14, 16, 6, 12), gold)
    c.shape(rect(24, 13, 60, 19), gold)
    c.shape(rect(48, 19, 52, 27), gold)
    c.shape(rect(56, 19, 60, 25), gold)
    return c


def chest_picture(factor, open_lid):
    c = Canvas(100, 76)
    wood = shade((130, 80, 40), factor)
    band = shade((200, 170, 80), factor)
    if open_lid:
        c.shape(rect(6, 0, 94, 18), shade(wood, 0.7))
        c.shape(rect(6, 26, 94, 76), wood)
        c.shape(rect(12, 26, 88, 40), (30, 20, 10))
    else:
        c.shape(rect(6, 16, 94, 76), wood)
        c.shape(rect(4, 12, 96, 30), shade(wood, 1.15))
    c.shape(rect(6, 44, 94, 50), band)
    c.shape(rect(44, 38, 56, 58), band)
    return c


def lever_picture(factor, pulled):
    c = Canvas(48, 100)
    metal = shade((150, 150, 160), factor)
    c.shape(rect(8, 80, 40, 100), shade(metal, 0.6))
    if pulled:
        c.shape(polygon([(22, 84), (26, 84), (44, 40), (40, 38)]), metal)
        c.shape(disc(42, 36, 6), (200, 40, 40))
    else:
        c.shape(rect(22, 16, 26, 84), metal)
        c.shape(disc(24, 12, 8), (200, 40, 40))
    return c


def treasure_picture():
    c = Canvas(60, 48)
    c.shape(polygon([(10, 16), (20, 4), (40, 4), (50, 16), (30, 44)]), (80, 200, 240))
    c.shape(polygon([(10, 16), (50, 16), (30, 44)]), (40, 150, 210))
    return c


def person_picture():
    c = Canvas(90, 180)
    coat = (70, 80, 110)
    c.shape(disc(45, 26, 20), (230, 190, 160))
    c.shape(polygon([(20, 50), (70, 50), (84, 170), (6, 170)]), coat)
    c.shape(rect(18, 4, 72, 14), (60, 40, 30))
    c.shape(rect(30, 0, 60, 8), (60, 40, 30))
    return c


def board_background():
    """512 x 300, drawn at twice its size: rafters, a round window, shelves, a floor."""
    w, h = 512, 300
    c = Canvas(w, h, (0, 0, 0, 1))
    for y in range(h):
        t = y / h
        colour = (0.33 - 0.08 * t, 0.24 - 0.06 * t, 0.18 - 0.05 * t, 1.0)
        for x in range(w):
            grain = 0.015 * math.sin(x * 0.7 + y * 0.05) + 0.01 * math.sin(y * 1.3)
            c.pixels[y][x] = [colour[0] + grain, colour[1] + grain, colour[2] + grain, 1.0]
    c.shape(rect(0, 230, 512, 300), (92, 62, 40))
    for x in range(0, 512, 64):
        c.shape(rect(x, 230, x + 2, 300), (70, 45, 30))
    c.shape(polygon([(0, 0), (256, 0), (0, 70)]), (70, 48, 34))
    c.shape(polygon([(512, 0), (256, 0), (512, 70)]), (70, 48, 34))
    c.shape(disc(256, 70, 36), (60, 40, 28))
    c.shape(disc(256, 70, 30), (150, 180, 220))
    c.shape(rect(255, 40, 258, 100), (60, 40, 28))
    c.shape(rect(226, 69, 286, 72), (60, 40, 28))
    for y in (130, 190):
        c.shape(rect(330, y, 470, y + 5), (110, 75, 48))
    c.shape(rect(20, 130, 140, 135), (110, 75, 48))
    return c


def gradient(width, height, top, bottom, alpha=255):
    c = Canvas(width, height)
    for y in range(height):
        t = y / max(1, height - 1)
        colour = [(top[i] + (bottom[i] - top[i]) * t) / 255.0 for i in range(3)] + [alpha / 255.0]
        for x in range(width):
            c.pixels[y][x] = list(colour)
    return c


def hills(width, height, colour, base, amplitude, waves, seed):
    c = Canvas(width, height)
    for x in range(width):
        top = base + amplitude * math.sin(x / width * math.pi * waves + seed) + amplitude * 0.4 * math.sin(
            x / width * math.pi * waves * 3.1 + seed * 2)
        for y in range(max(0, int(top)), height):
            c.pixels[y][x] = [colour[0] / 255.0, colour[1] / 255.0, colour[2] / 255.0, 1.0]
    return c


def prologue_frame(width, height):
    """The nearest layer: a dark arch with the view through it."""
    c = Canvas(width, height, (0.08, 0.06, 0.05, 1.0))
    inside = union(rect(width * 0.18, height * 0.35, width * 0.82, height), disc(width / 2, height * 0.35, width * 0.32))
    for y in range(height):
        for x in range(width):
            if inside(x + 0.5, y + 0.5):
                c.pixels[y][x][3] = 0.0
    return c


def page_picture():
    c = Canvas(200, 140, (0.96, 0.92, 0.82, 1.0))
    for y in range(20, 130, 14):
        c.shape(rect(16, y, 184 - (y * 7) % 40, y + 3), (120, 100, 80))
    return c


def button_face(width, height, colour):
    c = Canvas(width, height)
    c.shape(rect(0, 0, width, height), shade(colour, 0.6))
    c.shape(rect(2, 2, width - 2, height - 2), colour)
    return c


def solid(width, height, colour):
    c = Canvas(width, height)
    c.shape(rect(0, 0, width, height), colour)
    return c


def soft_disc(size):
    c = Canvas(size, size)
    m = size / 2
    for y in range(size):
        for x in range(size):
            d = math.hypot(x + 0.5 - m, y + 0.5 - m) / m
            c.pixels[y][x] = [1.0, 1.0, 1.0, max(0.0, 1.0 - d) ** 1.5]
    return c


def glint(size):
    c = soft_disc(size)
    c.shape(star(size / 2, size / 2, size / 10, size / 2, 4), (255, 255, 255))
    return c


def dust_picture():
    """The level's 'video' picture: a shaft of light with dust, paused when effects are off."""
    c = Canvas(64, 128)
    for y in range(128):
        for x in range(64):
            c.pixels[y][x] = [1.0, 0.95, 0.8, 0.18 * (1 - y / 128)]
    for i in range(24):
        c.shape(disc((i * 37) % 60 + 2, (i * 53) % 120 + 4, 1.2), (255, 250, 220))
    return c


# --- cursors --------------------------------------------------------------------------------------

# The game's eight cursors, as files named by the resource id the game registers them under (the
# cursor constants CF_DEFAULT to CF_FREEZE are 106, 103, 107, 104, 105, 108, 102, 109). Each is a
# 32 x 32 picture with alpha, drawn with a dark outline so it shows on the attic's dark wood.
CURSOR_INK = (40, 24, 12)


def grown(shape, by):
    """The shape widened by `by` pixels: an outline drawn under it."""
    offsets = [(by * math.cos(a * math.pi / 4), by * math.sin(a * math.pi / 4)) for a in range(8)]
    return lambda x, y: shape(x, y) or any(shape(x + dx, y + dy) for dx, dy in offsets)


def outlined(c, shape, colour, by=1.3):
    c.shape(grown(shape, by), CURSOR_INK)
    c.shape(shape, colour)


ARROW = polygon([(2, 2), (2, 23), (7.2, 18.2), (10.8, 26.2), (14.2, 24.7), (10.7, 17.2), (17.6, 17.2)])
PARCHMENT = (246, 226, 170)


def cursor_arrow(c):
    outlined(c, ARROW, PARCHMENT)


def cursor_badge(c, colour, mark):
    cursor_arrow(c)
    outlined(c, disc(24, 24, 6.5), colour)
    c.shape(mark, (255, 255, 255))


def cursor_open_hand(c):
    palm = union(rect(10, 17, 24, 28), disc(17, 27, 7))
    fingers = union(*[union(rect(x - 1.7, top, x + 1.7, 20), disc(x, top, 1.7))
                      for x, top in ((11, 9), (15, 6), (19, 7), (23, 10))])
    thumb = polygon([(10, 27), (4, 19), (6.5, 17.5), (12, 22)])
    outlined(c, union(palm, fingers, thumb), (250, 236, 214))


def cursor_closed_hand(c):
    fist = union(rect(9, 14, 25, 27), disc(11, 14, 2.6), disc(15, 13, 2.6), disc(19, 13, 2.6), disc(23, 14, 2.5),
                 disc(17, 26, 7))
    outlined(c, fist, (250, 236, 214))
    c.shape(rect(10, 19, 20, 21), (190, 150, 120))


def cursor_loupe(c):
    # Over something to click: the hidden-object finder's loupe.
    outlined(c, polygon([(19, 21), (22, 18), (30, 27), (27, 30)]), (120, 74, 36))
    outlined(c, ring(13, 13, 7, 10), (214, 176, 70))
    c.shape(disc(13, 13, 7), (190, 226, 240, 150))
    c.shape(disc(10.5, 10.5, 2), (255, 255, 255, 200))


def cursor_hourglass(c):
    glass = polygon([(8, 4), (24, 4), (24, 7), (17.5, 16), (24, 25), (24, 28), (8, 28), (8, 25), (14.5, 16),
                     (8, 7)])
    outlined(c, glass, (236, 230, 214))
    c.shape(polygon([(11, 8), (21, 8), (16, 14)]), (214, 170, 80))
    c.shape(polygon([(16, 20), (22, 26), (10, 26)]), (214, 170, 80))
    c.shape(rect(6, 2, 26, 5), (120, 74, 36))
    c.shape(rect(6, 27, 26, 30), (120, 74, 36))


def cursor_frost(c):
    # The busy cursor of the click penalty: a frost star; the scene takes no clicks for a while.
    arms = []
    for i in range(6):
        a = i * math.pi / 3
        s, co = math.sin(a), math.cos(a)
        at = lambda along, across: (16 + along * s + across * co, 16 - along * co + across * s)
        arms.append(polygon([at(0, -1.4), at(13, -1.4), at(13, 1.4), at(0, 1.4)]))
        arms.append(polygon([at(7, 0), at(10.5, 3.8), at(11.5, 2.8), at(8, -1)]))
        arms.append(polygon([at(7, 0), at(10.5, -3.8), at(11.5, -2.8), at(8, 1)]))
    outlined(c, union(*arms), (170, 220, 255), 1.1)


CURSORS = [
    # resource id, hot spot, painter
    (106, (2, 2), cursor_arrow),
    (103, (16, 16), cursor_open_hand),
    (107, (16, 18), cursor_closed_hand),
    (104, (2, 2), lambda c: cursor_badge(c, (60, 150, 70), union(rect(23, 20, 25, 28), rect(20, 23, 28, 25)))),
    (105, (2, 2), lambda c: cursor_badge(c, (200, 58, 46), rect(20, 23, 28, 25))),
    (108, (13, 13), cursor_loupe),
    (102, (16, 16), cursor_hourglass),
    (109, (16, 16), cursor_frost),
]


def cursor_file(canvas, hot):
    """A ".cur" file of one 32-bit picture with alpha and its AND mask, rows from the bottom."""
    w, h = canvas.width, canvas.height
    colours = bytearray()
    mask = bytearray()
    mask_row = (w + 31) // 32 * 4
    for y in range(h - 1, -1, -1):
        row = bytearray(mask_row)
        for x in range(w):
            r, g, b, a = (max(0, min(255, round(v * 255))) for v in canvas.pixels[y][x])
            colours += bytes((b, g, r, a))
            if a == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colours) + len(mask), 0, 0, 0, 0)
    image = header + bytes(colours) + bytes(mask)
    return (struct.pack("<HHH", 0, 2, 1) + struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, hot[0], hot[1],
                                                         len(image), 6 + 16) + image)


# --- definitions ----------------------------------------------------------------------------------


def image(name, src):
    return '  <Definition type="image" name="%s" src="%s"/>\n' % (name, src)


def place(instance, definition, x=0, y=0, depth=0, sx=1, sy=1, create=0, death=1, alpha=100):
    return ('    <Instance type="library" instancename="%s" definition="%s" depth="%d" create="%d" death="%d" '
            'regx="0" regy="0"><Frame transform="%g,0,0,%g,%g,%g" alpha="%d"/></Instance>\n'
            % (instance, definition, depth, create, death, sx, sy, x, y, alpha))


def text(instance, x, y, width, height, size=18, colour="0xFF004373", face="Body", align="left", depth=0,
         value="", death=1):
    return ('    <Instance type="text" instancename="%s" text="%s" face="%s" size="%d" color="%s" align="%s" '
            'width="%d" height="%d" depth="%d" create="0" death="%d" regx="0" regy="0">'
            '<Frame transform="1,0,0,1,%g,%g" alpha="100"/></Instance>\n'
            % (instance, value, face, size, colour, align, width, height, depth, death, x, y))


def movie(name, body, length=1, extra=""):
    return '  <Definition type="movie" name="%s" length="%d" fps="30">\n%s%s  </Definition>\n' % (name, length, extra, body)


def button_movie(name, prefix, label_size, width, height, extra=""):
    """The toolkit's button: frame 0 normal, 1 pointer over, 2 pressed, and a centred label."""
    body = (place("normal", prefix + "_normal", death=1) + place("over", prefix + "_over", create=1, death=2) +
            place("pressed", prefix + "_pressed", create=2, death=3) + extra +
            text("label", 0, (height - label_size * 1.4) / 2, width, int(label_size * 1.5), label_size,
                 "0xFFFFF4D8", "Title", "center", 3, death=3))
    return movie(name, body, 3)


def nugget(name, movie_class=None, lua_class=None, script=None, sounds=()):
    body = ""
    if movie_class:
        body += "      <MovieClassNugget><MovieClassName>%s</MovieClassName></MovieClassNugget>\n" % movie_class
    if lua_class or script:
        body += "      <LuaClassNugget>"
        if lua_class:
            body += "<LuaClassName>%s</LuaClassName>" % lua_class
        if script:
            body += "<LuaScriptText>%s</LuaScriptText>" % script.replace('"', "&quot;")
        body += "</LuaClassNugget>\n"
    for event, sound in sounds:
        body += ("      <SoundEffectNugget><EventName>%s</EventName><SoundName>%s</SoundName></SoundEffectNugget>\n"
                 % (event, sound))
    return '  <Definition name="%s">\n    <Nuggets>\n%s    </Nuggets>\n  </Definition>\n' % (name, body)


CLICK = (("bttn_click", "bttn_click"), ("screen_close", "screen_close"))

# Screen layout of the hidden-object HUD (screen units).
HUD_Y = 600
LIST_AT, LIST_SIZE = (150, 610), (620, 150)
BUTTONS = {"btn_hint": (800, 612), "btn_guess": (800, 660), "btn_skip": (800, 708)}
BUTTON_SIZE = (200, 44)
LETTERS_AT = (380, 6)
MENU_BUTTONS = [("btn_play", "Play"), ("btn_profiles", "Players"), ("btn_options", "Options"),
                ("btn_help", "Help"), ("btn_quit", "Quit")]
MENU_X, MENU_Y, MENU_STEP = 90, 250, 70
TWINKLE_AT = (726, 62)
SCORE_AT = (20, 618)
# Dialogs are centred by the screen manager: their pictures start at their own origin.
DIALOG_SIZE = (500, 300)
DIALOG_AT = ((1024 - DIALOG_SIZE[0]) // 2, (768 - DIALOG_SIZE[1]) // 2)


def shell_definitions():
    d = '<?xml version="1.0" encoding="utf-8"?>\n<!-- Made by scripts/make-sample-game.py. -->\n<Definitions>\n'
    for name in ("menu_back", "prologue_sky", "prologue_hills", "prologue_arch", "page", "loading_back",
                 "pause_back", "wide_bar", "hud_panel", "list_panel", "entry_bar", "entry_line", "entry_underline",
                 "letter_slot", "ho_button_normal", "ho_button_over", "ho_button_pressed", "ho_mask", "white",
                 "dialog_panel", "game_button_normal", "game_button_over", "game_button_pressed", "mask_disc",
                 "fx_glint", "clip") + tuple("digit_%s" % n for n in list("0123456789") + ["minus", "point"]):
        d += image("game_" + name, "game\\%s.png" % name)
    d += image("blur_rt.png", "game\\blur_rt.png")
    # The loading shield: shown by the game between modes; its timeline fades the card out and
    # ends on a stop, after which the shield hides itself.
    fade = ''.join('<Frame transform="2,0,0,2,0,0" alpha="%d" length="1"/>' % a for a in
                   [100] * 6 + [100 - 8 * i for i in range(1, 13)])
    d += ('  <Definition type="movie" name="mov_loading" length="18" fps="30">\n'
          '    <Event frame="17" type="stop"/>\n'
          '    <Instance type="library" instancename="back" definition="game_loading_back" depth="0" create="0" '
          'death="18" regx="0" regy="0">%s</Instance>\n' % fade +
          text("caption", 0, 360, 1024, 40, 28, "0xFFFFF4D8", "Title", "center", 1, "Loading", 18) +
          '  </Definition>\n')
    d += movie("mov_pause", place("back", "game_pause_back", sx=2, sy=2) +
               text("caption", 0, 340, 1024, 60, 40, "0xFFFFF4D8", "Title", "center", 1, "Paused") +
               text("hint", 0, 400, 1024, 30, 18, "0xFFFFF4D8", "Note", "center", 2, "Come back to the window to play on"))
    d += movie("mov_wide_left", place("bar", "game_wide_bar"))
    d += movie("mov_wide_right", place("bar", "game_wide_bar"))
    d += button_movie("game_button", "game_game_button", 20, 240, 52)
    d += button_movie("ho_button_face", "game_ho_button", 16, BUTTON_SIZE[0], BUTTON_SIZE[1])
    # The main menu.
    body = place("back", "game_menu_back", sx=2, sy=2)
    body += text("title", 0, 60, 1024, 80, 56, "0xFFFFE6A8", "Title", "center", 1, "The Pellwood")
    body += text("txt_player", 0, 150, 1024, 30, 20, "0xFFFFF4D8", "Note", "center", 2)
    # A twinkle on the title that starts a moment after the menu shows (its effect nugget's delay).
    body += place("twinkle", "menu_twinkle", TWINKLE_AT[0], TWINKLE_AT[1], 8 + len(MENU_BUTTONS))
    for i, (name, _) in enumerate(MENU_BUTTONS):
        body += place(name, "game_button", MENU_X, MENU_Y + i * MENU_STEP, 3 + i)
    d += movie("scr_mainmenu", body)
    d += movie("menu_twinkle", "")
    # The prologue: three layers moved by the camera, a bending page and its caption.
    layers = (place("sky", "prologue_layer_sky", 0, 0, 0) + place("hills", "prologue_layer_hills", 0, 0, 1) +
              place("arch", "prologue_layer_arch", 0, 0, 2))
    d += movie("prologue_layer_sky", place("picture", "game_prologue_sky", sx=2, sy=2))
    d += movie("prologue_layer_hills", place("picture", "game_prologue_hills", sx=2, sy=2))
    d += movie("prologue_layer_arch", place("picture", "game_prologue_arch", sx=2, sy=2))
    d += movie("prologue_layers", layers)
    body = place("layers", "prologue_layers", 0, 0, 0)
    body += ('    <Instance type="library" instancename="page" definition="game_page" depth="1" create="0" death="1" '
             'regx="100" regy="0"><Frame transform="1,0,0,1,512,560" alpha="100"/></Instance>\n')
    # Wide enough for the line on one row, tall enough for two should a wider face wrap it.
    body += text("caption", 62, 700, 900, 60, 22, "0xFFFFF4D8", "Note", "center", 2,
                 "Grandmother's attic holds a word no one has said for years. Click to go up.")
    d += movie("scr_prologue", body)
    # The hidden-object HUD.
    d += movie("ho_bg", place("picture", "game_hud_panel", 0, HUD_Y))
    d += movie("ho_list", place("back", "game_list_panel"))
    d += movie("ho_row", place("back", "game_letter_slot", 0, 0, 0, 450 / 26.0, 1, alpha=0))
    d += movie("ho_bar", place("picture", "game_entry_bar"))
    d += movie("ho_line", place("picture", "game_entry_line"))
    d += movie("ho_underline", place("picture", "game_entry_underline"))
    d += movie("mov_itemtext", place("bkg", "ho_bar", 0, 2, 0) + place("line_0", "ho_line", 0, 14, 2) +
               place("underline", "ho_underline", 0, 28, 3) +
               text("item_name", 0, 4, 180, 26, 18, "0xFF004373", "Body", "left", 1))
    d += movie("ho_letter_holder", text("letter", 2, 2, 24, 28, 22, "0xFF5A2E10", "Title", "center", 0))
    pulse = ''.join('<Frame transform="%g,0,0,%g,%g,%g" alpha="100" length="1"/>' % (s, s, 13 * (1 - s), 15 * (1 - s))
                    for s in (1.6, 1.4, 1.25, 1.1, 1.0))
    d += ('  <Definition type="movie" name="mov_letter" length="5" fps="30">\n'
          '    <Event frame="4" type="stop"/>\n' + place("back", "game_letter_slot", death=5) +
          '    <Instance type="library" instancename="letter" definition="ho_letter_holder" depth="1" create="0" '
          'death="5" regx="0" regy="0">%s</Instance>\n  </Definition>\n' % pulse)
    mask = ''.join('<Frame transform="%g,0,0,1,0,0" alpha="70" length="1"/>' % (1 - i / 10.0) for i in range(10))
    d += ('  <Definition type="movie" name="ho_mask10" length="10" fps="30">\n'
          '    <Instance type="library" instancename="picture" definition="game_ho_mask" depth="0" create="0" '
          'death="10" regx="0" regy="0">%s</Instance>\n  </Definition>\n' % mask)
    d += movie("ho_button", place("face", "ho_button_face", 0, 0, 0) + place("disable_mask", "ho_mask10", 0, 0, 1) +
               text("lbl_label", 0, 11, BUTTON_SIZE[0], 24, 16, "0xFFFFF4D8", "Title", "center", 2))
    d += movie("mov_white_blank", place("picture", "game_white"))
    d += movie("cursor_mask", place("picture", "game_mask_disc", -64, -64))
    body = place("bg", "ho_bg", 0, 0, 0)
    body += place("list", "ho_list", LIST_AT[0], LIST_AT[1], 1)
    body += place("letters", "ho_row", LETTERS_AT[0], LETTERS_AT[1], 2)
    body += text("txt_quest", 212, 44, 600, 60, 20, "0xFFFFF4D8", "Note", "center", 3,
                 "|T|QuestText")
    for i, (name, at) in enumerate(BUTTONS.items()):
        body += place(name, "ho_button", at[0], at[1], 4 + i)
    body += text("txt_score", SCORE_AT[0], SCORE_AT[1], 120, 26, 18, "0xFFFFF4D8", "Title", "left", 8, "Score")
    body += place("num_score", "hud_score", SCORE_AT[0], SCORE_AT[1] + 30, 9)
    d += movie("scr_ispy", body)
    # The score's bitmap number: digit slots whose ten frames show the digits, each with the sign
    # and the thousands separator that the number shows or hides.
    digit = "".join(place("digit", "game_digit_%d" % n, create=n, death=n + 1) for n in range(10))
    digit += place("minus", "game_digit_minus", -DIGIT_SIZE[0] + 4, 0, 1, death=10)
    digit += place("point", "game_digit_point", DIGIT_SIZE[0] - 8, 4, 2, death=10)
    d += movie("hud_digit", digit, 10, "".join('    <Event frame="%d" type="stop"/>\n' % n for n in range(10)))
    d += movie("hud_score", "".join(place("digit_%d" % i, "hud_digit", i * DIGIT_SIZE[0], 0, i)
                                    for i in range(DIGIT_SLOTS)))
    # The guess dialog and the end of the level.
    gx, gy = 0, 0
    body = place("panel", "game_dialog_panel", gx, gy, 0)
    body += text("caption", gx, gy + 16, 500, 30, 22, "0xFFFFE6A8", "Title", "center", 1, "|T|GuessCaption")
    body += place("letters", "ho_row", gx + 25, gy + 60, 2)
    body += place("lbl_text", "ui_textfield", gx + 100, gy + 120, 3)
    body += place("okButton", "game_button", gx + 10, gy + 220, 4)
    body += place("cancelButton", "game_button", gx + 250, gy + 220, 5)
    d += movie("dlg_guess", body)
    ex, ey = 50, 0
    body = place("panel", "game_dialog_panel", ex - 50, ey, 0)
    body += text("caption", ex - 50, ey + 30, 500, 40, 28, "0xFFFFE6A8", "Title", "center", 1, "|T|EndLevelCaption")
    body += text("txt_score", ex - 50, ey + 110, 500, 40, 22, "0xFFFFF4D8", "Body", "center", 2)
    body += place("btn_continue", "game_button", ex + 80, ey + 210, 3)
    d += movie("dlg_endlevel", body)
    return d + "</Definitions>\n"


def shell_meta():
    m = "  <!-- The game (scripts/make-sample-game.py). -->\n"
    m += nugget("scr_mainmenu", "LuaScreen", "MainMenuScreen")
    m += nugget("scr_prologue", "LuaScreen", "PrologueScreen")
    m += nugget("dlg_endlevel", "LuaScreen", "EndLevelScreen")
    m += nugget("mov_loading", "LoadingShield")
    m += nugget("game_button", "Button", sounds=CLICK)
    m += nugget("scr_ispy", "HOScreen", "AtticScreen")
    m += nugget("ho_list", "HUDList")
    m += nugget("ho_row", "HUDLetters")
    m += nugget("mov_itemtext", "HUDListEntry", "ItemEntry")
    m += nugget("ho_button", "RechargableButton", "HintButton",
                sounds=(("bttn_click", "bttn_click"), ("bttn_recharged", "bttn_recharged")))
    m += nugget("dlg_guess", "DlgGuess", "GuessDialog", sounds=(("screen_close", "screen_close"),))
    return m


def extras_meta():
    """Added after the first version of the shell's classes: the title's delayed twinkle."""
    return ("  <!-- The game's menu twinkle (scripts/make-sample-game.py). -->\n"
            '  <Definition name="menu_twinkle">\n    <Nuggets>\n      <EffectNugget><EffectName>menu_twinkle'
            "</EffectName><AutoPlay>true</AutoPlay><EffectX>0</EffectX><EffectY>0</EffectY>"
            "<RandomStart>%g</RandomStart></EffectNugget>\n    </Nuggets>\n  </Definition>\n"
            '  <Definition name="hud_score">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>BitmapNumber'
            "</MovieClassName></MovieClassNugget>\n    </Nuggets>\n  </Definition>\n" % TWINKLE_DELAY)


# A puzzle item's look stands on the frame the item gives it.
STOPS = "".join('    <Event frame="%d" type="stop"/>\n' % frame for frame in range(3))


def level_definitions():
    d = '<?xml version="1.0" encoding="utf-8"?>\n<!-- Made by scripts/make-sample-game.py. -->\n<Definitions>\n'
    d += image("attic_background", "images\\background.png")
    names = ([i[0] for i in ITEMS] + [l[0] for l in LETTERS] +
             ["key_0", "key_1", "key_2", "chest_0", "chest_1", "chest_open", "lever_0", "lever_1", "lever_pulled",
              "treasure", "person", "dust"])
    for name in names:
        d += image("attic_" + name, "images\\%s.png" % name)
    for name, *_ in ITEMS:
        d += movie("attic_body_" + name, place("picture", "attic_" + name))
        d += movie("attic_item_" + name, place("body", "attic_body_" + name))
    for name, *_ in LETTERS:
        d += movie("attic_body_" + name, place("picture", "attic_" + name))
        d += movie("attic_" + name + "_item", place("body", "attic_body_" + name))
    # Puzzle items show normal, pointer-over and dragged in the three frames of their first child.
    for name in ("key", "chest", "lever"):
        look = (place("picture", "attic_%s_0" % name, death=1) +
                place("picture_over", "attic_%s_1" % name, create=1, death=2) +
                place("picture_drag", "attic_%s_%d" % (name, 2 if name == "key" else 1), create=2, death=3))
        d += movie("attic_look_" + name, look, 3, STOPS)
    d += movie("attic_key", place("look", "attic_look_key"))
    d += movie("attic_chest", place("look", "attic_look_chest") + place("open", "attic_chest_open", 0, 0, 1))
    d += movie("attic_lever", place("look", "attic_look_lever") + place("pulled", "attic_lever_pulled", 0, 0, 1))
    d += movie("attic_look_treasure", place("picture", "attic_treasure", death=3), 3, STOPS)
    d += movie("attic_piece_treasure", place("look", "attic_look_treasure"))
    d += movie("attic_person_body", place("picture", "attic_person"))
    d += movie("attic_figure", place("body", "attic_person_body"))
    body = place("background", "attic_background", 0, 0, 0, 2, 2)
    depth = 1
    body += ('    <Instance type="library" instancename="video_dust" definition="attic_dust" depth="%d" create="0" '
             'death="1" regx="0" regy="0"><Frame transform="3,0,0,3,610,0" alpha="100"/></Instance>\n' % depth)
    depth += 1
    body += place("person", "attic_figure", PERSON_AT[0] - 45, PERSON_AT[1] - 90, depth)
    depth += 1
    for name, kind, colour, category, (x, y) in ITEMS:
        body += place(name, "attic_item_" + name, x - ITEM_SIZE // 2, y - ITEM_SIZE // 2, depth)
        depth += 1
    for name, letter, index, (x, y) in LETTERS:
        body += place(name, "attic_%s_item" % name, x - 22, y - 22, depth)
        depth += 1
    body += place("chest", "attic_chest", CHEST_AT[0] - 50, CHEST_AT[1] - 38, depth)
    body += place("treasure", "attic_piece_treasure", CHEST_AT[0] - 30, CHEST_AT[1] - 60, depth + 1)
    body += place("lever", "attic_lever", LEVER_AT[0] - 24, LEVER_AT[1] - 50, depth + 2)
    body += place("key", "attic_key", KEY_AT[0] - 32, KEY_AT[1] - 16, depth + 3)
    d += movie(LEVEL, body)
    return d + "</Definitions>\n"


def level_meta():
    m = '<?xml version="1.0" encoding="utf-8"?>\n<!-- Made by scripts/make-sample-game.py. -->\n<libraries>\n'
    m += nugget(LEVEL, "ISpyBoard", "AtticBoard")
    for name, kind, colour, category, at in ITEMS:
        m += nugget("attic_item_" + name, "ISpyItem", "FindableItem",
                    's_name = "%s", s_category = "%s"' % (name.replace("candle_", "Candle "), category))
    for name, letter, index, at in LETTERS:
        m += nugget("attic_%s_item" % name, "ISpyItem", "LetterItem", 's_name = "%s", i_idx = %d' % (letter, index))
    m += nugget("attic_key", "PuzzleItem", "PuzzlePiece", 's_name = "key"')
    m += nugget("attic_chest", "PuzzleItem", "PuzzlePiece", 's_name = "chest", s_state = "locked"')
    m += nugget("attic_lever", "PuzzleItem", "PuzzlePiece", 's_name = "lever", s_state = "stuck"')
    m += nugget("attic_piece_treasure", "PuzzleItem", "PuzzlePiece", 's_name = "treasure"')
    m += ('  <Definition name="attic_dust">\n    <Nuggets>\n'
          '      <VideoNugget><FileName>video\\shapes.ogv</FileName><AutoPlay>true</AutoPlay><Loop>true</Loop>'
          '</VideoNugget>\n    </Nuggets>\n  </Definition>\n')
    return m + "</libraries>\n"


# --- effects --------------------------------------------------------------------------------------


def effect(comment, image_name, lifetime, rate, emit_time, speed, spread, gravity, colour, scale, additive=True):
    r, g, b = colour
    return ('<?xml version="1.0" encoding="utf-8"?>\n<!-- %s Made by scripts/make-sample-game.py. -->\n'
            '<ParticleEffect>\n'
            '    <Template name="emitter" lifetime="%g" autoemit="true">\n'
            '        <BehaviorItem layer="0" event="0">\n            <Action>\n                <StreamEmitterAction>\n'
            '                    <ParticleType>p</ParticleType>\n'
            '                    <Rate>1;linear;0;2;0,%g;%g,%g;0,%g,0;%g,%g,0</Rate>\n'
            '                    <SoftwareRateMultiplier>0.5</SoftwareRateMultiplier>\n'
            '                </StreamEmitterAction>\n            </Action>\n        </BehaviorItem>\n'
            '    </Template>\n'
            '    <Template name="p" lifetime="%g" image="%s" regx="0" regy="0" additive="%s">\n'
            '        <BehaviorItem layer="0" event="creation">\n            <Action>\n                <SetVelocityAction>\n'
            '                    <Angle>1;linear;0;1;0,1;0,0;0,0,0</Angle>\n'
            '                    <AngleRand>1;linear;0;1;0,1;0,%g;0,%g,0</AngleRand>\n'
            '                    <Magnitude>1;linear;0;1;0,1;0,%g;0,%g,0</Magnitude>\n'
            '                </SetVelocityAction>\n            </Action>\n        </BehaviorItem>\n'
            '        <BehaviorItem layer="0" event="0">\n            <Action>\n                <GravityAction>\n'
            '                    <Angle>1;linear;0;1;0,1;0,180;0,180,0</Angle>\n'
            '                    <Magnitude>1;linear;0;1;0,1;0,%g;0,%g,0</Magnitude>\n'
            '                </GravityAction>\n            </Action>\n        </BehaviorItem>\n'
            '        <BehaviorItem layer="1" event="0">\n            <Action>\n                <SetOpacityAction>\n'
            '                    <Opacity>1;hermite;0;2;0,1;0,1;0,1,0;1,0,0</Opacity>\n'
            '                </SetOpacityAction>\n            </Action>\n        </BehaviorItem>\n'
            '        <BehaviorItem layer="2" event="0">\n            <Action>\n                <SetColorRGBAction>\n'
            '                    <Red>1;linear;0;1;0,1;0,%d;0,%d,0</Red>\n'
            '                    <Green>1;linear;0;1;0,1;0,%d;0,%d,0</Green>\n'
            '                    <Blue>1;linear;0;1;0,1;0,%d;0,%d,0</Blue>\n'
            '                    <Range>255</Range>\n'
            '                </SetColorRGBAction>\n            </Action>\n        </BehaviorItem>\n'
            '        <BehaviorItem layer="3" event="0">\n            <Action>\n                <SetScaleAction>\n'
            '                    <Scale>1;hermite;0;2;0,1;0,%g;0,%g,0;1,%g,0</Scale>\n'
            '                </SetScaleAction>\n            </Action>\n        </BehaviorItem>\n'
            '    </Template>\n</ParticleEffect>\n'
            % (comment, emit_time, emit_time, rate, rate, rate, emit_time, rate, lifetime, image_name,
               "true" if additive else "false", spread, spread, speed, speed, gravity, gravity, r, r, g, g, b, b,
               scale, scale, scale * 0.3))


EFFECTS = {
    "scav_wave": effect("A ring of dust where an empty click lands.", "game_fx_glint", 0.6, 120, 0.1, 90, 180, 0,
                        (230, 210, 170), 0.6),
    "click_penalty_2": effect("The penalty for random clicks: a red burst in the middle of the scene.",
                              "game_fx_glint", 1.2, 200, 0.3, 200, 180, 120, (255, 60, 40), 1.2),
    "find_Item_UI": effect("A golden flash on the list entry of a found item.", "game_fx_glint", 0.7, 100, 0.15, 60,
                           180, 0, (255, 220, 90), 0.7),
    "buttons_UI": effect("A sparkle on a recharged button.", "game_fx_glint", 0.8, 80, 0.2, 50, 180, -40,
                         (160, 220, 255), 0.6),
    "fx_glow": effect("The candle's glow in the attic, shown with the visual effects on.", "game_fx_glint", 1.5, 6,
                      1000000, 12, 40, -20, (255, 200, 90), 0.8),
    "menu_twinkle": effect("The twinkle on the menu's title; its effect nugget starts it after a delay.",
                           "game_fx_glint", 1.4, 3, 1000000, 6, 180, 0, (255, 240, 200), 2.6),
    "hint_sparkle": effect("Where a hint points.", "game_fx_glint", 1.0, 60, 0.8, 40, 180, 0, (255, 255, 200), 1.0),
}

# --- sounds ---------------------------------------------------------------------------------------

RATE = 22050


def envelope(i, n, attack=0.005, release=0.02):
    a = int(RATE * attack)
    r = int(RATE * release)
    if i < a:
        return i / max(1, a)
    if i > n - r:
        return max(0.0, (n - i) / max(1, r))
    return 1.0


def tone(freqs, seconds, decay, volume=0.5):
    n = int(RATE * seconds)
    out = []
    for i in range(n):
        t = i / RATE
        v = sum(math.sin(2 * math.pi * f * t) / len(freqs) for f in freqs)
        out.append(volume * v * math.exp(-t * decay) * envelope(i, n))
    return out


def noise(seconds, volume, seed, smooth=0.9):
    n = int(RATE * seconds)
    state = seed
    value = 0.0
    out = []
    for i in range(n):
        state = (state * 1103515245 + 12345) & 0x7FFFFFFF
        value = smooth * value + (1 - smooth) * (state / 0x7FFFFFFF * 2 - 1)
        out.append(volume * value * envelope(i, n, 0.2, 0.2))
    return out


SOUND_FILES = {
    "empty_click": lambda: tone([180, 95], 0.18, 18, 0.7),
    "bttn_click": lambda: tone([1200, 800], 0.08, 40, 1.0),
    "bttn_recharged": lambda: tone([660, 990, 1320], 0.45, 6, 0.5),
    "screen_close": lambda: tone([520, 390], 0.2, 14, 0.4),
    "find_item": lambda: tone([880, 1320, 1760], 0.5, 5, 0.6),
    "attic_wind": lambda: noise(4.0, 2.5, 7),
    "attic_creak": lambda: [v * math.sin(2 * math.pi * 3 * i / RATE) for i, v in enumerate(tone([140, 151], 0.8, 2, 0.5))],
}

# Name, file, class, extra attributes.
AUDIO = [
    ("empty_click", "sounds\\empty_click.wav", "Effects", ""),
    ("bttn_click", "sounds\\bttn_click.wav", "Sound", ""),
    ("bttn_recharged", "sounds\\bttn_recharged.wav", "Sound", ""),
    ("screen_close", "sounds\\screen_close.wav", "Sound", ""),
    ("find_item", "sounds\\find_item.wav", "Effects", ""),
    ("attic_wind", "sounds\\attic_wind.wav", "Ambient", ""),
    ("attic_creak", "sounds\\attic_creak.wav", "Ambient", ""),
    ("attic_music", "music\\attic.ogg", "Music", ' streaming="1" defaultvolume="0.8" priority="16"'),
]


def attic_music():
    """Twelve seconds of a slow minor tune over a drone, stereo."""
    rate = SOUNDS.RATE
    seconds = 12
    notes = [220.0, 261.63, 329.63, 293.66, 246.94, 220.0, 196.0, 220.0]
    step = rate * seconds // len(notes)
    left, right = [], []
    for i in range(rate * seconds):
        n = i // step
        local = (i % step) / step
        env = math.sin(math.pi * local) ** 2
        t = i / rate
        melody = math.sin(2 * math.pi * notes[n] * t) + 0.25 * math.sin(4 * math.pi * notes[n] * t)
        drone = 0.3 * math.sin(2 * math.pi * 110 * t)
        left.append(0.25 * env * melody + 0.15 * drone)
        right.append(0.22 * env * melody + 0.18 * drone)
    return left, right


STRINGS = [
    ("ExitGame", "Leave the game?"),
    ("AreYouSureMenuReq", "Go back to the main menu?"),
    ("AreYouSureMenuReqSaved", "Go back to the main menu? The attic keeps what you have found."),
    ("AreYouSureGameReq", "Do you really want to leave The Pellwood?"),
    ("GameFinishedTitle", "The end"),
    ("GameFinishedText", "You found every word in the attic. Thank you for playing!"),
    ("GameAlreadyFinishedTitle", "Already finished"),
    ("GameAlreadyFinishedText", "This player has finished the game. Make a new player to play again."),
    ("ConfirmSkipQuest", "Skip the chest and finish the attic?"),
    ("Skip", "Skip"),
    ("OK", "OK"),
    ("AllHOInvisible_TITLE", "Nothing to hint"),
    ("AllHOInvisible_MSG", "Nothing on the list can be seen just now."),
    ("Slow Detection Header", "Slow computer"),
    ("Slow Detection Text", "The game runs slowly here; the visual effects are now off."),
    ("BadGuessTitle", "Not quite"),
    ("BadGuessText", "That is not the word. Find more letters and try again."),
    ("Allowed Symbols", "ABCDEFGHIJKLMNOPQRSTUVWXYZ "),
    ("QuestText", "Open the chest: the key fits its lock, and the lever lifts the lid."),
    ("GuessCaption", "Type the secret word (a gap is a space)"),
    ("EndLevelCaption", "The attic is done"),
    ("TOOLTIP_key", "An old brass key"),
    ("TOOLTIP_chest", "A locked chest"),
    ("TOOLTIP_chest_unlocked", "Unlocked, but the lid is stuck"),
    ("TOOLTIP_lever", "A lever"),
    ("TOOLTIP_lever_stuck", "The lever will not move while the chest is locked"),
    ("TOOLTIP_treasure", "Grandmother's lost gem"),
]

# --- output ---------------------------------------------------------------------------------------


def write_text(relative, content):
    SAMPLE.write(relative, content.encode("utf-8"))


def add_once(relative, marker, block, before, default):
    """Adds the block before the closing text of a file that has no line mentioning the marker yet."""
    path = os.path.join(ROOT, relative)
    content = open(path, encoding="utf-8").read() if os.path.exists(path) else default
    if marker in content:
        return
    index = content.rindex(before)
    write_text(relative, content[:index] + block + content[index:])


def picture(relative, canvas):
    SAMPLE.write(relative, canvas.png())
    return canvas


def main():
    points = []
    # Shell and HUD pictures.
    g = "input/game/"
    picture(g + "menu_back.png", gradient(512, 384, (24, 28, 58), (92, 58, 48), 255))
    picture(g + "prologue_sky.png", gradient(512, 384, (40, 60, 120), (230, 170, 120), 255))
    picture(g + "prologue_hills.png", hills(512, 384, (50, 70, 60), 250, 30, 3, 0.4))
    picture(g + "prologue_arch.png", prologue_frame(512, 384))
    picture(g + "page.png", page_picture())
    picture(g + "loading_back.png", solid(512, 384, (12, 10, 20)))
    picture(g + "pause_back.png", solid(512, 384, (0, 0, 0, 150)))
    bar = solid(16, 768, (0, 0, 0))
    bar.shape(rect(7, 0, 9, 768), (120, 90, 40))
    picture(g + "wide_bar.png", bar)
    panel = gradient(1024, 168, (70, 48, 34), (40, 26, 18), 255)
    panel.shape(rect(0, 0, 1024, 4), (150, 110, 60))
    picture(g + "hud_panel.png", panel)
    lst = solid(LIST_SIZE[0], LIST_SIZE[1], (240, 228, 196))
    lst.shape(rect(0, 0, LIST_SIZE[0], 3), (150, 110, 60))
    picture(g + "list_panel.png", lst)
    picture(g + "entry_bar.png", solid(8, 26, (255, 255, 255, 40)))
    picture(g + "entry_line.png", solid(8, 3, (120, 20, 20)))
    picture(g + "entry_underline.png", solid(8, 2, (0, 0, 0)))
    slot = Canvas(26, 32)
    slot.shape(rect(0, 0, 26, 32), (90, 60, 30, 200))
    slot.shape(rect(2, 2, 24, 30), (250, 236, 190))
    picture(g + "letter_slot.png", slot)
    picture(g + "ho_button_normal.png", button_face(BUTTON_SIZE[0], BUTTON_SIZE[1], (120, 80, 40)))
    picture(g + "ho_button_over.png", button_face(BUTTON_SIZE[0], BUTTON_SIZE[1], (150, 100, 50)))
    picture(g + "ho_button_pressed.png", button_face(BUTTON_SIZE[0], BUTTON_SIZE[1], (90, 60, 30)))
    picture(g + "ho_mask.png", solid(BUTTON_SIZE[0], BUTTON_SIZE[1], (0, 0, 0)))
    picture(g + "white.png", solid(16, 16, (255, 255, 255)))
    dialog = Canvas(500, 300)
    dialog.shape(rect(0, 0, 500, 300), (150, 110, 60))
    dialog.shape(rect(4, 4, 496, 296), (40, 30, 50, 240))
    picture(g + "dialog_panel.png", dialog)
    picture(g + "game_button_normal.png", button_face(240, 52, (110, 70, 120)))
    picture(g + "game_button_over.png", button_face(240, 52, (140, 95, 150)))
    picture(g + "game_button_pressed.png", button_face(240, 52, (80, 50, 90)))
    picture(g + "mask_disc.png", soft_disc(128))
    picture(g + "fx_glint.png", glint(16))
    picture(g + "blur_rt.png", solid(256, 192, (0, 0, 0)))
    for glyph, name in [(str(d), str(d)) for d in range(10)] + [("-", "minus"), (",", "point")]:
        picture(g + "digit_%s.png" % name, digit_picture(glyph))
    picture(g + "clip.png", solid(128, 96, (0, 0, 0)))
    for resource, hot, paint in CURSORS:
        canvas = Canvas(32, 32)
        paint(canvas)
        SAMPLE.write("input/cursors/%d.cur" % resource, cursor_file(canvas, hot))

    # The level's pictures.
    lv = LEVEL + "/images/"
    picture(lv + "background.png", board_background())
    for name, kind, colour, category, (x, y) in ITEMS:
        canvas = picture(lv + name + ".png", item_picture(kind, colour))
        # The click point: the opaque pixel nearest to the picture's centre.
        best = min(((px - ITEM_SIZE / 2) ** 2 + (py - ITEM_SIZE / 2) ** 2, px, py)
                   for py in range(ITEM_SIZE) for px in range(ITEM_SIZE) if canvas.opaque(px, py))
        points.append((name, x - ITEM_SIZE // 2 + best[1], y - ITEM_SIZE // 2 + best[2]))
    for name, letter, index, (x, y) in LETTERS:
        picture(lv + name + ".png", letter_picture(letter))
        points.append((name, x, y))
    for i, factor in enumerate((1.0, 1.25, 1.1)):
        picture(lv + "key_%d.png" % i, key_picture(factor))
    for i, factor in enumerate((1.0, 1.2)):
        picture(lv + "chest_%d.png" % i, chest_picture(factor, False))
        picture(lv + "lever_%d.png" % i, lever_picture(factor, False))
    picture(lv + "chest_open.png", chest_picture(1.0, True))
    picture(lv + "lever_pulled.png", lever_picture(1.0, True))
    picture(lv + "treasure.png", treasure_picture())
    picture(lv + "person.png", person_picture())
    picture(lv + "dust.png", dust_picture())
    points += [("key", KEY_AT[0] - 18, KEY_AT[1]), ("chest", CHEST_AT[0], CHEST_AT[1] + 10),
               ("lever", LEVER_AT[0], LEVER_AT[1] - 38), ("treasure", CHEST_AT[0], CHEST_AT[1] - 40),
               ("person", PERSON_AT[0], PERSON_AT[1]), ("empty", EMPTY_AT[0], EMPTY_AT[1])]
    # The HUD and the menus.
    for name, (x, y) in BUTTONS.items():
        points.append((name, x + BUTTON_SIZE[0] // 2, y + BUTTON_SIZE[1] // 2))
    for i, (name, _) in enumerate(MENU_BUTTONS):
        points.append(("menu_" + name, MENU_X + 120, MENU_Y + i * MENU_STEP + 26))
    for i in range(12):
        w, h = LIST_SIZE[0] - 10, LIST_SIZE[1] - 10
        points.append(("entry_%d" % i, round(LIST_AT[0] + 5 + ((i // 4) + 0.5) * w / 3),
                       round(LIST_AT[1] + 5 + (i % 4) * h / 4 + 14)))
    dx, dy = DIALOG_AT
    points += [("guess_field", dx + 260, dy + 140), ("guess_ok", dx + 130, dy + 246),
               ("guess_cancel", dx + 370, dy + 246), ("endlevel_continue", dx + 250, dy + 236),
               ("prologue", 512, 300)]
    # The message box (scripts/make-sample-dialogs.py) is centred; its three buttons of 130 x 44
    # sit at x 30, 175 and 320 and y 190 in its panel.
    with open(os.path.join(ROOT, "input", "ui", "dlg_box.png"), "rb") as panel:
        width, height = struct.unpack(">II", panel.read(24)[16:24])
    for name, x in (("msgbox_left", 30), ("msgbox_center", 175), ("msgbox_right", 320)):
        points.append((name, (1024 - width) // 2 + x + 65, (768 - height) // 2 + 190 + 22))
    # The new-profile screen (scripts/make-sample-screens.py) is centred; its name field sits at
    # (80, 116) in its panel and is 320 x 40.
    with open(os.path.join(ROOT, "input", "ui", "screen_small.png"), "rb") as panel:
        width, height = struct.unpack(">II", panel.read(24)[16:24])
    points.append(("new_profile_field", (1024 - width) // 2 + 80 + 160, (768 - height) // 2 + 116 + 20))

    write_text("input/definitions/game.xml", shell_definitions())
    write_text(LEVEL + "/level.xml", level_definitions())
    write_text(LEVEL + "/libraries.xml", '<?xml version="1.0" encoding="utf-8"?>\n<libraries>\n'
               '  <library file="level.xml"/>\n</libraries>\n')
    write_text(LEVEL + "/libraries_meta.xml", level_meta())
    for name, content in EFFECTS.items():
        write_text("input/effects/%s.xml" % name, content)
    write_text("input/Audio/ambient/%s.xml" % LEVEL,
               '<?xml version="1.0" encoding="utf-8"?>\n<!-- The attic\'s ambient sound scene. Made by '
               'scripts/make-sample-game.py. -->\n<Ambient>\n'
               '  <Sound name="attic_wind" volume="0.6" loop="1"/>\n'
               '  <Sound name="attic_creak" volume="0.4;0.8" pan="-0.6;0.6" pause="3;7" delay="2"/>\n</Ambient>\n')
    for name, make in SOUND_FILES.items():
        SOUNDS.write_wav(os.path.join(ROOT, "input", "sounds", name + ".wav"), make(), RATE)
    with open(os.path.join(ROOT, "input", "music", "attic.ogg"), "wb") as out:
        out.write(SOUNDS.encode_vorbis(list(attic_music())))
    write_text("input/translator_game.xml", '<?xml version="1.0" encoding="utf-8"?>\n<!-- Made by '
               'scripts/make-sample-game.py. -->\n<Translator>\n' +
               "".join('  <Record KEY="%s" VALUE="%s"/>\n' % (k, v.replace('"', "&quot;")) for k, v in STRINGS) +
               "</Translator>\n")
    write_text("clickpoints.txt", "# Screen points of the sample game the end-to-end test clicks (name x y).\n"
               "# Made by scripts/make-sample-game.py; the secret word is \"%s\".\n" % WORD +
               "".join("%s %d %d\n" % p for p in points))

    add_once("input/libraries.xml", "definitions\\game.xml", '  <library file="definitions\\game.xml"/>\n',
             "</libraries>", "")
    add_once("input/libraries_meta.xml", "scripts/make-sample-game.py", shell_meta(), "</libraries>", "")
    add_once("input/libraries_meta.xml", "menu_twinkle", extras_meta(), "</libraries>", "")
    add_once("input/translator_en.xml", "translator_game.xml", '  <Record FILE="translator_game.xml"/>\n',
             "</Translator>", "")
    add_once("input/Audio/Audio.xml", '<ClassDef name="Effects"/>', '    <ClassDef name="Effects"/>\n',
             '    <ClassDef name="Voice"/>', "")
    audio = "    <!-- The game (scripts/make-sample-game.py). -->\n" + "".join(
        '    <Sound name="%s" source="%s" class="%s"%s/>\n' % entry for entry in AUDIO)
    add_once("input/Audio/Audio.xml", "scripts/make-sample-game.py", audio, "</Audio>", "")


if __name__ == "__main__":
    main()
