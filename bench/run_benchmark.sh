#!/usr/bin/env bash
# Times build/tarvelin against `dd bs=1M` and `tr -d '\r'` on one generated
# program, in turns, and reports medians, ratios, peak memory and start-up.
# Usage: bench/run_benchmark.sh [size in MiB, default 1024] [runs, default 7]
# Writes the table to standard output and to build/bench/results.md.
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
runs=${2:-7}
cmake -S . -B build >/dev/null
cmake --build build --parallel --target tarvelin generate_program >/dev/null
dir=build/bench
mkdir -p "$dir"
input=$dir/program.nc
build/generate_program $((mib << 20)) >"$input"
build/generate_program 1024 >"$dir/small.nc"
build/generate_program $((1 << 20)) >"$dir/one_mib.nc"
cat "$input" >/dev/null  # into the page cache

# Prints the wall time in seconds of the command, after writing out dirty pages.
seconds() {
  sync
  local start=$EPOCHREALTIME
  "$@" </dev/null >/dev/null 2>&1
  local end=$EPOCHREALTIME
  echo "$end - $start" | bc -l
}
# Prints the median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Prints the peak resident memory in KiB of the command.
peak_kib() { /usr/bin/time -f %M "$@" </dev/null 2>&1 >/dev/null | tail -n 1; }

: >"$dir/tarvelin.times"; : >"$dir/dd.times"; : >"$dir/tr.times"
for ((i = 1; i <= runs; i++)); do
  rm -f "$dir"/program済.ncd "$dir/dd.out" "$dir/tr.out"
  seconds build/tarvelin "$input" >>"$dir/tarvelin.times"
  seconds dd if="$input" of="$dir/dd.out" bs=1M >>"$dir/dd.times"
  seconds sh -c "tr -d '\r' <'$input' >'$dir/tr.out'" >>"$dir/tr.times"
done
tarvelin=$(median <"$dir/tarvelin.times")
dd_time=$(median <"$dir/dd.times")
tr_time=$(median <"$dir/tr.times")
# Each run of tarvelin against the dd run right after it, which met the same machine state.
pair_ratio=$(paste "$dir/tarvelin.times" "$dir/dd.times" | awk '{ print $1 / $2 }' | median)
: >"$dir/startup.times"
for ((i = 1; i <= 31; i++)); do
  start=$EPOCHREALTIME
  build/tarvelin "$dir/small.nc" </dev/null >/dev/null
  echo "($EPOCHREALTIME - $start) * 1000" | bc -l >>"$dir/startup.times"
done
startup=$(median <"$dir/startup.times")
rss_big=$(peak_kib build/tarvelin "$input")
rss_small=$(peak_kib build/tarvelin "$dir/one_mib.nc")
rm -f "$dir"/*済.ncd "$dir/dd.out" "$dir/tr.out"

{
  printf '%s MiB program, %s runs each in turns, medians; %s, %s cores.\n\n' "$mib" "$runs" \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')" "$(nproc)"
  echo "| measure | value |"
  echo "|---|---|"
  printf '| tarvelin | %.3f s (%.0f MB/s) |\n' "$tarvelin" "$(echo "$mib * 1.048576 / $tarvelin" | bc -l)"
  printf '| dd bs=1M | %.3f s |\n' "$dd_time"
  printf "| tr -d '\\\\r' | %.3f s |\n" "$tr_time"
  printf '| tarvelin / dd, medians | %.2f |\n' "$(echo "$tarvelin / $dd_time" | bc -l)"
  printf '| tarvelin / dd, median of run pairs | %.2f |\n' "$pair_ratio"
  printf '| tarvelin / tr | %.2f |\n' "$(echo "$tarvelin / $tr_time" | bc -l)"
  printf '| peak RSS, %s MiB input | %.1f MiB |\n' "$mib" "$(echo "$rss_big / 1024" | bc -l)"
  printf '| peak RSS, 1 MiB input | %.1f MiB |\n' "$(echo "$rss_small / 1024" | bc -l)"
  printf '| start-up, 1 KiB file | %.2f ms |\n' "$startup"
} | tee "$dir/results.md"
