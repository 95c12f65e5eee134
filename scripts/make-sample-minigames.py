#!/usr/bin/env python3
"""Makes the sample's credits screen, typewriter level and Dudude puzzle.

Writes, under sample/ (Python's standard library, with the picture helpers of make-sample.py, the
definition helpers of make-sample-menu.py and the sound helpers of make-sample-sounds.py):
  credits/extras.xml, credits/libraries_meta.xml   the credits screen "scr_credits" with its four
                        panels "anim0".."anim3" (CreditsPad movies whose timelines carry the label
                        "next" that paces the entries) and the picture "clips" that the credits'
                        playlist of video clips plays into, the menu's buttons for the three extras and
                        the script screen "scr_dudude"; credits/libraries.xml lists them
  input/credits.xml     the credits' entries, with a trophy entry and a long multi-line one
  input/Audio/ambient/credits.xml   the credits' ambient scene
  typewriter/*          the library "typewriter": "mov_typewriter_board" (with "text", "paper" and a
                        "hud" holding "btn_menu", "btn_skip" and, from its frame 1, "btn_done"),
                        "mov_typewriter_word" and "mov_typewriter_letter"
  octane/*              the library "octane": "mov_octane_board" with its twelve cells, rollers and
                        seven target labels
  input/minigames_strings.xml   the keyed strings (the level "Sample"'s words and closing text,
                        the boxes' texts, the two "Dudude" strings), listed in input/translator_en.xml
  input/effects/pellwood_letter_1.xml, pellwood_letter_2.xml, ScoreGlow.xml, Tovan_Hint.xml
  input/images/paper.png, input/ui/arrow_*.png, input/ui/cover.png   pictures
  input/sounds/typewriter_key.wav, bell_fail.wav, letter_fail.wav, success_bell.wav,
  typewriter_voice.wav, credits_wind.wav   sounds

The sample's scripts reach them through script\\extras.luc. Run it again after changing it; the files
it writes are committed.
"""
import importlib.util
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def load(name, file):
    spec = importlib.util.spec_from_file_location(name, os.path.join(HERE, file))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


SAMPLE = load("make_sample", "make-sample.py")
MENU = load("make_sample_menu", "make-sample-menu.py")
SOUNDS = load("make_sample_sounds", "make-sample-sounds.py")
frame, library, text, movie, image = MENU.frame, MENU.library, MENU.text, MENU.movie, MENU.image

HEADER = '<?xml version="1.0" encoding="utf-8"?>\n'
INK = 0xFFFFF4D8
PAPER = (246, 238, 214)


def write_text(relative, content):
    SAMPLE.write(relative, content.encode("utf-8"))


def xml_escape(value):
    return (value.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")
            .replace("\n", "&#10;"))


def classes(entries):
    body = "".join('  <Definition name="%s"><Nuggets><MovieClassNugget><MovieClassName>%s</MovieClassName>'
                   "</MovieClassNugget></Nuggets></Definition>\n" % entry for entry in entries)
    return HEADER + "<!-- Made by scripts/make-sample-minigames.py. -->\n<libraries>\n" + body + "</libraries>\n"


def library_list(files):
    body = "".join('  <library file="%s"/>\n' % name for name in files)
    return HEADER + "<!-- Made by scripts/make-sample-minigames.py. -->\n<libraries>\n" + body + "</libraries>\n"


def definitions(body):
    return HEADER + "<!-- Made by scripts/make-sample-minigames.py. -->\n<Definitions>\n" + body + "</Definitions>\n"


def event(at, kind):
    return '    <Event frame="%d" type="%s"/>\n' % (at, kind)


def label(at, name):
    return '    <Label name="%s" frame="%d"/>\n' % (name, at)


# --- pictures ---------------------------------------------------------------

def flat(width, height, colour):
    return [[colour for _ in range(width)] for _ in range(height)]


def arrow(width, height, up, fill, edge):
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            # A triangle pointing up (or down) with a soft edge.
            fy = (y + 0.5) / height if up else 1.0 - (y + 0.5) / height
            half = fy * 0.5
            d = half - abs((x + 0.5) / width - 0.5)
            cover = min(max(d * width + 0.5, 0.0), 1.0)
            row.append(SAMPLE.mix(edge, fill, min(max(d * width - 1.0, 0.0), 1.0)) + (int(255 * cover),))
        rows.append(row)
    return rows


def pictures():
    SAMPLE.write("input/images/paper.png", SAMPLE.png_bytes(32, 32, flat(32, 32, PAPER + (255,)), True))
    SAMPLE.write("input/ui/cover.png", SAMPLE.png_bytes(16, 16, flat(16, 16, PAPER + (255,)), True))
    looks = {"normal": ((120, 96, 60), (70, 52, 30)), "over": ((170, 136, 80), (90, 66, 36)),
             "pressed": ((90, 70, 40), (50, 36, 20))}
    for look, (fill, edge) in looks.items():
        SAMPLE.write("input/ui/arrow_up_%s.png" % look, SAMPLE.png_bytes(40, 20, arrow(40, 20, True, fill, edge), True))
        SAMPLE.write("input/ui/arrow_down_%s.png" % look,
                     SAMPLE.png_bytes(40, 20, arrow(40, 20, False, fill, edge), True))


# --- sounds -----------------------------------------------------------------

def tone(seconds, parts, decay, rate=SOUNDS.RATE, noise=0.0, seed=777):
    frames = int(rate * seconds)
    out = []
    for i in range(frames):
        t = i / rate
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        value = sum(a * math.sin(2 * math.pi * f * t) for f, a in parts) * math.exp(-decay * t)
        value += noise * ((seed / 0x7FFFFFFF) * 2.0 - 1.0) * math.exp(-decay * 2 * t)
        edge = min(i, frames - i, int(rate * 0.004)) / max(1, int(rate * 0.004))
        out.append(value * min(1.0, edge))
    return out


def wind(seconds, rate=22050):
    """A soft, slowly swelling rush for the credits' ambient scene; it loops without a click."""
    frames = int(rate * seconds)
    out, seed, low = [], 4242, 0.0
    for i in range(frames):
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        low += 0.02 * (((seed / 0x7FFFFFFF) * 2.0 - 1.0) - low)
        swell = 0.6 + 0.4 * math.sin(2 * math.pi * i / frames)
        out.append(0.5 * low * swell)
    return out


def sounds():
    root = os.path.join(SOUNDS.ROOT, "sounds")
    SOUNDS.write_wav(os.path.join(root, "typewriter_key.wav"), tone(0.06, [(1800, 0.3), (400, 0.3)], 70, noise=0.5))
    SOUNDS.write_wav(os.path.join(root, "bell_fail.wav"), tone(0.5, [(220, 0.4), (233, 0.3)], 6))
    SOUNDS.write_wav(os.path.join(root, "letter_fail.wav"), tone(0.4, [(330, 0.4), (160, 0.2)], 8, noise=0.1))
    SOUNDS.write_wav(os.path.join(root, "success_bell.wav"), tone(0.9, [(1318, 0.35), (1976, 0.2)], 4))
    SOUNDS.write_wav(os.path.join(root, "typewriter_voice.wav"),
                     tone(1.2, [(180, 0.3), (360, 0.15), (540, 0.08)], 1.5))
    SOUNDS.write_wav(os.path.join(root, "credits_wind.wav"), wind(4.0), rate=22050)


# --- effects ----------------------------------------------------------------

def effects():
    folder = os.path.join(SAMPLE.ROOT, "input", "effects")
    for name, source, note in (("pellwood_letter_1", "trail.xml", "the trail of a letter tumbling away"),
                               ("pellwood_letter_2", "trail.xml", "the trail of a letter homing on its word"),
                               ("ScoreGlow", "burst.xml", "a letter landing on its word"),
                               ("Tovan_Hint", "burst.xml", "a word printed")):
        with open(os.path.join(folder, source), encoding="utf-8") as original:
            content = original.read()
        body = content[content.index("<ParticleEffect>"):]
        if source == "trail.xml":
            # Forty letters may trail at once: each trail is a fifth of the pointer's.
            rate = body[body.index("<Rate>"):body.index("</Rate>")]
            body = body.replace(rate, rate.replace("150", "30"), 1)
        write_text("input/effects/%s.xml" % name,
                   HEADER + "<!-- Made by scripts/make-sample-minigames.py from %s: %s. -->\n" % (source, note) +
                   body)


# --- credits ----------------------------------------------------------------

ENTRIES = [
    ("Made by", "The Pellwood team"),
    ("Engine", "Tarn, with its software device"),
    ("trophy", ""),
    ("Pictures", "Drawn by scripts"),
    ("Sounds", "Sines, noise and patience"),
    ("With thanks to",
     "Everyone who kept the lamps lit through the long evenings of work\nThe testers who typed every word twice"
     "\nAnd you, for watching the credits to their end"),
]


def credit_panel(name, width, height, names_height):
    # The card fades in, holds, and fades out; "next" half-way starts the next entry elsewhere.
    card = "%s_card" % name
    body = library("back", "ui_dialog", 0, 0, 1, [frame(0, 0, sx=width / 560.0, sy=height / 470.0)])
    body += text("lbl_title", "", "Title", 24, INK, width - 20, 32, 1, 0, 1, [frame(10, 6)], align="center")
    body += text("lbl_name", "", "Body", 18, 0xFFFFFFFF, width - 20, names_height, 1, 0, 1, [frame(10, 40)],
                 align="center")
    out = movie(card, 1, body)
    pad = library("pad", card, 0, 0, 150, [frame(0, 0, alpha=0, length=20, tween=True),
                                           frame(0, 0, length=100), frame(0, 0, length=29, tween=True),
                                           frame(0, 0, alpha=0)])
    out += movie(name, 150, pad + label(75, "next") + event(149, "stop"))
    return out


def extra_button(name, caption):
    body = MENU.three_looks("ui_button_150x46")
    body += text("label", caption, "Body", 20, INK, 149, 45, 1, 0, 3, [frame(2, 2, length=2), frame(2, 3)],
                 align="center")
    return movie(name, 3, body)


def credits():
    body = credit_panel("mov_credits_pad", 420, 75, 30)
    body += credit_panel("mov_credits_pad_tall", 560, 200, 150)
    screen = library("back", "blackback", 0, 0, 1, [frame(0, 0, sx=64.0, sy=48.0)])
    screen += text("caption", "Credits", "Title", 34, INK, 1023, 50, 1, 0, 1, [frame(0, 30)], align="center")
    screen += text("hint", "Click anywhere to return", "Note", 18, 0xFFC8C0A8, 1023, 30, 1, 0, 1, [frame(0, 720)],
                   align="center")
    # A window on the left where the credits' playlist of clips plays (extras.luc gives it its
    # MultipleVideo): a 128 x 96 picture drawn larger inside the gold frame.
    screen += library("clip_frame", "ui_video_frame", 1, 0, 1, [frame(20, 96)])
    screen += library("clips", "game_clip", 2, 0, 1, [frame(30, 105, sx=216 / 128.0)])
    for index, x, y, definition in ((0, 302, 110, "mov_credits_pad"), (1, 60, 300, "mov_credits_pad"),
                                    (2, 544, 300, "mov_credits_pad"), (3, 232, 470, "mov_credits_pad_tall")):
        screen += library("anim%d" % index, definition, 2, 0, 1, [frame(x, y)])
    body += movie("scr_credits", 1, screen)
    # The menu's buttons for the extras, and the screen that hosts the Dudude puzzle.
    body += extra_button("btn_credits", "Credits")
    body += extra_button("btn_typewriter", "Typewriter")
    body += extra_button("btn_dudude", "Dudude")
    dudude = library("back", "blackback", 0, 0, 1, [frame(0, 0, sx=64.0, sy=48.0)])
    dudude += text("caption", "Dudude: make every row and column add up", "Title", 28, INK, 1023, 44, 1, 0, 1,
                   [frame(0, 30)], align="center")
    dudude += library("btn_close", "btn_close_dudude", 3, 0, 1, [frame(437, 700)])
    body += movie("scr_dudude", 1, dudude)
    body += extra_button("btn_close_dudude", "Close")
    write_text("credits/extras.xml", definitions(body))
    write_text("credits/libraries.xml", library_list(["extras.xml"]))
    write_text("credits/libraries_meta.xml",
               classes([("scr_credits", "DlgCredits"), ("mov_credits_pad", "CreditsPad"),
                        ("mov_credits_pad_tall", "CreditsPad"), ("btn_credits", "Button"),
                        ("btn_typewriter", "Button"), ("btn_dudude", "Button"), ("scr_dudude", "Screen"),
                        ("btn_close_dudude", "Button")]))
    entries = "".join('  <Entry title="%s" names="%s"/>\n' % (xml_escape(t), xml_escape(n)) for t, n in ENTRIES)
    write_text("input/credits.xml", HEADER + "<!-- Made by scripts/make-sample-minigames.py. -->\n<Credits>\n" +
               entries + "</Credits>\n")
    write_text("input/Audio/ambient/credits.xml",
               HEADER + "<!-- Made by scripts/make-sample-minigames.py: the wind under the credits. -->\n"
               '<Ambient>\n  <Sound name="credits_wind" loop="1" volume="0.6"/>\n</Ambient>\n')


# --- typewriter -------------------------------------------------------------

def typewriter():
    body = image("tw_paper", "images\\paper.png")
    body += movie("mov_tw_paper", 1, library("sheet", "tw_paper", 0, 0, 1, [frame(0, 0, sx=20.0, sy=24.0)]))
    for name, caption in (("tw_btn_menu", "Menu"), ("tw_btn_skip", "Skip"), ("tw_btn_done", "Done")):
        body += extra_button(name, caption)
    hud = library("btn_menu", "tw_btn_menu", 1, 0, 2, [frame(20, 20)])
    hud += library("btn_skip", "tw_btn_skip", 1, 0, 2, [frame(854, 20)])
    # Frame 1 is the end: "btn_done" shows there.
    hud += library("btn_done", "tw_btn_done", 1, 1, 2, [frame(437, 700)])
    body += movie("mov_tw_hud", 2, hud + event(0, "stop") + event(1, "stop"))
    board = library("back", "backdrop", 0, 0, 1, [frame(0, 0, sx=2.0)])
    board += library("paper", "mov_tw_paper", 1, 0, 1, [frame(192, 560)])
    board += text("text", "", "Note", 22, 0xFFFFFFFF, 600, 700, 2, 0, 1, [frame(212, 580)], valign="top")
    board += library("hud", "mov_tw_hud", 4, 0, 1, [frame(0, 0)])
    body += movie("mov_typewriter_board", 1, board)
    body += movie("mov_typewriter_word", 1,
                  text("text", "", "Title", 30, 0xFFFFFFFF, 260, 44, 1, 0, 1, [frame(-130, -22)], align="center"))
    body += movie("mov_typewriter_letter", 1,
                  text("text", "", "Title", 30, 0xFFFFF4D8, 40, 44, 1, 0, 1, [frame(-20, -22)], align="center"))
    write_text("typewriter/typewriter.xml", definitions(body))
    write_text("typewriter/libraries.xml", library_list(["typewriter.xml"]))
    write_text("typewriter/libraries_meta.xml",
               classes([("mov_typewriter_board", "TypeBoard"), ("mov_typewriter_word", "TypeWord"),
                        ("mov_typewriter_letter", "TypeLetter"), ("tw_btn_menu", "Button"),
                        ("tw_btn_skip", "Button"), ("tw_btn_done", "Button")]))


# --- Dudude -----------------------------------------------------------------

# Rollable cells in every row and every column; the solution is the first number of each, which is
# never where a rollable cell starts.
ANIM_VALUES = "2,4,6; 3; 1,5,9; 1;  2; 3,6,9; 4; 2,4,8;  1,4,7; 5; 2; 3,6,9"
CONST_VALUES = "7, 11, 11, 5, 11, 7, 6"
OX, OY = 222, 120


def octane():
    body = image("oct_paper", "images\\paper.png") + image("oct_cover", "ui\\cover.png")
    for direction in ("up", "down"):
        for look in ("normal", "over", "pressed"):
            body += image("oct_arrow_%s_%s" % (direction, look), "ui\\arrow_%s_%s.png" % (direction, look))
        looks = "".join(library(look, "oct_arrow_%s_%s" % (direction, look), 0, index, index + 1, [frame(0, 0)])
                        for index, look in enumerate(("normal", "over", "pressed")))
        body += movie("oct_btn_%s" % direction, 3, looks + event(0, "stop"))
    body += movie("mov_oct_buttons", 1,
                  library("btn_up", "oct_btn_up", 1, 0, 1, [frame(10, 0)]) +
                  library("btn_down", "oct_btn_down", 1, 0, 1, [frame(10, 80)]))
    digits = text("lbl_up", "", "Title", 28, 0xFF000000, 60, 40, 1, 0, 1, [frame(0, 0)], align="center")
    digits += text("lbl_down", "", "Title", 28, 0xFF000000, 60, 40, 1, 0, 1, [frame(0, 40)], align="center")
    body += movie("mov_oct_digits", 1, digits)
    # Frame 0 rests. "up" (1 to 6) lifts the digits so that the lower label comes into view and stops
    # before the end; "down" (7 to 12) lowers them from there so that the upper label comes back and
    # stops on the last frame. The covers hide what lies outside the window.
    roll = library("digits", "mov_oct_digits", 0, 0, 13,
                   [frame(0, 0), frame(0, 0, length=5, tween=True), frame(0, -40), frame(0, -40, length=5,
                                                                                          tween=True), frame(0, 0)])
    roll += library("cover_top", "oct_cover", 1, 0, 13, [frame(0, -44, sx=3.75, sy=2.75)])
    roll += library("cover_bottom", "oct_cover", 1, 0, 13, [frame(0, 40, sx=3.75, sy=2.75)])
    body += movie("mov_oct_roller", 13, roll + label(1, "up") + label(7, "down") + event(0, "stop") +
                  event(6, "stop") + event(12, "stop"))
    board = library("paper", "oct_paper", 0, 0, 1, [frame(OX - 40, OY - 30, sx=18.0, sy=15.5)])
    for r in range(3):
        for c in range(4):
            x, y = OX + 110 * c, OY + 130 * r
            board += library("anim_%d_%d" % (r, c), "mov_oct_roller", 1, 0, 1, [frame(x, y + 30)])
            board += library("cont_%d_%d" % (r, c), "mov_oct_buttons", 2, 0, 1, [frame(x, y)])
        board += text("lbl_%d_x" % r, "", "Title", 28, 0xFFFF0000, 70, 40, 3, 0, 1, [frame(OX + 450, OY + 130 * r + 30)],
                      align="center")
    for c in range(4):
        board += text("lbl_x_%d" % c, "", "Title", 28, 0xFFFF0000, 60, 40, 3, 0, 1, [frame(OX + 110 * c, OY + 400)],
                      align="center")
    body += movie("mov_octane_board", 1, board)
    write_text("octane/octane.xml", definitions(body))
    write_text("octane/libraries.xml", library_list(["octane.xml"]))
    write_text("octane/libraries_meta.xml",
               classes([("mov_octane_board", "OctaneBoard"), ("mov_oct_buttons", "OctaneBtnContainer"),
                        ("mov_oct_roller", "OctaneAnimController"), ("oct_btn_up", "Button"),
                        ("oct_btn_down", "Button")]))


# --- strings ----------------------------------------------------------------

STRINGS = [
    ("TypeWriterSampleWords", "quill, ink, paper, letter, don't, write"),
    ("TypeWriterSampleText",
     "Dear reader, with a quill and a little ink I write this letter on paper. "
     "Don't let the evening end before you write back."),
    ("typewriter_Sample_voice", "typewriter_voice"),
    # "Ok", "Yes" and "No" are the message box's own (script make-sample-dialogs.py).
    ("HINT_Typewriter_TITLE", "The typewriter"),
    ("HINT_Typewriter_INFO", "Type the falling words before they reach the line. Every key fires a letter."),
    ("TypeWriter Skip Header", "Skip the typewriter?"),
    ("TypeWriter Skip Text", "Leave this page without a score?"),
    # Twelve words for the typewriter's benchmark (bench/typewriter_frame.cpp), a level of its own.
    ("TypeWriterBenchWords", "amber, bright, candle, drift, ember, flint, glow, hearth, iron, jade, kiln, lantern"),
    ("Dudude Anim Values", ANIM_VALUES),
    ("Dudude Const Values", CONST_VALUES),
]


def strings():
    entries = "".join('  <Record KEY="%s" VALUE="%s"/>\n' % (xml_escape(k), xml_escape(v)) for k, v in STRINGS)
    write_text("input/minigames_strings.xml",
               HEADER + "<!-- Made by scripts/make-sample-minigames.py. -->\n<Translator>\n" + entries + "</Translator>\n")
    # The translator lists the strings' files of every script; this one adds its own once.
    path = os.path.join(SAMPLE.ROOT, "input", "translator_en.xml")
    record = '  <Record FILE="minigames_strings.xml"/>\n'
    translator = HEADER + "<Translator>\n</Translator>\n"
    if os.path.exists(path):
        with open(path, encoding="utf-8") as existing:
            translator = existing.read()
    if record not in translator:
        at = translator.rindex("</Translator>")
        write_text("input/translator_en.xml", translator[:at] + record + translator[at:])


def main():
    pictures()
    sounds()
    effects()
    credits()
    typewriter()
    octane()
    strings()


if __name__ == "__main__":
    main()
