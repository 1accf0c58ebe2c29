#!/usr/bin/env python3
"""The screenshot's PNG encoding against Pillow's, on the same 1920 × 1080 desktop-like picture
(windows with title bars, text, gradients) in the same run: our 256-colour encoding under
wine64 (its own median time, measured inside the program) against Pillow's quantize(256) and
PNG writing (median of the same number of rounds), with the mean colour error of both as PSNR
(target: our time at most Pillow's). Prints the sizes of the pf100kb and pf16Grays forms too.
Needs Debian's Python with Pillow."""

import io
import math
import random
import re
import statistics
import sys
import time
from pathlib import Path

from PIL import Image, ImageDraw

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from wine_prefix import BUILD, WinePrefix, windows_path  # noqa: E402

ROUNDS = 5
WIDTH, HEIGHT = 1920, 1080


def desktop_picture():
    """A desktop of a fixed seed: a gradient background, overlapping windows with title bars,
    menus, lines of text, buttons and pictures."""
    rng = random.Random(20261209)
    image = Image.new("RGB", (WIDTH, HEIGHT))
    draw = ImageDraw.Draw(image)
    for y in range(HEIGHT):
        draw.line([(0, y), (WIDTH, y)], fill=(20 + y * 60 // HEIGHT, 60 + y * 80 // HEIGHT, 120 + y * 100 // HEIGHT))
    for _ in range(9):
        left, top = rng.randrange(0, WIDTH - 500), rng.randrange(0, HEIGHT - 350)
        right, bottom = left + rng.randrange(400, 900), top + rng.randrange(300, 600)
        draw.rectangle([left, top, right, bottom], fill=(240, 240, 240), outline=(90, 90, 90))
        title = (rng.randrange(0, 80), rng.randrange(60, 140), rng.randrange(150, 230))
        for x in range(left, right):
            shade = (x - left) * 60 // max(1, right - left)
            draw.line([(x, top), (x, top + 24)], fill=tuple(min(255, c + shade) for c in title))
        draw.text((left + 8, top + 6), f"Window {rng.randrange(1000)} - Brevant project", fill=(255, 255, 255))
        y = top + 40
        while y < bottom - 20:
            words = " ".join(rng.choice(["build", "launch", "report", "thread", "stack", "module", "0x7ffe",
                                         "error", "config", "index.html"]) for _ in range(rng.randrange(3, 12)))
            draw.text((left + 12, y), words, fill=(20, 20, 20))
            y += 16
        for b in range(3):
            bx = right - 90 * (b + 1)
            draw.rectangle([bx, bottom - 34, bx + 80, bottom - 10], fill=(225, 225, 225), outline=(120, 120, 120))
        px, py = left + (right - left) // 2, top + 60
        for i in range(120):
            draw.line([(px + i, py), (px + i, py + 100)], fill=(i * 2, 255 - i * 2, (i * 7) % 256))
    return image


def raw_bytes(image):
    """Width, height and the pixels as a DIB holds them: blue, green, red, 0, bottom-up."""
    b, g, r = image.split()[2], image.split()[1], image.split()[0]
    zero = Image.new("L", image.size, 0)
    bgrx = Image.merge("RGBA", (b, g, r, zero)).transpose(Image.FLIP_TOP_BOTTOM)
    return WIDTH.to_bytes(4, "little") + HEIGHT.to_bytes(4, "little") + bgrx.tobytes()


def psnr(source, png_bytes):
    decoded = Image.open(io.BytesIO(png_bytes)).convert("RGB")
    total = 0
    a, b = source.tobytes(), decoded.tobytes()
    for x, y in zip(a, b):
        total += (x - y) * (x - y)
    mean = total / len(a)
    return math.inf if mean == 0 else 10 * math.log10(255 * 255 / mean)


def pillow_round(image):
    started = time.perf_counter()
    out = io.BytesIO()
    image.quantize(256).save(out, "PNG")
    return time.perf_counter() - started, out.getvalue()


def main():
    program = BUILD / "win64" / "bench" / "png_benchmark.exe"
    if not program.exists():
        print(f"{program} is missing: build first")
        return 1
    work = BUILD / "bench64"
    work.mkdir(parents=True, exist_ok=True)
    image = desktop_picture()
    raw = work / "desktop.raw"
    raw.write_bytes(raw_bytes(image))
    ours_png = work / "desktop.png"

    prefix = WinePrefix()
    prefix.ensure_created()
    prefix.keep_warm()
    try:
        done = prefix.run([str(program), windows_path(raw), windows_path(ours_png), str(ROUNDS)], timeout=600)
    finally:
        prefix.stop()
    found = re.search(r"median_ms=([\d.]+) size=(\d+) size_100kb=(\d+) size_16grays=(\d+)", done.stdout.decode())
    if done.returncode != 0 or not found:
        print(f"png_benchmark failed: {done.stdout.decode()} {done.stderr.decode()[-500:]}")
        return 1
    ours_ms = float(found.group(1))
    pillow = [pillow_round(image) for _ in range(ROUNDS)]
    pillow_ms = statistics.median(t for t, _ in pillow) * 1000
    pillow_png = pillow[0][1]
    ratio = ours_ms / pillow_ms
    print(f"1920x1080 desktop, 256 colours: ours {ours_ms:.1f} ms (wine64), Pillow {pillow_ms:.1f} ms: "
          f"ratio {ratio:.2f} ({'within' if ratio <= 1 else 'above'} target of 1.00)")
    print(f"  PSNR: ours {psnr(image, ours_png.read_bytes()):.2f} dB, Pillow {psnr(image, pillow_png):.2f} dB")
    print(f"  sizes: ours {int(found.group(2))} bytes, Pillow {len(pillow_png)} bytes; "
          f"pf100kb {int(found.group(3))} bytes, pf16Grays {int(found.group(4))} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
