#!/usr/bin/python3
"""The screenshot PNG encoder against Pillow on a 1920 x 1080 desktop-like picture (windows,
title bars, text-like glyphs, gradients; fixed seed).

Our side: bench/png_benchmark.exe under wine64 encodes the picture as pf256Colors several times
and prints its median time of the encoding alone. Pillow's side, in this process: quantize to
256 colours and save as PNG, median of a few runs. Prints both times, the ratio ours/Pillow
(target: at most 1), the PSNR of both against the source, and the sizes of the pf100kb and
pf16Grays files. Run with Debian's /usr/bin/python3 (Pillow). With --native PROGRAM a native
build of the same program is timed instead of the Windows one under Wine."""

import io
import math
import random
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageStat

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from wine_prefix import BUILD, WinePrefix, windows_path  # noqa: E402

WIDTH, HEIGHT = 1920, 1080
ROUNDS = 7
TARGET = 1.0


def gradient(size, top, bottom):
    """A vertical gradient between two colours."""
    width, height = size
    column = Image.new("RGB", (1, height))
    column.putdata([tuple(top[c] + (bottom[c] - top[c]) * y // max(1, height - 1) for c in range(3))
                    for y in range(height)])
    return column.resize(size)


def glyph_lines(draw, random_source, box, colour):
    """Rows of small strokes and dots standing in for text."""
    left, top, right, bottom = box
    for line_top in range(top, bottom - 12, 16):
        x = left
        while x < right - 10:
            word = random_source.randint(2, 9)
            for _ in range(word):
                if x >= right - 8:
                    break
                height = random_source.choice((7, 7, 9, 11))
                draw.rectangle((x, line_top + 11 - height, x + random_source.randint(1, 5), line_top + 11), fill=colour)
                x += random_source.randint(5, 8)
            x += 6


def desktop_picture():
    random_source = random.Random(20240607)
    picture = gradient((WIDTH, HEIGHT), (24, 74, 140), (110, 170, 210))
    draw = ImageDraw.Draw(picture)
    for _ in range(9):
        width, height = random_source.randint(380, 900), random_source.randint(260, 640)
        left, top = random_source.randint(0, WIDTH - width), random_source.randint(0, HEIGHT - 80 - height)
        background = random_source.choice(((255, 255, 255), (240, 240, 240), (30, 30, 30), (250, 250, 235)))
        draw.rectangle((left - 1, top - 1, left + width, top + height), fill=(90, 90, 90))
        draw.rectangle((left, top, left + width - 1, top + height - 1), fill=background)
        title = gradient((width, 28), (0, 84, 166), (0, 120, 215))
        picture.paste(title, (left, top))
        glyph_lines(draw, random_source, (left + 8, top + 6, left + width // 2, top + 24), (255, 255, 255))
        ink = (20, 20, 20) if sum(background) > 300 else (220, 220, 220)
        glyph_lines(draw, random_source, (left + 12, top + 40, left + width - 12, top + height - 12), ink)
        if random_source.random() < 0.5:
            # A picture inside the window: a smooth two-way gradient.
            inner = (min(300, width - 40), min(180, height - 80))
            image = gradient(inner, (random_source.randrange(256), 40, 200), (250, random_source.randrange(256), 20))
            image = ImageChops.multiply(image, gradient(inner[::-1], (255, 255, 255), (60, 60, 60)).transpose(
                Image.Transpose.ROTATE_90))
            picture.paste(image, (left + width - inner[0] - 20, top + 50))
    draw.rectangle((0, HEIGHT - 40, WIDTH, HEIGHT), fill=(32, 32, 40))
    glyph_lines(draw, random_source, (60, HEIGHT - 30, 700, HEIGHT - 8), (230, 230, 230))
    return picture


def raw_bytes(picture):
    """Width, height and the pixels as a DIB holds them: BGRX, rows bottom-up."""
    header = WIDTH.to_bytes(4, "little") + HEIGHT.to_bytes(4, "little")
    return header + picture.transpose(Image.Transpose.FLIP_TOP_BOTTOM).tobytes("raw", "BGRX")


def psnr(source, png_bytes):
    with Image.open(io.BytesIO(png_bytes)) as decoded:
        difference = ImageChops.difference(source, decoded.convert("RGB"))
    squared = statistics.mean(rms ** 2 for rms in ImageStat.Stat(difference).rms)
    return float("inf") if squared == 0 else 10 * math.log10(255 ** 2 / squared)


def pillow_encoding(picture):
    times, data = [], b""
    for _ in range(ROUNDS):
        started = time.perf_counter()
        output = io.BytesIO()
        picture.quantize(256).save(output, "PNG")
        times.append((time.perf_counter() - started) * 1000)
        data = output.getvalue()
    return statistics.median(times), data


def run_ours(arguments, native):
    if native:
        completed = subprocess.run(arguments, capture_output=True, timeout=300)
        return completed.returncode, completed.stdout.decode()
    prefix = WinePrefix()
    prefix.ensure_created()
    try:
        executable = BUILD / "win64" / "bench" / "png_benchmark.exe"
        completed = prefix.run([str(executable)] + [windows_path(a) for a in arguments[1:-1]] + [arguments[-1]],
                               timeout=300)
    finally:
        prefix.stop()
    return completed.returncode, completed.stdout.decode(errors="replace")


def main():
    native = sys.argv[1:2] == ["--native"]
    picture = desktop_picture()
    with tempfile.TemporaryDirectory(dir=BUILD) as temporary:
        folder = Path(temporary)
        (folder / "desktop.raw").write_bytes(raw_bytes(picture))
        program = sys.argv[2] if native else "png_benchmark.exe"
        code, output = run_ours([program, str(folder / "desktop.raw"), str(folder), str(ROUNDS)], native)
        if code != 0:
            raise SystemExit(f"png_benchmark ended with {code}: {output}")
        values = dict(line.split(" ", 1) for line in output.splitlines() if line)
        ours_ms = float(values["median_ms"])
        sizes = dict(line.split()[1:] for line in output.splitlines() if line.startswith("size "))
        ours_psnr = psnr(picture, (folder / "pf256Colors.png").read_bytes())
        # The IHDR's bit depth: 4 for the gray form.
        limited_depth = "16 grays" if (folder / "pf100kb.png").read_bytes()[24] == 4 else "256 colours"
    pillow_ms, pillow_png = pillow_encoding(picture)
    ratio = ours_ms / pillow_ms
    print(f"1920x1080 desktop picture, median of {ROUNDS}")
    print(f"ours (pf256Colors{', native' if native else ', wine64'}): {ours_ms:.1f} ms, {sizes['pf256Colors']} bytes, "
          f"PSNR {ours_psnr:.2f} dB")
    print(f"Pillow quantize(256) + PNG save: {pillow_ms:.1f} ms, {len(pillow_png)} bytes, "
          f"PSNR {psnr(picture, pillow_png):.2f} dB")
    print(f"ratio ours/Pillow {ratio:.2f} ({'within' if ratio <= TARGET else 'above'} target of {TARGET})")
    print(f"pf100kb: {sizes['pf100kb']} bytes ({limited_depth}); pf16Grays: {sizes['pf16Grays']} bytes")
    return 0 if ratio <= TARGET else 1


if __name__ == "__main__":
    sys.exit(main())
