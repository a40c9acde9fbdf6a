#!/usr/bin/env bash
# Times build/tarvelin against `dd bs=1M` copying the same file to the same
# folder, on generated program shapes (four, then two in the word mode), in
# turns, and prints one table: the medians, the median of the per-pair
# ratios, peak memory at 1 MiB and at the full size, and the start-up time.
# Beside them, build/copy_floor copies each program through the rewrite's own
# reading and writing with no move read, which shows how much of the time the
# moving of the bytes takes.
# Usage: bench/run_benchmark.sh [size in MiB, default 1024] [runs, default 7]
# Writes the table to standard output and to build/bench/results.md.
set -euo pipefail
cd "$(dirname "$0")/.."
mib=${1:-1024}
runs=${2:-7}
cmake -S . -B build >/dev/null
cmake --build build --parallel --target tarvelin generate_program copy_floor >/dev/null
dir=build/bench
mkdir -p "$dir"
input=$dir/program.nc
output=$dir/program済.ncd
copy=$dir/dd.out
floor_copy=$dir/floor.out

# Each shape: its name in the table, the generator's options, and Tarvelin's.
shapes=(
  "dense, CR LF|--dense|"
  "dense, LF|--dense --lf|"
  "dense, CR LF, block numbers|--dense --block-numbers|"
  "raster, CR LF||"
  "dense, CR LF, --words|--dense|--words"
  "dense with blanks, CR LF, --words|--dense --blanks|--words"
)

# Prints the wall time in seconds of the command, with neither output there
# and dirty pages written out before it starts; stops the script if it fails.
seconds() {
  rm -f "$output" "$copy" "$floor_copy"
  sync
  local start=$EPOCHREALTIME
  "$@" </dev/null >/dev/null 2>&1 || { echo "FAILED: $*" >&2; exit 1; }
  local end=$EPOCHREALTIME
  echo "$end - $start" | bc -l
}
# Prints the median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Prints the peak resident memory in MiB of the command.
peak_mib() {
  local kib
  kib=$(/usr/bin/time -f %M "$@" </dev/null 2>&1 >/dev/null | tail -n 1)
  echo "$kib / 1024" | bc -l
}

rows=()
for shape in "${shapes[@]}"; do
  IFS='|' read -r name generator tarvelin_options <<<"$shape"
  read -ra options <<<"$generator"
  read -ra rewrite <<<"build/tarvelin $tarvelin_options"
  build/generate_program $((1 << 20)) "${options[@]}" >"$input"
  rss_small=$(peak_mib "${rewrite[@]}" "$input")
  build/generate_program $((mib << 20)) "${options[@]}" >"$input"
  cat "$input" >/dev/null  # into the page cache
  : >"$dir/tarvelin.times"
  : >"$dir/dd.times"
  : >"$dir/floor.times"
  for ((i = 1; i <= runs; i++)); do
    # In turns, each going first, second and last in turn.
    for ((j = 0; j < 3; j++)); do
      case $(((i + j) % 3)) in
        0) seconds "${rewrite[@]}" "$input" >>"$dir/tarvelin.times" ;;
        1) seconds dd if="$input" of="$copy" bs=1M status=none >>"$dir/dd.times" ;;
        2) seconds build/copy_floor "$input" "$floor_copy" >>"$dir/floor.times" ;;
      esac
    done
  done
  tarvelin=$(median <"$dir/tarvelin.times")
  dd_time=$(median <"$dir/dd.times")
  # Each tarvelin run against the dd run of its turn, which met the same machine state.
  pair_ratio=$(paste "$dir/tarvelin.times" "$dir/dd.times" | awk '{ print $1 / $2 }' | median)
  floor_ratio=$(paste "$dir/floor.times" "$dir/dd.times" | awk '{ print $1 / $2 }' | median)
  rss_big=$(peak_mib "${rewrite[@]}" "$input")
  rows+=("$(printf '| %s | %.3f s (%.2f GB/s) | %.3f s | %.2f | %.2f | %.2f | %.1f MiB | %.1f MiB |' \
    "$name" "$tarvelin" "$(echo "$mib * 1.048576 / 1000 / $tarvelin" | bc -l)" "$dd_time" \
    "$pair_ratio" "$(echo "$tarvelin / $dd_time" | bc -l)" "$floor_ratio" "$rss_small" "$rss_big")")
done

# Start-up: a 1 KiB program, beside /bin/true for what starting any process costs here.
build/generate_program 1024 --dense >"$dir/small.nc"
: >"$dir/startup.times"
: >"$dir/true.times"
for ((i = 1; i <= 31; i++)); do
  start=$EPOCHREALTIME
  build/tarvelin "$dir/small.nc" </dev/null >/dev/null
  echo "($EPOCHREALTIME - $start) * 1000" | bc -l >>"$dir/startup.times"
  start=$EPOCHREALTIME
  /bin/true
  echo "($EPOCHREALTIME - $start) * 1000" | bc -l >>"$dir/true.times"
done
startup=$(median <"$dir/startup.times")
true_time=$(median <"$dir/true.times")
rm -f "$input" "$output" "$copy" "$floor_copy" "$dir"/small*

{
  printf '%s MiB programs, %s runs each in turns, medians; %s, %s cores.\n\n' "$mib" "$runs" \
    "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')" "$(nproc)"
  echo "| program | tarvelin | dd bs=1M | tarvelin / dd, median of pairs | tarvelin / dd, medians | copy_floor / dd, median of pairs | peak RSS, 1 MiB | peak RSS, $mib MiB |"
  echo "|---|---|---|---|---|---|---|---|"
  printf '%s\n' "${rows[@]}"
  printf '\nStart-up, 1 KiB program: %.2f ms (/bin/true: %.2f ms), medians of 31.\n' "$startup" "$true_time"
} | tee "$dir/results.md"
