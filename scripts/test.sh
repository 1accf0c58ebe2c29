#!/bin/sh
# Runs the test tiers: native unit tests, fuzzers, the oracles, the Win32 edge tests and the
# end-to-end tests under wine64, the 32-bit batch in the same (WoW64) prefix, and the
# benchmarks. Installs what it needs and builds first.
#
#   ./scripts/test.sh            every tier
#   ./scripts/test.sh TIER...    only these tiers
#   ./scripts/test.sh --list     the tier names
#
# Every tier runs even when an earlier one fails. Each tier ends with its count line,
# "N passed, N failed" (", N skipped" may follow); a tier that cannot run here is reported as
# SKIPPED with the reason. The summary gives each tier's outcome and duration, and the
# exit code says whether every tier that ran passed.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)

TIERS="unit fuzz decoder fpc readers win64 symbols e2e64 win32 bench"

describe() {
    case $1 in
        unit) echo "native unit tests" ;;
        fuzz) echo "fuzzers" ;;
        decoder) echo "instruction decoder against objdump" ;;
        fpc) echo "property streams against Free Pascal" ;;
        readers) echo "PNG, BMP and ZIP files against independent readers" ;;
        win64) echo "Win32 edge tests (wine64)" ;;
        symbols) echo "symbol store against binutils" ;;
        e2e64) echo "end-to-end tests (wine64)" ;;
        win32) echo "32-bit batch (i686 build in the WoW64 prefix)" ;;
        bench) echo "benchmarks (reported, not judged)" ;;
        *) return 1 ;;
    esac
}

if [ "${1:-}" = "--list" ]; then
    for t in $TIERS; do printf '%-8s %s\n' "$t" "$(describe "$t")"; done
    exit 0
fi
selected=${*:-$TIERS}
for t in $selected; do
    describe "$t" >/dev/null || { echo "unknown tier '$t'; the tiers are: $TIERS" >&2; exit 2; }
done

./scripts/install-dependencies.sh
./scripts/build.sh

# --- the tiers' commands --------------------------------------------------------------------

tier_unit() {
    xml=build/native/unit_tests.xml
    rm -f "$xml"
    status=0
    build/native/bin/unit_tests --gtest_brief=1 --gtest_output="xml:$xml" || status=$?
    python3 tests/harness/tier_counts.py "$xml" "$status"
}
tier_fuzz() { ./scripts/run-fuzzers.sh; }
tier_decoder() { tests/x86/run_oracle.sh; }
tier_fpc() { tests/format/fpc_cross_check.sh; }
# Debian's own Python: Pillow comes from its packages.
tier_readers() {
    status=0
    for check in tests/file_readers/check_*.py; do
        [ -e "$check" ] || continue
        /usr/bin/python3 "$check" || status=1
    done
    return $status
}
tier_win64() { python3 tests/e2e/run_win_tests.py 64; }
tier_symbols() { python3 tests/symbols/symbol_oracle.py; }
tier_e2e64() {
    python3 tests/harness/run_suite.py tests/e2e "test_launcher.py" "test_crash_reporter.py" "test_bug_report.py" \
        "test_mail.py" "test_print.py"
}
tier_win32() {
    status=0
    python3 tests/harness/run_suite.py tests/e2e "test_launcher_32.py" "test_crash_reporter_32.py" || status=1
    python3 tests/e2e/run_win_tests.py 32 || status=1
    return $status
}
tier_bench() {
    ran=0 not_run=0
    bench() {  # description, command...
        echo "--- $1"; shift
        if "$@"; then ran=$((ran + 1)); else echo "(the benchmark could not run)"; not_run=$((not_run + 1)); fi
    }
    bench "start-up" python3 bench/startup_benchmark.py
    bench "crash reporter: start-up, throw and catch, time to the first handler" \
        python3 bench/crash_reporter_benchmark.py
    bench "screenshot PNG against Pillow" /usr/bin/python3 bench/png_benchmark.py
    bench "instruction decoder against objdump" build/native/bin/x86_decoder_benchmark \
        /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/mshtml.dll
    bench "symbol store size and lookup speed" build/native/bin/symbol_store_benchmark \
        build/win32/debug/Brevant.exe build/win32/Brevant.exe build/win64/debug/Brevant.exe build/win64/Brevant.exe
    echo "$ran passed, 0 failed$([ "$not_run" -eq 0 ] || echo ", $not_run skipped")"
}

# Why a tier cannot run here, or nothing when it can.
skip_reason() {
    case $1 in
        win32)
            if [ ! -x /usr/lib/wine/wine ]; then
                echo "32-bit Wine is not installed (wine32:i386 could not be installed; the set-up said why)"
            elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
                echo "32-bit programs cannot run here (no binfmt registration for qemu-i386)"
            fi ;;
    esac
}

# --- running them ---------------------------------------------------------------------------

# Wine must leave nothing behind, also when a tier fails or the run is interrupted.
xvfb_pid=""
cleanup() {
    for prefix in "$root"/build/wineprefix*; do
        [ -d "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
work=$(mktemp -d)
trap cleanup EXIT
trap 'exit 130' INT TERM

# Wine gets a display of its own, on the first free number. A number can be taken without a
# file in /tmp showing it (a server in another root shares the abstract socket), so a server
# that does not stay up moves on to the next number.
display=90
while :; do
    if [ ! -e "/tmp/.X11-unix/X$display" ] && [ ! -e "/tmp/.X$display-lock" ]; then
        Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$root/build/xvfb.log" 2>&1 &
        xvfb_pid=$!
        sleep 1
        kill -0 "$xvfb_pid" 2>/dev/null && break
        xvfb_pid=""
    fi
    display=$((display + 1))
    [ "$display" -lt 200 ] || { echo "no free display number for Xvfb" >&2; exit 1; }
done
export DISPLAY=":$display"

COUNT_LINE='^[0-9]+ passed, [0-9]+ failed(, [0-9]+ skipped)?$'
summary=$work/summary
: >"$summary"
any_failed=no

# The sums of every count line in a tier's output: "passed failed skipped".
sum_counts() {
    grep -E "$COUNT_LINE" "$1" | tr -d ',' |
        awk '{ p += $1; f += $3; s += ($5 == "" ? 0 : $5) } END { print p + 0, f + 0, s + 0 }'
}

run_tier() {  # name
    name=$1 title=$(describe "$1")
    echo
    echo "=== $title ($name)"
    reason=$(skip_reason "$name")
    if [ -n "$reason" ]; then
        echo "SKIPPED: $reason"
        printf '%s\t%s\t%s\t%s\n' "$title" "SKIPPED: $reason" "-" "0 0 1" >>"$summary"
        return
    fi
    log=$work/$name.log
    started=$(date +%s)
    { status=0; "tier_$name" || status=$?; echo "$status" >"$work/$name.status"; } 2>&1 | tee "$log"
    status=$(cat "$work/$name.status")
    seconds=$(($(date +%s) - started))
    set -- $(sum_counts "$log")
    passed=$1 failed=$2 skipped=$3
    # A tier that stopped without counting, or whose exit code disagrees, failed once more.
    if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
    # The tier's last line is its total: added unless its one count line already says it.
    total="$passed passed, $failed failed$([ "$skipped" -eq 0 ] || echo ", $skipped skipped")"
    if [ "$(grep -cE "$COUNT_LINE" "$log")" -ne 1 ] || [ "$(tail -n 1 "$log")" != "$total" ]; then
        echo "$total"
    fi
    if [ "$failed" -eq 0 ]; then outcome=passed; else outcome=FAILED; any_failed=yes; fi
    printf '%s\t%s\t%s\t%s\n' "$title" "$outcome" "${seconds}s" "$passed $failed $skipped" >>"$summary"
}

run_started=$(date +%s)
for t in $selected; do run_tier "$t"; done

echo
echo "=== summary"
while IFS="$(printf '\t')" read -r title outcome seconds counts; do
    set -- $counts
    if [ "$outcome" = passed ] || [ "$outcome" = FAILED ]; then
        outcome="$outcome: $1 passed, $2 failed$([ "$3" -eq 0 ] || echo ", $3 skipped")"
    fi
    printf '  %-46s %6s  %s\n' "$title" "$seconds" "$outcome"
done <"$summary"
elapsed=$(($(date +%s) - run_started))
echo "  all tiers: $((elapsed / 60)) min $((elapsed % 60)) s"
awk -F '\t' '{ split($4, c, " "); p += c[1]; f += c[2]; s += c[3] } END {
    printf "%d passed, %d failed%s\n", p, f, (s ? sprintf(", %d skipped", s) : "") }' "$summary"
[ "$any_failed" = no ]
