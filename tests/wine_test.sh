#!/usr/bin/env bash
# Runs the Windows program under Wine with a code page 932 locale and checks
# console bytes, exit status and output files against the Linux build.
# Usage: tests/wine_test.sh <windows build dir> <linux program>
set -uo pipefail
win=$(cd "$1" && pwd)
linux=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all LC_ALL=ja_JP.UTF-8
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # check <name> <command...>: the command must succeed
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}


# Runs the program in $work with the given arguments; sets status and out (a file).
run() {
  (cd "$work" && wine "$win/tarvelin.exe" "$@" </dev/null >"$work/.out" 2>/dev/null)
  status=$?
}

# True iff the console output is exactly $1 (UTF-8, LF) in code page 932 with
# CR LF, followed by the command processor's pause prompt.
console_is() {
  local expected
  expected=$(mktemp)
  printf '%s' "$1" | sed 's/$/\r/' | head -c -1 | iconv -f UTF-8 -t CP932 >"$expected"
  local size
  size=$(stat -c %s "$expected")
  cmp -s -n "$size" "$expected" "$work/.out" || { echo "console:"; iconv -f CP932 -t UTF-8 "$work/.out"; return 1; }
  # What follows is cmd's "pause" prompt ("...キー..."), so the command processor ran.
  tail -c +"$((size + 1))" "$work/.out" | iconv -f CP932 -t UTF-8 | grep -q 'キー'
}

banner=$'NCコードにG00 Z0.050を埋め込んだりするソフトVer 1.07\n\n'
usage=$'TarvelinはGUIに対応していません(^･ω･^)\nTarvelin.exeに直接変換元ファイルをドラッグしてください(^･ω･^)\nSend Toにショートカットを登録しておくと何かと楽ですお(^･ω･^)\n'
all_done=$'全ての処理が終わりました(っ･ω･)っ\n'
open_failed=$'ファイルのオープンに失敗しました。\n'

echo "Windows unit tests under Wine:"
check "unit tests" wine "$win/unit_tests.exe" --gtest_brief=1

run
check "usage: status 255" test "$status" = 255
check "usage: console bytes and pause" console_is "$banner$usage"

cp "$(dirname "$0")/../examples/pocket.nc" "$work/日本 部品.nc"
run "日本 部品.nc"
check "Japanese name with blank: status 0" test "$status" = 0
check "Japanese name with blank: console" console_is "$banner"$'日本 部品\n'"$all_done"
check "Japanese name with blank: output" test -f "$work/日本 部品済.ncd"

cp "$work/日本 部品.nc" "$work/a.nc"
cp "$work/日本 部品.nc" "$work/c.nc"
run a.nc missing.nc c.nc
check "missing file: status 255" test "$status" = 255
check "missing file: console" console_is "$banner"$'a\n'"$open_failed"
check "missing file: third untouched" test ! -e "$work/c済.ncd"

# A read-only earlier output cannot be opened for writing, so it is kept.
printf 'G00Z1.\r\n' >"$work/ro.nc"
printf 'earlier' >"$work/ro済.ncd"
chmod 444 "$work/ro済.ncd"
run ro.nc
check "read-only output: status 255" test "$status" = 255
check "read-only output: console" console_is "$banner$open_failed"
check "read-only output: kept" test "$(cat "$work/ro済.ncd")" = earlier
check "read-only output: no temporary file" test -z "$(ls "$work" | grep -i tmp)"

# Raw command lines through CreateProcessA, so GetCommandLineA is what splits:
# the second byte of "表" is a backslash just before a closing quote.
cp "$win/tarvelin.exe" "$win/launch.exe" "$work/"
cp "$work/a.nc" "$work/表"
cp "$work/a.nc" "$work/b c.nc"
raw() {
  (cd "$work" && TARVELIN_RAW_COMMAND_LINE="$1" wine launch.exe </dev/null >"$work/.out" 2>/dev/null)
  status=$?
}
raw 'tarvelin.exe "表" "b c.nc"'
check "raw line with lead byte before quote: status" test "$status" = 0
check "raw line with lead byte before quote: console" console_is "$banner"$'表\nb c\n'"$all_done"
check "raw line with lead byte before quote: output" test -f "$work/表済.ncd"
rm -f "$work/a済.ncd" "$work/c済.ncd"
raw 'tarvelin.exe a.nc "x \"y" c.nc'
check "raw line with escaped quote: status" test "$status" = 255
check "raw line with escaped quote: console" console_is "$banner"$'a\n'"$open_failed"
check "raw line with escaped quote: stops there" test ! -e "$work/c済.ncd"

# The same bytes out of both builds.
mkdir -p "$work/same"
cp "$(dirname "$0")/../examples/pocket.nc" "$work/same/pocket.nc"
printf 'G00Z5.\rG00X1.\rG01Z-1.F9\r' >"$work/same/cr_only.nc"
printf 'G00Z5.\nG00X1.\nG01Z-1.F9\x1Atail\n' >"$work/same/ctrl_z.nc"
printf 'G00Z1.\r\nG00X1.\r\nG01Z-0.5F9\r\nG01X2.\r\nG00Z1.\r\nG00X1.\r\nG01Z-16.001F9' >"$work/same/no_final_lf.nc"
printf 'G91\nG00Z1.\nG00X1.\nG01Z-0.5F9\nA\0B\n' >"$work/same/incremental.nc"
head -c 1500000 /dev/zero | tr '\0' 'X' >"$work/same/long_line.nc"
for f in "$work"/same/*.nc; do
  (cd "$work/same" && wine "$win/tarvelin.exe" "$(basename "$f")" </dev/null >/dev/null 2>&1)
  cp "${f%.nc}済.ncd" "${f%.nc}.win"
  "$linux" "$f" </dev/null >/dev/null
  check "same bytes as Linux: $(basename "$f")" cmp "${f%.nc}.win" "${f%.nc}済.ncd"
done

echo "Wine: $passed passed, $failed failed"
[ "$failed" = 0 ]
