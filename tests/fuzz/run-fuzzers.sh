#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in BUILD_DIR and runs each for
# SECONDS (default 15), one after the other, on a growing copy of its seeds
# from tests/data/fuzz/<target>/; prints the inputs each ran. Exits non-zero
# when one finds a fault; the input is left in BUILD_DIR/findings/.
# Usage: tests/fuzz/run-fuzzers.sh BUILD_DIR [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:?usage: $0 BUILD_DIR [SECONDS]} seconds=${2:-15}
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DKORVEL_FUZZ=ON \
  -DKORVEL_BUILD_TESTS=OFF -DKORVEL_BUILD_BENCH=OFF -DKORVEL_WERROR=OFF >/dev/null
cmake --build "$build" --target fuzz_png fuzz_jpeg fuzz_settings >/dev/null
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for target in png jpeg settings; do
  mkdir -p "$build/corpus/$target" "$build/findings"
  cp -n tests/data/fuzz/$target/* "$build/corpus/$target/"
  log=$build/fuzz_$target.log status=0
  "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$build/findings/$target-" \
    "$build/corpus/$target" >"$log" 2>&1 || status=$?
  echo "fuzz_$target: $(sed -n 's/^stat::number_of_executed_units: *//p' "$log") inputs in $seconds s"
  [ "$status" = 0 ] || { grep -E 'ERROR|SUMMARY|runtime error' "$log" | head -5; exit 1; }
done
