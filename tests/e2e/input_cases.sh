# Sourced by e2e.sh: tables as they come (from a pipe, under a memory limit), what they hold and
# what is said of it, and what is no table.

# The example table gives the same charts however it arrives and however much may be held; an
# empty HISTCHART_MEMORY is what an unset variable gives a script: no limit set.
charts "from a pipe" "$bin" <(cat "$table")
for limit in 0 $((32 * 1048576 + 56 * 150)) "" 1T; do
  charts "HISTCHART_MEMORY='$limit'" env HISTCHART_MEMORY=$limit "$bin" "$table"
done
mkdir adir
check "a directory as table" 2 "histchart: cannot read input table 'adir': Is a directory$nl" 0 "$bin" adir 10 "$font" out/
# A text table whose first line starts like a bzip2 stream, with no bzip2 block after it.
{ printf 'BZh9 header\n'; tail -n +2 "$table"; } >bzh.txt
check "a header line starting BZh9" 0 "" 7 "$bin" bzh.txt 10 "$font" out/
# What is not text is refused before anything is read as a table, also once decompressed.
check "binary data through gzip" 2 "histchart: cannot read input table '/dev/fd/[0-9]+': it holds binary data, not text$nl" 0 \
  "$bin" <(printf 'h\nh\nh\n1 2 3 4 5 6 7 8\n\0\n' | gzip -c) 10 "$font" out/
tar -cf table.tar -C "$(dirname "$table")" "$(basename "$table")"
gzip -c table.tar >table.tar.gz
refused "table.tar.gz" table.tar.gz "it is a tar archive; extract the table first"
# From a pipe or a decoder, a word may grow beyond the read buffer within the room for words (an
# eighth of what the run may hold beyond its own 32 MiB: 2 MiB here), not beyond it. (From a
# file, it is the unit tests'.)
for size in 1500000 5000000; do
  { printf 'h\nh\nh\n1 '; head -c "$size" /dev/zero | tr '\0' 0; printf ' 2 3 4 5 6 7\n2 1 1 1 1 1 1 1\n'; } >word.txt
  gzip -1 -c word.txt >word.gz
  if [ "$size" -lt 2097152 ]; then want=(0 "" 7); else want=(2 "histchart: out of memory reading '[^$nl]*': a field of more than [2-5] MB is longer than the memory allows$nl" 0); fi
  check "a word of $size bytes from a pipe" "${want[@]}" env HISTCHART_MEMORY=48M "$bin" <(cat word.txt) 10 "$font" out/
  check "a word of $size bytes through gzip" "${want[@]}" env HISTCHART_MEMORY=48M "$bin" word.gz 10 "$font" out/
done
check "a pipe beyond the limit" 2 "histchart: out of memory reading '/dev/fd/[0-9]+': the table does not fit in memory$nl" 0 \
  env HISTCHART_MEMORY=32M "$bin" <(cat "$table") 10 "$font" out/
# ... also while its writer goes quiet without closing it, once a block has come: the run ends
# rather than wait for bytes it will not use. (The writer keeps no descriptor of the test's: a
# test runner waits for its output to close.)
for ((i = 0; i < 160; i++)); do cat "$table"; done >ex160.txt
check "a pipe beyond the limit, its writer quiet" 2 "histchart: out of memory reading '/dev/fd/[0-9]+': the table does not fit in memory$nl" 0 \
  timeout 10 env HISTCHART_MEMORY=32M "$bin" <(exec 2>/dev/null; cat ex160.txt; exec sleep 60) 10 "$font" out/

# Fields that are not numbers keep their value and are reported, once, before the charts; values
# that are not finite are left out, and said so; one and more in the counted messages. A series
# none of whose values is finite still has its records: left out, not missing.
printf 'h\nh\nh\n1 nan 2 2 2 2 2 2\n2 inf NA 3 3 3 3 3\n3 nan -inf 4 4 4 4 4\n4 -inf 5 5 5 5 5 5\n' >counted.txt
check "counts of one and of more" 0 "histchart: fields read as 0 or their leading number in 'CH4': 1 is not a number, 'NA' on line 5${nl}\
histchart: left out values of 'dSOC': 4 are not finite numbers${nl}histchart: left out values of 'CH4': 1 is not a finite number$nl" 7 \
  "$bin" counted.txt 10 "$font" out/
# Tables without a record: said once, and the charts are empty.
printf 'h1\nh2\nh3\n\n  \n' >headers.txt
: >empty.txt
gzip -c empty.txt >empty.gz
for f in empty.txt /dev/null headers.txt empty.gz; do
  check "no records: $f" 0 "histchart: no records in '$f': the charts are empty$nl" 7 "$bin" "$f" 10 "$font" out/
done
# A series whose values are all equal, and a table of one record: no bars, and said why.
printf 'h\nh\nh\n1 5 1 2 3 4 5 6\n2 5 2 2 3 4 5 7\n' >equal.txt
check "all values equal" 0 "$(printf "histchart: all 2 values of '%s' are %s: its chart has no bars\n" dSOC 5 N2O 2 NO 3 N2 4 NH3 5)$nl" 7 \
  "$bin" equal.txt 10 "$font" out/
printf 'h\nh\nh\n1 -2.5e-7 0.1 2 3 4 5 1e21\n' >one.txt
check "one record" 0 "histchart: the one value of 'dSOC' is -2.5e-07: its chart has no bars$nl(histchart: the one value of [^$nl]*$nl){5}histchart: the one value of 'N_leaching' is 1e\+21: its chart has no bars$nl" 7 \
  "$bin" one.txt 10 "$font" out/

