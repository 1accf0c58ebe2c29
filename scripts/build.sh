#!/bin/sh
# Builds Brevant.exe for i686 and x86_64 and the native tests and tools:
#   build/win32/Brevant.exe, build/win64/Brevant.exe, build/native/...
# Expects the tool chain of scripts/install-dependencies.sh.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

configure() {  # build-dir, extra cmake arguments...
    dir=$1; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    fi
}

# Programs kept outside the tree that carry the crash reporter: BREVANT_EXTRA_PROGRAMS, a list
# of folders separated by ";", is handed to both Windows builds whenever it is set.
extra=""
if [ -n "${BREVANT_EXTRA_PROGRAMS+set}" ]; then
    extra="-DBREVANT_EXTRA_PROGRAMS=$BREVANT_EXTRA_PROGRAMS"
    for dir in build/win32 build/win64; do
        [ -f "$dir/build.ninja" ] && cmake "$dir" "$extra" >/dev/null
    done
fi

# The native build comes first: it makes symbol_store_packer, which the Windows builds run.
tools="-DBREVANT_HOST_TOOLS_DIR=$root/build/native/bin"
configure build/native -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
configure build/win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" "$tools" $extra
configure build/win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" "$tools" $extra

for dir in build/native build/win32 build/win64; do
    cmake --build "$dir" -j "$jobs"
done
