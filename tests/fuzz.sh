#!/usr/bin/env bash
# Builds the libFuzzer targets with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs each for a bounded time from the seed corpus in fuzz/corpus.
# Usage: tests/fuzz.sh [seconds per target, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g -O1"
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARVELIN_TESTS=OFF -DTARVELIN_FUZZ=ON -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build build-fuzz --parallel --target rewrite_fuzzer split_fuzzer name_fuzzer
for name in rewrite split name; do
  corpus=$(mktemp -d)
  cp fuzz/corpus/"$name"/* "$corpus"/
  log=build-fuzz/$name.log
  echo "fuzzing $name for $seconds s"
  if ! build-fuzz/${name}_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
      -rss_limit_mb=2048 -artifact_prefix=build-fuzz/ "$corpus" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "FAILED: fuzzing $name"
    exit 1
  fi
  runs=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  speed=$(grep -m1 -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')
  echo "fuzzed $name: $runs executions, $speed per second, no failure"
  rm -rf "$corpus"
done
