#!/bin/sh
# Runs every test tier: native unit tests, fuzzers, the Win32 edge tests and the
# end-to-end tests under wine64, and the 32-bit batch under 32-bit Wine. Installs what
# it needs first. Every tier runs even when an earlier one fails; the exit code says
# whether all passed.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-dependencies.sh
./scripts/build.sh

failed=""
tier() {  # name, command...
    name=$1; shift
    echo
    echo "=== $name"
    if "$@"; then echo "=== $name: passed"; else echo "=== $name: FAILED"; failed="$failed
  $name"; fi
}

# Wine must leave nothing behind, also when a tier fails or the run is interrupted.
xvfb_pid=""
cleanup() {
    for prefix in "$root/build/wineprefix64" "$root/build/wineprefix32"; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# Wine gets a display of its own, on the first free number.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$root/build/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"

tier "native unit tests" build/native/bin/unit_tests --gtest_brief=1
tier "fuzzers" ./scripts/run-fuzzers.sh
tier "instruction decoder against objdump" tests/x86/run_oracle.sh
tier "property streams against Free Pascal" tests/format/fpc_cross_check.sh
tier "Win32 edge tests (wine64)" python3 tests/e2e/run_win_tests.py 64
tier "symbol store against binutils" python3 tests/symbols/symbol_oracle.py
tier "end-to-end tests (wine64)" python3 -m unittest discover -s tests/e2e -p "test_launcher.py" -v
if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] || [ "$(uname -m)" = i686 ]; then
    tier "32-bit batch (32-bit Wine)" python3 -m unittest discover -s tests/e2e -p "test_launcher_32.py" -v
else
    echo
    echo "!!! 32-bit batch SKIPPED: 32-bit programs cannot run here (no binfmt registration for qemu-i386)."
    echo "!!! Run as root on a machine that allows binfmt_misc to include it."
fi
echo
echo "=== start-up benchmark (reported, not judged)"
python3 bench/startup_benchmark.py || echo "(the benchmark could not run)"
echo
echo "=== instruction decoder benchmark against objdump (reported, not judged)"
build/native/bin/x86_decoder_benchmark /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mshtml.dll ||
    echo "(the benchmark could not run)"
echo
echo "=== symbol store size and lookup speed (reported, not judged)"
build/native/bin/symbol_store_benchmark build/win32/debug/Brevant.exe build/win32/Brevant.exe \
    build/win64/debug/Brevant.exe build/win64/Brevant.exe || echo "(the benchmark could not run)"

if [ -n "$failed" ]; then
    echo
    echo "FAILED tiers:$failed"
    exit 1
fi
echo
echo "All test tiers passed."
