#!/usr/bin/env bash
# Whatever the table holds, histchart ends in bounded time, never crashes, never reports a
# failure as success and never leaves a truncated chart under a final name.
#   hostile.sh HISTCHART FONT
bin=$(realpath "$1") font=$2
source "$(dirname "$0")/lib.sh"
header=$'h1\nh2\nh3\n'

chart() { run "$1" 0 "${3:-}" 7 -- "$bin" "$2" "${4:-10}" "$font" out/; }
left_out() { printf "histchart: left out values of '%s': %s are not finite numbers\n" "$1" "$2"; }

: >empty.txt;                                      chart "empty file" empty.txt
printf '%s' "$header" >headers.txt;                chart "header lines only" headers.txt
head -c 300000 /dev/urandom >garbage.bin;          run "binary garbage" 0 "(histchart: left out [^\n]*"$'\n'")*" 7 -- "$bin" garbage.bin 10 "$font" out/
printf '%s1 2\0009 3 4\0005 6 7 8\n2 1\000 2 3 4 5 6 7\n' "$header" >nul.txt
chart "NUL bytes inside fields" nul.txt
{ printf '%s' "$header"; head -c 50000000 /dev/zero | tr '\0' '7'; } >longword.txt
chart "a 50 MB line of one word" longword.txt
{ printf '%s' "$header"; yes '1.5 -2 3e2' | head -c 50000000 | tr '\n' ' '; } >longline.txt
chart "a 50 MB line without a line break" longline.txt
{ printf '%s' "$header"; seq 1 10000 | tr '\n' ' '; printf '\n'; seq 1 8 | tr '\n' ' '; printf '\n'; } >wide.txt
chart "a row of 10000 fields" wide.txt

printf '%s1 nan inf -inf 1e999 -1e999 0x1p3 1e-400\n2 1 1 1 1 1 1 1\n3 2 2 2 2 2 2 2\n' "$header" >odd.txt
chart "non-finite and odd number forms" odd.txt \
  "$(left_out dSOC 1)"$'\n'"$(left_out CH4 1)"$'\n'"$(left_out N2O 1)"$'\n'"$(left_out NO 1)"$'\n'"$(left_out N2 1)"$'\n'
printf '%s1 1e308 1 1 1 1 1 1\n2 -1e308 2 2 2 2 2 2\n' "$header" >infinite_range.txt
chart "an infinite range" infinite_range.txt
printf '%s1 1e16 1 1 1 1 1 1\n2 10000000000000002 2 2 2 2 2 2\n' "$header" >stuck.txt
chart "edges that stop moving" stuck.txt

{ printf '%s' "$header"; for i in $(seq 1 400); do echo "$i $((i * i % 997)) $((i % 7)) 0.$i 1e-$((i % 300)) $((i * i * i)) -$i 5"; done; } >skewed.txt
for count in $(seq 1 40) 10000; do chart "bin count $count" skewed.txt "" "$count"; done

for count in 0 abc -4 10001 2147483648 99999999999; do
  run "bad bin count '$count'" 1 "histchart: bad bin count '$count': expected a whole number from 1 to 10000"$'\n' 0 \
    -- "$bin" skewed.txt "$count" "$font" out/
done
mkdir adir
run "a directory as input" 2 "histchart: cannot read input table 'adir': Is a directory"$'\n' 0 -- "$bin" adir 10 "$font" out/
run "a missing output directory" 3 "(histchart: cannot write chart 'out/none/[A-Za-z_0-9]+\.jpg': No such file or directory"$'\n'"){7}" 0 \
  -- "$bin" skewed.txt 10 "$font" out/none/
run "a file size limit" 3 "(histchart: cannot write chart 'out/[A-Za-z_0-9]+\.jpg': File too large"$'\n'"){7}" 0 \
  -- bash -c 'ulimit -f 8; exec "$0" "$@"' "$bin" skewed.txt 10 "$font" out/

finish
