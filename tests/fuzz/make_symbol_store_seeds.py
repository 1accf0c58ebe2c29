#!/usr/bin/env python3
"""Writes the store seeds of the symbol_store fuzzer again after the store's format changed.

    python3 tests/fuzz/make_symbol_store_seeds.py

raw_sample_store and packed_sample_store hold the small table of tests/unit/symbol_store_test.cpp
(symbols/store_layout.h, symbols/store_packing.h); packed_brevant_x86_64_store is the packed store
the last build wrote for the 64-bit Brevant.exe. The first byte of each seed picks the fuzzer's
mode: 1 packed store, 2 uncompressed store. executable_headers holds no store and stays."""

import struct
import zlib
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
CORPUS = REPO / "tests" / "fuzz" / "corpus" / "symbol_store"
BUILT_STORE = REPO / "build" / "win64" / "launcher" / "Brevant_symbols" / "Brevant.qrx"

STORE_MAGIC, STORE_VERSION = 0x4D595342, 2
PACKED_MAGIC, STORE_KEY = 0x53585251, 0x9E3779B9
NO_UNIT = 0xFFFFFFFF

# The sample table: units, (start, name, unit), (start, line, unit), (start, unit).
CODE = (0x1000, 0x2000)
UNITS = ["main", "vector", "std_function"]
SYMBOLS = [(0x1000, "Start", 0), (0x1100, "Helper(int)", 1), (0x1800, "Tail", NO_UNIT)]
LINES = [(0x1000, 10, 0), (0x1010, 11, 0), (0x1020, 288, 2), (0x1030, 12, 0), (0x1040, 13, NO_UNIT),
         (0x1100, 200, 1), (0x1140, 0, 1), (0x2000, 0, NO_UNIT)]
SEGMENTS = [(0x1000, 0), (0x1100, 1), (0x1140, NO_UNIT)]
DEBUG_INFO = "sample build"


class Pool:
    def __init__(self):
        self.data, self.offsets = bytearray(), {}

    def add(self, text):
        if text not in self.offsets:
            self.offsets[text] = len(self.data)
            self.data += text.encode() + b"\0"
        return self.offsets[text]


def sample_store():
    pool = Pool()
    debug_info = pool.add(DEBUG_INFO)
    words = [pool.add(unit) for unit in UNITS]
    for start, name, unit in SYMBOLS:
        words += [start, pool.add(name), unit]
    for start, line, unit in LINES:
        words += [start, line & 0xFFFFFFFF, unit]
    for start, unit in SEGMENTS:
        words += [start, unit]
    header = [STORE_MAGIC, STORE_VERSION, *CODE, len(UNITS), len(SYMBOLS), len(LINES), len(SEGMENTS),
              len(pool.data), debug_info]
    return struct.pack(f"<{len(header) + len(words)}I", *header, *words) + bytes(pool.data)


def encipher(data, key=STORE_KEY):
    state, out = key or 1, bytearray(data)
    for index in range(len(out)):
        state ^= (state << 13) & 0xFFFFFFFF
        state ^= state >> 17
        state ^= (state << 5) & 0xFFFFFFFF
        out[index] ^= state >> 24
    return bytes(out)


def pack(store):
    body = zlib.compress(store, 9)
    return struct.pack("<4I", PACKED_MAGIC, len(store), len(body), zlib.crc32(store)) + encipher(body)


def main():
    store = sample_store()
    (CORPUS / "raw_sample_store").write_bytes(b"\x02" + store)
    (CORPUS / "packed_sample_store").write_bytes(b"\x01" + pack(store))
    (CORPUS / "packed_brevant_x86_64_store").write_bytes(b"\x01" + BUILT_STORE.read_bytes())


if __name__ == "__main__":
    main()
