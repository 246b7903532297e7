# Sourced by e2e.sh (its helpers check and same_charts, and its variables bin, font and nl are
# in scope; the working directory is $work).
#
# The charts of a table are the charts of its doubles, however each value is spelled and
# however the table is read. A program that rounds and then prints at full precision writes
# 45.57 half the time and -12.869999999999999 the other half; here, 100,000 such rows (enough to
# fill many chunks of held values), and the same doubles all written as %.17e.
awk 'BEGIN {
  srand(15); print "h\nh\nh" > "mixed.txt"; print "h\nh\nh" > "mixed_ref.txt"
  for (i = 1; i <= 100000; i++) {
    line = i; ref = i
    for (k = 0; k < 7; k++) {
      v = int((rand() + rand() + rand() - 1.5) * 20000) / 100
      line = line sprintf(" %.17g", v); ref = ref sprintf(" %.17e", v)
    }
    print line > "mixed.txt"; print ref > "mixed_ref.txt"
  }
}' </dev/null
check "mixed spellings, the same doubles as %.17e" 0 "" 7 "$bin" mixed_ref.txt 20 "$font" out/
rm -rf mixed_expected && mv out mixed_expected && mkdir out
gzip -1 -c mixed.txt >mixed.gz
zstd -q -1 -c mixed.txt >mixed.zst
for way in "a file" "a pipe" ".gz" ".zst" "read twice" "one CPU"; do
  case $way in
    "a file") run=("$bin" mixed.txt) ;;
    "a pipe") run=(bash -c 'cat mixed.txt | exec "$0" /dev/stdin "$@"' "$bin") ;;
    .gz) run=("$bin" mixed.gz) ;;
    .zst) run=("$bin" mixed.zst) ;;
    "read twice") run=(env HISTCHART_MEMORY=33M "$bin" mixed.txt) ;;
    "one CPU") run=(taskset -c 0 "$bin" mixed.txt) ;;
  esac
  check "mixed spellings from $way" 0 "" 7 "${run[@]}" 20 "$font" out/
  same_charts "mixed spellings from $way" mixed_expected
done
# One double, spelled two ways at random: every value is the same.
awk 'BEGIN { srand(7); print "h\nh\nh"; for (i = 0; i < 40000; i++) {
  s = ""; for (k = 0; k < 7; k++) s = s (rand() < 0.4 ? " 64.86" : " 64.859999999999999"); print i s } }' \
  </dev/null >same_double.txt
all_equal=""
for name in dSOC CH4 N2O NO N2 NH3 N_leaching; do
  all_equal+="histchart: all 40000 values of '$name' are 64.86: its chart has no bars$nl"
done
check "one double in two spellings" 0 "$all_equal" 7 "$bin" same_double.txt 10 "$font" out/
