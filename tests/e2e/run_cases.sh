# Sourced by e2e.sh (its helpers check, same_charts and whole_charts, and its variables bin,
# table, font, nl and work are in scope; the working directory is $work).

# A pipe that trickles some 350 kB over four seconds, far less than a block of the stream: the
# progress line counts what has come so far.
if command -v script >/dev/null; then
  awk 'BEGIN { print "h\nh\nh"; for (i = 0; i < 10000; i++) print i, i % 701, i % 1103, i % 1301, i % 1709, i % 1901, i % 2309, i % 2903 }' >slow.txt
  printf 'for i in $(seq 0 19); do tail -c +$((i * 20480 + 1)) slow.txt | head -c 20480; sleep 0.2; done\n' >trickle.sh
  rm -rf out && mkdir out
  script -qec "sh trickle.sh | '$bin' /dev/stdin 10 '$font' out/" /dev/null >tty.txt
  grep -aq "histchart: reading '/dev/stdin': [1-9][0-9]* kB" tty.txt || fail "slow pipe: no count on the progress line: $(cat -v tty.txt | head -c 300)"
  [ "$(ls out | wc -l)" -eq 7 ] || fail "slow pipe: not 7 charts"
fi

# Final names of 255 bytes, the most a directory takes: written, through a shorter temporary
# name. One byte more, and only that chart is refused.
long=out/$(printf 'a%.0s' {1..241})
check "a prefix of 241 bytes" 0 "" 7 "$bin" "$table" 10 "$font" "$long"
check "a prefix of 242 bytes" 3 "histchart: cannot write chart '${long}aN_leaching\.jpg': File name too long$nl" 6 \
  "$bin" "$table" 10 "$font" "${long}a"
# An empty HISTCHART_MEMORY is what an unset variable gives a script: no limit set.
for limit in "" 1T; do
  check "HISTCHART_MEMORY='$limit'" 0 "" 7 env HISTCHART_MEMORY=$limit "$bin" "$table" 10 "$font" out/
  same_charts "HISTCHART_MEMORY='$limit'" example
done

# A name is shown as the user's bytes, each control byte as \xHH: a message stays one line and
# tells the terminal nothing.
check "a table name with a line break" 2 "Unable to open file: no/a\\\\x0ab\\\\x1b\\[0m$nl" 0 \
  "$bin" "no/a${nl}b"$'\e[0m' 10 "$font" out/
check "a bin count with an escape" 1 "histchart: bad bin count '\\\\x1b\\[31m7': expected a whole number from 1 to 10000$nl" 0 \
  "$bin" "$table" $'\e[31m7' "$font" out/
check "a prefix with a line break" 3 "(histchart: cannot write chart 'out/no\\\\x0ad/[A-Za-z_0-9]+\.jpg': No such file or directory$nl){7}" 0 \
  "$bin" "$table" 10 "$font" "out/no${nl}d/"
# One and more in the counted messages.
printf 'h\nh\nh\n1 nan 2 2 2 2 2 2\n2 inf NA 3 3 3 3 3\n3 3 -inf 4 4 4 4 4\n4 4 5 5 5 5 5 5\n' >counted.txt
check "counts of one and of more" 0 "histchart: fields read as 0 or their leading number in 'CH4': 1 is not a number, 'NA' on line 5${nl}\
histchart: left out values of 'dSOC': 2 are not finite numbers${nl}histchart: left out values of 'CH4': 1 is not a finite number$nl" 7 \
  "$bin" counted.txt 10 "$font" out/

# A run's processes all end with it, however it ends. Each signal is sent once each process of
# a run of 10000 bins (a second or more a chart) draws a chart, SIGTERM once a chart is finished
# too: the run ends by it, its finished charts whole, no helper runs on, no temporary file is
# left (after SIGKILL, at most its own process's), and nothing of it renames a chart over those
# of the next run.
gone() { [ ! -e "/proc/$1/stat" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat")" = Z ]; }
second=$(($(nproc) > 1 ? 1 : 0))  # the index of the last temporary file to wait for
for sig in KILL INT TERM HUP QUIT PIPE ALRM USR1 USR2 XCPU VTALRM PROF; do
  rm -rf out && mkdir out
  bash -c 'ulimit -c 0; exec env --default-signal "$@"' - "$bin" "$table" 10000 "$font" out/ 2>/dev/null &
  pid=$!
  for ((t = 0; t < 600; t++)); do
    charts=(out/*.jpg) temps=(out/*.jpg.*)  # no process forked: the run has the cores
    { [ -e "${charts[0]}" ] || [ "$sig" != TERM ]; } && [ -e "${temps[second]:-}" ] && break
    sleep 0.02
  done
  helpers=$(cat /proc/$pid/task/*/children) finished=$(ls out | grep -v '\.jpg\.')
  kill -s "$sig" $pid
  { wait $pid; } 2>/dev/null
  status=$?
  [ "$status" -eq $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: status $status"
  [ "$sig" != KILL ] || { "$bin" "$table" 10 "$font" out/ && sleep 0.5; } || fail "SIGKILL: the next run failed"
  for h in $helpers; do gone "$h" || fail "SIG$sig: helper $h runs on"; done
  for f in $finished; do [ -e "out/$f" ] || fail "SIG$sig: $f is gone"; done
  if [ "$sig" = KILL ]; then
    sleep 1
    [ "$(compgen -G 'out/*.jpg.*' | wc -l)" -le 1 ] || fail "SIGKILL: out/ holds $(ls out | tr '\n' ' ')"
    rm -f out/*.jpg.*
    same_charts "after SIGKILL" example
  fi
  whole_charts "SIG$sig"
done
# A font that is not a regular file is never opened: a FIFO would wait for a writer for ever.
mkfifo font.fifo
check "a FIFO as font" 0 "histchart: cannot use font 'font.fifo': it is not a regular file; the charts are drawn without text$nl(draw_text\(\) error: Could not find/open font$nl)+" 7 \
  timeout 5 "$bin" "$table" 10 font.fifo out/
# Out of memory, each phase says what did not fit: swept up in address space from where the
# program can just start (measured in e2e.sh) to where 10000 bins are drawn, each run ends with
# the loader's refusal, the bins' line and no chart, or a line for each chart that could not be
# drawn and the others whole; the bins and the charts are each met.
if [ -n "${mapped:-}" ]; then
  seen=""
  for ((k = 0; k <= 14; k++)); do
    rm -rf out && mkdir out
    bash -c 'ulimit -v "$1"; exec "${@:2}"' - $((mapped + 700 * k)) "$bin" "$table" 10000 "$font" out/ 2>stderr
    status=$? charts=$(ls out | wc -l) drawing="^histchart: out of memory drawing 'out/[A-Za-z_0-9]*\.jpg': the chart does not fit in memory$"
    case $status:$charts:$(grep -v -e '^draw_text() error: ' -e "$drawing" stderr) in
      127:0:*"error while loading shared libraries"*) ;;
      2:0:"histchart: out of memory binning '$table': 10000 bins do not fit in memory") seen+=b ;;
      3:*:) [ "$(grep -c "$drawing" stderr)" -eq $((7 - charts)) ] && seen+=d || fail "ulimit -v, 10000 bins: status 3, $charts charts, $(head -c 200 stderr)" ;;
      0:7:) break ;;
      *) fail "ulimit -v, 10000 bins, +$((700 * k)) KiB: status $status, $charts charts, $(head -c 200 stderr)" ;;
    esac
    whole_charts "ulimit -v, 10000 bins, +$((700 * k)) KiB"
  done
  [[ "$seen" == *b*d* ]] || fail "ulimit -v, 10000 bins: the bins and the charts not both met ($seen)"
fi

# A small stack or few file descriptors: the charts whole, every one with its text, or (below
# what the deepest path of a run takes) status 2 and one line before anything is read; never
# SIGSEGV. The sanitizers' frames need more stack.
if ! ldd "$bin" | grep -q libasan; then
  check "ulimit -s 32" 2 "histchart: out of memory reading '$table': a stack of 32 KiB \(ulimit -s\) is too small: the run needs [0-9]+ KiB$nl" 0 \
    bash -c 'ulimit -s 32; exec "$@"' - "$bin" "$table" 10 "$font" out/
  for limit in "-s 64" "-n 4" "-n 5"; do
    check "ulimit $limit" 0 "" 7 bash -c 'ulimit $1; exec "${@:2}"' - "$limit" "$bin" "$table" 10 "$font" out/
    same_charts "ulimit $limit" example
  done
fi
# "-" is standard input. --help and --version answer on standard output.
check "- from a pipe" 0 "" 7 bash -c 'gzip -c "$0" | exec "$@"' "$table" "$bin" - 10 "$font" out/
same_charts "- from a pipe" example
help=$("$bin" --help 2>stderr) && [ ! -s stderr ] &&
  [[ "$help" == "$bin input_file bin_count font_filename$nl"*"man histchart" ]] || fail "--help: $help"
version=$("$bin" --version 2>stderr) && [ ! -s stderr ] &&
  [[ "$version" =~ ^histchart\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "--version: $version"
