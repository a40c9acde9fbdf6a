#!/usr/bin/env bash
# Builds the program as a user without GoogleTest would, installs it into a
# scratch prefix and packs it as a .deb and a .tar.gz, then checks what each
# holds and runs the program from the install and from the unpacked .deb.
set -uo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
build=$scratch/build
passed=0
failed=0

check() {  # check <name> <command...>: the command must succeed
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $name"; fi
}

version=$(sed -n 's/^project(Tarvelin VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

# The README's two-pass pocket and its rewritten copy.
sample=$'G00Z5.000\nG00X10.000Y10.000\nG01Z-0.500F100.\nG01X30.000F300.\nG00Z5.000\nG00X10.000Y10.000\nG01Z-1.000F100.\n'
expected="(Tarvelin Ver $version)"$'\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG00 Z0.050000\r\nG01Z-0.500F100.\r\nG01X30.000F300.\r\nG00Z5.000\r\nG00X10.000Y10.000\r\nG00 Z-0.480000\r\nG01Z-1.000F100.\r\n'

# True iff `program` rewrites the sample into the expected bytes, with status 0.
rewrites_sample() {
  local program=$1 dir
  dir=$(mktemp -d -p "$scratch")
  printf '%s' "$sample" >"$dir/pocket.nc"
  "$program" "$dir/pocket.nc" </dev/null >"$dir/console" || return 1
  [ "$(cat "$dir/pocket済.ncd"; echo .)" = "$expected." ]
}

# The man page rendered as plain text, 80 columns wide.
render() { groff -man -Tutf8 -P-cbou -rLL=80n "$@"; }

# True iff roff reads the man page without a warning.
reads_cleanly() {
  local warnings
  warnings=$(groff -man -Tutf8 -ww -z "$1" 2>&1)
  [ -z "$warnings" ] || { echo "$warnings"; return 1; }
}

# True iff every console line the program prints, in both languages, appears
# in the man page as it is printed: the lines of a few runs, a cause line
# without the file's name in front and with N for its line number, and every
# text of one line, with no value to fill in, of the tables in src/app/texts.cc.
lists_messages() {
  local program=$1 page=$2 dir text line language
  dir=$(mktemp -d -p "$scratch")
  text=$(render "$page")
  printf 'G00Z5.\n' >"$dir/a.nc"
  printf 'G00Z5.\n\032G01Z-1.\n' >"$dir/z.nc"
  {
    for language in ja en; do
      (cd "$dir" && "$program" --language=$language </dev/null)              # banner and usage
      (cd "$dir" && "$program" --language=$language a.nc </dev/null)         # all done
      (cd "$dir" && "$program" --language=$language missing.nc </dev/null)   # open failed
      (cd "$dir" && "$program" --language=$language z.nc </dev/null)         # text after the 0x1A
    done | sed 's/^[a-z]*\.nc: //; s/^2行目/N行目/; s/on line 2$/on line N/'
    sed -n 's/^ *\.[a-zA-Z]* = "\([^"%]*\)",$/\1/p' src/app/texts.cc | sed 's/\\n$//; s/^ *//'
  } | sort -u | while IFS= read -r line; do
    [ -z "$line" ] || [ "$line" = a ] || grep -qF -- "$line" <<<"$text" || { echo "not in the man page: $line"; exit 1; }
  done
}

# True iff the licence in the copyright file is LICENSE's, word for word.
same_licence() {
  diff <(awk '/^License: Expat$/ { text = ""; next } { text = text $0 "\n" } END { printf "%s", text }' \
           packaging/copyright | sed 's/^ //; s/^\.$//') \
       <(sed -n '/^Permission is hereby granted/,$p' LICENSE)
}

# True iff the package is tarvelin, in utils, and needs nothing but the C library.
has_fields() {
  local fields pattern
  fields=$(dpkg-deb -f "$1" Package Section Depends)
  pattern=$'^Package: tarvelin\nSection: utils\nDepends: libc6( \\(>= [0-9.]+\\))?$'
  [[ $fields =~ $pattern ]] || { echo "$fields"; return 1; }
}

check "the copyright file holds the licence in LICENSE" same_licence

echo "Configure without GoogleTest, build, install:"
configure_log=$(cmake -S "$source_dir" -B "$build" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON 2>&1)
check "configure without GoogleTest" test $? = 0
check "configure says the tests are skipped" grep -q "tests are skipped" <<<"$configure_log"
check "build" cmake --build "$build" --parallel 2 >/dev/null
check "no test program is built" test ! -e "$build/unit_tests" -a ! -e "$build/end_to_end_tests"

prefix=$scratch/prefix
check "install" cmake --install "$build" --prefix "$prefix" >/dev/null
installed=$(cd "$prefix" && find . -type f | sort)
check "installed files" test "$installed" = "./bin/tarvelin
./share/doc/tarvelin/README.md
./share/doc/tarvelin/copyright
./share/man/man1/tarvelin.1"
check "installed program rewrites a program" rewrites_sample "$prefix/bin/tarvelin"
page=$prefix/share/man/man1/tarvelin.1
check "man page reads without warnings" reads_cleanly "$page"
check "man page names this version" grep -q "Tarvelin $version" <<<"$(render "$page")"
check "man page lists the program's messages" lists_messages "$prefix/bin/tarvelin" "$page"
check "man finds the man page under the prefix" test -n "$(MANPATH=$prefix/share/man man -w tarvelin)"
if command -v lexgrog >/dev/null; then
  check "man page has a NAME line" lexgrog "$page"
fi

echo "Packages:"
check "cpack" bash -c "cd '$build' && cpack -G 'DEB;TGZ' >/dev/null"
deb=$build/tarvelin_${version}_$(dpkg --print-architecture 2>/dev/null || echo amd64).deb
check "the .deb is there" test -f "$deb"
if [ -f "$deb" ]; then
  dpkg-deb -I "$deb"
  check "package name, section, dependency on the C library alone" has_fields "$deb"
  unpacked=$scratch/deb
  check "dpkg-deb -x" dpkg-deb -x "$deb" "$unpacked"
  packed=$(cd "$unpacked" && find . -type f | sort)
  check "files in the .deb" test "$packed" = "./usr/bin/tarvelin
./usr/share/doc/tarvelin/README.md
./usr/share/doc/tarvelin/changelog.gz
./usr/share/doc/tarvelin/copyright
./usr/share/man/man1/tarvelin.1.gz"
  check "program from the .deb rewrites a program" rewrites_sample "$unpacked/usr/bin/tarvelin"
  zcat "$unpacked/usr/share/man/man1/tarvelin.1.gz" >"$scratch/tarvelin.1"
  check "man page in the .deb reads without warnings" reads_cleanly "$scratch/tarvelin.1"
  if command -v lintian >/dev/null; then
    check "lintian" lintian --fail-on error,warning "$deb"
  else
    echo "SKIPPED lintian: not installed."
  fi
fi
tarball=$build/tarvelin-$version-linux-$(uname -m).tar.gz
check "the .tar.gz holds what cmake --install does" test "$(tar tzf "$tarball" | grep -v '/$' |
  sed 's|^[^/]*/|./|' | sort)" = "$installed"

echo "Install and packages: $passed passed, $failed failed"
[ "$failed" = 0 ]
