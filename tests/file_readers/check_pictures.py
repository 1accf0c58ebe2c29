#!/usr/bin/python3
"""Checks our PNG and BMP files with readers of their own: pngcheck and Pillow. Runs
build/native/bin/picture_samples into a temporary folder and compares what the readers
decode with what is expected from the source pixels, computed here independently:

- BMPs decode to exactly the source pixels;
- 4-bit PNGs decode to the nearest of the 16 gray levels of each pixel's gray value;
- 8-bit PNGs of a picture with few colours (channels multiples of 8) decode exactly, those of
  rich pictures with at least the PSNR of MINIMUM_PSNR;
- the size-limited formats keep the 256-colour file while it is within the limit.

Run with Debian's /usr/bin/python3 (Pillow). Ends with the line "N passed, M failed"."""

import math
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "tests" / "harness"))
from tier_counts import count_line  # noqa: E402

WRITER = REPO / "build" / "native" / "bin" / "picture_samples"
GRAY_LEVELS = [0, 28, 52, 73, 92, 109, 125, 140, 155, 170, 185, 199, 213, 227, 241, 255]
LIMITS = {"pf50kb": 51200, "pf100kb": 102400, "pf200kb": 204800, "pf300kb": 307200}
# dB. Ours reaches about 26 on uniform noise (256 colours for 16.7 million) and 33 and more on
# gradients; the printed values show the margin.
MINIMUM_PSNR = {"noise": 24.0, "large_noise": 24.0}
SMOOTH_PICTURE_PSNR = 30.0


def read_raw(path):
    """The source pixels as (r, g, b) tuples, top row first."""
    data = path.read_bytes()
    width, height = struct.unpack_from("<II", data)
    rows = []
    for stored in range(height - 1, -1, -1):
        start = 8 + stored * width * 4
        rows.extend((data[i + 2], data[i + 1], data[i]) for i in range(start, start + width * 4, 4))
    return width, height, rows


def nearest_gray(red, green, blue):
    gray = (red * 77 + green * 151 + blue * 28) >> 8
    level = min(GRAY_LEVELS, key=lambda candidate: (abs(candidate - gray), candidate))
    return (level, level, level)


def psnr(expected, got):
    squared = sum((a - b) ** 2 for e, g in zip(expected, got) for a, b in zip(e, g))
    if squared == 0:
        return math.inf
    return 10 * math.log10(255 ** 2 * 3 * len(expected) / squared)


def png_bit_depth(path):
    return path.read_bytes()[24]


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, condition, detail=""):
        if condition:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAIL {name} {detail}")


def check_bmp(checks, folder, name, source):
    width, height, pixels = source
    with Image.open(folder / f"{name}.bmp") as image:
        checks.check(f"{name}.bmp size", image.size == (width, height), str(image.size))
        checks.check(f"{name}.bmp pixels", list(image.convert("RGB").getdata()) == pixels)


def check_png(checks, folder, name, format_name, source):
    width, height, pixels = source
    path = folder / f"{name}.{format_name}.png"
    label = path.name
    result = subprocess.run(["pngcheck", "-q", str(path)], capture_output=True, text=True)
    checks.check(f"{label} pngcheck", result.returncode == 0, result.stdout + result.stderr)
    depth = png_bit_depth(path)
    with Image.open(path) as image:
        image.load()
        checks.check(f"{label} mode and size", image.mode == "P" and image.size == (width, height),
                     f"{image.mode} {image.size}")
        palette = image.palette.tobytes() if image.palette else b""
        checks.check(f"{label} palette", len(palette) == (768 if depth == 8 else 48), f"{len(palette)} at depth {depth}")
        decoded = list(image.convert("RGB").getdata())
    if format_name == "pf16Grays" or (name == "large_noise" and format_name == "pf50kb"):
        checks.check(f"{label} is gray", depth == 4, f"depth {depth}")
    if format_name == "pf256Colors":
        checks.check(f"{label} is in colour", depth == 8, f"depth {depth}")
    if format_name in LIMITS:
        colour = (folder / f"{name}.pf256Colors.png").read_bytes()
        if len(colour) <= LIMITS[format_name]:
            checks.check(f"{label} keeps the colour file", path.read_bytes() == colour)
        else:
            checks.check(f"{label} falls back to gray", depth == 4 and path.stat().st_size < len(colour))
    if depth == 4:
        expected = [nearest_gray(*pixel) for pixel in pixels]
        checks.check(f"{label} gray levels", decoded == expected,
                     f"first difference at {next((i for i, (a, b) in enumerate(zip(decoded, expected)) if a != b), -1)}")
    elif name.startswith("few_colours") or len(set(pixels)) == 1:
        checks.check(f"{label} exact colours", decoded == pixels)
    else:
        value = psnr(pixels, decoded)
        print(f"{label}: PSNR {value:.1f} dB")
        bound = MINIMUM_PSNR.get(name, SMOOTH_PICTURE_PSNR)
        checks.check(f"{label} PSNR", value >= bound, f"{value:.1f} dB, below {bound}")


def main():
    checks = Checks()
    with tempfile.TemporaryDirectory() as temporary:
        folder = Path(temporary)
        result = subprocess.run([str(WRITER), str(folder)], capture_output=True, text=True)
        checks.check("picture_samples runs", result.returncode == 0, result.stderr)
        listing = (folder / "samples.txt").read_text().split("\n") if result.returncode == 0 else []
        sources = {}
        for line in filter(None, listing):
            kind, name, *format_name = line.split()
            if name not in sources:
                sources[name] = read_raw(folder / f"{name}.raw")
            try:
                if kind == "bmp":
                    check_bmp(checks, folder, name, sources[name])
                else:
                    check_png(checks, folder, name, format_name[0], sources[name])
            except Exception as error:  # a file no reader can open is a failure, not the end
                checks.check(f"{line} readable", False, repr(error))
    print(count_line(checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
