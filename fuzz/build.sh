#!/bin/sh
# Builds the fuzz targets (the .DBF codec, the checks of the import lines) with clang's
# libFuzzer, AddressSanitizer and UBSan, apart from the CMake build.
# Usage: fuzz/build.sh [output folder] (default fuzz/build).
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
# fuzzer <name> <sources...>: builds $out/<name>.
fuzzer() {
    name=$1
    shift
    # shellcheck disable=SC2086
    "$cxx" -std=c++20 -g -O1 -fPIC -Wall -Wextra \
        -fsanitize=fuzzer,address,undefined -fno-sanitize=vptr -fno-sanitize-recover=undefined \
        -I"$root/src" $qt_cflags \
        "$@" \
        $qt_libs -o "$out/$name"
    echo "$out/$name"
}
fuzzer fuzz_dbf "$here/fuzz_dbf.cpp" "$root/src/data/Dbf.cpp"
fuzzer fuzz_import "$here/fuzz_import.cpp" "$root/src/annexes/ImportLines.cpp" "$root/src/annexes/ImportText.cpp" \
    "$root/src/core/TextFiles.cpp" "$root/src/core/Drives.cpp" "$root/src/core/Numbers.cpp" "$root/src/data/TableCatalogue.cpp" \
    "$root/src/data/Dbf.cpp"
