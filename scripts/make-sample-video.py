#!/usr/bin/env python3
"""Makes the videos and the splash-screen pictures of the sample content.

Writes, under sample/:
  input/video/shapes.ogv        a 3-second looping video, 128x96 at 12 frames a second (Theora)
  input/video/orb.ogv           a 2-second colour video, 64x64
  input/video/orb_alpha.ogv     its alpha video (greyscale), 64x64
  input/video/credits_candle.ogv, credits_moon.ogv
                                the credits' clips, 128x96 (2 and 3 seconds), which the credits'
                                playlist plays in turn with shapes.ogv
  splash.ogv                    the 2-second video of a splash screen, 160x128
  splash.png                    the picture of a splash screen, 320x160
  for_fading.png                the overlay the splash screens fade through (white; tinted by "color")
  for_video.png                 the picture a splash video is shown in (160x128, black)
  input/images/video_shapes.png the picture the sample's looping video plays into (128x96, black)
  input/images/video_orb.png    the picture the colour and alpha pair plays into (64x64)

The videos are encoded with the system's libtheora (libtheora-dev, which the build needs anyway):
make-sample-video.cpp is compiled with the C++ compiler and pkg-config and run, so their bytes
follow the installed library version. The pictures come from make-sample.py's PNG writer. Run it
again after changing it; the files it writes are committed.
"""
import importlib.util
import math
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.join(HERE, "..")
ROOT = os.path.join(REPO, "sample")


def sample_module():
    spec = importlib.util.spec_from_file_location("make_sample", os.path.join(HERE, "make-sample.py"))
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def videos():
    os.makedirs(os.path.join(ROOT, "input", "video"), exist_ok=True)
    flags = subprocess.run(["pkg-config", "--cflags", "--libs", "theoraenc", "theoradec", "ogg"],
                           check=True, capture_output=True, text=True).stdout.split()
    compiler = os.environ.get("CXX", "c++")
    with tempfile.TemporaryDirectory() as work:
        program = os.path.join(work, "make-sample-video")
        subprocess.run([compiler, "-std=c++20", "-O2", "-I", REPO, os.path.join(HERE, "make-sample-video.cpp"),
                        "-o", program] + flags, check=True)
        subprocess.run([program, ROOT], check=True)


def splash_picture(width, height):
    """Three overlapping discs and a band, on a dark ground."""
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            r, g, b = 20, 22, 40
            if abs(y - height * 0.72) < 6 and width * 0.15 < x < width * 0.85:
                r, g, b = 230, 220, 200
            for cx, tint in ((0.35, (220, 80, 60)), (0.5, (60, 200, 90)), (0.65, (70, 110, 230))):
                d = math.hypot(x - width * cx, y - height * 0.4)
                a = min(max(34 - d + 0.5, 0.0), 1.0)
                r = int(r * (1 - a) + tint[0] * a)
                g = int(g * (1 - a) + tint[1] * a)
                b = int(b * (1 - a) + tint[2] * a)
            row.append((r, g, b, 255))
        rows.append(row)
    return rows


def flat(width, height, colour):
    return [[colour] * width for _ in range(height)]


def pictures():
    sample = sample_module()
    sample.write("splash.png", sample.png_bytes(320, 160, splash_picture(320, 160), False))
    sample.write("for_fading.png", sample.png_bytes(1024, 768, flat(1024, 768, (255, 255, 255, 255)), False))
    sample.write("for_video.png", sample.png_bytes(160, 128, flat(160, 128, (0, 0, 0, 255)), False))
    sample.write("input/images/video_shapes.png", sample.png_bytes(128, 96, flat(128, 96, (0, 0, 0, 255)), False))
    sample.write("input/images/video_orb.png", sample.png_bytes(64, 64, flat(64, 64, (0, 0, 0, 0)), True))


def main():
    videos()
    pictures()


if __name__ == "__main__":
    sys.exit(main())
