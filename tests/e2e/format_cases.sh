# Sourced by e2e.sh: compressed tables as their own tools write them, known by their first bytes
# whatever their name, from a file and from a pipe, and the formats that are only named.

# both NAME FILE: FILE, from itself and from a pipe, gives the example table's charts.
both() {
  charts "$1" "$bin" "$2"
  charts "$1 from a pipe" "$bin" <(cat "$2")
}
# Cut short or damaged: status 2, one line, no chart. xz in 4 KiB blocks is decoded on several
# threads, when there are several.
for compress in "gzip -c" "zstd -q -c" "xz -c" "xz -T2 --block-size=4KiB -c" "bzip2 -c" "lz4 -q -c"; do
  name=${compress%% *}
  $compress "$table" >"table.$name.txt"
  both "$name" "table.$name.txt"
  size=$(stat -c %s "table.$name.txt")
  head -c $((size - 9)) "table.$name.txt" >cut.txt
  refused "$name cut short" cut.txt "its $name data ends too early \(a cut-short file\?\)"
  cp "table.$name.txt" damaged.txt
  printf '\125\252' | dd of=damaged.txt bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
  refused "$name damaged" damaged.txt "its $name data is damaged \([^$nl]*\)"
done
# zstd files may hold skippable frames anywhere (pzstd's start each frame with one), lz4 files
# too: from a pipe, what follows a first one of 100 bytes tells the format.
skip() { printf "\x5$1\x2a\x4d\x18\x64\0\0\0"; head -c 100 /dev/zero; }
for compress in "zstd -q -c" "lz4 -q -c"; do
  { skip 0; head -n 200 "$table" | $compress; skip f; tail -n +201 "$table" | $compress; skip 3; } >skippable
  both "${compress%% *}: skippable frames first, between and last" skippable
done
# A 1 GiB window (the size of a table on a pipe is not known), and a 64 MiB .lzma dictionary;
# also as other lzma tools write it, its size in the header.
zstd -q --long=30 -c <"$table" >long.zst
both "zstd --long=30" long.zst
xz --format=lzma -9 -c "$table" >table.lzma
both "lzma" table.lzma
{ head -c 5 table.lzma; perl -e 'print pack("Q<", shift)' "$(stat -c %s "$table")"; tail -c +14 table.lzma; } >sized.lzma
both "lzma of a stated size" sized.lzma
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
table.lz||cannot read input table 'table.lz': it is lzip data; decompress it first \(lzip -d\)
table.Z||cannot read input table 'table.Z': it is compress \(.Z\) data; decompress it first \(uncompress\)
table.7z||cannot read input table 'table.7z': it is a 7z archive; extract the table first \(7z x\)
legacy.lz4||cannot read input table 'legacy.lz4': it is lz4 data in the legacy format; decompress it first \(lz4 -d\)
UTF-32LE.txt||cannot read input table 'UTF-32LE.txt': it is UTF-32 text; save it as ASCII or UTF-8
UTF-32BE.txt||cannot read input table 'UTF-32BE.txt': it is UTF-32 text; save it as ASCII or UTF-8
END
