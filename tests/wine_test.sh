#!/usr/bin/env bash
# Runs the Windows program under Wine, once with a code page 932 locale
# (ja_JP.UTF-8), where it speaks Japanese, and once with a code page 1252 one
# (en_US.UTF-8), where it speaks English, and checks console bytes, exit
# status and output files against the Linux build.
# Usage: tests/wine_test.sh <windows build dir> <linux program>
set -uo pipefail
# Wine takes the code page from the locale: without both, every check would
# fail without saying why, so a missing one stops the run at once.
missing="" edits=""
for needed in ja_JP.UTF-8 en_US.UTF-8; do
  # "locale -a" lists ja_JP.UTF-8 as ja_JP.utf8.
  if ! locale -a 2>/dev/null | tr -d '-' | grep -qix "${needed//-/}"; then
    missing="$missing $needed"
    edits="$edits -e 's/^# *$needed UTF-8/$needed UTF-8/'"
  fi
done
if [ -n "$missing" ]; then
  echo "wine_test.sh: locale$missing not installed; make it: sed -i$edits /etc/locale.gen && locale-gen"
  exit 1
fi
win=$(cd "$1" && pwd)
linux=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
tests=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all
root=$(mktemp -d)
drive_d="$WINEPREFIX/dosdevices/d:"
mounted=""
cleanup() {
  wineserver -k 2>/dev/null
  rm -f "$win/tarvelin.ini"
  rm -f "$drive_d"
  [ -z "$mounted" ] || umount "$mounted"
  rm -rf "$root"
}
trap cleanup EXIT
passed=0
failed=0

check() {  # check <name> <command...>: the command must succeed
  local name="[$label] $1"
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $name"
    [ ! -s "${work:-}/.err" ] || sed 's/^/  wine: /' "$work/.err" | head -n 5
  fi
}

# Runs the program in $work with the given arguments; sets status and out (a file).
run() {
  (cd "$work" && wine "$win/tarvelin.exe" "$@" </dev/null >"$work/.out" 2>"$work/.err")
  status=$?
}

# Runs the raw command line $1 through launch.exe in $work, so that the
# program's own splitting is what counts; sets status and out.
raw() {
  (cd "$work" && TARVELIN_RAW_COMMAND_LINE="$1" wine launch.exe </dev/null >"$work/.out" 2>"$work/.err")
  status=$?
}

# True iff the console output is exactly $1 (UTF-8, LF) in code page 932 with
# CR LF, followed by the command processor's pause prompt.
console_is() {
  local expected
  expected=$(mktemp -p "$root")
  printf '%s' "$1" | sed 's/$/\r/' | head -c -1 | iconv -f UTF-8 -t CP932 >"$expected"
  local size
  size=$(stat -c %s "$expected")
  cmp -s -n "$size" "$expected" "$work/.out" || { echo "console:"; iconv -f CP932 -t UTF-8 "$work/.out"; return 1; }
  # What follows is cmd's "pause" prompt, in the locale's language, so the command processor ran.
  tail -c +"$((size + 1))" "$work/.out" | iconv -f CP932 -t UTF-8 | grep -q "$pause_prompt"
}

# True iff the text $1 holds the text $2.
holds() { [[ "$1" == *"$2"* ]] || { echo "console:"; printf '%s\n' "$1"; return 1; }; }

# True iff no temporary file is left in the folder $1.
no_temporary_file() { [ -z "$(find "$1" -maxdepth 1 -iname '*.tmp')" ]; }

pocket="$tests/../examples/pocket.nc"

# Sets the console texts of the language $1 (ja or en) that the checks expect.
texts_in() {
  if [ "$1" = ja ]; then
    banner=$'NCコードにG00 Z0.050を埋め込んだりするソフトVer 1.07\n\n'
    usage=$'TarvelinはGUIに対応していません(^･ω･^)\nTarvelin.exeに直接変換元ファイルをドラッグしてください(^･ω･^)\nSend Toにショートカットを登録しておくと何かと楽ですお(^･ω･^)\n'
    all_done=$'全ての処理が終わりました(っ･ω･)っ\n'
    open_failed=$'ファイルのオープンに失敗しました。\n'
    text_after_end=$'ファイルの途中に終端文字(0x1A)があります。\n'
    no_such_file='そのようなファイルやフォルダーはありません'
    bad_name='ファイル名として使えない名前です'
    a_folder='フォルダーです'
    not_a_file='通常のファイルではありません'
    in_use='ほかのプログラムが使用中です'
    read_only_file='読み取り専用のファイルなので、置き換えません'
    hidden_file='隠しファイルかシステムファイルなので、置き換えません'
    output_is_input='変換元ファイルそのものにつながっているので、置き換えません'
    standard_output_is_input='標準出力がこのファイルにつながっています'
    text_after_line_2='2行目の終端文字 (0x1A, Ctrl-Z) の後にもプログラムが続いています'
    bad_line_2() { printf '設定ファイル「%s」の2行目が正しくありません。\n' "$1"; }
    same_output=$'二つのファイルの変換先が同じなので、どのファイルも変換しませんでした。\n'
    output_is_another_input=$'変換先がほかの変換元ファイルなので、どのファイルも変換しませんでした。\n'
    copy_of_both() { printf '「%s」と「%s」の両方の変換先です' "$1" "$2"; }
    also_copy_of() { printf '「%s」の変換先でもあります' "$1"; }
    unicode_text=$'ファイルの文字コードに対応していません。\n'
    saved_as_unicode='Unicode で保存されています。ANSI か UTF-8 で保存し直してください'
    held_for_writing='ほかのプログラムが書き込み用に開いています。閉じてやり直してください'
    shortcut_to_folder='フォルダーへのショートカットです'
    shortcut_to_nothing='ショートカットの指している先にファイルがありません'
    shortcut_to_shortcut='ショートカットへのショートカットなので、たどりません'
  else
    banner=$'Tarvelin Ver 1.07: embeds G00 Z0.050 and the like in NC code\n\n'
    usage=$'Tarvelin has no window of its own.\nDrop the files to convert onto Tarvelin.exe, or name them after it.\nA shortcut in the Send To menu makes it easier.\n'
    all_done=$'All files are done.\n'
    open_failed=$'A file could not be opened.\n'
    text_after_end=$'There is an end-of-file character (0x1A) in the middle of a file.\n'
    no_such_file='No such file or folder'
    bad_name='Not a name a file can have'
    a_folder='Is a folder'
    not_a_file='Not a regular file'
    in_use='In use by another program'
    read_only_file='A read-only file; not replaced'
    hidden_file='A hidden or system file; not replaced'
    output_is_input='Leads to the input file itself; not replaced'
    standard_output_is_input='Standard output goes into this file'
    text_after_line_2='More of the program follows the 0x1A (Ctrl-Z) on line 2'
    bad_line_2() { printf 'Line 2 of the settings file "%s" is not valid.\n' "$1"; }
    same_output=$'Two files would be converted to one name, so no file was converted.\n'
    output_is_another_input=$'A copy would replace another file given, so no file was converted.\n'
    copy_of_both() { printf 'The copy of both "%s" and "%s"' "$1" "$2"; }
    also_copy_of() { printf 'Also the copy of "%s"' "$1"; }
    unicode_text=$'A file is in a text encoding that Tarvelin does not read.\n'
    saved_as_unicode='Saved as Unicode text; save it as ANSI or UTF-8'
    held_for_writing='Held open for writing by another program; close it there and run again'
    shortcut_to_folder='A shortcut to a folder'
    shortcut_to_nothing='A shortcut to a file that is not there'
    shortcut_to_shortcut='A shortcut to another shortcut; not followed'
  fi
}

# A program large enough that a run can be ended while it is being rewritten.
printf 'G00Z5.\r\nG00X1.Y2.\r\nG01Z-1.F9\r\nX12.345Y67.890\r\n' >"$root/block"
yes "$(cat "$root/block")" | head -c $((96 << 20)) >"$root/big.nc"
cp "$pocket" "$root/pocket.nc"  # the Linux build's output, to compare with
"$linux" "$root/pocket.nc" </dev/null >/dev/null
mv "$root/pocket済.ncd" "$root/pocket.linux"

# The checks that do not depend on the system's code page; run once per
# locale, in the language $4 that the locale gives.
suite() {
  export LC_ALL=$1
  label=$2
  pause_prompt=$3
  texts_in "$4"
  work="$root/$label"
  mkdir -p "$work"

  run
  check "usage: status 255" test "$status" = 255
  check "usage: console bytes and pause" console_is "$banner$usage"

  cp "$pocket" "$work/日本 部品.nc"
  run "日本 部品.nc"
  check "Japanese name with blank: status 0" test "$status" = 0
  check "Japanese name with blank: console" console_is "$banner"$'日本 部品\n'"$all_done"
  check "Japanese name with blank: output" test -f "$work/日本 部品済.ncd"

  cp "$work/日本 部品.nc" "$work/a.nc"
  cp "$work/日本 部品.nc" "$work/c.nc"
  run a.nc missing.nc c.nc
  check "missing file: status 255" test "$status" = 255
  check "missing file: console" console_is "$banner"$'a\n'"${open_failed}missing.nc: $no_such_file"$'\n'
  check "missing file: third untouched" test ! -e "$work/c済.ncd"

  # A read-only earlier output cannot be opened for writing, so it is kept.
  printf 'G00Z1.\r\n' >"$work/ro.nc"
  printf 'earlier' >"$work/ro済.ncd"
  chmod 444 "$work/ro済.ncd"
  run ro.nc
  check "read-only output: status 255" test "$status" = 255
  check "read-only output: console" console_is "$banner${open_failed}ro済.ncd: $read_only_file"$'\n'
  check "read-only output: kept" test "$(cat "$work/ro済.ncd")" = earlier
  check "read-only output: no temporary file" no_temporary_file "$work"

  # A hidden one is refused the same way.
  printf 'G00Z1.\r\n' >"$work/hid.nc"
  printf 'earlier' >"$work/hid済.ncd"
  (cd "$work" && wine attrib +h 'hid済.ncd' >/dev/null 2>&1)
  run hid.nc
  check "hidden output: status 255" test "$status" = 255
  check "hidden output: console" console_is "$banner${open_failed}hid済.ncd: $hidden_file"$'\n'
  check "hidden output: kept" test "$(cat "$work/hid済.ncd")" = earlier
  check "hidden output: no temporary file" no_temporary_file "$work"

  # An output that is the input itself, through a link or as standard output
  # appended to it, is refused and the input kept.
  printf 'G00Z1.\r\nG00X1.\r\nG01Z-1.F9\r\n' >"$work/self.nc"
  cp "$work/self.nc" "$work/self.kept"
  ln -sfn self.nc "$work/self済.ncd"
  run self.nc
  check "output a link to the input: status 255" test "$status" = 255
  check "output a link to the input: console" console_is "$banner${open_failed}self済.ncd: $output_is_input"$'\n'
  check "output a link to the input: input kept" cmp "$work/self.nc" "$work/self.kept"
  rm -f "$work/self済.ncd"
  (cd "$work" && wine "$win/tarvelin.exe" --stdout self.nc </dev/null >>"$work/self.nc" 2>"$work/.err")
  status=$?
  check "standard output appended to the input: status 255" test "$status" = 255
  check "standard output appended to the input: message" holds "$(iconv -f CP932 -t UTF-8 "$work/.err" | tr -d '\r')" "${open_failed}self.nc: $standard_output_is_input"
  check "standard output appended to the input: input kept" cmp "$work/self.nc" "$work/self.kept"

  # A device is no program.
  run NUL
  check "device as input: status 255" test "$status" = 255
  check "device as input: console" console_is "$banner${open_failed}NUL: $not_a_file"$'\n'
  check "device as input: no copy" test -z "$(find "$work" -maxdepth 1 -iname 'nul*')"

  # A program that goes on after a Ctrl-Z gets no copy.
  printf 'G00Z5.\r\nG01Z-1\x1A(more)\r\nG01Z-2.F9\r\n' >"$work/ctrl_z.nc"
  run ctrl_z.nc
  check "text after a Ctrl-Z: status 255" test "$status" = 255
  check "text after a Ctrl-Z: console" console_is "$banner${text_after_end}ctrl_z.nc: $text_after_line_2"$'\n'
  check "text after a Ctrl-Z: no copy" test ! -e "$work/ctrl_z済.ncd"
  check "text after a Ctrl-Z: no temporary file" no_temporary_file "$work"

  # A folder is no program.
  mkdir -p "$work/folder.nc"
  run folder.nc
  check "folder as input: status 255" test "$status" = 255
  check "folder as input: console" console_is "$banner${open_failed}folder.nc: $a_folder"$'\n'

  # Raw command lines: the second byte of "表" in code page 932 is a
  # backslash just before a closing quote.
  cp "$win/tarvelin.exe" "$win/launch.exe" "$work/"
  cp "$work/a.nc" "$work/表"
  cp "$work/a.nc" "$work/b c.nc"
  raw 'tarvelin.exe "表" "b c.nc"'
  check "raw line with lead byte before quote: status" test "$status" = 0
  check "raw line with lead byte before quote: console" console_is "$banner"$'表\nb c\n'"$all_done"
  check "raw line with lead byte before quote: output" test -f "$work/表済.ncd"
  rm -f "$work/a済.ncd" "$work/c済.ncd"
  raw 'tarvelin.exe a.nc "x \"y" c.nc'
  check "raw line with escaped quote: status" test "$status" = 255
  check "raw line with escaped quote: console" console_is "$banner"$'a\n'"${open_failed}x \"y: $bad_name"$'\n'
  check "raw line with escaped quote: stops there" test ! -e "$work/c済.ncd"

  # A file that another program holds open, shared with no one.
  cp "$work/a.nc" "$work/locked.nc"
  TARVELIN_LOCK=locked.nc raw 'tarvelin.exe locked.nc'
  check "locked file: status 255" test "$status" = 255
  check "locked file: console" console_is "$banner${open_failed}locked.nc: $in_use"$'\n'
  check "locked file: no copy" test ! -e "$work/locked済.ncd"

  # A file that a DNC or CAM program holds open for writing, unchanged.
  cp "$work/a.nc" "$work/held.nc"
  TARVELIN_HOLD=held.nc raw 'tarvelin.exe held.nc'
  check "held open for writing: status 255" test "$status" = 255
  check "held open for writing: console" console_is "$banner${open_failed}held.nc: $held_for_writing"$'\n'
  check "held open for writing: no copy" test ! -e "$work/held済.ncd"

  # Two programs with one output name stop the run before any file is
  # touched; names count as Windows compares them, without case.
  cp "$pocket" "$work/WORK.001"
  cp "$pocket" "$work/WORK.002"
  run WORK.001 WORK.002
  check "one output for two inputs: status 255" test "$status" = 255
  check "one output for two inputs: console" console_is "$banner${same_output}WORK済.ncd: $(copy_of_both WORK.001 WORK.002)"$'\n'
  check "one output for two inputs: nothing written" test ! -e "$work/WORK済.ncd"
  cp "$pocket" "$work/Case.nc"
  cp "$pocket" "$work/case.tap"
  run Case.nc case.tap
  check "one output but for case: status 255" test "$status" = 255
  check "one output but for case: console" console_is "$banner${same_output}Case済.ncd: $(copy_of_both Case.nc case.tap)"$'\n'
  check "one output but for case: nothing written" test -z "$(find "$work" -maxdepth 1 -iname 'case済.ncd')"
  cp "$pocket" "$work/p.nc"
  printf 'earlier' >"$work/p済.ncd"
  run p.nc p済.ncd
  check "an input that is another's output: status 255" test "$status" = 255
  check "an input that is another's output: console" console_is "$banner${output_is_another_input}p済.ncd: $(also_copy_of p.nc)"$'\n'
  check "an input that is another's output: kept" test "$(cat "$work/p済.ncd")" = earlier
  check "an input that is another's output: no copy of it" test ! -e "$work/p済済.ncd"

  # Notepad's "Unicode" (UTF-16) and the like get no copy, in either mode.
  { printf '\xff\xfe'; printf '%%\r\nG00Z5.\r\nG00X1.\r\nG01Z-1.F9\r\n' | iconv -f UTF-8 -t UTF-16LE; } >"$work/unicode.nc"
  run unicode.nc
  check "UTF-16 program: status 255" test "$status" = 255
  check "UTF-16 program: console" console_is "$banner${unicode_text}unicode.nc: $saved_as_unicode"$'\n'
  check "UTF-16 program: no copy" test ! -e "$work/unicode済.ncd"
  { printf '\xfe\xff'; printf 'G00Z5.\r\n' | iconv -f UTF-8 -t UTF-16BE; } >"$work/unicode_be.nc"
  (cd "$work" && wine "$win/tarvelin.exe" --stdout --words unicode_be.nc </dev/null >"$work/.out" 2>"$work/.err")
  status=$?
  check "UTF-16 BE to standard output: status 255" test "$status" = 255
  check "UTF-16 BE to standard output: message" holds "$(iconv -f CP932 -t UTF-8 "$work/.err" | tr -d '\r')" "${unicode_text}unicode_be.nc: $saved_as_unicode"
  check "UTF-16 BE to standard output: nothing written" test ! -s "$work/.out"

  # A shortcut is followed to its file, which gets its copy beside it; one to
  # a folder, to nothing or to another shortcut is refused.
  local here="Z:${work//\//\\}"
  mkdir -p "$work/cam" "$work/cam.folder"
  cp "$pocket" "$work/cam/part.nc"
  shortcut() { (cd "$work" && wine "$win/shell.exe" shortcut "$here\\$1" "$here\\$2" >/dev/null 2>&1); }
  shortcut 'cam\part.nc' part.nc.lnk
  shortcut cam.folder folder.lnk
  shortcut 'cam\gone.nc' gone.lnk
  shortcut part.nc.lnk twice.lnk
  run part.nc.lnk
  check "shortcut: status 0" test "$status" = 0
  check "shortcut: console" console_is "$banner"$'part\n'"$all_done"
  check "shortcut: the copy beside its file" cmp "$work/cam/part済.ncd" "$root/pocket.linux"
  check "shortcut: no copy of the shortcut" test ! -e "$work/part.nc済.ncd"
  for refused in "folder.lnk:$shortcut_to_folder" "gone.lnk:$shortcut_to_nothing" "twice.lnk:$shortcut_to_shortcut"; do
    run "${refused%%:*}"
    check "${refused%%:*}: status 255" test "$status" = 255
    check "${refused%%:*}: console" console_is "$banner$open_failed${refused%%:*}: ${refused#*:}"$'\n'
  done
  check "refused shortcuts: no copy" test -z "$(cd "$work" && ls folder済.ncd gone済.ncd twice済.ncd 2>/dev/null)"

  # A name as given: a final dot is part of it (Samba and WSL make such
  # names), and a short (8.3) name is the file's long one.
  printf 'G00Z5.\r\nG00X1.\r\nG01Z-1.F9\r\n' >"$work/dot.nc."
  run dot.nc.
  check "name with a final dot: status 0" test "$status" = 0
  check "name with a final dot: console" console_is "$banner"$'dot.nc\n'"$all_done"
  check "name with a final dot: its own program" test "$(cat "$work/dot.nc済.ncd")" = $'(Tarvelin Ver 1.07)\r\nG00Z5.\r\nG00X1.\r\nG00 Z0.050000\r\nG01Z-1.F9\r'
  cp "$pocket" "$work/longprogramname.nc"
  local short
  short=$(cd "$work" && wine "$win/shell.exe" short longprogramname.nc 2>/dev/null)
  check "short name: there is one" test -n "$short" -a "$short" != longprogramname.nc
  run "$short"
  check "short name: status 0" test "$status" = 0
  check "short name: console" console_is "$banner"$'longprogramname\n'"$all_done"
  check "short name: the long name's copy" cmp "$work/longprogramname済.ncd" "$root/pocket.linux"
  check "short name: no copy by the short name" test -z "$(find "$work" -maxdepth 1 -name '*~*')"

  # An output name that is a symbolic link has the file it points to
  # replaced, the temporary file beside that.
  mkdir -p "$work/kept"
  printf 'earlier' >"$work/kept/real.ncd"
  cp "$pocket" "$work/linked.nc"
  ln -sfn kept/real.ncd "$work/linked済.ncd"
  run linked.nc
  check "output a link: status 0" test "$status" = 0
  check "output a link: still a link" test -L "$work/linked済.ncd"
  check "output a link: its file rewritten" cmp "$work/kept/real.ncd" "$root/pocket.linux"
  check "output a link: no temporary file" no_temporary_file "$work/kept"

  # Names with characters that code page 932 lacks: each output is named
  # exactly; the redirected echo shows '?' for each such character.
  local names=("p😀 smile" "Größe" "한국어 부품")
  for name in "${names[@]}"; do cp "$pocket" "$work/$name.nc"; done
  raw 'tarvelin.exe "p😀 smile.nc" Größe.nc "한국어 부품.nc"'
  check "names outside code page 932: status 0" test "$status" = 0
  check "names outside code page 932: console" console_is "$banner"$'p? smile\nGr??e\n??? ??\n'"$all_done"
  for name in "${names[@]}"; do
    check "names outside code page 932: $name済.ncd" cmp "$work/$name済.ncd" "$root/pocket.linux"
  done

  # On a console (Wine makes a pseudo-terminal the program's console), the
  # messages and the names are written as characters; keys end the pause.
  (
    set +o pipefail
    cd "$work" && export TARVELIN_EXE="$win/tarvelin.exe"
    for _ in $(seq 60); do sleep 0.5; printf x; done 2>/dev/null |
      timeout 60 script -qec 'wine "$TARVELIN_EXE" Größe.nc "한국어 부품.nc"' /dev/null >"$work/.tty"
  )
  status=$?
  local on_console
  on_console=$(sed 's/\x1b\[[0-9;?]*[a-zA-Z]//g' "$work/.tty" | tr -d '\r')
  check "on a console: status 0" test "$status" = 0
  check "on a console: characters" holds "$on_console" "$banner"$'Größe\n한국어 부품\n'"$all_done"

  # No COMSPEC: CMD.EXE is found along PATH and started by that path.
  TARVELIN_WITHOUT_COMSPEC=1 raw 'tarvelin.exe a.nc'
  check "without COMSPEC: status 0" test "$status" = 0
  check "without COMSPEC: console and pause" console_is "$banner"$'a\n'"$all_done"

  # A path of about 300 characters, given relative to the current folder.
  local long
  long=$(printf 'x%.0s' {1..90})
  mkdir -p "$work/a$long/b$long/c$long"
  cp "$pocket" "$work/a$long/b$long/c$long/part.nc"
  run "a$long\\b$long\\c$long\\part.nc"
  check "path of 300 characters: status 0" test "$status" = 0
  check "path of 300 characters: output" cmp "$work/a$long/b$long/c$long/part済.ncd" "$root/pocket.linux"

  # An output path of 250 characters, for which the temporary file's own
  # name is longer than the output's.
  local folder_length=$((250 - ${#work} - 2 - 2 - 6))  # "Z:", two separators, "o済.ncd"
  local folder
  folder=$(printf 'f%.0s' $(seq "$folder_length"))
  mkdir -p "$work/$folder"
  cp "$pocket" "$work/$folder/o.nc"
  run "Z:${work//\//\\}\\$folder\\o.nc"
  check "output path of 250 characters: status 0" test "$status" = 0
  check "output path of 250 characters: output" cmp "$work/$folder/o済.ncd" "$root/pocket.linux"
  check "output path of 250 characters: no temporary file" no_temporary_file "$work/$folder"

  # A drive-relative path on a second drive (another file system where it can
  # be mounted), from a current folder on drive C:.
  mkdir -p "$work/d" "$WINEPREFIX/drive_c/tarvelin-test"
  if [ "$(id -u)" = 0 ] && mount -t tmpfs -o size=16m tmpfs "$work/d" 2>/dev/null; then
    mounted="$work/d"
  fi
  ln -sfn "$work/d" "$drive_d"
  cp "$pocket" "$work/d/part.nc"
  (cd "$WINEPREFIX/drive_c/tarvelin-test" &&
    wine "$win/tarvelin.exe" 'D:part.nc' </dev/null >"$work/.out" 2>"$work/.err")
  status=$?
  check "drive-relative path on D: status 0" test "$status" = 0
  check "drive-relative path on D: console" console_is "$banner"$'D:part\n'"$all_done"
  check "drive-relative path on D: output" cmp "$work/d/part済.ncd" "$root/pocket.linux"
  check "drive-relative path on D: no temporary file" no_temporary_file "$WINEPREFIX/drive_c/tarvelin-test"
  rm -f "$drive_d"
  rmdir "$WINEPREFIX/drive_c/tarvelin-test"
  [ -z "$mounted" ] || { umount "$mounted"; mounted=""; }

  # A run ended by TerminateProcess while it writes: the temporary file goes
  # with it, and the earlier output stays.
  cp "$root/big.nc" "$work/big.nc"
  printf 'earlier' >"$work/big済.ncd"
  TARVELIN_KILL_WHEN='tarvelin-*.tmp' raw 'tarvelin.exe big.nc'
  check "ended mid-rewrite: ended while writing" test "$status" = 0
  check "ended mid-rewrite: no temporary file" no_temporary_file "$work"
  check "ended mid-rewrite: earlier output kept" test "$(cat "$work/big済.ncd")" = earlier

  # Ctrl-C on the console while it writes ends the run the same way. The keys
  # stay open until the temporary file has gone, so it is Ctrl-C that ends it.
  rm -f "$work/.sent" "$work/.gone"
  (
    set +o pipefail
    cd "$work" && export TARVELIN_EXE="$win/tarvelin.exe"
    temporary() { find . -maxdepth 1 -name 'tarvelin-*.tmp' -size +1M | grep -q .; }
    {
      for _ in $(seq 1200); do temporary && { printf '\003'; touch .sent; break; }; sleep 0.05; done
      for _ in $(seq 200); do temporary || { touch .gone; break; }; sleep 0.05; done
    } | timeout 120 script -qec 'wine "$TARVELIN_EXE" big.nc' /dev/null >"$work/.tty"
  )
  check "Ctrl-C mid-rewrite: ended while writing" test -e "$work/.sent" -a -e "$work/.gone"
  check "Ctrl-C mid-rewrite: no temporary file" no_temporary_file "$work"
  check "Ctrl-C mid-rewrite: earlier output kept" test "$(cat "$work/big済.ncd")" = earlier
  rm -f "$work/big.nc"

  # The same bytes out of both builds.
  mkdir -p "$work/same"
  cp "$pocket" "$work/same/pocket.nc"
  printf 'G00Z5.\rG00X1.\rG01Z-1.F9\r' >"$work/same/cr_only.nc"
  printf 'G00Z5.\nG00X1.\nG01Z-1.F9\x1A\r\n\x1A' >"$work/same/ctrl_z.nc"
  printf 'G00Z1.\r\nG00X1.\r\nG01Z-0.5F9\r\nG01X2.\r\nG00Z1.\r\nG00X1.\r\nG01Z-16.001F9' >"$work/same/no_final_lf.nc"
  printf 'G91\nG00Z1.\nG00X1.\nG01Z-0.5F9\nA\0B\n' >"$work/same/incremental.nc"
  head -c 1500000 /dev/zero | tr '\0' 'X' >"$work/same/long_line.nc"
  for f in "$work"/same/*.nc; do
    (cd "$work/same" && wine "$win/tarvelin.exe" "$(basename "$f")" </dev/null >/dev/null 2>&1)
    cp "${f%.nc}済.ncd" "${f%.nc}.win"
    "$linux" "$f" </dev/null >/dev/null
    check "same bytes as Linux: $(basename "$f")" cmp "${f%.nc}.win" "${f%.nc}済.ncd"
  done

  # Options, the settings file beside the program, and --stdout, as on Linux.
  local spaced="$tests/programs/spaced_pocket.ngc"
  mkdir -p "$work/options"
  cp "$spaced" "$work/options/w.ngc"
  "$linux" --words "$work/options/w.ngc" </dev/null >/dev/null
  mv "$work/options/w済.ncd" "$work/options/words.linux"
  "$linux" --words --gap=0.1 "$work/options/w.ngc" </dev/null >/dev/null
  mv "$work/options/w済.ncd" "$work/options/gap.linux"
  (cd "$work/options" && wine "$win/tarvelin.exe" --words w.ngc </dev/null >/dev/null 2>&1)
  check "--words: same bytes as Linux" cmp "$work/options/w済.ncd" "$work/options/words.linux"
  printf 'words = yes\r\ngap = 0.1\r\n' >"$win/tarvelin.ini"
  (cd "$work/options" && wine "$win/tarvelin.exe" w.ngc </dev/null >/dev/null 2>&1)
  check "tarvelin.ini beside the program: used" cmp "$work/options/w済.ncd" "$work/options/gap.linux"
  { printf '\xff\xfe'; printf '; 設定\r\nwords = yes\r\ngap = 0.1\r\n' | iconv -f UTF-8 -t UTF-16LE; } >"$win/tarvelin.ini"
  (cd "$work/options" && wine "$win/tarvelin.exe" w.ngc </dev/null >/dev/null 2>&1)
  check "tarvelin.ini in UTF-16: used" cmp "$work/options/w済.ncd" "$work/options/gap.linux"
  printf '; bad\r\ngap = 0\r\n' >"$win/tarvelin.ini"
  run a.nc
  check "bad tarvelin.ini: status 255" test "$status" = 255
  check "bad tarvelin.ini: console" console_is "$banner$(bad_line_2 "Z:${win//\//\\}\\tarvelin.ini")"$'\n'
  rm -f "$win/tarvelin.ini"
  (cd "$work/options" && wine "$win/tarvelin.exe" --stdout --words w.ngc </dev/null >"$work/.out" 2>"$work/.err")
  status=$?
  check "--stdout: status 0" test "$status" = 0
  check "--stdout: the rewrite only" cmp "$work/.out" "$work/options/words.linux"
  # The summary line, in the language of the locale, as the Linux build says it.
  local summary
  summary=$("$linux" --words --summary --stdout "$work/options/w.ngc" 2>&1 >/dev/null </dev/null |
    sed -n 4p)
  (cd "$work/options" && wine "$win/tarvelin.exe" --words --summary w.ngc </dev/null >"$work/.out" 2>"$work/.err")
  check "--summary: console" console_is "$banner"$'w\n'"$summary"$'\n'"$all_done"
}

label=all
echo "Windows unit tests under Wine:"
check "unit tests" env LC_ALL=ja_JP.UTF-8 wine "$win/unit_tests.exe" --gtest_brief=1
# One server for all the runs, so that none starts while the last one's server is still ending.
wineserver -w
wineserver -p

# The zip that users unpack: the program, its read-me, the licence and the
# settings file, which keeps every default as it is shipped.
label=zip
zip=$(find "$win" -maxdepth 1 -name 'tarvelin-*-win64.zip' | head -n 1)
check "the zip is there" test -n "$zip"
if [ -n "$zip" ]; then
  unpacked="$root/zip"
  mkdir -p "$unpacked"
  unzip -q "$zip" -d "$unpacked"
  check "files in the zip" test "$(cd "$unpacked" && find . -type f | sort | tr '\n' ' ')" = \
    "./LICENSE.txt ./README-Windows.txt ./THIRD-PARTY-NOTICES.txt ./tarvelin.exe ./tarvelin.ini "
  cp "$tests/programs/spaced_pocket.ngc" "$unpacked/p.ngc"
  cp "$tests/programs/spaced_pocket.ngc" "$root/p.ngc"
  (cd "$unpacked" && wine ./tarvelin.exe p.ngc </dev/null >/dev/null 2>&1)
  "$linux" "$root/p.ngc" </dev/null >/dev/null
  check "the shipped tarvelin.ini keeps the defaults" cmp "$unpacked/p済.ncd" "$root/p済.ncd"
fi

suite ja_JP.UTF-8 cp932 'キー' ja
suite en_US.UTF-8 cp1252 'Press any key' en

echo "Wine: $passed passed, $failed failed"
[ "$failed" = 0 ]
