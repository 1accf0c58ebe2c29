#!/bin/sh
# Installs everything the build and the test tiers need on Debian (bookworm or later), as root.
# Safe to run again: packages already present are left alone.
set -eu

if [ "$(id -u)" -ne 0 ]; then
    echo "install-dependencies: run as root (apt-get and binfmt registration need it)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive

missing=""
need() { dpkg-query -W -f='${Status}\n' "$1" 2>/dev/null | grep -q '^install ok installed' || missing="$missing $1"; }

# 32-bit Wine needs the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt-get update -q
    updated=yes
fi

for p in ca-certificates git cmake make ninja-build python3 \
         g++ clang libclang-rt-14-dev llvm \
         g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 \
         libz-mingw-w64-dev zlib1g-dev googletest \
         fp-compiler fp-units-rtl \
         wine wine64 wine32:i386 qemu-user-static xvfb xauth procps; do
    need "$p"
done

if [ -n "$missing" ]; then
    [ "${updated:-}" = yes ] || apt-get update -q
    apt-get install -y -q --no-install-recommends $missing
fi

# The kernel here may not run 32-bit ELF programs itself; let qemu user emulation do it.
if ! mountpoint -q /proc/sys/fs/binfmt_misc; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
fi
if [ -w /proc/sys/fs/binfmt_misc/register ] && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
        > /proc/sys/fs/binfmt_misc/register 2>/dev/null || true
fi
