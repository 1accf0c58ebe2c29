#!/usr/bin/env python3
"""Checks the symbol stores against binutils on the unstripped builds they came from.

For Brevant.exe and the symbol lookup host of both architectures, the addresses asked are
every public function's start, an address inside each function, and every line-table row
with the addresses just after and just before it. For each, the store's answer must name
the same function start and name as nm (the symbol at or before the address), and the same
unit (source file name without folder and extension) and line as `llvm-addr2line -f -C`:
for code taken from a header or an included source, the file that holds the line, not the
function's. Each program must have such addresses among those asked. Addresses without a
line expect binutils' `addr2line` unit.

The stripped executables answer through symdump, which reads the embedded store natively;
the 64-bit host also answers for itself at run time under wine64, through the lookups a
crash report uses. symdump must refuse a file without a store and one whose store is
damaged. With `--runtime 32` only the 32-bit host answers at run time, under 32-bit Wine;
the test command leaves that out, because qemu's user emulation here crashes (signal 11)
on the host's lookups from several threads, while the 32-bit Win32 edge tests of the 32-bit
batch cover the run-time lookups single-threaded. Exit code 0 when no answer disagrees."""

import bisect
import re
import subprocess
import sys
import tempfile
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
BUILD = REPO / "build"
sys.path.insert(0, str(REPO / "tests" / "e2e"))

SYMDUMP = BUILD / "native" / "bin" / "symdump"
TOOL_PREFIX = {32: "i686-w64-mingw32-", 64: "x86_64-w64-mingw32-"}
BATCH = 4000


def run(arguments, input_text=None):
    return subprocess.run(arguments, input=input_text, capture_output=True, text=True, check=True).stdout


def code_sections(bits, image):
    """(start, end) virtual address ranges of the sections flagged CODE, and the image base."""
    ranges = []
    lines = run([TOOL_PREFIX[bits] + "objdump", "-h", str(image)]).splitlines()
    for header, flags in zip(lines, lines[1:]):
        fields = header.split()
        if len(fields) >= 7 and fields[0].isdigit() and "CODE" in flags:
            start = int(fields[3], 16)
            ranges.append((start, start + int(fields[2], 16)))
    base = int(re.search(r"ImageBase\s+([0-9a-fA-F]+)", run([TOOL_PREFIX[bits] + "objdump", "-p", str(image)])).group(1), 16)
    return ranges, base


def public_symbols(bits, image, code):
    """address -> demangled names, for symbols in code that are not section names."""
    symbols = {}
    for line in run([TOOL_PREFIX[bits] + "nm", "-n", "--defined-only", "-C", str(image)]).splitlines():
        address, _, name = line[:line.index(" ")], line[line.index(" ") + 1], line[line.index(" ") + 3:]
        address = int(address, 16)
        if name.startswith(".") or not any(start <= address < end for start, end in code):
            continue
        symbols.setdefault(address, set()).add(name)
    return symbols


def line_rows(bits, image, code):
    listing = run([TOOL_PREFIX[bits] + "objdump", "-w", "--dwarf=decodedline", str(image)])
    rows = set()
    for match in re.finditer(r"^\S.*?\s+(?:\d+|-)\s+0x([0-9a-f]+)", listing, re.MULTILINE):
        address = int(match.group(1), 16)
        if any(start <= address < end for start, end in code):
            rows.add(address)
    return rows


def addresses_to_ask(symbols, rows, code):
    starts = sorted(symbols)
    asked = set(starts)
    for start, following in zip(starts, starts[1:] + [max(end for _, end in code)]):
        asked.add(start + (following - start) // 2)
    for row in rows:
        asked.update((row, row + 1, row - 1))
    return sorted(address for address in asked if any(start <= address < end for start, end in code))


def unit_of(path):
    if path.startswith("??"):
        return ""
    name = re.split(r"[\\/]", path)[-1]
    return name[:name.rindex(".")] if "." in name[1:] else name


def locations(command, addresses):
    """address -> (unit, line) as an addr2line-style tool answers with -a -f -C."""
    answers = {}
    for chunk in range(0, len(addresses), BATCH):
        part = addresses[chunk:chunk + BATCH]
        output = run(command, "\n".join(f"0x{address:x}" for address in part) + "\n").splitlines()
        for index, address in enumerate(part):
            location = output[3 * index + 2].split(" (discriminator")[0]
            path, _, line = location.rpartition(":")
            answers[address] = (unit_of(path), int(line) if line.isdigit() else 0)
    return answers


def addr2line_answers(bits, image, addresses):
    """Lines and their files as LLVM's addr2line reads them: binutils' addr2line names the
    compilation unit instead of the header or included source for some functions (the
    handlers of std::function, crtexe.c included by ucrtexe.c). Where there is no line,
    the store keeps binutils' unit, so that is what is expected there."""
    options = ["-a", "-f", "-C", "-e", str(image)]
    binutils = locations([TOOL_PREFIX[bits] + "addr2line"] + options, addresses)
    llvm = locations(["llvm-addr2line"] + options, addresses)
    return {address: llvm[address] if llvm[address][1] > 0 else binutils[address] for address in addresses}


def symdump_answers(image, addresses):
    answers = {}
    for chunk in range(0, len(addresses), BATCH):
        output = run([str(SYMDUMP), str(image)] + [f"{address:x}" for address in addresses[chunk:chunk + BATCH]])
        for line in output.splitlines():
            address, start, unit, number, name = line.split("\t", 4)
            answers[int(address, 16)] = (int(start, 16) if start else None, name, unit, int(number))
    return answers


def host_answers(bits, image, base, addresses):
    """The lookup host describes the addresses of its own code under Wine."""
    from wine_prefix import WinePrefix, windows_path
    prefix = WinePrefix()
    prefix.ensure_created()
    try:
        with tempfile.TemporaryDirectory(dir=BUILD) as work:
            request, reply = Path(work) / "addresses.txt", Path(work) / "answers.txt"
            request.write_text("".join(f"{address - base:x}\n" for address in addresses))
            completed = prefix.run([str(image), windows_path(request), windows_path(reply)], timeout=900)
            if completed.returncode != 0:
                raise RuntimeError(f"lookup host failed with exit code {completed.returncode}")
            answers = {}
            for line in reply.read_text().splitlines():
                offset, start, unit, number, name = line.split("\t", 4)
                answers[base + int(offset, 16)] = (base + int(start, 16) if start else None, name, unit, int(number))
            return answers
    finally:
        prefix.stop()


def disagreements(symbols, lines, answers, addresses):
    starts = sorted(symbols)
    found = []
    index = 0
    for address in addresses:
        while index < len(starts) and starts[index] <= address:
            index += 1
        expected_start = starts[index - 1] if index > 0 else None
        start, name, unit, line = answers.get(address, (None, "", "", 0))
        expected_unit, expected_line = lines[address]
        if start != expected_start or (expected_start is not None and name not in symbols[expected_start]):
            found.append(f"{address:x}: function {start and hex(start)} {name!r}, nm says "
                         f"{expected_start and hex(expected_start)} {sorted(symbols.get(expected_start, []))}")
        if (unit, line) != (expected_unit, expected_line):
            found.append(f"{address:x}: {unit}:{line}, addr2line says {expected_unit}:{expected_line}")
    return found


def lines_of_other_files(symbols, lines, addresses):
    """How many asked addresses have a line of another file than their function's start:
    inlined header code and included sources, which must be named with their own file."""
    starts = sorted(symbols)
    count = 0
    for address in addresses:
        at = bisect.bisect_right(starts, address) - 1
        if at >= 0 and lines[address][1] > 0 and lines[address][0] != lines[starts[at]][0]:
            count += 1
    return count


def check(label, bits, debug_image, answer):
    code, base = code_sections(bits, debug_image)
    symbols = public_symbols(bits, debug_image, code)
    addresses = addresses_to_ask(symbols, line_rows(bits, debug_image, code), code)
    lines = addr2line_answers(bits, debug_image, addresses)
    found = disagreements(symbols, lines, answer(base, addresses), addresses)
    with_line = sum(1 for address in addresses if lines[address][1] > 0)
    other_files = lines_of_other_files(symbols, lines, addresses)
    print(f"{label}: {len(addresses)} addresses ({with_line} with a line, {other_files} of them in another "
          f"file than their function), {len(symbols)} functions, {len(found)} disagreements")
    for text in found[:20]:
        print("   ", text)
    # Without such addresses the check would say nothing about code taken from headers.
    if other_files == 0:
        print("    no address lies in code of another file than its function")
    return not found and other_files > 0


def symdump_refuses(label, image):
    completed = subprocess.run([str(SYMDUMP), "--info", str(image)], capture_output=True, text=True)
    refused = completed.returncode != 0 and "no readable symbol store" in completed.stderr
    print(f"symdump on {label}: {'refused' if refused else 'NOT REFUSED'} ({completed.stderr.strip()})")
    return refused


def damaged_copy(image, packed_store, directory):
    """A copy of the program with bytes in the middle of its packed store changed."""
    data = bytearray(image.read_bytes())
    store = packed_store.read_bytes()
    at = data.find(store[:64])
    if at < 0:
        raise RuntimeError(f"the packed store is not found in {image}")
    for offset in range(at + len(store) // 2, at + len(store) // 2 + 16):
        data[offset] ^= 0x5A
    copy = Path(directory) / "Brevant-damaged.exe"
    copy.write_bytes(data)
    return copy


def check_runtime(bits):
    host = BUILD / f"win{bits}" / "tests" / "lookup_host.exe"
    return check(f"lookup_host {bits}-bit, its own lookups at run time under Wine", bits,
                 host.parent / "debug" / host.name,
                 lambda base, addresses: host_answers(bits, host, base, addresses))


def main():
    if sys.argv[1:] == ["--runtime", "32"]:
        return 0 if check_runtime(32) else 1
    outcomes = []
    out = BUILD / "win64"
    outcomes.append(symdump_refuses("the first link (no store)",
                                    out / "launcher" / "Brevant_first_link" / "Brevant.exe"))
    packed_store = out / "launcher" / "Brevant_symbols" / "Brevant.qrx"
    with tempfile.TemporaryDirectory(dir=BUILD) as work:
        damaged = damaged_copy(out / "debug" / "Brevant.exe", packed_store, work)
        outcomes.append(symdump_refuses("a copy with a damaged store", damaged))
    for bits in (32, 64):
        out = BUILD / f"win{bits}"
        for name, shipped in (("Brevant", out / "Brevant.exe"), ("lookup_host", out / "tests" / "lookup_host.exe")):
            debug = shipped.parent / "debug" / shipped.name
            outcomes.append(check(f"{name} {bits}-bit, symdump on the stripped file", bits, debug,
                                  lambda base, addresses, shipped=shipped: symdump_answers(shipped, addresses)))
    outcomes.append(check_runtime(64))
    print(f"{outcomes.count(True)} passed, {outcomes.count(False)} failed")
    return 0 if all(outcomes) else 1


if __name__ == "__main__":
    sys.exit(main())
