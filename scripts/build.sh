#!/usr/bin/env bash
# Configures and builds in build/: the given targets (e.g. KALTO catalogos), or everything
# (the program, its catalogues beside it, the tests, the benchmarks) when none is given.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
if [ $# -gt 0 ]; then
  cmake --build build -j"$(nproc)" --target "$@"
else
  cmake --build build -j"$(nproc)"
fi
