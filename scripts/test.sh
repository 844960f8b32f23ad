#!/usr/bin/env bash
# Installs the dependencies, builds with warnings as errors and runs every
# test: once as a normal build and once with AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

echo "== build and test"
cmake -S . -B build -G Ninja -DKORVEL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== build and test with sanitizers"
cmake -S . -B build-asan -G Ninja -DKORVEL_WERROR=ON -DKORVEL_SANITIZE=ON \
  -DKORVEL_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE no-sanitizer
