#!/bin/sh
# Compares the instruction decoder with GNU objdump over hand-written coverage of the
# instruction set, our own Brevant.exe builds and Wine's ntdll, kernelbase and user32
# for both architectures, and (lengths only) a megabyte of random bytes in both modes
# (see objdump_oracle.cpp).
# Wine's builtin PE DLLs are read where the wine packages install them; a prefix made
# by the tests holds copies of the same files.
set -eu
cd "$(dirname "$0")/../.."

oracle=build/native/bin/x86_oracle
[ -x "$oracle" ] || { echo "$oracle is missing: run scripts/build.sh first" >&2; exit 2; }

find_dll() {  # architecture directory, prefix directory, name
    for dir in "/usr/lib/$1" "build/wineprefix64/drive_c/windows/$2"; do
        if [ -f "$dir/$3" ]; then echo "$dir/$3"; return; fi
    done
    echo "missing: $3 for $1" >&2
    exit 2
}

# Hand-written coverage of the instruction set, assembled and linked for both modes.
coverage=build/native/x86-coverage
mkdir -p "$coverage"
i686-w64-mingw32-as -I tests/x86 -o "$coverage/coverage32.o" tests/x86/instruction_coverage_32.s
i686-w64-mingw32-ld -o "$coverage/coverage32.exe" -e start "$coverage/coverage32.o"
x86_64-w64-mingw32-as -I tests/x86 -o "$coverage/coverage64.o" tests/x86/instruction_coverage_64.s 2>/dev/null
x86_64-w64-mingw32-ld -o "$coverage/coverage64.exe" -e start "$coverage/coverage64.o"

files="$coverage/coverage32.exe $coverage/coverage64.exe build/win32/Brevant.exe build/win64/Brevant.exe"
for name in ntdll.dll kernelbase.dll user32.dll; do
    files="$files $(find_dll x86_64-linux-gnu/wine/x86_64-windows system32 $name)"
    files="$files $(find_dll i386-linux-gnu/wine/i386-windows syswow64 $name)"
done
# Random bytes, the same each run, for the lengths of encodings no compiler emits.
python3 -c 'import random; r = random.Random(20260101); import sys; sys.stdout.buffer.write(bytes(r.randrange(256) for _ in range(1 << 20)))' \
    >"$coverage/random.bin"

status=0
# shellcheck disable=SC2086
"$oracle" --show "${ORACLE_SHOW:-10}" $files || status=1
"$oracle" --show "${ORACLE_SHOW:-10}" --lengths-only --raw32 "$coverage/random.bin" || status=1
"$oracle" --show "${ORACLE_SHOW:-10}" --lengths-only --raw64 "$coverage/random.bin" || status=1

# x86dump, the decoder's command-line view: one line per instruction, a PE file or a clear no.
x86dump=build/native/bin/x86dump
first=$("$x86dump" "$coverage/coverage32.exe" | head -n 1)
[ "$first" = "401000 2 add    al,0x1" ] || { echo "x86dump: unexpected first line '$first'"; status=1; }
"$x86dump" --function 1000 "$coverage/coverage64.exe" | grep -qx "IsValid true" || { echo "x86dump --function failed"; status=1; }
if "$x86dump" tests/x86/run_oracle.sh 2>/dev/null; then echo "x86dump took a shell script for a PE file"; status=1; fi
exit $status
