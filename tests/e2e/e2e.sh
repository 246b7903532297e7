#!/usr/bin/env bash
# The program as a user runs it: exit statuses, the lines on standard error and the charts
# written or not, for the example table and for hostile tables and conditions. Every run must
# end in bounded time, never crash, never report a failure as success and never leave anything
# but whole charts under final names.
#   e2e.sh CASES HISTCHART EXAMPLE_TABLE FONT [REFERENCE]
# runs the file of cases CASES (beside this script) in a directory of its own, so that the
# files run side by side. The long sweeps take a sample of their steps; all of them with
# HISTCHART_E2E_WHOLE=1 (the slow label, which .ci/run runs). With REFERENCE, another build
# (other flags, or the host's where HISTCHART runs under an emulator), every chart the cases
# compare is held to that build's charts, byte for byte.
set -u
export LC_ALL=C  # the patterns below match bytes, whatever a table holds
cases=$1 bin=$(realpath "$2") table=$(realpath "$3") font=$4 reference=${5:-}
whole=${HISTCHART_E2E_WHOLE:-}
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0 nl=$'\n'
fail() { failures=$((failures + 1)) && echo "FAIL: $*"; }

# whole_charts NAME: out/ holds nothing but whole JPEGs (start and end markers) under final names.
whole_charts() {
  local f
  find out -type f ! -name '*.jpg' | grep -q . && fail "$1: stray files $(ls out | tr '\n' ' ')"
  for f in out/*.jpg; do
    [ ! -e "$f" ] || [ "$(head -c 2 "$f" | od -An -tx1)$(tail -c 2 "$f" | od -An -tx1)" = " ff d8 ff d9" ] ||
      fail "$1: truncated chart $f"
  done
}

# check NAME STATUS STDERR_REGEX CHARTS COMMAND...: in a fresh out/, COMMAND ends within two
# minutes with STATUS, its whole standard error matches the regular expression, nothing goes
# to standard output, and exactly CHARTS whole charts are written.
check() {
  local name=$1 want_status=$2 want_err=$3 want_charts=$4 status
  shift 4
  rm -rf out && mkdir out
  timeout 120 "$@" >stdout 2>stderr
  status=$?
  [ "$status" -eq "$want_status" ] || fail "$name: status $status, want $want_status"
  [[ "$(cat stderr; printf x)" =~ ^${want_err}x$ ]] || fail "$name: stderr: $(head -c 300 stderr)"
  [ -s stdout ] && fail "$name: wrote to standard output"
  [ "$(ls out | wc -l)" -eq "$want_charts" ] || fail "$name: not $want_charts charts"
  whole_charts "$name"
}

# same_charts NAME DIR: the charts in out/ are byte for byte those in DIR.
same_charts() {
  for f in "$2"/*.jpg; do cmp -s "$f" "out/${f##*/}" || fail "$1: ${f##*/} differs"; done
}

# charts NAME TABLE...: the table (words of a command, the program's first), read into 10 bins,
# gives the example table's charts and says nothing.
charts() {
  local name=$1
  shift
  check "$name" 0 "" 7 "$@" 10 "$font" out/
  same_charts "$name" example
}

# refused NAME FILE REASON: status 2, the one line that says why FILE cannot be read, no chart.
refused() {
  check "$1" 2 "histchart: cannot read input table '$2': $3$nl" 0 "$bin" "$2" 10 "$font" out/
}

check "example table" 0 "" 7 "$bin" "$table" 10 "$font" out/
if [ -n "$reference" ]; then
  mkdir example && "$reference" "$table" 10 "$font" example/ || fail "the reference build failed"
  same_charts "the reference build's" example
else
  cp -r out example
fi
# shellcheck source=/dev/null
source "$here/$cases"
[ "$failures" -eq 0 ] && echo "end to end, $cases: all passed"
