#!/usr/bin/env bash
# The program as a user runs it: exit statuses, the lines on standard error and the charts
# written or not, for the example table and for hostile tables and conditions. Every run must
# end in bounded time, never crash, never report a failure as success and never leave anything
# but whole charts under final names.
#   e2e.sh HISTCHART EXAMPLE_TABLE FONT
set -u
export LC_ALL=C  # the patterns below match bytes, whatever a table holds
bin=$(realpath "$1") table=$(realpath "$2") font=$3
here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
declare -A first_outcomes
fail() { failures=$((failures + 1)) && echo "FAIL: $*"; }

# whole_charts NAME: out/ holds nothing but whole JPEGs (start and end markers) under final names.
whole_charts() {
  local f
  find out -type f ! -name '*.jpg' | grep -q . && fail "$1: stray files $(ls out | tr '\n' ' ')"
  for f in out/*.jpg; do
    [ ! -e "$f" ] || [ "$(head -c 2 "$f" | od -An -tx1)$(tail -c 2 "$f" | od -An -tx1)" = " ff d8 ff d9" ] ||
      fail "$1: truncated chart $f"
  done
}

# check NAME STATUS STDERR_REGEX CHARTS COMMAND...: in a fresh out/, COMMAND ends within two
# minutes with STATUS, its whole standard error matches the regular expression, nothing goes
# to standard output, and exactly CHARTS whole charts are written.
check() {
  local name=$1 want_status=$2 want_err=$3 want_charts=$4 status
  shift 4
  rm -rf out && mkdir out
  timeout 120 "$@" >stdout 2>stderr
  status=$?
  [ "$status" -eq "$want_status" ] || fail "$name: status $status, want $want_status"
  [[ "$(cat stderr; printf x)" =~ ^${want_err}x$ ]] || fail "$name: stderr: $(head -c 300 stderr)"
  [ -s stdout ] && fail "$name: wrote to standard output"
  [ "$(ls out | wc -l)" -eq "$want_charts" ] || fail "$name: not $want_charts charts"
  whole_charts "$name"
}

# same_charts NAME DIR: the charts in out/ are byte for byte those in DIR.
same_charts() {
  for f in "$2"/*.jpg; do cmp -s "$f" "out/${f##*/}" || fail "$1: ${f##*/} differs"; done
}

nl=$'\n'
check "no arguments" 1 "$bin input_file bin_count font_filename$nl" 0 "$bin"
check "five arguments" 1 "$bin input_file bin_count font_filename$nl" 0 "$bin" "$table" 10 "$font" out/ x
for count in 0 10001; do
  check "bin count $count" 1 "histchart: bad bin count '$count': expected a whole number from 1 to 10000$nl" 0 \
    "$bin" "$table" "$count" "$font" out/
done
check "malformed HISTCHART_MEMORY" 1 "histchart: bad memory limit '12x': expected a number of bytes, with an optional K, M, G or T suffix$nl" 0 \
  env HISTCHART_MEMORY=12x "$bin" "$table" 10 "$font" out/
check "missing table" 2 "Unable to open file: no/table.txt$nl" 0 "$bin" no/table.txt 10 "$font" out/
mkdir adir
check "a directory as table" 2 "histchart: cannot read input table 'adir': Is a directory$nl" 0 "$bin" adir 10 "$font" out/

# The example table gives the same charts however it arrives and however much may be held.
check "example table" 0 "" 7 "$bin" "$table" 10 "$font" out/
cp -r out example
check "from a pipe" 0 "" 7 "$bin" <(cat "$table") 10 "$font" out/
same_charts "from a pipe" example
for limit in 0 $((32 * 1048576 + 56 * 150)); do
  check "HISTCHART_MEMORY=$limit" 0 "" 7 env HISTCHART_MEMORY=$limit "$bin" "$table" 10 "$font" out/
  same_charts "HISTCHART_MEMORY=$limit" example
done
# Compressed tables, known by their first bytes whatever their name, from a file and from a
# pipe: the charts of the plain table. Cut short or damaged: status 2, one line, no chart.
# xz in 4 KiB blocks is decoded on several threads, when there are several.
compressors=("gzip -c" "zstd -q -c" "xz -c" "xz -T2 --block-size=4KiB -c" "bzip2 -c")
# Two members, frames or streams of each format read as one table.
for compress in "gzip -c" "zstd -q -c" "xz -c" "bzip2 -c"; do
  { head -n 200 "$table" | $compress; tail -n +201 "$table" | $compress; } >members.bin
  check "two ${compress%% *} streams" 0 "" 7 "$bin" members.bin 10 "$font" out/
  same_charts "two ${compress%% *} streams" example
done
# A text table whose first line starts like a bzip2 stream, with no bzip2 block after it.
{ printf 'BZh9 header\n'; tail -n +2 "$table"; } >bzh.txt
check "a header line starting BZh9" 0 "" 7 "$bin" bzh.txt 10 "$font" out/
# A word may grow beyond the read buffer within the room for words (an eighth of what the run
# may hold beyond its own 32 MiB: 2 MiB here, 1 MiB at 40M), not beyond it.
for size in 1500000 5000000; do
  { printf 'h\nh\nh\n1 '; head -c "$size" /dev/zero | tr '\0' 0; printf ' 2 3 4 5 6 7\n2 1 1 1 1 1 1 1\n'; } >word.txt
  gzip -1 -c word.txt >word.gz
  if [ "$size" -lt 2097152 ]; then want=(0 "" 7); else want=(2 "histchart: out of memory reading '[^$nl]*': a field of more than [2-5] MB is longer than the memory allows$nl" 0); fi
  check "a word of $size bytes from a pipe" "${want[@]}" env HISTCHART_MEMORY=48M "$bin" <(cat word.txt) 10 "$font" out/
  check "a word of $size bytes through gzip" "${want[@]}" env HISTCHART_MEMORY=48M "$bin" word.gz 10 "$font" out/
  # From a file, read again around it for its length and its line.
  [ "$size" -lt 2097152 ] || want=(2 "histchart: out of memory reading 'word.txt': a field of 5 MB on line 4 is longer than the memory allows$nl" 0)
  check "a word of $size bytes in a file" "${want[@]}" env HISTCHART_MEMORY=40M "$bin" word.txt 10 "$font" out/
done
for compress in "${compressors[@]}"; do
  name=${compress%% *}
  $compress "$table" >"table.$name.txt"
  check "$name" 0 "" 7 "$bin" "table.$name.txt" 10 "$font" out/
  same_charts "$name" example
  check "$name from a pipe" 0 "" 7 "$bin" <(cat "table.$name.txt") 10 "$font" out/
  same_charts "$name from a pipe" example
  size=$(stat -c %s "table.$name.txt")
  head -c $((size - 9)) "table.$name.txt" >cut.txt
  check "$name cut short" 2 "histchart: cannot read input table 'cut.txt': its $name data ends too early \(a cut-short file\?\)$nl" 0 \
    "$bin" cut.txt 10 "$font" out/
  cp "table.$name.txt" damaged.txt
  printf '\125\252' | dd of=damaged.txt bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
  check "$name damaged" 2 "histchart: cannot read input table 'damaged.txt': its $name data is damaged \([^$nl]*\)$nl" 0 \
    "$bin" damaged.txt 10 "$font" out/
done
# What is not text is refused before anything is read as a table.
printf 'h\nh\nh\n1 2 3 4 5 6 7 8\n\0\n' >binary.txt
printf '\377\376h\0\n\0' >utf16le.txt
printf '\376\377\0h\0\n' >utf16be.txt
check "binary data" 2 "histchart: cannot read input table 'binary.txt': it holds binary data, not text$nl" 0 "$bin" binary.txt 10 "$font" out/
for f in utf16le.txt utf16be.txt; do
  check "$f" 2 "histchart: cannot read input table '$f': it is UTF-16 text; save it as ASCII or UTF-8$nl" 0 "$bin" "$f" 10 "$font" out/
done
check "binary data through gzip" 2 "histchart: cannot read input table '/dev/fd/[0-9]+': it holds binary data, not text$nl" 0 \
  "$bin" <(gzip -c binary.txt) 10 "$font" out/
# A field is shown whole up to 40 bytes, and cut with "..." beyond; a DEL byte as \x7f.
printf 'h\nh\nh\n1 %s %s a\177b 5 6 7 8\n2 1 2 3 4 5 6 7\n' "$(printf 'x%.0s' {1..40})" "$(printf 'y%.0s' {1..41})" >shown.txt
check "fields of 40 and 41 bytes" 0 "histchart: fields read as 0 or their leading number in 'dSOC': 1 is not a number, '$(printf 'x%.0s' {1..40})' on line 4${nl}\
histchart: fields read as 0 or their leading number in 'CH4': 1 is not a number, '$(printf 'y%.0s' {1..40})\.\.\.' on line 4${nl}\
histchart: fields read as 0 or their leading number in 'N2O': 1 is not a number, 'a\\\\x7fb' on line 4$nl" 7 "$bin" shown.txt 10 "$font" out/
# Fields that are not numbers keep their value and are reported, once, before the charts.
printf 'h\nh\nh\nrun a b c d e f g\n1 NA 2 3 4 5 6 7\n2 1 2 3 4 5 6 7\n' >na.txt
check "fields that are not numbers" 0 "histchart: fields read as 0 or their leading number in 'dSOC': 2 are not numbers, the first 'a' on line 4$nl(histchart: fields read as 0 [^$nl]*$nl){6}" 7 \
  env HISTCHART_MEMORY=0 "$bin" na.txt 10 "$font" out/

check "a pipe beyond the limit" 2 "histchart: out of memory reading '/dev/fd/[0-9]+': the table does not fit in memory$nl" 0 \
  env HISTCHART_MEMORY=32M "$bin" <(cat "$table") 10 "$font" out/
# ... also while its writer goes quiet without closing it, once a block has come: the run ends
# rather than wait for bytes it will not use.
for ((i = 0; i < 160; i++)); do cat "$table"; done >ex160.txt
check "a pipe beyond the limit, its writer quiet" 2 "histchart: out of memory reading '/dev/fd/[0-9]+': the table does not fit in memory$nl" 0 \
  timeout 10 env HISTCHART_MEMORY=32M "$bin" <(cat ex160.txt; sleep 60) 10 "$font" out/
# Under an address-space limit of what the program maps holding nothing (measured while it
# waits on a FIFO) plus 48 MiB, with values that take 22 MB; AddressSanitizer needs terabytes of it.
if ! ldd "$bin" | grep -q libasan; then
  mkfifo fifo
  HISTCHART_MEMORY=0 "$bin" fifo 10 "$font" out/ &
  exec 3>fifo
  sleep 0.5
  mapped=$(awk '/^VmSize/ { print $2 }' "/proc/$!/status")
  exec 3>&-
  wait
  awk 'BEGIN { print "h\nh\nh"; for (i = 0; i < 800000; i++) print i, i % 977 - 400, i / 7, i % 13, 1, 2, 3, i % 101 }' >wide.txt
  # Its NO, N2 and NH3 columns are constants.
  constants="(histchart: all 800000 values of '[A-Z0-9]+' are [123]: its chart has no bars$nl){3}"
  check "no address-space limit" 0 "$constants" 7 "$bin" wide.txt 10 "$font" out/
  mv out wide
  check "ulimit -v" 0 "$constants" 7 bash -c 'ulimit -v "$1"; exec "${@:2}"' - $((mapped + 49152)) "$bin" wide.txt 10 "$font" out/
  same_charts "ulimit -v" wide
  # ... and it really read the table twice: by the time the first chart is being written, the
  # bytes it has read are well over the table's size.
  rm -rf out && mkdir out
  bash -c 'ulimit -v "$1"; exec "${@:2}"' - $((mapped + 49152)) "$bin" wide.txt 10000 "$font" out/ 2>/dev/null &
  for ((t = 0; t < 1200; t++)); do compgen -G 'out/*.jpg.*' >/dev/null && break; sleep 0.05; done
  read_bytes=$(awk '/^rchar/ { print $2 }' "/proc/$!/io")
  kill $! && wait $!
  [ "${read_bytes:-0}" -gt $(($(stat -c %s wide.txt) * 6 / 5)) ] || fail "ulimit -v: read ${read_bytes:-?} bytes of a table of $(stat -c %s wide.txt)"
  # Swept over address-space limits, as a plain file, as gzip and from a pipe, on one CPU and on
  # all (and as bzip2 in blocks of 100 kB, in wider steps, up to where they are decoded side by
  # side): every run ends within seconds, with the charts of an unlimited run or with status 2, one
  # line that says it ran out of memory, and no chart; once a run succeeds, it succeeds at every
  # higher limit; the core count never changes the outcome; and a file, which can be read twice,
  # succeeds wherever the run itself fits.
  head -n 100003 wide.txt >sweep.txt
  gzip -1 -c sweep.txt >sweep.gz
  bzip2 -1 -c sweep.txt >sweep.bz2
  check "sweep, unlimited" 0 "(histchart: all [^$nl]*$nl){3}" 7 "$bin" sweep.txt 10 "$font" out/
  mv out sweep
  for input in sweep.txt sweep.gz pipe sweep.bz2; do
    step=8192
    [ "$input" = sweep.bz2 ] && step=65536
    for cpus in 0 "0-$(($(nproc) - 1))"; do
      outcomes=""
      for ((k = 1; k <= 10; k++)); do
        limit=$((mapped + k * step))
        rm -rf out && mkdir out
        if [ "$input" = pipe ]; then
          timeout 20 taskset -c "$cpus" bash -c 'ulimit -v "$1"; exec "$2" <(cat sweep.txt) 10 "$3" out/' - "$limit" "$bin" "$font" 2>stderr
        else
          timeout 20 taskset -c "$cpus" bash -c 'ulimit -v "$1"; exec "${@:2}"' - "$limit" "$bin" "$input" 10 "$font" out/ 2>stderr
        fi
        status=$?
        case $status in
          0) same_charts "sweep $input on CPUs $cpus at $limit KiB" sweep
             outcomes+=0 ;;
          2) [[ "$(cat stderr)" =~ ^"histchart: out of memory reading '"[^$nl]*"': the table does not fit in memory"$ ]] &&
               [ -z "$(ls out)" ] || fail "sweep $input on CPUs $cpus at $limit KiB: $(head -c 200 stderr)"
             outcomes+=2 ;;
          *) fail "sweep $input on CPUs $cpus at $limit KiB: status $status $(head -c 200 stderr)"
             outcomes+=x ;;
        esac
      done
      [[ "$outcomes" =~ ^2*0*$ ]] || fail "sweep $input on CPUs $cpus: not monotone in the limit: $outcomes"
      [ "$input" = pipe ] || [[ "$outcomes" =~ ^0*$ ]] || fail "sweep $input on CPUs $cpus: a file refused: $outcomes"
      [ -z "${first_outcomes[$input]:-}" ] || [ "${first_outcomes[$input]}" = "$outcomes" ] ||
        fail "sweep $input: $outcomes on CPUs $cpus, ${first_outcomes[$input]} on one"
      first_outcomes[$input]=$outcomes
    done
  done
fi
# Under umask 002 a chart made 0644 (664 expected) or 0600 would show.
check "forgiving bin count, a name prefix, umask 002" 0 "" 7 bash -c 'umask 002; exec "$0" "$@"' "$bin" "$table" " 7x" "$font" out/run7_
[ "$(stat -c %a out/run7_N_leaching.jpg)" = 664 ] || fail "prefix and umask: no out/run7_N_leaching.jpg of mode 664"
# One bin: the title, "Count" and six count labels a chart, each measured and drawn. A font
# that cannot be opened is named with the system's reason (root reads it without its override).
cp "$font" unreadable.ttf && chmod 000 unreadable.ttf
plain_user=()
[ "$(id -u)" != 0 ] || plain_user=(setpriv --bounding-set=-dac_override,-dac_read_search)
for font_case in "no/font.ttf:No such file or directory" "unreadable.ttf:Permission denied"; do
  check "font ${font_case%%:*}" 0 "histchart: cannot use font '${font_case%%:*}': ${font_case#*:}; the charts are drawn without text$nl(draw_text\(\) error: [^$nl]*$nl){112}" 7 \
    "${plain_user[@]}" "$bin" "$table" 1 "${font_case%%:*}" out/
done
# FONT and PREFIX swapped: the font named is the wrong argument.
check "font and prefix swapped" 0 "histchart: cannot use font 'out/': [^$nl]*; the charts are drawn without text$nl(draw_text\(\) error: [^$nl]*$nl)*" 0 \
  "$bin" "$table" 1 out/ swapped_
rm -f swapped_*.jpg
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
check "a missing output directory" 3 "(histchart: cannot write chart 'out/no/[A-Za-z_0-9]+\.jpg': No such file or directory$nl){7}" 0 \
  "$bin" "$table" 10 "$font" out/no/
# One chart of seven cannot be written (a directory stands under its name): status 3, its
# message, and the six others.
rm -rf out && mkdir -p out/NO.jpg
timeout 120 "$bin" "$table" 10 "$font" out/ 2>stderr
status=$?
[ "$status" -eq 3 ] || fail "one chart unwritable: status $status"
[ "$(cat stderr)" = "histchart: cannot write chart 'out/NO.jpg': Is a directory" ] || fail "one chart unwritable: $(cat stderr)"
[ "$(find out -type f -name '*.jpg' | wc -l)" -eq 6 ] && [ -z "$(find out -type f ! -name '*.jpg')" ] || fail "one chart unwritable: out/ holds $(ls out | tr '\n' ' ')"
check "a file size limit" 3 "(histchart: cannot write chart 'out/[A-Za-z_0-9]+\.jpg': File too large$nl){7}" 0 \
  bash -c 'ulimit -f 8; exec "$0" "$@"' "$bin" "$table" 10 "$font" out/

# Hostile tables, as NAME and the rows after three header lines.
hostile=(
  "empty" "" "binary garbage" "$(head -c 200000 /dev/urandom | tr -d '\0')"
  "control bytes in fields" "$(printf '1 2\0019 3 4\0015 6 7 8\n2 1\001 2 3 4 5 6 7')"
  "an infinite range" $'1 1e308 1 1 1 1 1 1\n2 -1e308 2 2 2 2 2 2'
  "edges that stop moving" $'1 1e16 1 1 1 1 1 1\n2 10000000000000002 2 2 2 2 2 2'
  "a row of 10000 fields" "$(seq 1 10000 | tr '\n' ' ')"
  "a 20 MB word" "$(head -c 20000000 /dev/zero | tr '\0' '7')"
  "a 20 MB line" "$(yes '1.5 -2 3e2' | head -c 20000000 | tr '\n' ' ')"
)
for ((i = 0; i < ${#hostile[@]}; i += 2)); do
  printf 'h1\nh2\nh3\n%s\n' "${hostile[i + 1]}" >hostile.txt
  check "${hostile[i]}" 0 "(histchart: (fields read as 0|left out|no records in|the one value of|all [0-9]+ values of)[^$nl]*$nl)*" 7 \
    "$bin" hostile.txt 10 "$font" out/
done
printf 'h\nh\nh\n1 nan inf -inf 1e999 -1e999 0x1p3 1e-400\n2 1 1 1 1 1 1 1\n3 2 2 2 2 2 2 2\n' >odd.txt
check "values that are not finite" 0 "$(printf "histchart: left out values of '%s': 1 is not a finite number\n" dSOC CH4 N2O NO N2)$nl" 7 \
  "$bin" odd.txt 10 "$font" out/
for count in 1 33 10000; do check "$count bins" 0 "" 7 "$bin" "$table" "$count" "$font" out/; done

# Two runs writing the same names at once each end with whole charts under every name.
rm -rf out && mkdir out
"$bin" "$table" 10 "$font" out/ & "$bin" "$table" 33 "$font" out/ &
wait -n && wait -n || fail "concurrent runs: one failed"
[ "$(ls out | wc -l)" -eq 7 ] || fail "concurrent runs: out/ holds $(ls out | tr '\n' ' ')"
whole_charts "concurrent runs"

# One CPU or all of them: the same charts and the same messages, for a large irregular table
# (records split over lines, blank and white-space lines, CR LF rows, extra columns, fields
# that are not numbers, values that are not finite, long lines, an incomplete record at the
# end), read in pieces, from gzip in blocks, and read twice.
awk 'BEGIN { srand(7); print "h\nh\nh"; for (i = 0; i < 400000; i++) { r = rand();
  if (r < 0.05) { print i, rand(), rand(); print rand(), rand(), rand(), rand(), rand() }
  else if (r < 0.07) { print i, rand(), rand(); print rand(), rand(); print rand(), rand(), rand() }
  else if (r < 0.08) print "   \t"
  else if (r < 0.09) printf "%d %f NA %f %f - %f %f %f\r\n", i, rand(), rand(), rand(), rand(), rand(), rand()
  else if (r < 0.095) print i, "nan", rand() * 1e6, "inf", 1, 2, 3, 4, 5, 6, 7, 8, 9
  else if (r < 0.0952) { printf "%d", i; for (k = 0; k < 3000; k++) printf " %f", rand(); print "" }
  else printf "%d %.3f %.4f %.2f %f %f %f %f\n", i, rand() * 900 - 300, rand(), rand() * 4, rand(), rand(), rand() * 50, rand() } printf "1 2 3" }' >irregular.txt
gzip -1 -c irregular.txt >irregular.gz
for run in "irregular.txt unlimited" "irregular.gz unlimited" "irregular.txt 40M"; do
  read -r file limit <<<"$run"
  memory=()
  [ "$limit" = unlimited ] || memory=("HISTCHART_MEMORY=$limit")
  rm -rf one all && mkdir one all
  env "${memory[@]}" taskset -c 0 "$bin" "$file" 20 "$font" one/ 2>one.err
  env "${memory[@]}" "$bin" "$file" 20 "$font" all/ 2>all.err
  cmp -s one.err all.err && [ -s one.err ] || fail "one CPU or all, $run: the messages differ"
  for f in one/*.jpg; do cmp -s "$f" "all/${f#one/}" || fail "one CPU or all, $run: ${f#one/} differs"; done
  [ "$(ls all | wc -l)" -eq 7 ] || fail "one CPU or all, $run: not 7 charts"
done

# On a terminal (of 40 columns here), a phase that takes more than a second shows a progress
# line, never wider than 39 columns (a wrapped line cannot be erased in place), and erased
# before each message, at the end and on a signal: the terminal keeps only the messages.
if command -v script >/dev/null; then
  rm -rf out && mkdir out
  script -qec "stty cols 40; { head -c 100 na.txt; sleep 1.6; tail -c +101 na.txt; } | '$bin' /dev/stdin 10 '$font' out/" /dev/null >tty.txt
  screen=$(sed -e 's/\r$//' -e 's/.*\r\x1b\[K//' tty.txt)
  grep -q "histchart: reading '" tty.txt || fail "progress: no progress line on the terminal"
  [ "$screen" = "$(env HISTCHART_MEMORY=0 "$bin" na.txt 10 "$font" out/ 2>&1)" ] || fail "progress: the terminal keeps $(cat -v tty.txt | head -c 300)"
  script -qec "stty cols 40; '$bin' '$table' 10000 '$font' out/ & sleep 1.5; kill \$!; wait" /dev/null >tty2.txt
  grep -q 'histchart: drawing the charts: ' tty2.txt && [ -z "$(sed 's/.*\r\x1b\[K//' tty2.txt | tr -d '\r\n')" ] ||
    fail "progress: a signal leaves $(cat -v tty2.txt | tail -c 300)"
  sed 's/\r\x1b\[K/\n/g' tty.txt tty2.txt | grep -a '^histchart: \(reading\|drawing\)' | awk 'length > 39' | grep -q . &&
    fail "progress: a line wider than 39 columns"
fi

# shellcheck source=/dev/null
source "$here/input_cases.sh"
# shellcheck source=/dev/null
source "$here/run_cases.sh"
# shellcheck source=/dev/null
source "$here/mixed_cases.sh"
# shellcheck source=/dev/null
source "$here/format_cases.sh"

[ "$failures" -eq 0 ] && echo "end to end: all passed"
