#!/usr/bin/env bash
# Checks that tests/wine_test.sh stops at once, with one line that names a
# missing locale and how to make it, before it starts Wine: run with a
# `locale` that lists no Japanese one, and a `wine` that notes being run.
set -uo pipefail
tests=$(cd "$(dirname "$0")" && pwd)
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
printf '#!/bin/sh\nprintf "C\\nC.utf8\\nPOSIX\\nen_US.utf8\\n"\n' >"$fake/locale"
for tool in wine wineserver; do printf '#!/bin/sh\ntouch "%s/ran"\n' "$fake" >"$fake/$tool"; done
chmod +x "$fake"/*
output=$(PATH="$fake:$PATH" timeout 20 bash "$tests/wine_test.sh" "$fake" "$fake/tarvelin" 2>&1)
status=$?
expected="wine_test.sh: locale ja_JP.UTF-8 not installed; make it: sed -i -e 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen && locale-gen"
[ "$status" = 1 ] || { echo "FAILED: status $status, not 1"; exit 1; }
[ "$output" = "$expected" ] || { echo "FAILED: printed:"; printf '%s\n' "$output"; exit 1; }
[ ! -e "$fake/ran" ] || { echo "FAILED: Wine was started"; exit 1; }
echo "wine_test.sh names the missing locale and stops"
