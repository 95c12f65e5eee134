#!/usr/bin/env python3
"""Makes the sample's player screens: options, speech settings, profile choice and creation, and the
in-game menu.

Writes, under sample/input/ (Python's standard library only, with the picture and definition helpers
of make-sample.py and make-sample-menu.py):
  ui/screen_*.png            the screens' panels and the profile slot's three looks
  definitions/screens.xml    "dlg_options" (sliders "slider_music", "slider_sfx", "slider_voice", check
                             boxes "cb_fullscreen", "cb_tutorials", "cb_effects", "cb_facebook", the
                             social-network note "_8", "speachsetupButton", "okButton", "cancelButton"),
                             "dlg_speech_setup" ("cb_char_portraits", "cb_subtitles", "cb_playvoiceover",
                             "btn_left", "btn_center", "btn_right"), "dlg_profile" (five slots
                             "entry_0".."entry_4" with their "lbl_name", "addButton", "okButton",
                             "deleteButton"), "dlg_new_profile" (frame 1 greets the first player;
                             "textfield", "okButton", "cancelButton") and "dlg_ingamemenu" ("btn_options",
                             "btn_help", "btn_exit", "cancelButton"), and the main menu's
                             buttons "Players" and "Pause menu"
  translator_screens.xml     the string-table keys the screens use ("Allowed Symbols", the profile
                             screen's two messages)
and adds, once, its definitions file to libraries.xml, its classes to libraries_meta.xml and its
translator file to translator_en.xml. Run it again after changing it; the files it writes are
committed.
"""
import importlib.util
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def load(name, file):
    spec = importlib.util.spec_from_file_location(name, os.path.join(HERE, file))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


SAMPLE = load("make_sample", "make-sample.py")
MENU = load("make_sample_menu", "make-sample-menu.py")

GOLD = MENU.GOLD
INK = 0xFFFFF4D8
LABEL = 0xFFFFE8C0
WHITE = 0xFFFFFFFF
PANEL = (28, 30, 54)

# Panels: the large one for options and profiles, the small ones for the other screens.
PANELS = {"large": (560, 470), "small": (480, 280), "menu": (480, 360)}
SLOT = (320, 44)
SLOTS = 5

KEYS = [
    ("Allowed Symbols", "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_.'"),
    ("Do you really want to delete profile %s?", "Do you really want to delete the player %s?"),
    ("There is no space to create new profile.\r\nPlease return to profile screen and remove unnecessary profiles.",
     "All five places are taken.\r\nDelete a player on the player screen first."),
]

# The buttons of these screens that the menu's definitions do not have: (name, label, width, height).
BUTTONS = [
    ("screen_button_speech", "Speech...", 150, 46),
    ("screen_button_defaults", "Defaults", 150, 46),
    ("screen_button_new", "New", 150, 46),
    ("screen_button_delete", "Delete", 150, 46),
    ("screen_button_exit", "Leave game", 240, 52),
    ("screen_button_back", "Back to game", 240, 52),
    # The main menu's ways to these screens, which the menu script adds.
    ("screen_button_players", "Players", 240, 52),
    ("screen_button_pause", "Pause menu", 240, 52),
]


# --- pictures ---------------------------------------------------------------

def pictures():
    for name, (w, h) in PANELS.items():
        SAMPLE.write("input/ui/screen_%s.png" % name,
                     SAMPLE.png_bytes(w, h, MENU.rounded(w, h, 18, PANEL, GOLD, 3, 245), True))
    w, h = SLOT
    for look, (fill, border) in MENU.BOX_LOOKS.items():
        SAMPLE.write("input/ui/screen_slot_%s.png" % look,
                     SAMPLE.png_bytes(w, h, MENU.rounded(w, h, 8, fill, border), True))


# --- definitions ------------------------------------------------------------

frame, library, text, movie, image = MENU.frame, MENU.library, MENU.text, MENU.movie, MENU.image


def panel(name, caption):
    w, _ = PANELS[name]
    body = library("panel", "ui_screen_" + name, 0, 0, 1, [frame(0, 0)])
    body += text("caption", caption, "Title", 34, INK, w - 1, 49, 1, 0, 1, [frame(0, 14)], align="center")
    return body


def labelled_box(name, label, x, y):
    return (library(name, "ui_checkbox", 2, 0, 1, [frame(x, y)]) +
            text(name + "_label", label, "Body", 20, WHITE, 199, 29, 1, 0, 1, [frame(x + 40, y)]))


def options():
    body = panel("large", "Options")
    for index, (name, label) in enumerate((("slider_music", "Music"), ("slider_sfx", "Sounds"),
                                           ("slider_voice", "Voices"))):
        y = 84 + index * 52
        body += text(name + "_label", label, "Body", 20, LABEL, 119, 29, 1, 0, 1, [frame(40, y + 4)])
        body += library(name, "ui_slider", 2, 0, 1, [frame(180, y)])
    body += labelled_box("cb_fullscreen", "Full screen", 40, 248)
    body += labelled_box("cb_tutorials", "Tutorials", 300, 248)
    body += labelled_box("cb_effects", "Visual effects", 40, 292)
    body += labelled_box("cb_facebook", "Share progress", 300, 292)
    # What sharing means; shown only while the game can share.
    body += text("_8", "Post your progress for your friends to see.", "Note", 16, LABEL, 479, 23, 1, 0, 1,
                 [frame(40, 326)])
    body += library("speachsetupButton", "screen_button_speech", 2, 0, 1, [frame(205, 346)])
    body += library("okButton", "button_ok", 2, 0, 1, [frame(90, 404)])
    body += library("cancelButton", "button_cancel", 2, 0, 1, [frame(320, 404)])
    return movie("dlg_options", 1, body)


def speech():
    body = panel("small", "Speech")
    body += labelled_box("cb_char_portraits", "Character portraits", 120, 78)
    body += labelled_box("cb_subtitles", "Subtitles", 120, 122)
    body += labelled_box("cb_playvoiceover", "Voice-overs", 120, 166)
    body += library("btn_left", "button_ok", 2, 0, 1, [frame(12, 220)])
    body += library("btn_center", "screen_button_defaults", 2, 0, 1, [frame(165, 220)])
    body += library("btn_right", "button_cancel", 2, 0, 1, [frame(318, 220)])
    return movie("dlg_speech_setup", 1, body)


def profile_slot():
    w, h = SLOT
    body = MENU.three_looks("ui_screen_slot")
    body += text("lbl_name", "", "Body", 22, INK, w - 1, h - 1, 1, 0, 3, [frame(0, 0)], align="center")
    return movie("profile_slot", 3, body)


def profiles():
    body = panel("large", "Players")
    for index in range(SLOTS):
        body += library("entry_%d" % index, "profile_slot", 2, 0, 1, [frame(120, 80 + index * 56)])
    body += library("addButton", "screen_button_new", 2, 0, 1, [frame(40, 404)])
    body += library("okButton", "button_ok", 2, 0, 1, [frame(205, 404)])
    body += library("deleteButton", "screen_button_delete", 2, 0, 1, [frame(370, 404)])
    return movie("dlg_profile", 1, body)


def new_profile():
    w, _ = PANELS["small"]
    # Frame 0 when players exist, frame 1 for the very first one.
    body = library("panel", "ui_screen_small", 0, 0, 2, [frame(0, 0, length=2)])
    body += text("caption", "New player", "Title", 34, INK, w - 1, 49, 1, 0, 1, [frame(0, 14)], align="center")
    body += text("welcome", "Welcome! Who is playing?", "Title", 30, INK, w - 1, 49, 1, 1, 2, [frame(0, 14)],
                 align="center")
    body += text("prompt", "Type your name:", "Body", 20, LABEL, 319, 29, 1, 0, 2, [frame(80, 80, length=2)])
    body += library("textfield", "ui_textfield", 2, 0, 2, [frame(80, 116, length=2)])
    body += library("okButton", "button_ok", 2, 0, 2, [frame(70, 210, length=2)])
    body += library("cancelButton", "button_cancel", 2, 0, 2, [frame(260, 210, length=2)])
    stops = '    <Event frame="0" type="stop"/>\n    <Event frame="1" type="stop"/>\n'
    return movie("dlg_new_profile", 2, body, extra=stops)


def ingame_menu():
    body = panel("menu", "Paused")
    for index, (name, definition) in enumerate((("btn_options", "button_options"), ("btn_help", "button_help"),
                                                ("btn_exit", "screen_button_exit"),
                                                ("cancelButton", "screen_button_back"))):
        body += library(name, definition, 2, 0, 1, [frame(120, 80 + index * 66)])
    return movie("dlg_ingamemenu", 1, body)


def definitions():
    out = ['<?xml version="1.0" encoding="utf-8"?>\n',
           "<!-- Made by scripts/make-sample-screens.py. -->\n<Definitions>\n"]
    for name in PANELS:
        out.append(image("ui_screen_" + name, "ui\\screen_%s.png" % name))
    for look in MENU.BOX_LOOKS:
        out.append(image("ui_screen_slot_%s" % look, "ui\\screen_slot_%s.png" % look))
    for name, label, width, height in BUTTONS:
        out.append(MENU.button(name, label, width, height))
    out.append(profile_slot())
    out.append(options())
    out.append(speech())
    out.append(profiles())
    out.append(new_profile())
    out.append(ingame_menu())
    out.append("</Definitions>\n")
    SAMPLE.write("input/definitions/screens.xml", "".join(out).encode("utf-8"))


# --- data files -------------------------------------------------------------

def attribute(value):
    return (value.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")
            .replace("\r", "&#13;").replace("\n", "&#10;"))


def data_files():
    records = "".join('  <Record KEY="%s" VALUE="%s"/>\n' % (attribute(key), attribute(value)) for key, value in KEYS)
    SAMPLE.write("input/translator_screens.xml", ('<?xml version="1.0" encoding="utf-8"?>\n'
                                                  "<!-- Made by scripts/make-sample-screens.py. -->\n"
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


META_CLASSES = [("dlg_options", "UIOptions"), ("dlg_speech_setup", "UISpeechParams"), ("dlg_profile", "UIProfile"),
                ("dlg_new_profile", "UINewProfile"), ("dlg_ingamemenu", "DlgIngameMenu")]


def meta_block():
    meta = "  <!-- The player's screens (scripts/make-sample-screens.py). -->\n"
    for name, cls in META_CLASSES:
        meta += ("  <Definition name=\"%s\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>%s"
                 "</MovieClassName></MovieClassNugget>\n      <SoundEffectNugget><EventName>screen_open</EventName>"
                 "<SoundName>chime</SoundName></SoundEffectNugget>\n    </Nuggets>\n  </Definition>\n" % (name, cls))
    meta += ("  <Definition name=\"profile_slot\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>"
             "ProfileButton</MovieClassName></MovieClassNugget>\n    </Nuggets>\n  </Definition>\n")
    for name, _, _, _ in BUTTONS:
        meta += ("  <Definition name=\"%s\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>Button"
                 "</MovieClassName></MovieClassNugget>\n      <SoundEffectNugget><EventName>bttn_click</EventName>"
                 "<SoundName>click</SoundName></SoundEffectNugget>\n    </Nuggets>\n  </Definition>\n" % name)
    return meta


def lists():
    add_once("input/libraries.xml", "definitions\\screens.xml", '  <library file="definitions\\screens.xml"/>\n',
             "</libraries>", "")
    add_once("input/libraries_meta.xml", "scripts/make-sample-screens.py", meta_block(), "</libraries>", "")
    add_once("input/translator_en.xml", "translator_screens.xml", '  <Record FILE="translator_screens.xml"/>\n',
             "</Translator>", '<?xml version="1.0" encoding="utf-8"?>\n<Translator>\n</Translator>\n')


def main():
    pictures()
    definitions()
    data_files()
    lists()


if __name__ == "__main__":
    main()
