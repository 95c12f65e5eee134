#!/usr/bin/env python3
"""Makes the sample's game dialogs: the message box, the hint pop-up, the help screen and tooltips.

Writes, under sample/input/ (Python's standard library only, with the picture and definition helpers
of make-sample.py and make-sample-menu.py):
  ui/dlg_*.png, ui/arrow_*.png, ui/hint_bg.png, ui/keys_*.png   the dialogs' pictures
  definitions/dialogs.xml   "dlg_msgbox" (caption, message, three buttons and their labels),
                            "dlg_help_popup" (frames "on_top", "on_bottom", "on_left", "on_right" and
                            "on_center" around the point it is shown at, and its "hint_pad" with
                            "title" and "text"), "dlg_help" ("lbl_title", "lbl_text", "btn_prev",
                            "btn_next", the close button "cancelButton" and the list of keys "keys": a
                            Panel "help_keys" with four rows and a VSlider "help_keys_slider"), the
                            tooltip's text movie
                            "text_hint" and background "hint_bg.png", and the menu's "Quit" button
  help.xml                  the help screen's three pages, one titled by a string-table key
  translator_dialogs.xml    the string-table keys the dialogs use ("Ok", "Yes", "No", "Cancel", ...)
and adds, once, its definitions file to libraries.xml, its classes to libraries_meta.xml and its
translator file to translator_en.xml (made when missing). Run it again after changing it; the files
it writes are committed.
"""
import importlib.util
import os
import re

HERE = os.path.dirname(os.path.abspath(__file__))


def load(name, file):
    spec = importlib.util.spec_from_file_location(name, os.path.join(HERE, file))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


SAMPLE = load("make_sample", "make-sample.py")
MENU = load("make_sample_menu", "make-sample-menu.py")

GOLD = MENU.GOLD
INK = (255, 244, 216)
PANEL = (28, 30, 54)

# The message box: 480 x 260, buttons of 130 x 44 in a row.
BOX_W, BOX_H = 480, 260
BOX_BUTTON = (130, 44)
BOX_BUTTON_Y = 190
BOX_SIDES = [("left", 30), ("center", 175), ("right", 320)]
# The help screen: 560 x 400, buttons of 120 x 46.
HELP_W, HELP_H = 560, 400
HELP_BUTTON = (120, 46)
# The pop-up's pad, placed around the point the pop-up is shown at, frame by frame.
PAD_W, PAD_H = 320, 110
ARROW = 20
POPUP_FRAMES = [
    # label, pad position, arrow picture and position (or none)
    ("on_top", (-PAD_W // 2, -PAD_H - ARROW), ("down", (-ARROW // 2, -ARROW))),
    ("on_bottom", (-PAD_W // 2, ARROW), ("up", (-ARROW // 2, 0))),
    ("on_left", (-PAD_W - ARROW, -PAD_H // 2), ("right", (-ARROW, -ARROW // 2))),
    ("on_right", (ARROW, -PAD_H // 2), ("left", (0, -ARROW // 2))),
    ("on_center", (-PAD_W // 2, -PAD_H // 2), None),
]

HELP_PAGES = [
    ("Finding things", "Click the things the list at the bottom names. A group such as \"Candles (3)\" "
                       "wants every one of its pieces. Clicking the attic at random brings a penalty."),
    ("|T|HelpSparksTitle", "Hint sparkles where something waits; Guess opens the secret word once you have "
                           "letters. Both buttons recharge after use."),
    ("The chest", "When the list is done, drag the key onto the chest and pull the lever. Escape opens the "
                  "menu; the attic keeps what you found."),
]

# The help page's list of keys and mouse moves, scrolled with its slider: four rows show at a time.
HELP_KEYS = [
    "Click: find a thing, use the lever",
    "Drag: carry the key to its lock",
    "Rest the pointer: read a tooltip",
    "Hint: sparkles on a listed thing",
    "Guess: type the word, gap as space",
    "Skip: leave the chest for later",
    "Escape: the in-game menu",
    "` (left of 1): the engine's console",
    "Alt+Enter: full screen or window",
]
HELP_KEY_ROWS = 4
# The list's place in the help screen, its slider's track and knob.
KEYS_AT = (40, 190)
KEYS_TRACK = (14, 92)
KEYS_KNOB = (14, 26)

KEYS = [
    ("Ok", "OK"), ("Yes", "Yes"), ("No", "No"), ("Cancel", "Cancel"),
    ("HelpSparksTitle", "Hints and the secret word"),
    ("QuitCaption", "Leave the sample?"),
    ("QuitMessage", "Do you really want to leave The Pellwood?"),
]


# --- pictures ---------------------------------------------------------------

def triangle(size, direction, fill):
    """A solid triangle pointing up, down, left or right, with soft edges."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            u, v = {"up": (px, py), "down": (px, size - py), "left": (py, px), "right": (py, size - px)}[direction]
            # Inside when the distance from the centre line is below the height reached.
            inside = v - abs(u - size / 2) * 2
            cover = min(max(inside + 0.5, 0.0), 1.0)
            row.append(fill + (int(round(255 * cover)),))
        rows.append(row)
    return rows


BUTTON_LOOKS = MENU.BUTTON_LOOKS


def pictures():
    w, h = BOX_BUTTON
    for look, (fill, border) in BUTTON_LOOKS.items():
        SAMPLE.write("input/ui/dlg_button_%s.png" % look, SAMPLE.png_bytes(w, h, MENU.rounded(w, h, 10, fill, border), True))
    w, h = HELP_BUTTON
    for look, (fill, border) in BUTTON_LOOKS.items():
        SAMPLE.write("input/ui/dlg_help_button_%s.png" % look,
                     SAMPLE.png_bytes(w, h, MENU.rounded(w, h, 10, fill, border), True))
    SAMPLE.write("input/ui/dlg_box.png", SAMPLE.png_bytes(BOX_W, BOX_H, MENU.rounded(BOX_W, BOX_H, 18, PANEL, GOLD, 3, 245), True))
    SAMPLE.write("input/ui/dlg_help.png", SAMPLE.png_bytes(HELP_W, HELP_H, MENU.rounded(HELP_W, HELP_H, 18, PANEL, GOLD, 3, 245), True))
    SAMPLE.write("input/ui/dlg_pad.png", SAMPLE.png_bytes(PAD_W, PAD_H, MENU.rounded(PAD_W, PAD_H, 14, (250, 240, 210), GOLD, 3), True))
    for direction in ("up", "down", "left", "right"):
        SAMPLE.write("input/ui/arrow_%s.png" % direction, SAMPLE.png_bytes(ARROW, ARROW, triangle(ARROW, direction, GOLD), True))
    w, h = KEYS_TRACK
    SAMPLE.write("input/ui/keys_track.png", SAMPLE.png_bytes(w, h, MENU.rounded(w, h, 7, (18, 18, 32), GOLD), True))
    w, h = KEYS_KNOB
    for look, (fill, border) in BUTTON_LOOKS.items():
        SAMPLE.write("input/ui/keys_knob_%s.png" % look,
                     SAMPLE.png_bytes(w, h, MENU.rounded(w, h, 6, border, fill, 3), True))
    # Stretched behind every tooltip: a flat dark square with a gold rim.
    rim = [[GOLD + (255,) if x in (0, 15) or y in (0, 15) else (24, 24, 40, 235) for x in range(16)] for y in range(16)]
    SAMPLE.write("input/ui/hint_bg.png", SAMPLE.png_bytes(16, 16, rim, True))


# --- definitions ------------------------------------------------------------

frame, library, text, movie, image = MENU.frame, MENU.library, MENU.text, MENU.movie, MENU.image


def button(name, prefix, size, label=None):
    width, height = size
    body = MENU.three_looks(prefix)
    if label:
        body += text("label", label, "Body", 20, 0xFFFFF4D8, width - 1, height - 1, 1, 0, 3,
                     [frame(0, 0, length=2), frame(0, 1)], align="center")
    return movie(name, 3, body)


def definitions():
    out = ['<?xml version="1.0" encoding="utf-8"?>\n',
           "<!-- Made by scripts/make-sample-dialogs.py. -->\n<Definitions>\n"]
    for look in BUTTON_LOOKS:
        out.append(image("dlg_button_%s" % look, "ui\\dlg_button_%s.png" % look))
        out.append(image("dlg_help_button_%s" % look, "ui\\dlg_help_button_%s.png" % look))
    for name in ("dlg_box", "dlg_help", "dlg_pad"):
        out.append(image("ui_" + name, "ui\\%s.png" % name))
    out.append(image("ui_keys_track", "ui\\keys_track.png"))
    for look in BUTTON_LOOKS:
        out.append(image("ui_keys_knob_%s" % look, "ui\\keys_knob_%s.png" % look))
    for direction in ("up", "down", "left", "right"):
        out.append(image("ui_arrow_" + direction, "ui\\arrow_%s.png" % direction))
    out.append(image("hint_bg.png", "ui\\hint_bg.png"))

    # The message box: its labels lie over its buttons and take no input.
    out.append(button("dlg_button", "dlg_button", BOX_BUTTON))
    box = library("panel", "ui_dlg_box", 0, 0, 1, [frame(0, 0)])
    box += text("caption", "", "Title", 26, 0xFFFFF4D8, BOX_W - 1, 39, 1, 0, 1, [frame(0, 16)], align="center")
    box += text("message", "", "Body", 20, 0xFFFFFFFF, BOX_W - 61, 109, 2, 0, 1, [frame(30, 66)], align="center")
    for index, (side, x) in enumerate(BOX_SIDES):
        box += library("btn_" + side, "dlg_button", 3 + index, 0, 1, [frame(x, BOX_BUTTON_Y)])
    for index, (side, x) in enumerate(BOX_SIDES):
        box += text("lbl_" + side, "", "Body", 20, 0xFFFFF4D8, BOX_BUTTON[0] - 1, BOX_BUTTON[1] - 1, 6 + index, 0, 1,
                    [frame(x, BOX_BUTTON_Y)], align="center")
    out.append(movie("dlg_msgbox", 1, box))

    # The pop-up: its origin is the point it explains; the pad and the arrow move frame by frame.
    pad = library("face", "ui_dlg_pad", 0, 0, 1, [frame(0, 0)])
    pad += text("title", "", "Title", 18, 0xFF2A2440, PAD_W - 25, 27, 1, 0, 1, [frame(12, 8)])
    pad += text("text", "", "Body", 16, 0xFF2A2440, PAD_W - 25, PAD_H - 45, 2, 0, 1, [frame(12, 38)])
    out.append(movie("dlg_help_pad", 1, pad))
    popup = library("hint_pad", "dlg_help_pad", 1, 0, len(POPUP_FRAMES),
                    [frame(x, y, length=1) for _, (x, y), _ in POPUP_FRAMES])
    for index, (_, _, arrow) in enumerate(POPUP_FRAMES):
        if arrow:
            direction, (x, y) = arrow
            popup += library("arrow_" + direction, "ui_arrow_" + direction, 2, index, index + 1, [frame(x, y)])
    labels = "".join('    <Label name="%s" frame="%d"/>\n' % (label, index)
                     for index, (label, _, _) in enumerate(POPUP_FRAMES))
    out.append(movie("dlg_help_popup", len(POPUP_FRAMES), popup, extra=labels))

    # The help screen.
    out.append(button("dlg_help_prev", "dlg_help_button", HELP_BUTTON, "< Back"))
    out.append(button("dlg_help_next", "dlg_help_button", HELP_BUTTON, "Next >"))
    out.append(button("dlg_help_close", "dlg_help_button", HELP_BUTTON, "Close"))
    help_ = library("panel", "ui_dlg_help", 0, 0, 1, [frame(0, 0)])
    help_ += text("lbl_title", "Help", "Title", 28, 0xFFFFF4D8, HELP_W - 1, 43, 1, 0, 1, [frame(0, 20)], align="center")
    help_ += text("lbl_text", "", "Body", 20, 0xFFFFFFFF, HELP_W - 81, 100, 2, 0, 1, [frame(40, 84)], valign="top")
    help_ += library("keys", "help_keys", 6, 0, 1, [frame(*KEYS_AT)])
    help_ += library("btn_prev", "dlg_help_prev", 3, 0, 1, [frame(40, 330)])
    help_ += library("cancelButton", "dlg_help_close", 3, 0, 1, [frame(220, 330)])
    help_ += library("btn_next", "dlg_help_next", 3, 0, 1, [frame(400, 330)])
    out.append(movie("dlg_help", 1, help_))
    # The help screen's list of keys: a panel with a heading, four rows and a vertical slider, whose
    # script (HelpKeysList, screens.luc) shows the rows the slider scrolls to.
    stops = "".join('    <Event frame="%d" type="stop"/>\n' % index for index in range(3))
    out.append(movie("help_keys_knob", 3, MENU.three_looks("ui_keys_knob"), extra=stops))
    out.append(movie("help_keys_slider", 1, library("track", "ui_keys_track", 0, 0, 1, [frame(0, 0)]) +
                     library("_handle", "help_keys_knob", 1, 0, 1, [frame(0, 0)])))
    keys = text("heading", "Keys and mouse", "Title", 18, 0xFFFFE6A8, 440, 24, 0, 0, 1, [frame(0, 0)])
    for row in range(HELP_KEY_ROWS):
        keys += text("row_%d" % row, "", "Body", 17, 0xFFFFFFFF, 440, 22, 1 + row, 0, 1, [frame(0, 28 + 23 * row)])
    keys += library("scroller", "help_keys_slider", 1 + HELP_KEY_ROWS, 0, 1, [frame(466, 28)])
    out.append(movie("help_keys", 1, keys))

    # The tooltip's text; the hint manager sizes its box to the text.
    out.append(movie("text_hint", 1, text("MyText", "", "Body", 18, 0xFFFFF4D8, 9, 9, 0, 0, 1, [frame(0, 0)],
                                          align="center")))
    # The menu's "Quit" button, which the menu script adds.
    out.append(MENU.button("button_quit", "Quit", 240, 52))
    out.append("</Definitions>\n")
    SAMPLE.write("input/definitions/dialogs.xml", "".join(out).encode("utf-8"))


# --- data files -------------------------------------------------------------

def attribute(value):
    return value.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")


def data_files():
    entries = "".join('  <Entry title="%s" text="%s"/>\n' % (attribute(t), attribute(x)) for t, x in HELP_PAGES)
    SAMPLE.write("input/help.xml", ('<?xml version="1.0" encoding="utf-8"?>\n'
                                    "<!-- Made by scripts/make-sample-dialogs.py. -->\n<Help>\n%s</Help>\n"
                                    % entries).encode("utf-8"))
    records = "".join('  <Record KEY="%s" VALUE="%s"/>\n' % (key, attribute(value)) for key, value in KEYS)
    SAMPLE.write("input/translator_dialogs.xml", ('<?xml version="1.0" encoding="utf-8"?>\n'
                                                  "<!-- Made by scripts/make-sample-dialogs.py. -->\n"
                                                  "<Translator>\n%s</Translator>\n" % records).encode("utf-8"))


def add_once(relative, marker, line, closing, fresh):
    """Puts `line` before the closing tag of a list file unless `marker` is already in it."""
    path = os.path.join(SAMPLE.ROOT, relative)
    content = open(path, encoding="utf-8").read() if os.path.exists(path) else fresh
    if marker in content:
        return
    at = content.rfind(closing)
    content = content[:at] + line + content[at:]
    SAMPLE.write(relative, content.encode("utf-8"))


META_CLASSES = [("dlg_msgbox", "UIMessageBox"), ("dlg_help_popup", "HintPopup"), ("dlg_help", "DlgHelp")]
BUTTONS = ["dlg_button", "dlg_help_prev", "dlg_help_next", "dlg_help_close", "button_quit"]


def lists():
    add_once("input/libraries.xml", "definitions\\dialogs.xml", '  <library file="definitions\\dialogs.xml"/>\n',
             "</libraries>", "")
    meta = "  <!-- The game dialogs (scripts/make-sample-dialogs.py). -->\n"
    for name, cls in META_CLASSES:
        meta += ("  <Definition name=\"%s\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>%s"
                 "</MovieClassName></MovieClassNugget>\n    </Nuggets>\n  </Definition>\n" % (name, cls))
    for name in BUTTONS:
        meta += ("  <Definition name=\"%s\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>Button"
                 "</MovieClassName></MovieClassNugget>\n      <SoundEffectNugget><EventName>bttn_click</EventName>"
                 "<SoundName>click</SoundName></SoundEffectNugget>\n    </Nuggets>\n  </Definition>\n" % name)
    add_once("input/libraries_meta.xml", "scripts/make-sample-dialogs.py", meta, "</libraries>", "")
    keys = ("  <!-- The help screen's list of keys (scripts/make-sample-dialogs.py). -->\n"
            "  <Definition name=\"help_keys\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>Panel"
            "</MovieClassName></MovieClassNugget>\n      <LuaClassNugget><LuaClassName>HelpKeysList</LuaClassName>"
            "<LuaScriptText>t_keys = { %s }, i_rows = %d</LuaScriptText></LuaClassNugget>\n    </Nuggets>\n"
            "  </Definition>\n"
            "  <Definition name=\"help_keys_slider\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>VSlider"
            "</MovieClassName></MovieClassNugget>\n    </Nuggets>\n  </Definition>\n"
            % (", ".join("&quot;%s&quot;" % attribute(key).replace("&quot;", "") for key in HELP_KEYS),
               HELP_KEY_ROWS))
    add_once("input/libraries_meta.xml", "help_keys_slider", keys, "</libraries>", "")
    add_once("input/translator_en.xml", "translator_dialogs.xml", '  <Record FILE="translator_dialogs.xml"/>\n',
             "</Translator>", '<?xml version="1.0" encoding="utf-8"?>\n<Translator>\n</Translator>\n')


def main():
    pictures()
    definitions()
    data_files()
    lists()


if __name__ == "__main__":
    main()
