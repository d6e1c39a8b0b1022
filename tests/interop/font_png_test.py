#!/usr/bin/env python3
"""The font pictures lettermoor-cli writes, against ImageMagick: identify reads every one, and a
picture that ImageMagick saves again (as palette, RGB, 16-bit RGBA, grey or interlaced) imports
as the same font, writing nothing; a pixel ImageMagick draws in ink changes one byte; a colour of
its own is refused.

Usage: font_png_test.py LETTERMOOR_CLI WORK_DIR. Exits 77 (skipped) when ImageMagick is missing."""

import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from interop import CLI, WORK, check, finish, require, run  # noqa: E402

FONTS = ("main", "saturn", "battle", "tiny", "large")
require(("identify", "convert"), "scripts/install-deps installs imagemagick", "LETTERMOOR_REQUIRE_IMAGE_TOOLS")


def read(path):
    with open(os.path.join(WORK, path), "rb") as f:
        return f.read()


def fresh_copy(name):
    shutil.copyfile(os.path.join(WORK, "sample.smc"), os.path.join(WORK, name))
    for stale in (name + ".bak",):
        if os.path.exists(os.path.join(WORK, stale)):
            os.remove(os.path.join(WORK, stale))
    return name


shutil.rmtree(WORK, ignore_errors=True)
os.makedirs(WORK)
run([CLI, "make-sample", "sample.smc"])
original = read("sample.smc")

# ImageMagick saves the picture again in the ways an image editor might.
# Each with the PNG colour type (3 palette, 2 RGB, 6 RGBA) and bit depth it must come out in.
RESAVES = {
    "plain": ([], None, None),
    "rgb": (["-define", "png:color-type=2"], 2, 8),
    "rgba": (["-define", "png:color-type=6"], 6, 8),
    "rgb16": (["-define", "png:bit-depth=16", "-define", "png:color-type=2"], 2, 16),
    "interlaced": (["-interlace", "PNG"], 3, None),
}


def png_header(path):
    """(bit depth, colour type, interlace) from the IHDR chunk."""
    data = read(path)
    return data[24], data[25], data[28]

for font in FONTS:
    png = font + ".png"
    run([CLI, "font", "export", "sample.smc", "--font", font, "-o", png])
    shown = run(["identify", "-format", "%m %w %h", png]).stdout.split()
    check(len(shown) == 3 and shown[0] == "PNG", "identify reads %s: %s" % (png, shown))
    for name, (options, colour_type, depth) in RESAVES.items():
        resaved = "%s-%s.png" % (font, name)
        run(["convert", png] + options + [resaved])
        header = png_header(resaved)
        check(colour_type is None or header[1] == colour_type, "%s has colour type %d" % (resaved, header[1]))
        check(depth is None or header[0] == depth, "%s has bit depth %d" % (resaved, header[0]))
        check(name != "interlaced" or header[2] == 1, "%s is interlaced" % resaved)
        rom = fresh_copy("resaved.smc")
        r = run([CLI, "font", "import", rom, resaved, "--font", font], expect=None)
        check(r.returncode == 0, "%s imports: %s" % (resaved, r.stderr.strip()))
        check(read(rom) == original, "%s leaves the ROM byte-identical" % resaved)

# Grey: the sheet's blue keeps ImageMagick from saving it as grey unasked; made grey, it is read
# (the refusal names a pixel's colour, not a file libpng could not read) and its blues refused.
run(["convert", "main.png", "-colorspace", "Gray", "-type", "Grayscale", "grey.png"])
check(png_header("grey.png")[1] == 0, "grey.png is stored as grey")
r = run([CLI, "font", "import", fresh_copy("grey.smc"), "grey.png"], expect=None)
check(r.returncode == 1 and " is #" in r.stderr, "a grey picture is read, its shifted colours refused: " + r.stderr.strip())

# One pixel inked by ImageMagick: exactly one byte of the file changes.
width, height = (int(v) for v in run(["identify", "-format", "%w %h", "main.png"]).stdout.split())
cell_w, cell_h = width // 16, height // 8
slot = 0x21  # byte 71, "A"
x = slot % 16 * cell_w + 1 + 6
y = slot // 16 * cell_h + 7 + 5
run(["convert", "main.png", "-fill", "#000000", "-draw", "point %d,%d" % (x, y), "inked.png"])
rom = fresh_copy("inked.smc")
r = run([CLI, "font", "import", rom, "inked.png"], expect=None)
check(r.returncode == 0, "inked.png imports: " + r.stderr.strip())
changed = [i for i, (a, b) in enumerate(zip(original, read(rom))) if a != b]
check(len(changed) == 1, "one inked pixel changes one byte, not %d" % len(changed))

# A colour of its own is refused, and nothing is written.
run(["convert", "main.png", "-fill", "#FF0000", "-draw", "point 0,0", "red.png"])
rom = fresh_copy("red.smc")
r = run([CLI, "font", "import", rom, "red.png"], expect=None)
check(r.returncode == 1 and "FF0000" in r.stderr, "red.png is refused naming its colour: " + r.stderr.strip())
check(read(rom) == original, "a refused picture writes nothing")

finish("font pictures: ImageMagick reads and writes back every one")
