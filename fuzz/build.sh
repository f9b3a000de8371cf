#!/bin/sh
# Builds the .DBF fuzz target with clang's libFuzzer, AddressSanitizer and UBSan, apart
# from the CMake build. Usage: fuzz/build.sh [output folder] (default fuzz/build).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-$here/build}
mkdir -p "$out"
cxx=${CXX:-clang++-14}
if pkg-config --exists Qt6Core; then
    qt_cflags=$(pkg-config --cflags Qt6Core)
    qt_libs=$(pkg-config --libs Qt6Core)
else
    qt_cflags="-I/usr/include/x86_64-linux-gnu/qt6 -I/usr/include/x86_64-linux-gnu/qt6/QtCore"
    qt_libs="-lQt6Core"
fi
# shellcheck disable=SC2086
"$cxx" -std=c++20 -g -O1 -fPIC -Wall -Wextra \
    -fsanitize=fuzzer,address,undefined -fno-sanitize=vptr -fno-sanitize-recover=undefined \
    -I"$root/src" $qt_cflags \
    "$here/fuzz_dbf.cpp" "$root/src/data/Dbf.cpp" \
    $qt_libs -o "$out/fuzz_dbf"
echo "$out/fuzz_dbf"
