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

passed=0
failed=0
skipped=0
outcome() {  # status of one check
    if [ "$1" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}

# Wine's DLLs of one architecture; those of 32-bit Wine are missing when it could not be
# installed here, and are then skipped (counted as such), not failed.
wine_dlls() {  # architecture directory, prefix directory, names...
    arch=$1 prefix_dir=$2; shift 2
    for name in "$@"; do
        found=
        for dir in "/usr/lib/$arch" "build/wineprefix64/drive_c/windows/$prefix_dir"; do
            if [ -f "$dir/$name" ]; then found="$dir/$name"; break; fi
        done
        if [ -n "$found" ]; then
            echo "$found"
        else
            echo "skipped: Wine's $name for $arch is not installed" >&2
        fi
    done
}

# Hand-written coverage of the instruction set, assembled and linked for both modes.
coverage=build/native/x86-coverage
mkdir -p "$coverage"
i686-w64-mingw32-as -I tests/x86 -o "$coverage/coverage32.o" tests/x86/instruction_coverage_32.s
i686-w64-mingw32-ld -o "$coverage/coverage32.exe" -e start "$coverage/coverage32.o"
x86_64-w64-mingw32-as -I tests/x86 -o "$coverage/coverage64.o" tests/x86/instruction_coverage_64.s 2>/dev/null
x86_64-w64-mingw32-ld -o "$coverage/coverage64.exe" -e start "$coverage/coverage64.o"

files="$coverage/coverage32.exe $coverage/coverage64.exe build/win32/Brevant.exe build/win64/Brevant.exe"
files="$files $(wine_dlls x86_64-linux-gnu/wine/x86_64-windows system32 ntdll.dll kernelbase.dll user32.dll)"
wine32_dlls=$(wine_dlls i386-linux-gnu/wine/i386-windows syswow64 ntdll.dll kernelbase.dll user32.dll)
[ -n "$wine32_dlls" ] || skipped=$((skipped + 3))
files="$files $wine32_dlls"
[ -n "$(wine_dlls x86_64-linux-gnu/wine/x86_64-windows system32 ntdll.dll)" ] || { echo "Wine's 64-bit DLLs are missing" >&2; exit 2; }
# Random bytes, the same each run, for the lengths of encodings no compiler emits.
python3 -c 'import random; r = random.Random(20260101); import sys; sys.stdout.buffer.write(bytes(r.randrange(256) for _ in range(1 << 20)))' \
    >"$coverage/random.bin"

# One check per file, so that the count says how much was compared.
for file in $files; do
    status=0
    "$oracle" --show "${ORACLE_SHOW:-10}" "$file" || status=1
    outcome $status
done
for mode in --raw32 --raw64; do
    status=0
    "$oracle" --show "${ORACLE_SHOW:-10}" --lengths-only $mode "$coverage/random.bin" || status=1
    outcome $status
done

# x86dump, the decoder's command-line view: one line per instruction, a PE file or a clear no.
x86dump=build/native/bin/x86dump
first=$("$x86dump" "$coverage/coverage32.exe" | head -n 1)
status=0
[ "$first" = "401000 2 add    al,0x1" ] || { echo "x86dump: unexpected first line '$first'"; status=1; }
outcome $status
status=0
"$x86dump" --function 1000 "$coverage/coverage64.exe" | grep -qx "IsValid true" || { echo "x86dump --function failed"; status=1; }
outcome $status
status=0
if "$x86dump" tests/x86/run_oracle.sh 2>/dev/null; then echo "x86dump took a shell script for a PE file"; status=1; fi
outcome $status

echo "$passed passed, $failed failed$([ "$skipped" -eq 0 ] || echo ", $skipped skipped")"
[ "$failed" -eq 0 ]
