# Sourced by e2e.sh (its helpers check, same_charts and whole_charts, and its variables bin,
# table, font, nl and work are in scope; the working directory is $work).
# The compressed formats as their own tools write them, and the formats that are only named.

# pzstd's frames, each after a skippable frame, read side by side: a table of several frames.
{ head -n 3 "$table"; for i in $(seq 200); do tail -n +4 "$table"; done; } >big.txt
check "a table of several pzstd frames, plain" 0 "" 7 "$bin" big.txt 10 "$font" out/
cp -r out big
pzstd -q -1 -p 2 -c big.txt >big.zst
check "pzstd" 0 "" 7 "$bin" big.zst 10 "$font" out/
same_charts "pzstd" big
check "pzstd from a pipe" 0 "" 7 "$bin" <(cat big.zst) 10 "$font" out/
same_charts "pzstd from a pipe" big
# Skippable frames first, between two frames and last.
skip() { printf "\x5$1\x2a\x4d\x18\x03\0\0\0abc"; }
{ skip 0; head -n 200 "$table" | zstd -q -c; skip f; tail -n +201 "$table" | zstd -q -c; skip 3; } >skippable.zst
check "zstd with skippable frames" 0 "" 7 "$bin" skippable.zst 10 "$font" out/
same_charts "zstd with skippable frames" example
check "zstd with skippable frames from a pipe" 0 "" 7 "$bin" <(cat skippable.zst) 10 "$font" out/
same_charts "zstd with skippable frames from a pipe" example

# A window beyond libzstd's default (1 GiB: the size of a table on a pipe is not known) is
# taken where the memory limit holds it, and refused with its size where it does not.
zstd -q --long=30 -c <"$table" >long.zst
check "zstd --long=30" 0 "" 7 "$bin" long.zst 10 "$font" out/
same_charts "zstd --long=30" example
for t in long.zst "<(cat long.zst)"; do
  check "zstd --long=30 under 256M: $t" 2 "histchart: out of memory reading '[^$nl]*': its zstd window of 1024 MiB is more than the memory allows$nl" 0 \
    bash -c "HISTCHART_MEMORY=256M exec \"\$0\" $t 10 \"\$1\" out/" "$bin" "$font"
done

# A .lzma dictionary is paid for alike: -9 asks for 64 MiB.
xz --format=lzma -9 -c "$table" >large.lzma
check "lzma -9" 0 "" 7 "$bin" large.lzma 10 "$font" out/
check "lzma -9 under 256M" 2 "histchart: out of memory reading 'large.lzma': its lzma dictionary of 64 MiB is more than the memory allows$nl" 0 \
  env HISTCHART_MEMORY=256M "$bin" large.lzma 10 "$font" out/

# lz4 and the legacy .lzma format: one frame, several, from a pipe; cut short or damaged.
{ head -n 200 "$table" | lz4 -q -c; tail -n +201 "$table" | lz4 -q -c; } >frames.lz4
check "two lz4 frames" 0 "" 7 "$bin" frames.lz4 10 "$font" out/
same_charts "two lz4 frames" example
for compress in "lz4 -q -c" "xz --format=lzma -c"; do
  name=${compress#*=} name=${name%% *}
  $compress <"$table" >"table.$name"
  check "$name" 0 "" 7 "$bin" "table.$name" 10 "$font" out/
  same_charts "$name" example
  check "$name from a pipe" 0 "" 7 "$bin" <(cat "table.$name") 10 "$font" out/
  same_charts "$name from a pipe" example
  size=$(stat -c %s "table.$name")
  head -c $((size - 9)) "table.$name" >cut.txt
  check "$name cut short" 2 "histchart: cannot read input table 'cut.txt': its $name data ends too early \(a cut-short file\?\)$nl" 0 \
    "$bin" cut.txt 10 "$font" out/
  cp "table.$name" damaged.txt
  printf '\125\252' | dd of=damaged.txt bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
  check "$name damaged" 2 "histchart: cannot read input table 'damaged.txt': its $name data is damaged \([^$nl]*\)$nl" 0 \
    "$bin" damaged.txt 10 "$font" out/
done

# Formats that are not read, each named with what to do.
lzip -c "$table" >table.lz
compress -c "$table" >table.Z
if command -v 7z >/dev/null; then 7z a -bd -bso0 table.7z "$table" >/dev/null; else printf '7z\274\257\047\034\0\4' >table.7z; fi
lz4 -l -q -c "$table" >legacy.lz4
for case in "table.lz:it is lzip data; decompress it first \(lzip -d\)" \
  "table.Z:it is compress \(.Z\) data; decompress it first \(uncompress\)" \
  "table.7z:it is a 7z archive; extract the table first \(7z x\)" \
  "legacy.lz4:it is lz4 data in the legacy format; decompress it first \(lz4 -d\)"; do
  f=${case%%:*}
  check "$f" 2 "histchart: cannot read input table '$f': ${case#*:}$nl" 0 "$bin" "$f" 10 "$font" out/
done
for encoding in UTF-32 UTF-32LE UTF-32BE; do
  iconv -f UTF-8 -t $encoding "$table" >utf32.txt
  check "$encoding" 2 "histchart: cannot read input table 'utf32.txt': it is UTF-32 text; save it as ASCII or UTF-8$nl" 0 \
    "$bin" utf32.txt 10 "$font" out/
done
