#!/usr/bin/env bash
# Golden scenarios: runs the simulated notebook on a scenario and compares
# its transcript with the reviewed one.
#
#   tests/golden.sh SIM SCENARIO.scn          compare with SCENARIO.expected
#   tests/golden.sh --bless SIM SCENARIO.scn...  rewrite the .expected files
#
# SIM is build/native/crtrate-sim.  The transcript is what it prints on
# standard output; a runner that fails (non-zero exit) fails the scenario,
# with what it said on standard error.  On a difference the unified diff
# (expected -> actual) is printed.
set -uo pipefail

refuse() { echo "golden: $*" >&2; exit 2; }
bless=0
[ "${1:-}" = --bless ] && bless=1 && shift
[ $# -ge 2 ] || refuse "usage: tests/golden.sh [--bless] SIM SCENARIO.scn..."
sim=$1
shift
[ -x "$sim" ] || refuse "$sim is not built"
[ $bless = 1 ] || [ $# -eq 1 ] || refuse "compare one scenario at a time"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
for scn in "$@"; do
  expected=${scn%.scn}.expected
  "$sim" "$scn" >"$tmp/actual" 2>"$tmp/stderr"
  rc=$?
  if [ $rc -ne 0 ]; then
    echo "golden: $scn: $sim exited with status $rc" >&2
    sed 's/^/  stderr: /' "$tmp/stderr" >&2
    status=1
    continue
  fi
  if [ $bless = 1 ]; then
    if [ -f "$expected" ] && cmp -s "$tmp/actual" "$expected"; then
      echo "unchanged $expected"
    else
      cp "$tmp/actual" "$expected"
      echo "wrote     $expected"
    fi
    continue
  fi
  if [ ! -f "$expected" ]; then
    echo "golden: $expected does not exist (make bless writes it)" >&2
    status=1
    continue
  fi
  if diff -u --label "$expected" --label "$scn (actual)" \
      "$expected" "$tmp/actual"; then
    echo "golden: $scn: transcript as expected ($(wc -l <"$expected") lines)"
  else
    echo "golden: $scn: transcript differs from $expected" >&2
    status=1
  fi
done
exit $status
