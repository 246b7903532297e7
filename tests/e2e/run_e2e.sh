#!/usr/bin/env bash
# The program as a user runs it: the usage line, a missing table, the example table, a table
# from a pipe and a font that cannot be used.   run_e2e.sh HISTCHART EXAMPLE_TABLE FONT
bin=$(realpath "$1") table=$(realpath "$2") font=$3
source "$(dirname "$0")/lib.sh"
names=(dSOC CH4 N2O NO N2 NH3 N_leaching)

usage="$bin input_file bin_count font_filename"$'\n'
run "no arguments" 1 "$usage" 0 -- "$bin"
run "three arguments" 1 "$usage" 0 -- "$bin" "$table" 10 "$font"
run "five arguments" 1 "$usage" 0 -- "$bin" "$table" 10 "$font" out/ extra
run "missing table" 2 "Unable to open file: no/such/table.txt"$'\n' 0 \
  -- "$bin" no/such/table.txt 10 "$font" out/

run "example table" 0 "" 7 -- "$bin" "$table" 10 "$font" out/
for n in "${names[@]}"; do [ -f "out/$n.jpg" ] || fail "example table: no out/$n.jpg"; done
cp -r out reference
# A pipe has no size to plan for: the same charts must come out, byte for byte.
run "table from a pipe" 0 "" 7 -- "$bin" <(cat "$table") 10 "$font" out/
for n in "${names[@]}"; do cmp -s "out/$n.jpg" "reference/$n.jpg" || fail "pipe: $n.jpg differs"; done
run "forgiving bin count and a name prefix" 0 "" 7 -- "$bin" "$table" " 7x" "$font" out/run7_
[ -f out/run7_N_leaching.jpg ] || fail "prefix: no out/run7_N_leaching.jpg"

# Every text fails twice (measured, then drawn); the charts are written without text.
run "missing font" 0 "(draw_text\(\) error: [^"$'\n'"]*"$'\n'")+" 7 \
  -- "$bin" "$table" 10 no/such/font.ttf out/
finish
