#!/bin/sh
# Installs everything the build and the test tiers need on Debian (bookworm or later), as root.
# Safe to run again: packages already present are left alone, and nothing is printed then.
#
# Two steps: the packages the build and the 64-bit tiers need (required: a failure names the
# package and stops), then 32-bit Wine (optional: when a mirror cannot give it, this says so
# loudly and everything else still works; the 32-bit tier is then skipped).
set -eu

if [ "$(id -u)" -ne 0 ]; then
    echo "install-dependencies: run as root (apt-get and binfmt registration need it)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
trap 'rm -f "$log"' EXIT

REQUIRED="ca-certificates git cmake make ninja-build python3
          g++ clang libclang-rt-14-dev llvm
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
          libz-mingw-w64-dev zlib1g-dev googletest
          fp-compiler fp-units-rtl
          wine wine64 qemu-user-static xvfb xauth procps
          python3-pil pngcheck unzip cups cups-client printer-driver-cups-pdf poppler-utils"
OPTIONAL_32BIT="wine32:i386"

installed() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed'; }
missing_of() { for p in "$@"; do installed "$p" || printf ' %s' "$p"; done; }

# A mirror in the middle of a sync serves some index with the wrong size; apt then fails the
# whole update although every other list is fresh. Try a few times, then go on with what came.
lists_updated=no
update_lists() {
    [ "$lists_updated" = yes ] && return 0
    lists_updated=yes
    for attempt in 1 2 3; do
        if apt-get update -q >"$log" 2>&1; then return 0; fi
        [ "$attempt" -lt 3 ] && sleep 5
    done
    echo "install-dependencies: apt-get update failed 3 times; going on with the package lists it has:" >&2
    grep -E '^(E|W|Err):' "$log" | sed 's/^/    /' >&2 || true
}

# Names the packages of a failed install that apt cannot install, with apt's reason.
explain_failure() {
    for p in "$@"; do
        if ! apt-get install -s -y -q --no-install-recommends "$p" >"$log" 2>&1; then
            echo "    $p:" >&2
            grep -vE '^(Reading|Building|NOTE|Some packages|requested|distribution|or been|Unstable|The following)' \
                "$log" | sed 's/^/        /' >&2
        fi
    done
}

install_packages() {  # package...
    update_lists
    apt-get install -y -q --no-install-recommends "$@" >"$log" 2>&1
}

# 32-bit Wine needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi

# shellcheck disable=SC2086
missing=$(missing_of $REQUIRED)
if [ -n "$missing" ]; then
    echo "install-dependencies: installing$missing"
    # shellcheck disable=SC2086
    if ! install_packages $missing; then
        echo "install-dependencies: the required packages could not be installed:" >&2
        tail -n 5 "$log" | sed 's/^/    /' >&2
        # shellcheck disable=SC2086
        explain_failure $missing
        exit 1
    fi
fi

missing=$(missing_of $OPTIONAL_32BIT)
if [ -n "$missing" ]; then
    echo "install-dependencies: installing$missing"
    # shellcheck disable=SC2086
    if ! install_packages $missing; then
        {
            echo
            echo "!!! install-dependencies: 32-bit Wine ($OPTIONAL_32BIT) cannot be installed here."
            echo "!!! Everything else is installed; the 32-bit test tier will be skipped. apt said:"
            explain_failure $missing
            echo
        } >&2
    fi
fi

# The kernel here may not run 32-bit ELF programs itself; let qemu user emulation do it.
if ! mountpoint -q /proc/sys/fs/binfmt_misc; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
fi
if [ -w /proc/sys/fs/binfmt_misc/register ] && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        > /proc/sys/fs/binfmt_misc/register 2>/dev/null || true
fi
