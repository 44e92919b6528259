#!/usr/bin/env bash
# Runs one scenario with trawler-sim and compares its lines with the expected ones.
# The UI page's file URL depends on the build folder, so it is written as <ui-page>; a
# non-zero exit status is added as a last line "status N".
set -u
sim=$1
scenario=$2
expected=$3
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
actual=$(XDG_DATA_HOME="$data" timeout 60 "$sim" "$scenario" 2>"$data/stderr")
status=$?
actual=$(sed -E 's#file://[^ ]*/Html/index\.html#<ui-page>#g' <<<"$actual")
[ "$status" -ne 0 ] && actual+=$'\n'"status $status"
if ! diff -u "$expected" <(printf '%s\n' "$actual"); then
  echo "--- standard error:"
  cat "$data/stderr"
  exit 1
fi
