#!/usr/bin/env python3
"""Regenerates the pictures and the click sound that ship beside Velmora.

Everything is drawn here from scratch: python3's standard library for the sound, ImageMagick
(convert-im6.q16) for the pictures. The output is committed under assets/, so a build needs
neither. Run from anywhere: scripts/make-assets.py
"""

import math
import random
import shutil
import struct
import subprocess
import sys
import wave
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
ASSETS = ROOT / "assets"
RESOURCES = ASSETS / "resources"
IMAGE = ASSETS / "Image"

FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
FONT_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"

# The thirteen menu tiles: archive entry in "dt06.img", mode name, texture name.
TILES = [
    (1431, "Exhibition", "topModeSelect_Mov00_Ex.tex"),
    (1432, "Champions League", "topModeSelect_Mov01_CL.tex"),
    (1433, "Become A Legend", "topModeSelect_Mov02_BL.tex"),
    (1434, "Master League", "topModeSelect_Mov03_ML.tex"),
    (1435, "Community", "topModeSelect_Mov04_Cmm.tex"),
    (1436, "League - Cup", "topModeSelect_Mov05_LC.tex"),
    (1437, "Online", "topModeSelect_Mov06_OL.tex"),
    (1438, "Training", "topModeSelect_Mov07_Tl.tex"),
    (1439, "Edit", "topModeSelect_Mov08_Ed.tex"),
    (1440, "System Settings", "topModeSelect_Mov09_Sys.tex"),
    (1441, "Gallery", "topModeSelect_Mov10_Gl.tex"),
    (1442, "Extra Content", "topModeSelect_Mov11_EC.tex"),
    (1443, "Copa Santander Libertadores", "topModeSelect_Mov12_SL.tex"),
]

# One hue per tile, so the same tile has the same colour in every reference picture.
HUES = ["#2f6fb5", "#1d4f91", "#b5532f", "#2f8f5b", "#7a4fb5", "#b58f2f", "#2fa3b5",
        "#5b8f2f", "#b52f6f", "#6f6f6f", "#2f5bb5", "#8f2fb5", "#b5772f"]


def convert(*args):
    tool = shutil.which("convert-im6.q16") or shutil.which("convert")
    if tool is None:
        sys.exit("ImageMagick is needed: apt-get install imagemagick")
    subprocess.run([tool, *map(str, args)], check=True)


def at_scale(name, scale):
    """background.png, or background@2x.png: the same picture for a screen of twice the density."""
    stem, dot, ext = name.partition(".")
    return RESOURCES / (name if scale == 1 else f"{stem}@{scale}x{dot}{ext}")


def background(scale=1):
    """The main window's picture, 780 x 346: night-blue to teal with a faint tile grid."""
    s = scale
    out = at_scale("background.png", s)
    draw = []
    # Faint grid of rounded tiles, brighter towards the right.
    for row in range(5):
        for col in range(11):
            x = 20 + col * 70
            y = 14 + row * 66
            alpha = 0.05 + 0.025 * col
            draw += ["-fill", f"rgba(255,255,255,{alpha:.3f})", "-stroke", "none",
                     "-draw", f"roundrectangle {x * s},{y * s} {(x + 58) * s},{(y + 54) * s} "
                              f"{8 * s},{8 * s}"]
    # Two sweeping arcs of light.
    draw += ["-fill", "none", "-stroke", "rgba(120,220,255,0.35)", "-strokewidth", str(3 * s),
             "-draw", f"arc {-200 * s},{120 * s} {980 * s},{760 * s} 200,340",
             "-stroke", "rgba(255,255,255,0.18)", "-strokewidth", str(2 * s),
             "-draw", f"arc {-260 * s},{160 * s} {1040 * s},{820 * s} 200,340"]
    convert("-size", f"{780 * s}x{346 * s}", "gradient:#0b1e3a-#0e5a5e", *draw, "-depth", "8",
            "-strip", out)


def icon():
    """The application icon: a rounded teal square holding a 3 x 3 grid of tiles and an arrow."""
    png = RESOURCES / "velmora.png"
    draw = ["-fill", "#0e5a5e", "-stroke", "#0b1e3a", "-strokewidth", "8",
            "-draw", "roundrectangle 8,8 247,247 40,40"]
    for row in range(3):
        for col in range(3):
            x = 44 + col * 58
            y = 44 + row * 58
            fill = "#f2c14e" if (row, col) == (1, 1) else "#e8f4f4"
            draw += ["-fill", fill, "-stroke", "none",
                     "-draw", f"roundrectangle {x},{y} {x + 46},{y + 46} 8,8"]
    convert("-size", "256x256", "xc:none", *draw, "-depth", "8", "-strip", png)
    convert(png, "-define", "icon:auto-resize=256,48,32,16", RESOURCES / "velmora.ico")
    shutil.copyfile(RESOURCES / "velmora.ico", IMAGE / "velmora.ico")


def decoration(scale=1):
    """The strip under the Help frame of the main window."""
    s = scale
    out = at_scale("decoration.png", s)
    draw = []
    for i, hue in enumerate(HUES):
        x = 6 + i * 28
        draw += ["-fill", hue, "-stroke", "rgba(255,255,255,0.6)", "-strokewidth", str(s),
                 "-draw", f"roundrectangle {x * s},{8 * s} {(x + 22) * s},{30 * s} {4 * s},{4 * s}"]
    convert("-size", f"{372 * s}x{56 * s}", "xc:none", *draw,
            "-font", FONT_BOLD, "-pointsize", str(15 * s), "-fill", "white", "-stroke", "none",
            "-annotate", f"+{6 * s}+{50 * s}", "VELMORA  menu tiles to DDS and back", "-depth", "8",
            "-strip", out)


def tile_draw(x, y, w, h, entry, name, texture, hue, size_name, size_small):
    return ["-fill", hue, "-stroke", "white", "-strokewidth", "2",
            "-draw", f"roundrectangle {x},{y} {x + w},{y + h} 10,10",
            "-stroke", "none", "-fill", "white", "-font", FONT_BOLD,
            "-pointsize", str(size_name + 8), "-annotate", f"+{x + 10}+{y + size_name + 14}",
            f"#{entry}",
            "-pointsize", str(size_name), "-annotate", f"+{x + 10}+{y + 2 * size_name + 22}", name,
            "-font", FONT, "-pointsize", str(size_small),
            "-annotate", f"+{x + 10}+{y + h - 10}", texture]


# The help window shows a picture at its natural size in a box of 638 x 607 pixels inside its
# border; every picture shipped fits it whole.
VIEW_WIDTH, VIEW_HEIGHT = 636, 604


def menu_map():
    """Where every tile sits on the mode menu: all thirteen in one picture."""
    width, height = 626, 540
    draw = ["-font", FONT_BOLD, "-pointsize", "17", "-fill", "white",
            "-annotate", "+12+30", "Mode menu: tile positions and their dt06.img entries",
            "-font", FONT, "-pointsize", "12",
            "-annotate", "+12+50", "Each tile is one animation: unpack its entry, edit the DDS, "
            "pack it with its mode."]
    for i, (entry, name, texture) in enumerate(TILES):
        col, row = i % 4, i // 4
        w, h = 146, 100
        x = 12 + col * 152
        y = 66 + row * 116
        if i == 12:
            w = 602
        draw += tile_draw(x, y, w, h, entry, name, texture, HUES[i], 11, 7)
    assert width <= VIEW_WIDTH and height <= VIEW_HEIGHT
    # 256 colours, run-length coded: the background changes only from row to row.
    convert("-size", f"{width}x{height}", "gradient:#14243f-#0f3b40", *draw,
            "-colors", "256", "-type", "Palette", "-compress", "RLE", f"BMP3:{IMAGE / 'menu-map.bmp'}")


def row_picture(name, tiles, fmt):
    """A closer view of a few tiles, two to a row."""
    w, h, gap = 290, 120, 12
    columns = 2
    rows = math.ceil(len(tiles) / columns)
    width = 24 + columns * (w + gap)
    height = 60 + rows * (h + gap)
    assert width <= VIEW_WIDTH and height <= VIEW_HEIGHT
    first, last = tiles[0][0], tiles[-1][0]
    draw = ["-font", FONT_BOLD, "-pointsize", "20", "-fill", "white",
            "-annotate", "+24+38", f"dt06.img entries {first} to {last}"]
    for i, (entry, mode, texture) in enumerate(tiles):
        x = 24 + (i % columns) * (w + gap)
        y = 56 + (i // columns) * (h + gap)
        draw += tile_draw(x, y, w, h, entry, mode, texture, HUES[entry - 1431], 15, 12)
    convert("-size", f"{width}x{height}", "gradient:#14243f-#0f3b40", *draw,
            *(["-quality", "90"] if fmt == "jpg" else []), IMAGE / f"{name}.{fmt}")


def notes():
    text = ["Reference pictures for Velmora's help window.", "",
            "menu-map.bmp        every tile of the mode menu with its entry in dt06.img",
            "entries-1431-1436.gif and entries-1437-1443.jpg   closer views", "",
            "Entry   Mode                         Texture name"]
    for entry, name, texture in TILES:
        text.append(f"{entry}    {name:<28} {texture}")
    (IMAGE / "readme.txt").write_text("\r\n".join(text) + "\r\n", encoding="ascii")


def click():
    """A 30 ms click: a 2.4 kHz ping and a burst of noise, both decaying fast."""
    rate = 44100
    frames = int(rate * 0.030)
    rng = random.Random(1)  # fixed seed: the file is the same on every run
    data = bytearray()
    for n in range(frames):
        t = n / rate
        envelope = math.exp(-t / 0.004)
        value = 0.55 * math.sin(2 * math.pi * 2400 * t) + 0.35 * (rng.random() * 2 - 1)
        data += struct.pack("<h", int(max(-1.0, min(1.0, value * envelope)) * 30000))
    with wave.open(str(RESOURCES / "click.wav"), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(bytes(data))


def main():
    RESOURCES.mkdir(parents=True, exist_ok=True)
    IMAGE.mkdir(parents=True, exist_ok=True)
    for scale in (1, 2):
        background(scale)
        decoration(scale)
    icon()
    menu_map()
    row_picture("entries-1431-1436", TILES[0:6], "gif")
    row_picture("entries-1437-1443", TILES[6:13], "jpg")
    notes()
    click()


if __name__ == "__main__":
    main()
