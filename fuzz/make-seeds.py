#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

Each seed is a few KiB at most: game files hold a short zlib stream behind the 16-byte header
(Unpack zero-fills the rest), images are a DDS header and a few bytes of pixels (the fuzz target
zero-fills them to full size), designs are small JSON documents. Run it again after changing a
layout; the output is the same on every run.
"""

import json
import os
import struct
import subprocess
import tempfile
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")

IMAGE_BLOCK = 4_194_432
TEXTURE_HEADER = b"WE00" + bytes(44)
NAME = b"topModeSelect_Mov00_Ex.tex"


def dds_header(width=1024, height=1024, bits=32, masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000),
               fourcc=b"\0\0\0\0", flags_pf=0x41):
    pitch = width * bits // 8
    pf = struct.pack("<II4sIIIII", 32, flags_pf, fourcc, bits if fourcc == b"\0\0\0\0" else 0, *masks)
    header = struct.pack("<4sIIIIIII", b"DDS ", 124, 0x100F, height, width, pitch, 0, 0)
    header += bytes(44) + pf + struct.pack("<IIIII", 0x1000, 0, 0, 0, 0)
    assert len(header) == 128
    return header


def image_block(pixels=b""):
    block = dds_header() + pixels
    return block + bytes(IMAGE_BLOCK - len(block))


def game_file(stream, lead=b"\x00\x01\x01WESYS"):
    return lead + struct.pack("<ihh", len(stream) - 4, 208, 64) + stream


def write(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def unpack_seeds():
    record = TEXTURE_HEADER + image_block(bytes(range(256)) * 4) + NAME
    stream = zlib.compress(record, 9)
    write("fuzz_unpack", "valid", game_file(stream))
    write("fuzz_unpack", "no-magic", game_file(stream, lead=bytes(8)))
    write("fuzz_unpack", "garbage-after-stream", game_file(stream) + b"\xA5" * 64)
    write("fuzz_unpack", "cut-stream", game_file(stream)[: 16 + len(stream) // 2])
    short_record = zlib.compress(TEXTURE_HEADER + dds_header(), 9)
    write("fuzz_unpack", "short-record", game_file(short_record))
    # Inflates past the bound: 9 MiB of zeros is still only a few KiB of stream.
    write("fuzz_unpack", "past-bound", game_file(zlib.compress(bytes(9 * 1024 * 1024), 9)))
    write("fuzz_unpack", "header-only", game_file(b"")[:16])
    write("fuzz_unpack", "stored-block", game_file(zlib.compress(b"x" * 100, 0)))


def pack_image_seeds():
    good = dds_header() + bytes(range(64))
    write("fuzz_pack_image", "valid-exact", b"\x02" + good)
    write("fuzz_pack_image", "valid-with-mips", b"\x03" + good)
    write("fuzz_pack_image", "one-byte-short", b"\x01" + good)
    write("fuzz_pack_image", "header-only", b"\x00" + good)
    variants = {
        "swapped-masks": dds_header(masks=(0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000)),
        "dxt5": dds_header(fourcc=b"DXT5", flags_pf=0x4),
        "dx10": dds_header(fourcc=b"DX10", flags_pf=0x4) + bytes(20),
        "24-bit": dds_header(bits=24, masks=(0xFF0000, 0xFF00, 0xFF, 0)),
        "512": dds_header(width=512, height=512),
        "not-dds": b"PNG\r\n\x1a\n" + bytes(120),
    }
    for name, header in variants.items():
        write("fuzz_pack_image", name, b"\x02" + header)
    write("fuzz_pack_image", "told-length", b"\x10" + struct.pack("<Q", IMAGE_BLOCK) + good)


HEADERS = os.path.join(os.path.dirname(ROOT), "..", "tests", "data", "dds-headers")
PIXELS = bytes(range(256))[::7] * 2  # a few bytes of every kind; the target zero-fills the rest

# fuzz_dds_reader's length selectors: 0 the bytes as they are, else zero-filled to what one
# layout of a 1024x1024 picture needs; + 8 one byte less.
RAW, BC1, BC3, RGB24, RGBA32, DX10_BC1, DX10_BC3, DX10_RGBA32 = range(8)
SHORT = 8


def dx10_header(dxgi, dimension=3, misc=0, array_size=1, alpha_mode=0):
    return dds_header(fourcc=b"DX10", flags_pf=0x4, masks=(0, 0, 0, 0)) + struct.pack(
        "<IIIII", dxgi, dimension, misc, array_size, alpha_mode)


def dds_reader_seeds():
    # The headers real tools wrote, at the length their layout needs and as they are.
    lengths = {
        "gimp_rgb_none_nomips_fmt0": RGB24, "gimp_rgba_dxt5_mips": BC3, "im_default_rgb": BC1,
        "gimp_rgba_none_nomips_fmt5": BC3, "pil_512_rgba": BC3,
    }
    for name in sorted(os.listdir(HEADERS)):
        if not name.endswith(".hdr"):
            continue
        with open(os.path.join(HEADERS, name), "rb") as f:
            header = f.read()
        stem = name[:-4]
        write("fuzz_dds_reader", stem, bytes([lengths.get(stem, RGBA32)]) + header + PIXELS)
        write("fuzz_dds_reader", stem + "-raw", bytes([RAW]) + header + PIXELS)
    write("fuzz_dds_reader", "game-one-short", bytes([RGBA32 + SHORT]) + dds_header() + PIXELS)
    # DX10 headers as texconv writes them.
    dx10 = {
        "dx10-87-bgra": (DX10_RGBA32, dx10_header(87)),
        "dx10-88-bgrx": (DX10_RGBA32, dx10_header(88)),
        "dx10-28-rgba": (DX10_RGBA32, dx10_header(28)),
        "dx10-29-rgba-srgb": (DX10_RGBA32, dx10_header(29, dimension=0, array_size=0)),
        "dx10-71-bc1": (DX10_BC1, dx10_header(71)),
        "dx10-74-bc2": (DX10_BC3, dx10_header(74)),
        "dx10-77-bc3": (DX10_BC3, dx10_header(77, alpha_mode=2)),
        "dx10-98-bc7": (DX10_BC3, dx10_header(98)),
        "dx10-cube": (DX10_RGBA32, dx10_header(87, misc=0x4, array_size=1)),
        "dx10-array": (DX10_RGBA32, dx10_header(87, array_size=6)),
        "dx10-volume": (DX10_RGBA32, dx10_header(87, dimension=4)),
        "dx10-77-one-short": (DX10_BC3 + SHORT, dx10_header(77)),
        "dx10-cut-header": (RAW, dx10_header(87)[:140]),
    }
    for name, (selector, header) in dx10.items():
        write("fuzz_dds_reader", name, bytes([selector]) + header + PIXELS)
    # Other layouts by masks and codes.
    write("fuzz_dds_reader", "x8b8g8r8", bytes([RGBA32]) + dds_header(
        masks=(0xFF, 0xFF00, 0xFF0000, 0), flags_pf=0x40) + PIXELS)
    write("fuzz_dds_reader", "b8g8r8-24", bytes([RGB24]) + dds_header(
        bits=24, masks=(0xFF, 0xFF00, 0xFF0000, 0), flags_pf=0x40) + PIXELS)
    write("fuzz_dds_reader", "dxt3", bytes([BC3]) + dds_header(
        fourcc=b"DXT3", flags_pf=0x4, masks=(0, 0, 0, 0)) + PIXELS)
    write("fuzz_dds_reader", "d3dfmt-21", bytes([RGBA32]) + dds_header(
        fourcc=struct.pack("<I", 21), flags_pf=0x4, masks=(0, 0, 0, 0)) + PIXELS)
    write("fuzz_dds_reader", "luminance", bytes([BC3]) + dds_header(
        bits=8, masks=(0xFF, 0, 0, 0), flags_pf=0x20000) + PIXELS)
    write("fuzz_dds_reader", "a1r5g5b5", bytes([RAW]) + dds_header(
        bits=16, masks=(0x7C00, 0x3E0, 0x1F, 0x8000)) + PIXELS)


def tga_header(image_type, width, height, depth, descriptor, map_length=0, map_bits=0):
    return struct.pack("<BBBHHBHHHHBB", 0, 1 if map_length else 0, image_type, 0, map_length,
                       map_bits, 0, 0, width, height, depth, descriptor)


def tga_reader_seeds():
    # Small pictures of each kind the reader takes, and a few it refuses.
    pixels = bytes(range(256)) * 3
    write("fuzz_tga_reader", "true32-bottom-up", tga_header(2, 8, 4, 32, 0x08) + pixels[:128])
    write("fuzz_tga_reader", "true24-top-down", tga_header(2, 8, 4, 24, 0x20) + pixels[:96])
    write("fuzz_tga_reader", "true16-alpha-bit", tga_header(2, 8, 4, 16, 0x01) + pixels[:64])
    write("fuzz_tga_reader", "grey8", tga_header(3, 8, 4, 8, 0) + pixels[:32])
    write("fuzz_tga_reader", "mapped24", tga_header(1, 8, 4, 8, 0, 4, 24) + pixels[:12] +
          bytes(i % 4 for i in range(32)))
    # RLE: a repeat packet running on from the first row into the next, then raw pixels.
    write("fuzz_tga_reader", "rle-true32", tga_header(10, 8, 4, 32, 0x28) +
          b"\x8b\x10\x20\x30\x40" + b"\x13" + pixels[:80])
    write("fuzz_tga_reader", "rle-grey16", tga_header(11, 8, 4, 16, 0x08) + b"\x9f\x80\x7f")
    write("fuzz_tga_reader", "rle-mapped32", tga_header(9, 8, 4, 8, 0x08, 2, 32) +
          bytes([1, 2, 3, 4, 5, 6, 7, 8]) + b"\x9f\x01")
    footer = struct.pack("<II", 18 + 96, 0) + b"TRUEVISION-XFILE.\0"
    extension = struct.pack("<H", 495) + bytes(492) + b"\x04"
    write("fuzz_tga_reader", "premultiplied-extension", tga_header(2, 8, 3, 32, 0x08) +
          pixels[:96] + extension + footer)
    write("fuzz_tga_reader", "run-past-the-end", tga_header(10, 2, 2, 24, 0) + b"\xff\x01\x02\x03")
    write("fuzz_tga_reader", "cut-short", tga_header(2, 8, 4, 24, 0) + pixels[:50])


def design_seeds():
    # The shipped designs themselves, and small variants that reach each refusal.
    designs = os.path.join(os.path.dirname(ROOT), "..", "assets", "designs")
    for name in ("frmMain.json", "frmhelp.json"):
        with open(os.path.join(designs, name), "rb") as f:
            write("fuzz_design", name, f.read())

    def design(*properties):
        return json.dumps({"window": "frmTest", "controls": [
            {"name": "cmdTest", "properties": [
                {"key": k, "type": t, "value": v} for k, t, v in properties]}]}).encode()

    font = {"name": "MS Sans Serif", "size": 8.25, "bold": False, "italic": False, "underline": False,
            "strikethrough": False, "weight": 400, "charset": 238}
    # A 1x1 PNG, so the picture path is reached without a large seed.
    png = ("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==")
    write("fuzz_design", "every-type", design(
        ("_extentx", "Long", 2355), ("_extenty", "Long", 661), ("caption", "text", "&Unpack"),
        ("buttonstyle", "Long", 3), ("enabled", "flag", False), ("BEVEL", "Integer", 2),
        ("font", "font", font), ("mousepointer", "Integer", 99),
        ("picture", "picture", {"kind": 1, "png": png, "himetricWidth": 26, "himetricHeight": 26})))
    write("fuzz_design", "integer-overflow", design(("BEVEL", "Long", 70000)))
    write("fuzz_design", "huge-extent", design(("_extentx", "Long", 2147483647), ("_extenty", "Long", -1)))
    write("fuzz_design", "duplicate-key", design(("caption", "text", "a"), ("Caption", "text", "b")))
    write("fuzz_design", "empty", b"{}")
    write("fuzz_design", "not-json", b"caption=Unpack\n")


def region_seeds():
    def seed(width, height, key, mode, pixels):
        return struct.pack("<hh", width, height) + bytes(key) + bytes([mode]) + pixels

    grey = (0xC0, 0xC0, 0xC0)  # bytes of the key colour in blue, green, red order
    pattern = bytes(grey) * 5 + b"\x00\x00\x00" + bytes(grey) * 2 + b"\x10\x20\x30"
    write("fuzz_region", "small-mixed", seed(13, 4, grey, 1, pattern))
    write("fuzz_region", "all-key", seed(12, 3, grey, 1, bytes(grey)))
    write("fuzz_region", "no-key", seed(3, 2, grey, 1, b"\x01\x02\x03"))
    write("fuzz_region", "exact-buffer", seed(3, 1, grey, 0, bytes(4 * 3 * 2)))
    write("fuzz_region", "short-buffer", seed(40, 40, grey, 2, pattern))
    write("fuzz_region", "negative", seed(-1, 5, grey, 0, pattern))


# Small real files of every format the picture reader takes, written by ImageMagick (metadata
# stripped, so the bytes are the same on every run), and a cut copy of each.
PICTURES = {
    "rgba.png": ["-define", "png:color-type=6"],
    "grey16.png": ["-colorspace", "Gray", "-depth", "16"],
    "palette.png": ["-alpha", "off", "-colors", "16", "png8:"],
    "rgba.bmp": [],
    "rle8.bmp": ["-alpha", "off", "-colors", "16", "-compress", "RLE", "bmp3:"],
    "baseline.jpg": ["-alpha", "off"],
    "progressive.jpg": ["-alpha", "off", "-interlace", "JPEG"],
    "unassociated.tif": ["-define", "tiff:alpha=unassociated", "-compress", "lzw"],
    "associated.tif": ["-define", "tiff:alpha=associated"],
    "lossless.webp": ["-define", "webp:lossless=true"],
    "lossy.webp": [],
    "palette.gif": [],
}


def picture_seeds():
    with tempfile.TemporaryDirectory() as work:
        source = os.path.join(work, "source.png")
        subprocess.run(["convert", "-size", "16x16", "gradient:red-blue", "-alpha", "on",
                        "-channel", "A", "-fx", "i/16", "+channel", source], check=True)
        for name, options in PICTURES.items():
            target = os.path.join(work, name)
            out = options[-1] + target if options and options[-1].endswith(":") else target
            subprocess.run(["convert", source, "-strip"] + [o for o in options if not o.endswith(":")]
                           + [out], check=True)
            with open(target, "rb") as f:
                data = f.read()
            write("fuzz_pictures", name, data)
            write("fuzz_pictures", "cut-" + name, data[: len(data) * 2 // 3])
            if name == "palette.gif":
                # A logical screen with one side 0, as the fuzzer found: refused, never read at
                # another size than described.
                write("fuzz_pictures", "screen-one-side-0.gif", data[:6] + b"\xff\x3f\x00\x00" + data[10:])


if __name__ == "__main__":
    unpack_seeds()
    pack_image_seeds()
    dds_reader_seeds()
    tga_reader_seeds()
    design_seeds()
    region_seeds()
    picture_seeds()
