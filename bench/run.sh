#!/usr/bin/env bash
# Measures histchart against the parse floor and against numpy + matplotlib doing the same job,
# side by side in one run, and writes BENCHMARKS.md.
#   bench/run.sh [ROWS_LARGE]      (default 10000000; needs about 2 GB of disk in $TMPDIR)
# The floor is ../shared/bench/parse_floor.cpp beside the project (override with FLOOR_SRC);
# "before" is the release that sorted every series, built from git (override with BEFORE).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
large=${1:-10000000}
floor_src=${FLOOR_SRC:-$root/../shared/bench/parse_floor.cpp}
before_rev=${BEFORE:-fe2720f}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
scripts/install-deps bench

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DHISTCHART_TESTS=OFF \
  -DHISTCHART_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -O2 -std=c++20 "$floor_src" -o "$work/parse_floor"
mkdir "$work/before-src"
git archive "$before_rev" | tar -x -C "$work/before-src"
cmake -S "$work/before-src" -B "$work/before-build" -DHISTCHART_TESTS=OFF >/dev/null
cmake --build "$work/before-build" -j"$(nproc)" >/dev/null
before=$work/before-build/histchart
bin=$root/build-bench/histchart
floor=$work/parse_floor
numpy="/usr/bin/python3 $root/bench/numpy_hist.py"
mkdir -p "$work/out" "$work/limited" "$work/py"
build-bench/bench/make_table 1000000 1 >"$work/t1m.txt"
build-bench/bench/make_table "$large" 2 >"$work/tlarge.txt"
# Every bin occupied: uniform values at three decimals over a range of 10000 bins.
awk 'BEGIN { srand(3); print "h\nh\nh"; for (i = 0; i < 100000; i++) { printf "%d", i;
  for (c = 0; c < 7; c++) printf " %.3f", rand() * 1000 - 500; print "" } }' >"$work/uniform.txt"

cd "$work"
mean() {  # mean seconds of command N of a hyperfine JSON export
  python3 -c 'import json,sys; print("%.3f" % json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["mean"])' "$@"
}
ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }
hyperfine -N --warmup 2 --runs 15 --export-json 1m.json \
  "$floor t1m.txt" "$bin t1m.txt 10 $font out/" "$before t1m.txt 10 $font out/" >/dev/null
hyperfine -N --warmup 1 --runs 6 --export-json large.json \
  "$floor tlarge.txt" "$bin tlarge.txt 10 $font out/" "$before tlarge.txt 10 $font out/" >/dev/null
hyperfine --warmup 1 --runs 5 --export-json limited.json \
  "$floor tlarge.txt" "HISTCHART_MEMORY=64M $bin tlarge.txt 10 $font limited/" >/dev/null
hyperfine -N --runs 3 --export-json wide.json \
  "$bin uniform.txt 10000 $font out/" "$before uniform.txt 10000 $font out/" >/dev/null
hyperfine -N --runs 3 --export-json py1m.json "$numpy t1m.txt 10 py/" >/dev/null
hyperfine -N --runs 1 --export-json pylarge.json "$numpy tlarge.txt 10 py/" >/dev/null
"$bin" tlarge.txt 10 "$font" out/
same=yes
for f in out/*.jpg; do cmp -s "$f" "limited/${f#out/}" || same=no; done
rss=$(peak_kib "$bin" tlarge.txt 10 "$font" out/)
rss_before=$(peak_kib "$before" tlarge.txt 10 "$font" out/)
rss_limited=$(peak_kib env HISTCHART_MEMORY=64M "$bin" tlarge.txt 10 "$font" limited/)
rss_py=$(peak_kib $numpy tlarge.txt 10 py/)
f1=$(mean 1m.json 0) h1=$(mean 1m.json 1) fl=$(mean large.json 0) hl=$(mean large.json 1)
fm=$(mean limited.json 0) hm=$(mean limited.json 1) wide=$(mean wide.json 0)
b1=$(mean 1m.json 2) bl=$(mean large.json 2) bw=$(mean wide.json 1)
p1=$(mean py1m.json 0) pl=$(mean pylarge.json 0)
rows=$(python3 -c "print(f'{$large:,}')")
need_kib=$((large * 56 / 1024))
cd "$root"
micro=$(build-bench/bench/histchart_bench --benchmark_min_time=0.2 2>/dev/null | sed -n '/^BM_/p')

cat >BENCHMARKS.md <<MD
# Benchmarks

Measured by \`bench/run.sh\` on $(date -u +%Y-%m-%d): $(nproc) cores,
$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),
$(free -g | awk '/Mem:/ {print $2}') GiB of memory, Linux $(uname -r), a virtual machine.
Tables come from \`bench/make_table ROWS SEED\` (seeded, realistic magnitudes and signs, blanks
and tabs, some CR LF rows, now and then a ninth column); they are read from the page cache.
The floor is a minimal program that reads the file and parses every field with fast_float
(\`parse_floor.cpp\`, built with \`g++ -O2\`). numpy + matplotlib is \`bench/numpy_hist.py\`:
\`numpy.loadtxt\`, then \`matplotlib\` histograms saved as 432 x 216 JPEGs (Debian's python3-numpy
and python3-matplotlib). "Before" is histchart as it was before binning by counting
(\`$before_rev\`, which sorted every series and kept 112 bytes a row). Times are hyperfine means,
all measured side by side in one run.

| Run | Floor | histchart | Ratio | Target | Before | numpy + matplotlib |
|---|---|---|---|---|---|---|
| 1,000,000 rows, 10 bins ($(du -m "$work/t1m.txt" | cut -f1) MB) | ${f1} s | ${h1} s | $(ratio "$h1" "$f1") x | at most 1.6 x | ${b1} s | ${p1} s |
| $rows rows, 10 bins ($(du -m "$work/tlarge.txt" | cut -f1) MB) | ${fl} s | ${hl} s | $(ratio "$hl" "$fl") x | at most 1.4 x | ${bl} s | ${pl} s |
| $rows rows, \`HISTCHART_MEMORY=64M\` (read twice) | ${fm} s | ${hm} s | $(ratio "$hm" "$fm") x | at most 2.3 x | | |
| 100,000 rows, 10000 bins, every bin occupied | | ${wide} s | | at most 6 s | ${bw} s | |

Peak resident memory of the $rows-row run: $((rss / 1024)) MiB, against the $((need_kib / 1024)) MiB
that its values take (56 bytes a row): $(ratio "$rss" "$need_kib") x (target at most 1.3 x);
before: $((rss_before / 1024)) MiB.
With \`HISTCHART_MEMORY=64M\`: $((rss_limited / 1024)) MiB (target under 100 MiB), and the charts
are byte for byte those of the unlimited run: $same. numpy + matplotlib: $((rss_py / 1024)) MiB.

The 10000-bin charts are bound by GD's text calls: each call creates two FreeType size objects
and so runs the font's hinting programs again (about a million instructions a call, whatever
the text). Keeping the measuring call's outcome halves the calls; the remaining ones draw the
70,000 labels and cannot be left out without changing the pixels.

Micro-benchmarks (\`build-bench/bench/histchart_bench\`, Google Benchmark):

\`\`\`
$micro
\`\`\`

To reproduce: \`bench/run.sh\` (it installs hyperfine, Google Benchmark, numpy and matplotlib
if missing).
MD
echo "wrote BENCHMARKS.md"
