#!/usr/bin/env bash
# Builds the program and runs every test: the Linux build, its install and
# packages, then the Windows build under Wine when MinGW-w64 and Wine are installed.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build
cmake --build build --parallel
# The tests are built only when GoogleTest is found: a run without any is a failure here.
ctest --test-dir build --output-on-failure --no-tests=error

# The build without GoogleTest, its install and the .deb and .tar.gz.
bash tests/install_test.sh

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the unit tests under ThreadSanitizer, and a bounded run of every fuzzer.
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELIN_SANITIZE=address
cmake --build build-asan --parallel
ctest --test-dir build-asan --output-on-failure --no-tests=error
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVELIN_SANITIZE=thread
cmake --build build-tsan --parallel --target unit_tests
build-tsan/unit_tests --gtest_brief=1
if command -v clang++ >/dev/null; then
  bash tests/fuzz.sh "${FUZZ_SECONDS:-60}"
else
  echo "SKIPPED fuzzing: clang is not installed."
fi

# The benchmarks, small, only to show that they run.
bash bench/run_benchmark.sh 8 3
if [ -x build/rewrite_bench ]; then build/rewrite_bench --benchmark_min_time=0.01; fi

if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null; then
  cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake
  cmake --build build-win --parallel
  cmake --build build-win --target package
  bash tests/wine_test.sh build-win build/tarvelin
else
  echo "SKIPPED the Windows tests: MinGW-w64 (g++-mingw-w64-x86-64-posix) or Wine is not installed."
fi
