#!/bin/sh
# Runs every libFuzzer target of the native build for a bounded time, each on a working
# copy of its seed corpus (build/native/fuzz-work/<name>/corpus; the seeds in
# tests/fuzz/corpus stay as they are). Each folder tests/fuzz/corpus/<name> names one
# target, build/native/bin/<name>_fuzzer. FUZZ_SECONDS sets the time per target (default 30).
# Exits non-zero on a crash, a timeout, running out of memory or any sanitizer report.
set -eu
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
case $seconds in
    '' | *[!0-9]*) echo "FUZZ_SECONDS must be a whole number of seconds, not '$seconds'" >&2; exit 2 ;;
esac

bin=build/native/bin
work=build/native/fuzz-work
passed=0
failed=0

for corpus in tests/fuzz/corpus/*/; do
    name=$(basename "$corpus")
    fuzzer=$bin/${name}_fuzzer
    if [ ! -x "$fuzzer" ]; then
        echo "$fuzzer is missing: run scripts/build.sh first (the fuzzers need clang)" >&2
        exit 2
    fi
    dir=$work/$name
    rm -rf "$dir/artifacts"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp tests/fuzz/corpus/$name/* "$dir/corpus/"
    log=$dir/fuzz.log

    echo "== $name: $seconds s"
    status=0
    "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$dir/artifacts/" -print_final_stats=1 "$dir/corpus" >"$log" 2>&1 || status=$?

    problem=
    [ "$status" -eq 0 ] || problem="exit status $status"
    if grep -q -e 'ERROR: AddressSanitizer' -e 'ERROR: LeakSanitizer' -e 'runtime error:' \
        -e 'ERROR: libFuzzer' -e '==ERROR' "$log"; then
        problem="${problem:+$problem, }sanitizer or libFuzzer report"
    fi
    if [ -n "$(ls -A "$dir/artifacts")" ]; then
        problem="${problem:+$problem, }artifacts in $dir/artifacts"
    fi

    if [ -n "$problem" ]; then
        echo "FAILED $name: $problem (log: $log)" >&2
        tail -n 40 "$log" >&2
        failed=$((failed + 1))
    else
        grep -e '^Done' -e 'stat::number_of_executed_units' -e 'stat::peak_rss_mb' "$log" || true
        passed=$((passed + 1))
    fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
