#!/usr/bin/env python3
"""Makes the pictures and the definitions of the sample's menu and its widgets.

Writes, under sample/input/ (Python's standard library only, with make-sample.py's PNG writer):
  ui/*.png                 the widgets' pictures: button, check box, radio button, slider track and
                           knob, text field, caret, dialog panel, video frame, the modal backdrop
  definitions/menu.xml     the movie definitions: the main menu with its title timeline, the
                           buttons and the widgets (the screens that use them are made by
                           make-sample-screens.py)

The widgets keep the toolkit's frame conventions: frame 0 normal, 1 pointer over, 2 pressed; check
boxes and radio buttons show their tick through a child "_check", the slider's knob is its child
"_handle", a text field has a text child "text" and a caret "bar". Run it again after changing it;
the files it writes are committed.
"""
import importlib.util
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def sample_module():
    spec = importlib.util.spec_from_file_location("make_sample", os.path.join(HERE, "make-sample.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


SAMPLE = sample_module()

GOLD = (226, 190, 120)
INK = (255, 244, 216)


# --- pictures ---------------------------------------------------------------

def rounded(width, height, radius, fill, border, border_width=2, alpha=255):
    """A rounded rectangle with a border; the corners are soft (one pixel of coverage)."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            cx = min(max(x + 0.5, radius), width - radius)
            cy = min(max(y + 0.5, radius), height - radius)
            d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
            cover = min(max(radius - d + 0.5, 0.0), 1.0)
            inner = min(max(radius - border_width - d + 0.5, 0.0), 1.0)
            if cover <= 0.0:
                row.append((0, 0, 0, 0))
                continue
            colour = SAMPLE.mix(border, fill, inner)
            row.append(colour + (int(round(alpha * cover)),))
        rows.append(row)
    return rows


def disc(size, radius, fill, border, border_width=2):
    rows = []
    centre = size / 2
    for y in range(size):
        row = []
        for x in range(size):
            d = math.hypot(x + 0.5 - centre, y + 0.5 - centre)
            cover = min(max(radius - d + 0.5, 0.0), 1.0)
            inner = min(max(radius - border_width - d + 0.5, 0.0), 1.0)
            row.append(SAMPLE.mix(border, fill, inner) + (int(round(255 * cover)),))
        rows.append(row)
    return rows


def tick(size):
    """A check mark: two thick strokes."""
    def segment_distance(px, py, ax, ay, bx, by):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
        return math.hypot(px - ax - t * dx, py - ay - t * dy)
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            px, py = x + 0.5, y + 0.5
            d = min(segment_distance(px, py, size * 0.22, size * 0.52, size * 0.42, size * 0.74),
                    segment_distance(px, py, size * 0.42, size * 0.74, size * 0.80, size * 0.26))
            cover = min(max(size * 0.09 - d + 0.5, 0.0), 1.0)
            row.append((255, 232, 150, int(round(255 * cover))))
        rows.append(row)
    return rows


def flat(width, height, colour):
    return [[colour] * width for _ in range(height)]


BUTTON_LOOKS = {
    "normal": ((64, 56, 104), GOLD),
    "over": ((96, 84, 150), (255, 226, 160)),
    "pressed": ((40, 34, 72), GOLD),
}
BOX_LOOKS = {
    "normal": ((30, 30, 52), GOLD),
    "over": ((60, 58, 96), (255, 226, 160)),
    "pressed": ((20, 20, 36), GOLD),
}
BUTTON_SIZES = [(240, 52), (150, 46)]


def pictures():
    for width, height in BUTTON_SIZES:
        for look, (fill, border) in BUTTON_LOOKS.items():
            SAMPLE.write("input/ui/button_%dx%d_%s.png" % (width, height, look),
                         SAMPLE.png_bytes(width, height, rounded(width, height, 12, fill, border), True))
    for look, (fill, border) in BOX_LOOKS.items():
        SAMPLE.write("input/ui/box_%s.png" % look, SAMPLE.png_bytes(30, 30, rounded(30, 30, 5, fill, border), True))
        SAMPLE.write("input/ui/radio_%s.png" % look, SAMPLE.png_bytes(30, 30, disc(30, 14, fill, border), True))
        SAMPLE.write("input/ui/knob_%s.png" % look,
                     SAMPLE.png_bytes(24, 36, rounded(24, 36, 8, border, fill, 3), True))
    SAMPLE.write("input/ui/tick.png", SAMPLE.png_bytes(30, 30, tick(30), True))
    SAMPLE.write("input/ui/dot.png", SAMPLE.png_bytes(30, 30, disc(30, 7, (255, 232, 150), (255, 232, 150)), True))
    SAMPLE.write("input/ui/track.png", SAMPLE.png_bytes(320, 16, rounded(320, 16, 8, (24, 24, 40), GOLD), True))
    SAMPLE.write("input/ui/field_normal.png", SAMPLE.png_bytes(320, 40, rounded(320, 40, 6, (20, 20, 34), GOLD), True))
    SAMPLE.write("input/ui/field_over.png",
                 SAMPLE.png_bytes(320, 40, rounded(320, 40, 6, (36, 36, 60), (255, 226, 160)), True))
    SAMPLE.write("input/ui/caret.png", SAMPLE.png_bytes(2, 26, flat(2, 26, (255, 244, 216, 255)), True))
    SAMPLE.write("input/ui/dialog.png",
                 SAMPLE.png_bytes(560, 470, rounded(560, 470, 18, (28, 30, 54), GOLD, 3, 240), True))
    SAMPLE.write("input/ui/video_frame.png",
                 SAMPLE.png_bytes(236, 180, rounded(236, 180, 8, (0, 0, 0), GOLD, 3), True))
    SAMPLE.write("input/ui/blackback.png", SAMPLE.png_bytes(16, 16, flat(16, 16, (0, 0, 0, 255)), False))


# --- definitions ------------------------------------------------------------

def frame(x, y, alpha=100, sx=1.0, sy=None, angle=0.0, length=None, tween=False):
    sy = sx if sy is None else sy
    c, s = math.cos(angle), math.sin(angle)
    transform = "%g,%g,%g,%g,%g,%g" % (sx * c, sx * s, -sy * s, sy * c, x, y)
    attributes = 'transform="%s" alpha="%d"' % (transform, alpha)
    if length is not None:
        attributes = 'length="%d" ' % length + attributes
    if tween:
        attributes += ' isTween="1"'
    return "<Frame %s/>" % attributes


def library(name, definition, depth, create, death, frames, regx=0, regy=0):
    return ('    <Instance type="library" instancename="%s" definition="%s" depth="%d" create="%d" death="%d" '
            'regx="%g" regy="%g">\n      %s\n    </Instance>\n'
            % (name, definition, depth, create, death, regx, regy, "\n      ".join(frames)))


def escape(words):
    """The words as an XML attribute value."""
    return words.replace("&", "&amp;").replace('"', "&quot;").replace("<", "&lt;").replace(">", "&gt;")


def text(name, words, face, size, colour, width, height, depth, create, death, frames, align="left",
         valign="center"):
    return ('    <Instance type="text" instancename="%s" text="%s" face="%s" size="%d" color="0x%08X" align="%s" '
            'valign="%s" width="%d" height="%d" depth="%d" create="%d" death="%d" regx="0" regy="0">\n'
            '      %s\n    </Instance>\n'
            % (name, escape(words), face, size, colour, align, valign, width, height, depth, create, death,
               "\n      ".join(frames)))


def movie(name, length, body, fps=30, extra=""):
    return ('  <Definition type="movie" name="%s" length="%d" fps="%d">\n%s%s  </Definition>\n'
            % (name, length, fps, extra, body))


def image(name, source):
    return '  <Definition type="image" name="%s" src="%s"/>\n' % (name, source)


def three_looks(prefix, depth=0, x=0, y=0):
    """Entries that show the normal, over and pressed pictures on frames 0, 1 and 2."""
    return "".join(library(look, "%s_%s" % (prefix, look), depth, index, index + 1, [frame(x, y)])
                   for index, look in enumerate(("normal", "over", "pressed")))


def button(name, label, width, height):
    body = three_looks("ui_button_%dx%d" % (width, height))
    # The label sinks by a pixel while pressed.
    body += text("label", label, "Body", 22, 0xFFFFF4D8, width - 1, height - 1, 1, 0, 3,
                 [frame(2, 2, length=2), frame(2, 3)], align="center")
    return movie(name, 3, body)


def definitions():
    out = ['<?xml version="1.0" encoding="utf-8"?>\n',
           "<!-- Made by scripts/make-sample-menu.py. -->\n<Definitions>\n"]
    for width, height in BUTTON_SIZES:
        for look in BUTTON_LOOKS:
            out.append(image("ui_button_%dx%d_%s" % (width, height, look),
                             "ui\\button_%dx%d_%s.png" % (width, height, look)))
    for look in BOX_LOOKS:
        for kind in ("box", "radio", "knob"):
            out.append(image("ui_%s_%s" % (kind, look), "ui\\%s_%s.png" % (kind, look)))
    for name in ("tick", "dot", "track", "field_normal", "field_over", "dialog", "video_frame"):
        out.append(image("ui_" + name, "ui\\%s.png" % name))
    out.append(image("ui_caret_bar", "ui\\caret.png"))
    # The dark backdrop behind modal screens: a movie, which the screen stretches over the window.
    out.append(image("ui_blackback", "ui\\blackback.png"))
    out.append(movie("blackback", 1, library("back", "ui_blackback", 0, 0, 1, [frame(0, 0)])))

    # Buttons: one definition each, since the label is part of the picture.
    out.append(button("button_options", "Options", 240, 52))
    out.append(button("button_help", "Help", 240, 52))
    out.append(button("button_ok", "OK", 150, 46))
    out.append(button("button_cancel", "Cancel", 150, 46))

    out.append(movie("ui_checkbox", 3, three_looks("ui_box") + library("_check", "ui_tick", 1, 0, 3, [frame(0, 0)])))
    out.append(movie("ui_radio", 3, three_looks("ui_radio") + library("_check", "ui_dot", 1, 0, 3, [frame(0, 0)])))
    out.append(movie("ui_knob", 3, three_looks("ui_knob")))
    out.append(movie("ui_slider", 1, library("track", "ui_track", 0, 0, 1, [frame(0, 10)]) +
                     library("_handle", "ui_knob", 1, 0, 1, [frame(0, 0)])))
    # The caret blinks twice a second while its text field has the focus.
    out.append(movie("ui_caret", 2, library("bar", "ui_caret_bar", 0, 0, 1, [frame(0, 0)]), fps=2,
                     extra='    <Event frame="1" type="gotoAndPlay" targetframe="0"/>\n'))
    out.append(movie("ui_textfield", 3,
                     library("normal", "ui_field_normal", 0, 0, 1, [frame(0, 0)]) +
                     library("over", "ui_field_over", 0, 1, 3, [frame(0, 0)]) +
                     text("text", "", "Body", 22, 0xFFFFF4D8, 299, 35, 1, 0, 3, [frame(12, 4)]) +
                     library("bar", "ui_caret", 2, 0, 3, [frame(12, 7)])))

    # The main menu: the title falls in and the badge spins up during "intro", then the badge
    # turns for good in the loop of "idle".
    menu = library("back", "backdrop", 0, 0, 120, [frame(0, 0, sx=2.0)])
    menu += text("title", "The Pellwood", "Title", 60, 0xFFFFF4D8, 699, 89, 3, 0, 120,
                 [frame(162, -90, alpha=0, length=40, tween=True), frame(162, 36)], align="center")
    menu += text("subtitle", "A small sample of what the engine can do", "Note", 24, 0xFFFFE8C0, 699, 39, 3, 0, 120,
                 [frame(162, 122, alpha=0, length=30), frame(162, 122, alpha=0, length=30, tween=True),
                  frame(162, 122)], align="center")
    menu += library("badge", "badge", 4, 0, 120,
                    [frame(860, 120, alpha=0, sx=0.1, length=50, tween=True),
                     frame(860, 120, sx=1.0, angle=math.pi, length=10),
                     frame(860, 120, angle=0.0, length=30, tween=True),
                     frame(860, 120, angle=math.pi * 0.999, length=30, tween=True),
                     frame(860, 120, angle=0.0)], regx=48, regy=48)
    menu += library("btn_options", "button_options", 5, 0, 120, [frame(96, 280)])
    menu += library("btn_help", "button_help", 5, 0, 120, [frame(96, 350)])
    menu += library("video_frame", "ui_video_frame", 5, 0, 120, [frame(730, 470)])
    menu += library("video", "video_shapes", 6, 0, 120, [frame(734, 474, sx=1.78125, sy=1.8125)])
    menu += text("greeting", "Welcome, traveller.", "Title", 30, 0xFFFFF4D8, 599, 49, 5, 0, 120, [frame(96, 440)])
    menu += text("help", "Click anywhere for sparks.\\nOptions: video, sparks, light, music volume and your name."
                 "\\nPress the ` key (left of 1) for the console; press it again to close it.",
                 "Body", 20, 0xFFFFFFFF, 619, 99, 5, 0, 120, [frame(96, 500)])
    out.append(movie("main_menu", 120, menu,
                     extra='    <Label name="intro" frame="0"/>\n    <Label name="idle" frame="60"/>\n'
                           '    <Event frame="119" type="gotoLabelAndPlay" targetframe="idle"/>\n'))

    out.append("</Definitions>\n")
    SAMPLE.write("input/definitions/menu.xml", "".join(out).encode("utf-8"))


def main():
    pictures()
    definitions()


if __name__ == "__main__":
    main()
