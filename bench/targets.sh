#!/usr/bin/env bash
# The per-core and decompression figures: this build and an earlier one (BEFORE, default
# 3eceecd) side by side with the parse floor or the decompressor alone, in interleaved rounds.
# Prints a Markdown table for BENCHMARKS.md.
#   bench/targets.sh [ROUNDS]      (default 5; needs about 2 GB of disk in $TMPDIR)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
rounds=${1:-5}
before_rev=${BEFORE:-3eceecd}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
. bench/setup.sh
build_rev "$before_rev"
now=$root/build-bench/histchart before=$work/build-$before_rev/histchart
cd "$work"
mkdir out
"$root/build-bench/bench/make_table" 1000000 1 >t1m.txt
"$root/build-bench/bench/make_table" 10000000 2 >t10m.txt
gzip -6 -c t10m.txt >t10m.gz
zstd -q -3 -c t10m.txt >t10m.zst
split -n l/4 t10m.txt part.
for p in part.a?; do zstd -q -3 -c "$p"; done >t10m4.zst
rm part.a?
xz -T2 --block-size=8MiB -c t1m.txt >t1m.xz
bzip2 -9 -c t1m.txt >t1m.bz2

echo "| Run | Against | Its time | $before_rev | This build | Target |"
echo "|---|---|---|---|---|---|"
row() {  # row NAME AGAINST-NAME TARGET AGAINST-COMMAND ARGS-PREFIX TABLE
  local name=$1 against=$2 target=$3 base=$4 prefix=$5 table=$6
  python3 "$root/bench/interleave.py" t.json "$rounds" 1 "$base" \
    "$prefix $before $table 10 $font out/" "$prefix $now $table 10 $font out/"
  python3 - "$name" "$against" "$target" <<'PY'
import json, sys
base, before, now = json.load(open("t.json"))["results"]
cell = lambda r: "%.2f x (%.2f x)" % (r["mean"] / base["mean"], r["min"] / base["min"])
print("| %s | %s | %.3f s | %s | %s | %s |" % (sys.argv[1], sys.argv[2], base["mean"], cell(before), cell(now), sys.argv[3]))
PY
}
floor="$work/parse_floor t10m.txt"
row "10,000,000 rows" floor "0.33 x" "$floor" "" t10m.txt
row "10,000,000 rows, one CPU" floor "0.6 x" "$floor" "taskset -c 0" t10m.txt
row "1,000,000 rows" floor "0.5 x" "$work/parse_floor t1m.txt" "" t1m.txt
row "10,000,000 rows, read twice" floor "0.6 x" "$floor" "env HISTCHART_MEMORY=64M" t10m.txt
row "10,000,000 rows as .gz" floor "0.85 x" "$floor" "" t10m.gz
row "10,000,000 rows as .zst" floor "0.95 x" "$floor" "" t10m.zst
row "10,000,000 rows as .zst of 4 frames" "zstd -dc" "0.85 x" "zstd -dc t10m4.zst" "" t10m4.zst
row "1,000,000 rows as .xz of 8 MiB blocks" "xz -dc -T1" "0.7 x" "xz -dc -T1 t1m.xz" "" t1m.xz
row "1,000,000 rows as .bz2" "bzip2 -dc" "0.6 x" "bzip2 -dc t1m.bz2" "" t1m.bz2
for build in "$before" "$now"; do
  /usr/bin/time -f "%S" "$build" t10m.txt 10 "$font" out/ 2>&1 >/dev/null | tail -1
done | paste -sd' ' | awk '{ print "\nSystem time of one 10,000,000-row run: " $1 " s before, " $2 " s now (target at most 0.15 s)." }'
