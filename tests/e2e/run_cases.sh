# Sourced by e2e.sh: the command line, names and fonts, where the charts go and what stops them,
# runs side by side, and the terminal.

check "no arguments" 1 "$bin input_file bin_count font_filename$nl" 0 "$bin"
check "malformed HISTCHART_MEMORY" 1 "histchart: bad memory limit '12x': expected a number of bytes, with an optional K, M, G or T suffix$nl" 0 \
  env HISTCHART_MEMORY=12x "$bin" "$table" 10 "$font" out/
# A name is shown as the user's bytes, each control byte as \xHH: a message stays one line and
# tells the terminal nothing.
check "a table name with a line break" 2 "Unable to open file: no/a\\\\x0ab\\\\x1b\\[0m$nl" 0 \
  "$bin" "no/a${nl}b"$'\e[0m' 10 "$font" out/
check "a bin count with an escape" 1 "histchart: bad bin count '\\\\x1b\\[31m7': expected a whole number from 1 to 10000$nl" 0 \
  "$bin" "$table" $'\e[31m7' "$font" out/
check "a prefix with a line break" 3 "(histchart: cannot write chart 'out/no\\\\x0ad/[A-Za-z_0-9]+\.jpg': No such file or directory$nl){7}" 0 \
  "$bin" "$table" 10 "$font" "out/no${nl}d/"
# Under umask 002 a chart made 0644 (664 expected) or 0600 would show.
check "forgiving bin count, a name prefix, umask 002" 0 "" 7 bash -c 'umask 002; exec "$0" "$@"' "$bin" "$table" " 7x" "$font" out/run7_
[ "$(stat -c %a out/run7_N_leaching.jpg)" = 664 ] || fail "prefix and umask: no out/run7_N_leaching.jpg of mode 664"
# Final names of 255 bytes, the most a directory takes: written, through a shorter temporary
# name. One byte more, and only that chart is refused.
long=out/$(printf 'a%.0s' {1..241})
check "a prefix of 241 bytes" 0 "" 7 "$bin" "$table" 10 "$font" "$long"
check "a prefix of 242 bytes" 3 "histchart: cannot write chart '${long}aN_leaching\.jpg': File name too long$nl" 6 \
  "$bin" "$table" 10 "$font" "${long}a"
check "a file size limit" 3 "(histchart: cannot write chart 'out/[A-Za-z_0-9]+\.jpg': File too large$nl){7}" 0 \
  bash -c 'ulimit -f 8; exec "$0" "$@"' "$bin" "$table" 10 "$font" out/
# A font that cannot be opened is named with the system's reason (root reads it without its
# override).
cp "$font" unreadable.ttf && chmod 000 unreadable.ttf
plain_user=()
[ "$(id -u)" != 0 ] || plain_user=(setpriv --bounding-set=-dac_override,-dac_read_search)
for font_case in "no/font.ttf:No such file or directory" "unreadable.ttf:Permission denied"; do
  check "font ${font_case%%:*}" 0 "histchart: cannot use font '${font_case%%:*}': ${font_case#*:}; the charts are drawn without text$nl(draw_text\(\) error: [^$nl]*$nl)+" 7 \
    "${plain_user[@]}" "$bin" "$table" 10 "${font_case%%:*}" out/
done
# A font that is not a regular file is never opened: a FIFO would wait for a writer for ever.
mkfifo font.fifo
check "a FIFO as font" 0 "histchart: cannot use font 'font.fifo': it is not a regular file; the charts are drawn without text$nl(draw_text\(\) error: Could not find/open font$nl)+" 7 \
  timeout 5 "$bin" "$table" 10 font.fifo out/

# Two runs writing the same names at once each end with whole charts under every name.
rm -rf out && mkdir out
"$bin" "$table" 10 "$font" out/ & "$bin" "$table" 33 "$font" out/ &
wait -n && wait -n || fail "concurrent runs: one failed"
[ "$(ls out | wc -l)" -eq 7 ] || fail "concurrent runs: out/ holds $(ls out | tr '\n' ' ')"
whole_charts "concurrent runs"

# On a terminal (of 40 columns here), a phase that takes more than a second shows a progress
# line, never wider than 39 columns (a wrapped line cannot be erased in place), and erased
# before each message, at the end and on a signal: the terminal keeps only the messages.
if command -v script >/dev/null; then
  printf 'h\nh\nh\nrun a b c d e f g\n1 NA 2 3 4 5 6 7\n2 1 2 3 4 5 6 7\n' >na.txt
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
  # A pipe that trickles some 350 kB over four seconds, far less than a block of the stream: the
  # line counts what has come so far, and shows the control byte of a name as a message does.
  awk 'BEGIN { print "h\nh\nh"; for (i = 0; i < 10000; i++) print i, i % 701, i % 1103, i % 1301, i % 1709, i % 1901, i % 2309, i % 2903 }' >slow.txt
  printf 'for i in $(seq 0 19); do tail -c +$((i * 20480 + 1)) slow.txt | head -c 20480; sleep 0.2; done\n' >trickle.sh
  ln -s /dev/stdin $'in\e[7m'
  rm -rf out && mkdir out
  script -qec "sh trickle.sh | '$bin' 'in"$'\e[7m'"' 10 '$font' out/" /dev/null >tty.txt
  grep -aq "histchart: reading 'in\\\\x1b\[7m': [1-9][0-9]* kB" tty.txt || fail "slow pipe: no count on the progress line: $(cat -v tty.txt | head -c 300)"
  [ "$(ls out | wc -l)" -eq 7 ] || fail "slow pipe: not 7 charts"
fi

# A small stack or few file descriptors: the charts whole, every one with its text, or (below
# what the deepest path of a run takes) status 2 and one line before anything is read; never
# SIGSEGV. The sanitizers' frames need more stack.
if ! ldd "$bin" | grep -q libasan; then
  check "ulimit -s 32" 2 "histchart: out of memory reading '$table': a stack of 32 KiB \(ulimit -s\) is too small: the run needs [0-9]+ KiB$nl" 0 \
    bash -c 'ulimit -s 32; exec "$@"' - "$bin" "$table" 10 "$font" out/
  for limit in "-s 64" "-n 4" "-n 5"; do
    check "ulimit $limit" 0 "" 7 bash -c 'exec 3>&- 4>&- 5>&- 6>&- 7>&- 8>&- 9>&-; ulimit $1; exec "${@:2}"' - "$limit" "$bin" "$table" 10 "$font" out/
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
