#!/usr/bin/env bash
# Measures histchart against the parse floor, the builds before, the decompressors alone and
# numpy + matplotlib doing the same job, side by side in one run, and writes BENCHMARKS.md.
#   bench/run.sh [ROWS_LARGE]      (default 10000000; needs about 3 GB of disk in $TMPDIR)
# The floor is ../shared/bench/parse_floor.cpp beside the project (override with FLOOR_SRC).
# "Before" is the release before compressed input and parallel reading (override with
# BEFORE); "sorting" the one that still sorted every series (override with SORTING).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
large=${1:-10000000}
before_rev=${BEFORE:-fd25704}
sorting_rev=${SORTING:-fe2720f}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
. bench/setup.sh
build_rev "$before_rev"
build_rev "$sorting_rev"
bin=$root/build-bench/histchart
before=$work/build-$before_rev/histchart
sorting=$work/build-$sorting_rev/histchart
floor=$work/parse_floor
numpy="/usr/bin/python3 $root/bench/numpy_hist.py"
cpus=$(nproc)
mkdir -p "$work/out" "$work/limited" "$work/py"
build-bench/bench/make_table 1000000 1 >"$work/t1m.txt"
build-bench/bench/make_table "$large" 2 >"$work/tlarge.txt"
gzip -6 -c "$work/tlarge.txt" >"$work/tlarge.txt.gz"
zstd -q -3 -c "$work/tlarge.txt" >"$work/tlarge.txt.zst"
# Every bin occupied: uniform values at three decimals over a range of 10000 bins.
awk 'BEGIN { srand(3); print "h\nh\nh"; for (i = 0; i < 100000; i++) { printf "%d", i;
  for (c = 0; c < 7; c++) printf " %.3f", rand() * 1000 - 500; print "" } }' >"$work/uniform.txt"
# A 300 MB header line, and a 300 MB word, under a 64 MiB limit.
{ head -c 300000000 /dev/zero | tr '\0' h; printf '\nh\nh\n'; head -n 1000 "$work/t1m.txt" | tail -n +4; } >"$work/header.txt"
{ printf 'h\nh\nh\n1 '; head -c 300000000 /dev/zero | tr '\0' 7; printf ' 2 3 4 5 6 7 8\n'; } >"$work/word.txt"

cd "$work"
mean() {  # mean seconds of command N of a hyperfine JSON export
  python3 -c 'import json,sys; print("%.3f" % json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["mean"])' "$@"
}
least() {  # the fastest run of command N
  python3 -c 'import json,sys; print("%.3f" % json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["min"])' "$@"
}
ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
# "RATIO x (fastest runs: RATIO x)" of histchart's command N against the floor's command F.
ratios() {  # ratios JSON N F
  echo "$(ratio "$(mean "$1" "$2")" "$(mean "$1" "$3")") x ($(ratio "$(least "$1" "$2")" "$(least "$1" "$3")") x)"
}
peak_kib() { { /usr/bin/time -f %M "$@" 2>&1 >/dev/null || true; } | tail -1; }
status_of() { "$@" >/dev/null 2>&1 && echo 0 || echo $?; }
one="taskset -c 0"
side_by_side() { python3 "$root/bench/interleave.py" "$@"; }
side_by_side 1m.json 15 2 \
  "$floor t1m.txt" "$bin t1m.txt 10 $font out/" "$before t1m.txt 10 $font out/" \
  "$one $bin t1m.txt 10 $font out/"
side_by_side large.json 6 1 \
  "$floor tlarge.txt" "$bin tlarge.txt 10 $font out/" "$before tlarge.txt 10 $font out/" \
  "$one $bin tlarge.txt 10 $font out/" "cat tlarge.txt"
side_by_side limited.json 5 1 \
  "$floor tlarge.txt" "HISTCHART_MEMORY=64M $bin tlarge.txt 10 $font limited/" \
  "HISTCHART_MEMORY=64M $one $bin tlarge.txt 10 $font limited/"
side_by_side compressed.json 5 1 \
  "$floor tlarge.txt" "$bin tlarge.txt.gz 10 $font out/" "$bin tlarge.txt.zst 10 $font out/" \
  "igzip -dc tlarge.txt.gz" "gzip -dc tlarge.txt.gz" "zstd -dc tlarge.txt.zst" \
  "$one $bin tlarge.txt.gz 10 $font out/" "$one $bin tlarge.txt.zst 10 $font out/"
side_by_side wide.json 3 0 \
  "$bin uniform.txt 10000 $font out/" "$sorting uniform.txt 10000 $font out/" \
  "$one $bin uniform.txt 10000 $font out/"
side_by_side start.json 20 3 \
  "$bin $root/examples/results.txt 10 $font out/" "$one $bin $root/examples/results.txt 10 $font out/" \
  "$bin"
hyperfine -N --runs 3 --export-json py1m.json "$numpy t1m.txt 10 py/" >/dev/null
hyperfine -N --runs 1 --export-json pylarge.json "$numpy tlarge.txt 10 py/" >/dev/null
"$bin" tlarge.txt 10 "$font" out/
same=yes
for f in out/*.jpg; do cmp -s "$f" "limited/${f#out/}" || same=no; done
rss=$(peak_kib "$bin" tlarge.txt 10 "$font" out/)
rss_before=$(peak_kib "$before" tlarge.txt 10 "$font" out/)
rss_limited=$(peak_kib env HISTCHART_MEMORY=64M "$bin" tlarge.txt 10 "$font" limited/)
rss_py=$(peak_kib $numpy tlarge.txt 10 py/)
rss_header=$(peak_kib env HISTCHART_MEMORY=64M "$bin" header.txt 10 "$font" out/)
rss_word=$(peak_kib env HISTCHART_MEMORY=64M "$bin" word.txt 10 "$font" out/)
status_header=$(status_of env HISTCHART_MEMORY=64M "$bin" header.txt 10 "$font" out/)
status_word=$(status_of env HISTCHART_MEMORY=64M "$bin" word.txt 10 "$font" out/)

f1=$(mean 1m.json 0) h1=$(mean 1m.json 1) b1=$(mean 1m.json 2) o1=$(mean 1m.json 3)
fl=$(mean large.json 0) hl=$(mean large.json 1) bl=$(mean large.json 2) ol=$(mean large.json 3)
cat_large=$(mean large.json 4)
fm=$(mean limited.json 0) hm=$(mean limited.json 1) om=$(mean limited.json 2)
fc=$(mean compressed.json 0) hgz=$(mean compressed.json 1) hzst=$(mean compressed.json 2)
igzip=$(mean compressed.json 3) gunzip=$(mean compressed.json 4) unzstd=$(mean compressed.json 5)
ogz=$(mean compressed.json 6) ozst=$(mean compressed.json 7)
wide=$(mean wide.json 0) sw=$(mean wide.json 1) ow=$(mean wide.json 2)
small=$(mean start.json 0) small_one=$(mean start.json 1) start=$(mean start.json 2)
p1=$(mean py1m.json 0) pl=$(mean pylarge.json 0)
rows=$(python3 -c "print(f'{$large:,}')")
need_kib=$((large * 56 / 1024))
mb_large=$(du -m tlarge.txt | cut -f1) mb_1m=$(du -m t1m.txt | cut -f1) mb_gz=$(du -m tlarge.txt.gz | cut -f1)
# The model for more cores, from the costs measured here (see the text below).
model() {  # model CORES
  python3 -c "
cores = $1
start, charts1 = $start, $small_one - $start
read1 = $ol - $small_one          # one core: reading, holding and counting 10M rows
draw = charts1 / min(cores, 7)    # seven charts, one process each at most
copy = $cat_large                 # the page cache to memory once, on one core
print('%.2f' % (start + max(read1 / cores, copy / min(cores, 8)) + draw))"
}
r1=$(ratios 1m.json 1 0) rl=$(ratios large.json 1 0) rm=$(ratios limited.json 1 0)
rgz=$(ratios compressed.json 1 0) rzst=$(ratios compressed.json 2 0)
cd "$root"
micro=$(build-bench/bench/histchart_bench --benchmark_min_time=0.2 2>/dev/null | sed -n '/^BM_/p')

cat >BENCHMARKS.md <<MD
# Benchmarks

Measured by \`bench/run.sh\` on $(date -u +%Y-%m-%d): $cpus cores,
$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'),
$(free -g | awk '/Mem:/ {print $2}') GiB of memory, Linux $(uname -r), a virtual machine.
Tables come from \`bench/make_table ROWS SEED\` (seeded, realistic magnitudes and signs, blanks
and tabs, some CR LF rows, now and then a ninth column); they are read from the page cache.
The floor is a minimal single-thread program that reads the file and parses every field with
fast_float (\`parse_floor.cpp\`, built with \`g++ -O2\`). numpy + matplotlib is
\`bench/numpy_hist.py\`: \`numpy.loadtxt\`, then \`matplotlib\` histograms saved as 432 x 216
JPEGs. "Before" is histchart as it was before compressed input and reading on every core
(\`$before_rev\`); "sorting" is the build that still sorted every series (\`$sorting_rev\`).
Times are means over rounds that run every compared command once, in turn
(\`bench/interleave.py\`), so that the machine's drift over the minutes touches them alike;
these machines are noisy, so the ratios are what counts. The ratio column gives the ratio of the means, and in brackets
that of the fastest runs: most of the spread is the virtual machine's time to hand fresh
memory to a run (system time of 0.1 to 2.5 s for the same 534 MiB).

| Run | Floor | histchart | Ratio | Target | Before | numpy + matplotlib |
|---|---|---|---|---|---|---|
| 1,000,000 rows, 10 bins (${mb_1m} MB) | ${f1} s | ${h1} s | ${r1} | at most 0.8 x | ${b1} s | ${p1} s ($(ratio "$p1" "$h1") x histchart; target at least 8 x) |
| $rows rows, 10 bins (${mb_large} MB) | ${fl} s | ${hl} s | ${rl} | at most 0.55 x | ${bl} s | ${pl} s |
| $rows rows, \`HISTCHART_MEMORY=64M\` (read twice) | ${fm} s | ${hm} s | ${rm} | at most 1.0 x | | |
| $rows rows as \`.gz\` (${mb_gz} MB) | ${fc} s | ${hgz} s | ${rgz} | at most 1.2 x | | |
| $rows rows as \`.zst\` | ${fc} s | ${hzst} s | ${rzst} | at most 1.1 x | | |
| 100,000 rows, 10000 bins, every bin occupied | | ${wide} s | $(ratio "$wide" "$sw") x sorting | at most 0.45 x sorting | sorting: ${sw} s | |

The plain $rows-row run against the build before: $(ratio "$hl" "$bl") x (target at most
1.05 x); on one CPU: $(ratio "$ol" "$bl") x.
The decompressors alone, on the same table: \`igzip -dc\` ${igzip} s, \`gzip -dc\` ${gunzip} s,
\`zstd -dc\` ${unzstd} s; \`cat\` of the plain table ${cat_large} s.

Peak resident memory of the $rows-row run: $((rss / 1024)) MiB, against the $((need_kib / 1024)) MiB
that its values take (56 bytes a row): $(ratio "$rss" "$need_kib") x (target at most 1.15 x);
before: $((rss_before / 1024)) MiB. With \`HISTCHART_MEMORY=64M\`: $((rss_limited / 1024)) MiB, and
the charts are byte for byte those of the unlimited run: $same. numpy + matplotlib:
$((rss_py / 1024)) MiB. Under \`HISTCHART_MEMORY=64M\`, a 300 MB header line: status $status_header,
$((rss_header / 1024)) MiB; a 300 MB word: status $status_word, $((rss_word / 1024)) MiB (target: 0 and 2, each
under 100 MiB).

## Scaling over the cores

The same runs on one CPU (\`taskset -c 0\`) and on all $cpus of this machine:

| Run | 1 CPU | $cpus CPUs | Speed-up |
|---|---|---|---|
| 1,000,000 rows | ${o1} s | ${h1} s | $(ratio "$o1" "$h1") x |
| $rows rows | ${ol} s | ${hl} s | $(ratio "$ol" "$hl") x |
| $rows rows, read twice | ${om} s | ${hm} s | $(ratio "$om" "$hm") x |
| $rows rows as \`.gz\` | ${ogz} s | ${hgz} s | $(ratio "$ogz" "$hgz") x |
| $rows rows as \`.zst\` | ${ozst} s | ${hzst} s | $(ratio "$ozst" "$hzst") x |
| 100,000 rows, 10000 bins | ${ow} s | ${wide} s | $(ratio "$ow" "$wide") x |
| the example table (400 rows) | ${small_one} s | ${small} s | $(ratio "$small_one" "$small") x |

Worked out for more cores from the costs measured above: starting the program (loading GD
and its libraries) takes ${start} s; the seven charts of ten bins take
$(python3 -c "print('%.3f' % ($small_one - $start))") s on one core, and a process draws one chart at a time; reading, holding
and counting the $rows rows takes $(python3 -c "print('%.2f' % ($ol - $small_one))") s on one core and divides over the pieces, one
a core, with a join that reads 16 lines a piece again; the pieces come from the page cache,
which copies the table in ${cat_large} s on one core and scales with memory bandwidth to
about eight cores. A run is then about start + max(reading / cores, copy / min(cores, 8)) +
charts / min(cores, 7):

| Cores | $rows rows, 10 bins | Bound by |
|---|---|---|
| 2 (model) | $(model 2) s | the parsing (measured: ${hl} s) |
| 16 | $(model 16) s | the parsing, then the page cache and start-up |
| 64 | $(model 64) s | start-up, the charts and memory bandwidth: parsing is under a tenth of the run |

Beyond about sixteen cores the run no longer shrinks with the table: the fixed costs (loading
the libraries, drawing seven charts of which one process draws one at a time, and zeroing the
memory that holds the values, 56 bytes a row, which the kernel does on the faulting core)
take the rest. A compressed table is bound by its decompressor from two cores on: it
decompresses on one thread, in order (\`igzip -dc\` takes ${igzip} s here, \`zstd -dc\`
${unzstd} s), while parsing divides over the other cores.

The 10000-bin charts are bound by GD's text calls: each creates two FreeType size objects and
so runs the font's hinting programs again (about a million instructions a call, whatever the
text), and GD holds one lock across every call in a process. The charts are therefore drawn by
processes, not threads, at most seven: with more cores the run is bound by its slowest chart.

Micro-benchmarks (\`build-bench/bench/histchart_bench\`, Google Benchmark):

\`\`\`
$micro
\`\`\`

To reproduce: \`bench/run.sh\` (it installs hyperfine, Google Benchmark, numpy and matplotlib
if missing).
MD
echo "wrote BENCHMARKS.md"
