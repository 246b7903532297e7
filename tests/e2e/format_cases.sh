# Sourced by e2e.sh (its helpers check, same_charts and whole_charts, and its variables bin,
# table, font, nl and work are in scope; the working directory is $work).
# The compressed formats as their own tools write them, and the formats that are only named.

# charts_of NAME FILE DIR: FILE, from itself and from a pipe, gives the charts in DIR.
charts_of() {
  check "$1" 0 "" 7 "$bin" "$2" 10 "$font" out/
  same_charts "$1" "$3"
  check "$1 from a pipe" 0 "" 7 "$bin" <(cat "$2") 10 "$font" out/
  same_charts "$1 from a pipe" "$3"
}
# pzstd writes a skippable frame before each frame.
pzstd -q -p 2 -c "$table" >table.zst
charts_of pzstd table.zst example
skip() { printf "\x5$1\x2a\x4d\x18\x03\0\0\0abc"; }
{ skip 0; head -n 200 "$table" | zstd -q -c; skip f; tail -n +201 "$table" | zstd -q -c; skip 3; } >skippable.zst
charts_of "skippable frames first, between and last" skippable.zst example
# A 1 GiB window (the size of a table on a pipe is not known), and a 64 MiB .lzma dictionary.
zstd -q --long=30 -c <"$table" >long.zst
charts_of "zstd --long=30" long.zst example
xz --format=lzma -9 -c "$table" >table.lzma
charts_of "lzma" table.lzma example
{ head -n 200 "$table" | lz4 -q -c; tail -n +201 "$table" | lz4 -q -c; } >table.lz4
charts_of "two lz4 frames" table.lz4 example
size=$(stat -c %s table.lz4)
head -c $((size - 9)) table.lz4 >cut.lz4
cp table.lz4 damaged.lz4
printf '\125\252' | dd of=damaged.lz4 bs=1 seek=$((size / 4)) conv=notrunc 2>/dev/null
lzip -c "$table" >table.lz
compress -c "$table" >table.Z
7z a -bd table.7z "$table" >/dev/null
lz4 -l -q -c "$table" >legacy.lz4
for encoding in UTF-32LE UTF-32BE; do iconv -f UTF-8 -t $encoding "$table" >$encoding.txt; done
while IFS='|' read -r f limit line; do
  check "$f $limit" 2 "histchart: $line$nl" 0 env HISTCHART_MEMORY=$limit "$bin" "$f" 10 "$font" out/
done <<END
long.zst|256M|out of memory reading 'long.zst': its zstd window of 1024 MiB is more than the memory allows
table.lzma|256M|out of memory reading 'table.lzma': its lzma dictionary of 64 MiB is more than the memory allows
cut.lz4||cannot read input table 'cut.lz4': its lz4 data ends too early \(a cut-short file\?\)
damaged.lz4||cannot read input table 'damaged.lz4': its lz4 data is damaged \([^)]*\)
table.lz||cannot read input table 'table.lz': it is lzip data; decompress it first \(lzip -d\)
table.Z||cannot read input table 'table.Z': it is compress \(.Z\) data; decompress it first \(uncompress\)
table.7z||cannot read input table 'table.7z': it is a 7z archive; extract the table first \(7z x\)
legacy.lz4||cannot read input table 'legacy.lz4': it is lz4 data in the legacy format; decompress it first \(lz4 -d\)
UTF-32LE.txt||cannot read input table 'UTF-32LE.txt': it is UTF-32 text; save it as ASCII or UTF-8
UTF-32BE.txt||cannot read input table 'UTF-32BE.txt': it is UTF-32 text; save it as ASCII or UTF-8
END
