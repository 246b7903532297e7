#!/usr/bin/env bash
# Runs histchart as a user does and checks what a user sees: exit status, standard error and
# the files written.   run_e2e.sh HISTCHART EXAMPLE_TABLE FONT
set -u
bin=$(realpath "$1") table=$(realpath "$2") font=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0 checks=0

# expect NAME STATUS STDERR_PATTERN -- ARGS...: the run must end with STATUS and its standard
# error must match the extended regular expression (anchored, whole output).
expect() {
  local name=$1 want_status=$2 want_err=$3
  shift 4
  local status err
  timeout 60 "$@" >stdout 2>stderr
  status=$?
  err=$(cat stderr; printf x)
  err=${err%x}
  checks=$((checks + 1))
  if [ "$status" -ne "$want_status" ] || ! [[ $err =~ ^${want_err}$ ]] || [ -s stdout ]; then
    failures=$((failures + 1))
    echo "FAIL: $name: status $status (want $want_status)"
    echo "  stderr: $(head -c 600 stderr)"
  fi
}
# no_charts NAME: nothing but the test's own files in the work directory
no_charts() {
  checks=$((checks + 1))
  if compgen -G "*.jpg*" >/dev/null || compgen -G "out/*" >/dev/null; then
    failures=$((failures + 1))
    echo "FAIL: $1: files written: $(ls)"
  fi
}
# seven_charts NAME PREFIX: the seven JPEG files exist and are JPEG
seven_charts() {
  checks=$((checks + 1))
  local n ok=1
  for n in dSOC CH4 N2O NO N2 NH3 N_leaching; do
    [ "$(head -c 3 "$2$n.jpg" 2>/dev/null | od -An -tx1 | tr -d ' ')" = "ffd8ff" ] || ok=0
  done
  [ "$(compgen -G "$2*" | wc -l)" -eq 7 ] || ok=0
  if [ $ok -ne 1 ]; then
    failures=$((failures + 1))
    echo "FAIL: $1: want seven charts under '$2', have: $(ls "$(dirname "$2x")")"
  fi
}

usage="$bin input_file bin_count font_filename"$'\n'
expect "no arguments" 1 "$usage" -- "$bin"
expect "three arguments" 1 "$usage" -- "$bin" "$table" 10 "$font"
expect "five arguments" 1 "$usage" -- "$bin" "$table" 10 "$font" out_ extra
no_charts "usage"

for count in 0 abc -4 10001 2147483647 99999999999 ""; do
  expect "bin count '$count'" 1 \
    "histchart: bad bin count '$count': expected a whole number from 1 to 10000"$'\n' \
    -- "$bin" "$table" "$count" "$font" out_
done
no_charts "bad bin counts"

expect "missing input" 2 "Unable to open file: no/such/table.txt"$'\n' \
  -- "$bin" no/such/table.txt 10 "$font" out_
mkdir adir
expect "directory as input" 2 "histchart: cannot read input table 'adir': Is a directory"$'\n' \
  -- "$bin" adir 10 "$font" out_
no_charts "unreadable input"

mkdir out
expect "example table" 0 "" -- "$bin" "$table" 10 "$font" out/
seven_charts "example table" out/
cp -r out reference
expect "forgiving bin count" 0 "" -- "$bin" "$table" " 7x" "$font" out/b_
rm -rf out/*
# A pipe has no size to plan for: the same charts must come out.
expect "table from a pipe" 0 "" -- "$bin" <(cat "$table") 10 "$font" out/
seven_charts "table from a pipe" out/
checks=$((checks + 1))
for n in dSOC CH4 N2O NO N2 NH3 N_leaching; do
  cmp -s "out/$n.jpg" "reference/$n.jpg" || { failures=$((failures + 1)); echo "FAIL: pipe chart $n differs"; break; }
done
rm -rf out/*

expect "missing font" 0 "(draw_text\(\) error: [^"$'\n'"]*"$'\n'")+" \
  -- "$bin" "$table" 10 no/such/font.ttf out/
seven_charts "missing font" out/
rm -rf out/*

expect "missing output directory" 3 \
  "(histchart: cannot write chart 'nodir/[A-Za-z_0-9]+\.jpg': No such file or directory"$'\n'"){7}" \
  -- "$bin" "$table" 10 "$font" nodir/
no_charts "missing output directory"

# Values atof reads as non-finite are left out and counted, once per series.
printf 'h\nh\nh\n1 nan 1 2 3 4 5 6\n2 inf 2 3 4 5 6 1e999\n3 1 -inf 4 5 6 7 8\n4 2 3 4 5 6 7 8' >odd.txt
expect "non-finite values" 0 \
  "histchart: left out values of 'dSOC': 2 are not finite numbers"$'\n'"histchart: left out values of 'CH4': 1 are not finite numbers"$'\n'"histchart: left out values of 'N_leaching': 1 are not finite numbers"$'\n' \
  -- "$bin" odd.txt 10 "$font" out/
seven_charts "non-finite values" out/
rm -rf out/*

# Under a file size limit no chart is complete: none may appear, and the run must fail.
expect "file size limit" 3 "(histchart: cannot write chart 'out/[A-Za-z_0-9]+\.jpg': File too large"$'\n'"){7}" \
  -- bash -c 'trap "" XFSZ; ulimit -f 4; exec "$0" "$@"' "$bin" "$table" 10 "$font" out/
no_charts "file size limit"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
