# Sourced by e2e.sh: the charts of a table are the charts of its doubles, however each value is
# spelled, however the table is laid out and however it is read.
#
# A program that rounds and then prints at full precision writes 45.57 half the time and
# -12.869999999999999 the other half: 170,000 such rows (two pieces on two cores, and many chunks
# of held values), laid out as tables are (records split over lines, blank and white-space lines,
# CR LF rows, extra columns, fields that are not numbers, values that are not finite, long lines,
# an incomplete record at the end); and the same table with every value written as %.17e.
awk 'BEGIN {
  srand(15); print "h\nh\nh" > "mixed.txt"; print "h\nh\nh" > "mixed_ref.txt"
  for (i = 1; i <= 170000; i++) {
    r = rand(); line = i; ref = i
    for (k = 0; k < 7; k++) {
      v = int((rand() + rand() + rand() - 1.5) * 20000) / 100
      if (r < 0.05 && k == 2 || r < 0.07 && k == 4) { line = line "\n"; ref = ref "\n" }
      if (r >= 0.08 && r < 0.09 && (k == 1 || k == 4)) { line = line " NA"; ref = ref " NA"; continue }
      if (r >= 0.09 && r < 0.095 && k == 0) { line = line " nan"; ref = ref " nan"; continue }
      line = line sprintf(" %.17g", v); ref = ref sprintf(" %.17e", v)
    }
    if (r >= 0.09 && r < 0.095) { line = line " inf 8 9"; ref = ref " inf 8 9" }
    if (r >= 0.095 && r < 0.0952) for (k = 0; k < 3000; k++) { line = line " 0.5"; ref = ref " 0.5" }
    end = r >= 0.08 && r < 0.09 ? "\r" : ""
    print line end > "mixed.txt"; print ref end > "mixed_ref.txt"
    if (r >= 0.07 && r < 0.08) { print "   \t" > "mixed.txt"; print "   \t" > "mixed_ref.txt" }
  }
  printf "1 2 3" > "mixed.txt"; printf "1 2 3" > "mixed_ref.txt"
}' </dev/null
rm -rf expected && mkdir expected
"$bin" mixed_ref.txt 20 "$font" expected/ 2>expected.txt || fail "mixed spellings, as %.17e: status $?"
grep -q "fields read as 0" expected.txt || fail "mixed spellings, as %.17e: $(head -c 300 expected.txt)"
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
  rm -rf out && mkdir out
  timeout 120 "${run[@]}" 20 "$font" out/ 2>stderr || fail "mixed spellings from $way: status $?"
  cmp -s stderr expected.txt || fail "mixed spellings from $way: $(diff stderr expected.txt | head -c 300)"
  same_charts "mixed spellings from $way" expected
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
