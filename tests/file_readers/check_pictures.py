#!/usr/bin/env python3
"""Our PNG and BMP files read by independent readers: pngcheck and Pillow. The pictures come
from build/native/bin/picture_samples; what each must show comes from its source pixels."""

import math
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image

REPO = Path(__file__).resolve().parents[2]
WRITER = REPO / "build" / "native" / "bin" / "picture_samples"
LEVELS = [0, 28, 52, 73, 92, 109, 125, 140, 155, 170, 185, 199, 213, 227, 241, 255]
MIN_PSNR = 30.0


def source_pixels(raw_path):
    """The source as rows from the top, each a list of (r, g, b)."""
    data = raw_path.read_bytes()
    width, height = int.from_bytes(data[0:4], "little"), int.from_bytes(data[4:8], "little")
    rows = []
    for stored in range(height - 1, -1, -1):
        at = 8 + stored * width * 4
        rows.append([(data[at + 4 * x + 2], data[at + 4 * x + 1], data[at + 4 * x]) for x in range(width)])
    return width, height, rows


def nearest_level(value):
    return min(range(16), key=lambda i: (abs(value - LEVELS[i]), i))


def psnr(rows, image):
    error = 0
    for y, row in enumerate(rows):
        for x, colour in enumerate(row):
            error += sum((a - b) ** 2 for a, b in zip(colour, image.getpixel((x, y))))
    mean = error / (3 * len(rows) * len(rows[0]))
    return math.inf if mean == 0 else 10 * math.log10(255 * 255 / mean)


def check_png(path, kind, width, height, rows):
    check = subprocess.run(["pngcheck", str(path)], capture_output=True, text=True)
    if check.returncode != 0:
        return f"pngcheck: {check.stdout.strip()} {check.stderr.strip()}"
    image = Image.open(path)
    image.load()
    if image.mode != "P" or image.size != (width, height):
        return f"mode {image.mode}, size {image.size}"
    depth = path.read_bytes()[24]  # IHDR's bit depth
    rgb = image.convert("RGB")
    if kind == "gray":
        if depth != 4 or len(image.getpalette()) < 48 or image.getpalette()[:48:3] != LEVELS:
            return f"not the 16-gray palette (bit depth {depth})"
        for y, row in enumerate(rows):
            for x, (r, g, b) in enumerate(row):
                want = LEVELS[nearest_level((r * 77 + g * 151 + b * 28) >> 8)]
                if rgb.getpixel((x, y)) != (want, want, want):
                    return f"pixel {x},{y}: {rgb.getpixel((x, y))}, expected gray {want}"
        return None
    if depth != 8 or len(image.getpalette()) != 768:
        return f"bit depth {depth}, palette of {len(image.getpalette()) // 3}"
    if kind == "exact":
        for y, row in enumerate(rows):
            for x, colour in enumerate(row):
                if rgb.getpixel((x, y)) != colour:
                    return f"pixel {x},{y}: {rgb.getpixel((x, y))}, expected {colour}"
        return None
    quality = psnr(rows, rgb)
    return None if quality >= MIN_PSNR else f"PSNR {quality:.1f} dB below {MIN_PSNR}"


def check_bmp(path, width, height, rows):
    image = Image.open(path)
    image.load()
    if image.size != (width, height):
        return f"size {image.size}"
    rgb = image.convert("RGB")
    for y, row in enumerate(rows):
        for x, colour in enumerate(row):
            if rgb.getpixel((x, y)) != colour:
                return f"pixel {x},{y}: {rgb.getpixel((x, y))}, expected {colour}"
    return None


def main():
    passed = failed = 0
    with tempfile.TemporaryDirectory() as folder:
        written = subprocess.run([str(WRITER), folder], capture_output=True, text=True)
        if written.returncode != 0:
            print(f"picture_samples failed: {written.stderr}")
            print("0 passed, 1 failed")
            return 1
        for line in (Path(folder) / "manifest.txt").read_text().splitlines():
            name, kind = line.split()
            width, height, rows = source_pixels(Path(folder) / f"{name}.raw")
            try:
                if kind == "bmp":
                    problem = check_bmp(Path(folder) / f"{name}.bmp", width, height, rows)
                else:
                    problem = check_png(Path(folder) / f"{name}.png", kind, width, height, rows)
            except Exception as error:  # a reader that cannot read the file at all
                problem = f"unreadable: {error}"
            if problem:
                failed += 1
                print(f"FAIL {name}: {problem}")
            else:
                passed += 1
                print(f"ok   {name} ({kind})")
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
