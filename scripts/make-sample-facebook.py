#!/usr/bin/env python3
"""Makes the sample's social-network content: the dialog "dlg_facebook", the main menu's "Share"
button and their string-table keys, and the distribution file "lwcache.bin".

Writes, under sample/ (Python's standard library only, with the definition helpers of make-sample.py,
make-sample-menu.py and make-sample-screens.py):
  input/definitions/facebook.xml   "dlg_facebook": one movie of seven stopped frames labelled
                                   "new_user" (greeting "l1", check box "enable", button "btn_new_user"),
                                   "enable_connect" ("btn_stop"), "disable_connect" ("btn_done"),
                                   "posting" (text "l5", "btn_hide"), "posted" ("btn_close"),
                                   "error" ("btn_connect", "btnCancel") and "permission" ("btn_allow");
                                   the buttons "fb_button_retry" and "fb_button_share"
  input/translator_facebook.xml    the keys "WouldConnect", "ConfirmRefuse", "InitialPosting"
  lwcache.bin                      the distribution's SKU number, one line
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
SCREENS = load("make_sample_screens", "make-sample-screens.py")

INK = 0xFFFFF4D8
LABEL = 0xFFFFE8C0
WHITE = 0xFFFFFFFF

SKU = "31337"

KEYS = [
    ("WouldConnect", ", would you like to share your progress with your friends?"),
    ("ConfirmRefuse", ", are you sure? Your progress will not be shared. Press OK again to turn sharing off."),
    ("InitialPosting", "Your first post is on its way to your friends."),
]

BUTTONS = [
    ("fb_button_retry", "Try again", 150, 46),
    ("fb_button_share", "Share", 240, 52),
]

# The pages in frame order: (label, title, what the page says, its plain button and that button's look).
PAGES = [
    ("new_user", "Share your progress?", "", "btn_new_user", "button_ok"),
    ("enable_connect", "Connecting", "Asking the social network...", "btn_stop", "button_cancel"),
    ("disable_connect", "Sharing is off", "You can turn it on again in the options.", "btn_done", "button_ok"),
    ("posting", "Posting", "Sending your post...", "btn_hide", "button_ok"),
    ("posted", "Posted", "Your friends can see your progress now.", "btn_close", "button_ok"),
    ("error", "No connection", "The social network could not be reached.", None, None),
    ("permission", "Permission", "The game needs your permission to post.", "btn_allow", "button_ok"),
]

frame, library, text, movie = MENU.frame, MENU.library, MENU.text, MENU.movie


def dialog():
    w, _ = SCREENS.PANELS["small"]
    count = len(PAGES)
    body = library("panel", "ui_screen_small", 0, 0, count, [frame(0, 0, length=count)])
    labels = ""
    stops = ""
    for index, (label, title, words, button, look) in enumerate(PAGES):
        labels += '    <Label name="%s" frame="%d"/>\n' % (label, index)
        stops += '    <Event frame="%d" type="stop"/>\n' % index
        body += text("title_" + label, title, "Title", 30, INK, w - 1, 45, 1, index, index + 1, [frame(0, 14)],
                     align="center")
        if words:
            body += text("says_" + label, words, "Body", 20, LABEL, w - 41, 59, 1, index, index + 1,
                         [frame(20, 70)], align="center")
        if button:
            body += library(button, look, 2, index, index + 1, [frame(165, 220)])
    first = 0
    body += text("l1", "", "Body", 18, LABEL, w - 41, 79, 1, first, first + 1, [frame(20, 64)], align="center")
    body += library("enable", "ui_checkbox", 2, first, first + 1, [frame(120, 164)])
    body += text("enable_label", "Share my progress", "Body", 20, WHITE, 199, 29, 1, first, first + 1,
                 [frame(160, 164)])
    posting = [label for label, *_ in PAGES].index("posting")
    body += text("l5", "", "Body", 18, LABEL, w - 41, 39, 1, posting, posting + 1, [frame(20, 140)],
                 align="center")
    error = [label for label, *_ in PAGES].index("error")
    body += library("btn_connect", "fb_button_retry", 2, error, error + 1, [frame(70, 220)])
    body += library("btnCancel", "button_cancel", 2, error, error + 1, [frame(260, 220)])
    return movie("dlg_facebook", count, body, extra=labels + stops)


def definitions():
    out = ['<?xml version="1.0" encoding="utf-8"?>\n',
           "<!-- Made by scripts/make-sample-facebook.py. -->\n<Definitions>\n"]
    for name, label, width, height in BUTTONS:
        out.append(MENU.button(name, label, width, height))
    out.append(dialog())
    out.append("</Definitions>\n")
    SAMPLE.write("input/definitions/facebook.xml", "".join(out).encode("utf-8"))


def data_files():
    records = "".join('  <Record KEY="%s" VALUE="%s"/>\n' % (SCREENS.attribute(key), SCREENS.attribute(value))
                      for key, value in KEYS)
    SAMPLE.write("input/translator_facebook.xml", ('<?xml version="1.0" encoding="utf-8"?>\n'
                                                   "<!-- Made by scripts/make-sample-facebook.py. -->\n"
                                                   "<Translator>\n%s</Translator>\n" % records).encode("utf-8"))
    SAMPLE.write("lwcache.bin", (SKU + "\n").encode("ascii"))


def meta_block():
    meta = "  <!-- The social-network dialog (scripts/make-sample-facebook.py). -->\n"
    meta += ("  <Definition name=\"dlg_facebook\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>"
             "UIFaceBook</MovieClassName></MovieClassNugget>\n      <SoundEffectNugget><EventName>screen_open"
             "</EventName><SoundName>chime</SoundName></SoundEffectNugget>\n    </Nuggets>\n  </Definition>\n")
    for name, _, _, _ in BUTTONS:
        meta += ("  <Definition name=\"%s\">\n    <Nuggets>\n      <MovieClassNugget><MovieClassName>Button"
                 "</MovieClassName></MovieClassNugget>\n      <SoundEffectNugget><EventName>bttn_click</EventName>"
                 "<SoundName>click</SoundName></SoundEffectNugget>\n    </Nuggets>\n  </Definition>\n" % name)
    return meta


def lists():
    SCREENS.add_once("input/libraries.xml", "definitions\\facebook.xml",
                     '  <library file="definitions\\facebook.xml"/>\n', "</libraries>", "")
    SCREENS.add_once("input/libraries_meta.xml", "scripts/make-sample-facebook.py", meta_block(), "</libraries>", "")
    SCREENS.add_once("input/translator_en.xml", "translator_facebook.xml",
                     '  <Record FILE="translator_facebook.xml"/>\n', "</Translator>",
                     '<?xml version="1.0" encoding="utf-8"?>\n<Translator>\n</Translator>\n')


def main():
    definitions()
    data_files()
    lists()


if __name__ == "__main__":
    main()
