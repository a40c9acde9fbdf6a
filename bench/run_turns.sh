#!/usr/bin/env bash
# Times, on each program given, `build/tarvelin --words`, `build/tarvelin`
# (the default mode) and `dd bs=1M` copying the same file into the same
# folder, in turns, each going first in turn, and prints for each the median
# and the fastest of the runs, in seconds and GB/s.
# Usage: bench/run_turns.sh [-n runs, default 7] PROGRAM...
# The programs are best in the page cache and large (512 MiB): make one with
# build/generate_program, or of real programs by repeating them:
#   for f in DIR/*; do tr -d '\032' <"$f"; echo; done >one.nc
#   while [ "$(stat -c %s big.nc 2>/dev/null || echo 0)" -lt $((512 << 20)) ]; do cat one.nc >>big.nc; done
# (a 0x1A, the end of an old DOS file, would end the program there).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=7
if [ "${1:-}" = -n ]; then runs=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: bench/run_turns.sh [-n runs] PROGRAM..." >&2; exit 2; }
cmake -S . -B build >/dev/null
cmake --build build --parallel --target tarvelin >/dev/null

# Prints the wall time in seconds of the command, after removing `$1` and
# writing dirty pages out; stops the script if the command fails.
seconds() {
  local out=$1
  shift
  rm -f "$out"
  sync
  local start=$EPOCHREALTIME
  "$@" </dev/null >/dev/null 2>&1 || { echo "FAILED: $*" >&2; exit 1; }
  echo "$EPOCHREALTIME - $start" | bc -l
}
# Prints "median min" of the numbers on standard input.
stats() {
  sort -g | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; print m, v[1] }'
}

for program in "$@"; do
  base=${program%.*}
  bytes=$(stat -c %s "$program")
  cat "$program" >/dev/null  # into the page cache
  words=() plain=() copies=()
  for ((i = 0; i < runs; i++)); do
    for ((j = 0; j < 3; j++)); do
      case $(((i + j) % 3)) in
        0) words+=("$(seconds "$base済.ncd" build/tarvelin --words "$program")") ;;
        1) plain+=("$(seconds "$base済.ncd" build/tarvelin "$program")") ;;
        2) copies+=("$(seconds "$base.dd" dd if="$program" of="$base.dd" bs=1M status=none)") ;;
      esac
    done
  done
  rm -f "$base済.ncd" "$base.dd"
  printf '%s, %.0f MiB, %s runs each in turns:\n' "$program" "$(echo "$bytes / 1048576" | bc -l)" "$runs"
  for row in "--words|${words[*]}" "default|${plain[*]}" "dd bs=1M|${copies[*]}"; do
    IFS='|' read -r name times <<<"$row"
    read -r median fastest < <(tr ' ' '\n' <<<"$times" | stats)
    printf '  %-9s median %.3f s (%.2f GB/s), fastest %.3f s (%.2f GB/s)\n' "$name" \
      "$median" "$(echo "$bytes / 1000000000 / $median" | bc -l)" "$fastest" "$(echo "$bytes / 1000000000 / $fastest" | bc -l)"
  done
done
