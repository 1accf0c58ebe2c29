#!/bin/sh
# Cross-checks the property-stream compiler against an independent writer: Free Pascal's
# ObjectTextToBinary (tests/format/fpc_object_text.pas) converts the shipped resource texts
# too, and property_dump prints what the crash reporter's readers see in both streams. The
# bytes may differ (Free Pascal picks the smallest integer tags, short strings and tag 7 for
# identifiers); what the readers see may not. Fails on any difference and prints the diff.
set -eu
cd "$(dirname "$0")/../.."

bin=build/native/bin
work=build/native/fpc

for tool in property_stream_compiler property_dump; do
    if [ ! -x "$bin/$tool" ]; then
        echo "$bin/$tool is missing: run scripts/build.sh first" >&2
        exit 2
    fi
done
if ! command -v fpc >/dev/null 2>&1; then
    echo "fpc is missing: install fp-compiler and fp-units-rtl (scripts/install-dependencies.sh)" >&2
    exit 2
fi

mkdir -p "$work"
if ! fpc -v0 -l- -FE"$work" -FU"$work" tests/format/fpc_object_text.pas >"$work/fpc.log" 2>&1; then
    cat "$work/fpc.log" >&2
    exit 2
fi

passed=0
failed=0
for text in resources/crash_settings.txt resources/forms/*.txt; do
    name=$(basename "$text" .txt)
    rm -f "$work/$name".*
    "$work/fpc_object_text" "$text" "$work/$name.fpc.bin"
    "$bin/property_stream_compiler" "$text" "$work/$name.ours.bin"
    "$bin/property_dump" "$work/$name.fpc.bin" >"$work/$name.fpc.txt"
    "$bin/property_dump" "$work/$name.ours.bin" >"$work/$name.ours.txt"
    sizes="Free Pascal $(wc -c <"$work/$name.fpc.bin") bytes, ours $(wc -c <"$work/$name.ours.bin") bytes"
    if diff -u "$work/$name.fpc.txt" "$work/$name.ours.txt"; then
        echo "$name: the readers see the same $(wc -l <"$work/$name.ours.txt") lines ($sizes)"
        passed=$((passed + 1))
    else
        echo "$name: the readers see different records ($sizes)" >&2
        failed=$((failed + 1))
    fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
