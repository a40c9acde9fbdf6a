#!/usr/bin/env bash
# Checks that the includes between the layers point one way only:
# app -> rewrite -> stream -> platform; that the word mode reaches nothing of
# the streaming machinery; and that the option and message headers of the
# app reach nothing of the file pass, even through other headers.
set -uo pipefail
cd "$(dirname "$0")/../src"
failed=0

# Prints the project headers that `file` includes.
includes() { sed -n 's/^#include "\([a-z_]*\/[a-z_0-9]*\.h\)".*/\1/p' "$1"; }

# Fails for each include in `layer` of a header outside the layers it may use.
uses_only() {  # uses_only <layer> <allowed layers...>
  local layer=$1 file header
  shift
  for file in "$layer"/*; do
    for header in $(includes "$file"); do
      if [[ " $* " != *" ${header%%/*} "* ]]; then
        echo "FAILED: $file includes $header"
        failed=1
      fi
    done
  done
}

# Prints every project header that `header` includes, directly or through others.
reach() {
  local seen=" $1 " queue=("$1") next
  while [ ${#queue[@]} -gt 0 ]; do
    for next in $(includes "${queue[0]}"); do
      if [[ $seen != *" $next "* ]]; then
        seen+="$next "
        queue+=("$next")
        echo "$next"
      fi
    done
    queue=("${queue[@]:1}")
  done
}

uses_only platform platform
uses_only stream stream platform
uses_only rewrite rewrite stream platform
uses_only app app rewrite stream platform
# The word mode decides where a rapid may go deep: it stays plain G-code reading.
for header in rewrite/block_reader.h rewrite/word_scanner.h rewrite/fed_points.h; do
  for file in "$header" "${header%.h}.cc"; do
    if [[ $'\n'$(includes "$file"; reach "$header")$'\n' == *$'\nstream/'* ]]; then
      echo "FAILED: $file reaches the stream folder"
      failed=1
    fi
  done
done
for header in app/options.h app/messages.h app/texts.h; do
  if [[ $'\n'$(reach "$header")$'\n' == *$'\nrewrite/file_pass.h\n'* ]]; then
    echo "FAILED: $header reaches rewrite/file_pass.h"
    failed=1
  fi
done
[ "$failed" = 0 ] && echo "The includes point app -> rewrite -> stream -> platform only."
exit "$failed"
