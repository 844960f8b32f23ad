#!/usr/bin/env bash
# Installs the dependencies, builds with warnings as errors and runs every
# test: once as a normal build and once with AddressSanitizer and
# UndefinedBehaviorSanitizer. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# Some tests run parts of themselves as the unprivileged user nobody, who must
# be able to reach the build. A clone in a private folder is tested from a copy.
if [ "$(id -u)" -eq 0 ] && ! setpriv --reuid=65534 --regid=65534 --clear-groups \
    test -r "$PWD/README.md" 2>/dev/null; then
  copy=/var/tmp/korvel-desktopinfo-gui-test
  echo "== $PWD is not reachable for nobody; testing from a copy in $copy"
  rm -rf "$copy" && mkdir -p "$copy" && cp -a . "$copy/" && chmod -R a+rX "$copy"
  cd "$copy"
fi

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

echo "== fuzz the PNG and JPEG decoders and the settings reader, 15 s each"
tests/fuzz/run-fuzzers.sh build-fuzz 15
