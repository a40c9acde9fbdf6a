#!/usr/bin/env bash
# Builds the program and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build
cmake --build build --parallel
ctest --test-dir build --output-on-failure
