#!/usr/bin/env bash
# Installs what is missing, builds what the tests need (the catalogues and the test
# executables; not the program's benchmarks) and runs every test on the offscreen platform:
# no display needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
# The test executables are the tests ctest knows (each test is named after its executable).
mapfile -t tests < <(cd build && ctest -N | sed -n 's/^ *Test *#[0-9]*: *//p')
scripts/build.sh catalogos "${tests[@]}"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2
