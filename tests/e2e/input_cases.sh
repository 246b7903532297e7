# Sourced by e2e.sh (its helpers check, same_charts and whole_charts, and its variables bin,
# table, font, nl and work are in scope; the working directory is $work).

# Old Mac text, whose lines end in CR alone, would read as one header line: refused.
tr '\n' '\r' <"$table" >cr.txt
check "CR line ends" 2 "histchart: cannot read input table 'cr.txt': its lines end in CR alone \(old Mac text\); convert them to LF$nl" 0 \
  "$bin" cr.txt 10 "$font" out/
# Zero bytes after a gzip stream are padding, as gzip itself reads them; other bytes after
# them are still refused.
{ gzip -c "$table"; head -c 100000 /dev/zero; } >padded.gz
check "gzip padded with zeros" 0 "" 7 "$bin" padded.gz 10 "$font" out/
same_charts "gzip padded with zeros" example
{ cat padded.gz; printf x; } >padded_x.gz
check "gzip, zeros, then data" 2 "histchart: cannot read input table 'padded_x.gz': it has data after its gzip stream$nl" 0 \
  "$bin" padded_x.gz 10 "$font" out/
# Archives and UTF-16 without a byte-order mark, each with its own reason.
if command -v zip >/dev/null; then zip -qj table.zip "$table"; else { printf 'PK\005\006'; head -c 18 /dev/zero; } >table.zip; fi
check "a zip archive" 2 "histchart: cannot read input table 'table.zip': it is a zip archive, not a table$nl" 0 \
  "$bin" table.zip 10 "$font" out/
tar -cf table.tar -C "$(dirname "$table")" "$(basename "$table")"
gzip -c table.tar >table.tar.gz
for f in table.tar table.tar.gz; do
  check "$f" 2 "histchart: cannot read input table '$f': it is a tar archive; extract the table first$nl" 0 \
    "$bin" "$f" 10 "$font" out/
done
iconv -f UTF-8 -t UTF-16LE "$table" >utf16.txt
check "UTF-16 without a byte-order mark" 2 "histchart: cannot read input table 'utf16.txt': it is UTF-16 text; save it as ASCII or UTF-8$nl" 0 \
  "$bin" utf16.txt 10 "$font" out/
# A table whose dSOC values are all there but none finite has records: they are left out, not
# missing.
printf 'h\nh\nh\n1 nan 2 3 4 5 6 7\n2 inf 3 4 5 6 7 8\n3 -inf 1 1 1 1 1 9\n' >nan.txt
check "dSOC not finite" 0 "histchart: left out values of 'dSOC': 3 are not finite numbers$nl" 7 \
  "$bin" nan.txt 10 "$font" out/
# Where the run itself barely fits, a compressed table's decoder cannot have its buffers: said
# so, not that the table does not fit.
if [ -n "${mapped:-}" ]; then
  check "gzip, its decoder's buffers beyond ulimit -v" 2 "histchart: out of memory reading 'sweep.gz': its gzip decoder's buffers are more than the memory allows$nl" 0 \
    bash -c 'ulimit -v "$1"; exec "${@:2}"' - $((mapped + 3072)) "$bin" sweep.gz 10 "$font" out/
fi
