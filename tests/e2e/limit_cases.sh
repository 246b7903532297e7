# Sourced by e2e.sh: runs under an address-space limit (ulimit -v). AddressSanitizer needs
# terabytes of address space: not under it.
ldd "$bin" | grep -q libasan && return

# What the program maps holding nothing, measured while it waits on a FIFO.
mkfifo fifo
HISTCHART_MEMORY=0 "$bin" fifo 10 "$font" out/ 2>/dev/null &
exec 3>fifo
sleep 0.5
mapped=$(awk '/^VmSize/ { print $2 }' "/proc/$!/status")
exec 3>&-
wait
# "${limited[@]}" KiB COMMAND...: COMMAND under an address-space limit of KiB.
limited=(bash -c 'ulimit -v "$1"; exec "${@:2}"' -)

# Swept over address-space limits, as a plain file, as gzip and from a pipe, on one CPU and on
# all (and as bzip2 in blocks of 100 kB, in wider steps, up to where they are decoded side by
# side): every run ends within seconds, with the charts of an unlimited run or with status 2, one
# line that says it ran out of memory, and no chart; once a run succeeds, it succeeds at every
# higher limit; the core count never changes the outcome; and a file, which can be read twice,
# succeeds wherever the run itself fits (at the lowest step, where nothing can be held, by
# reading it twice). A sample of the steps: a file at the lowest and the highest, a pipe every
# other step up to where it fits and at the highest. Its NO, N2 and NH3 columns are constants.
awk 'BEGIN { print "h\nh\nh"; for (i = 0; i < 100000; i++) print i, i % 977 - 400, i / 7, i % 13, 1, 2, 3, i % 101 }' >sweep.txt
gzip -1 -c sweep.txt >sweep.gz
bzip2 -1 -c sweep.txt >sweep.bz2
check "sweep, unlimited" 0 "(histchart: all [^$nl]*$nl){3}" 7 "$bin" sweep.txt 10 "$font" out/
mv out sweep
declare -A first_outcomes
for input in sweep.txt sweep.gz pipe sweep.bz2; do
  step=8192 steps="1 10"
  [ "$input" = sweep.bz2 ] && step=65536
  [ "$input" = pipe ] && steps="1 3 5 7 10"
  [ -n "$whole" ] && steps=$(seq 1 10)
  for cpus in 0 "0-$(($(nproc) - 1))"; do
    outcomes=""
    for k in $steps; do
      rm -rf out && mkdir out
      if [ "$input" = pipe ]; then
        timeout 20 taskset -c "$cpus" bash -c 'ulimit -v "$1"; exec "$2" <(cat sweep.txt) 10 "$3" out/' - $((mapped + k * step)) "$bin" "$font" 2>stderr
      else
        timeout 20 taskset -c "$cpus" "${limited[@]}" $((mapped + k * step)) "$bin" "$input" 10 "$font" out/ 2>stderr
      fi
      status=$? at="sweep $input on CPUs $cpus at +$((k * step)) KiB"
      case $status in
        0) same_charts "$at" sweep ;;
        2) [[ "$(cat stderr)" =~ ^"histchart: out of memory reading '"[^$nl]*"': the table does not fit in memory"$ ]] &&
             [ -z "$(ls out)" ] || fail "$at: $(head -c 200 stderr)" ;;
        *) fail "$at: status $status $(head -c 200 stderr)" ;;
      esac
      outcomes+=$status
    done
    [[ "$outcomes" =~ ^2*0*$ ]] || fail "sweep $input on CPUs $cpus: not monotone in the limit: $outcomes"
    [ "$input" = pipe ] || [[ "$outcomes" =~ ^0*$ ]] || fail "sweep $input on CPUs $cpus: a file refused: $outcomes"
    [ -z "${first_outcomes[$input]:-}" ] || [ "${first_outcomes[$input]}" = "$outcomes" ] ||
      fail "sweep $input: $outcomes on CPUs $cpus, ${first_outcomes[$input]} on one"
    first_outcomes[$input]=$outcomes
  done
done

# Where the run itself barely fits, a compressed table's decoder cannot have its buffers: said
# so, not that the table does not fit.
check "gzip, its decoder's buffers beyond ulimit -v" 2 "histchart: out of memory reading 'sweep.gz': its gzip decoder's buffers are more than the memory allows$nl" 0 \
  "${limited[@]}" $((mapped + 3072)) "$bin" sweep.gz 10 "$font" out/

# Out of memory, each phase says what did not fit: swept up in address space from where the
# program can just start to where 10000 bins are drawn, each run ends with the loader's refusal,
# the bins' line and no chart, or a line for each chart that could not be drawn and the others
# whole; the bins and the charts are each met. The sample stops once both are.
seen=""
for ((k = 0; k <= 14; k++)); do
  rm -rf out && mkdir out
  "${limited[@]}" $((mapped + 700 * k)) "$bin" "$table" 10000 "$font" out/ 2>stderr
  status=$? charts=$(ls out | wc -l) drawing="^histchart: out of memory drawing 'out/[A-Za-z_0-9]*\.jpg': the chart does not fit in memory$"
  case $status:$charts:$(grep -v -e '^draw_text() error: ' -e "$drawing" stderr) in
    127:0:*"error while loading shared libraries"*) ;;
    2:0:"histchart: out of memory binning '$table': 10000 bins do not fit in memory") seen+=b ;;
    3:*:) [ "$(grep -c "$drawing" stderr)" -eq $((7 - charts)) ] && seen+=d || fail "ulimit -v, 10000 bins: status 3, $charts charts, $(head -c 200 stderr)" ;;
    0:7:) break ;;
    *) fail "ulimit -v, 10000 bins, +$((700 * k)) KiB: status $status, $charts charts, $(head -c 200 stderr)" ;;
  esac
  whole_charts "ulimit -v, 10000 bins, +$((700 * k)) KiB"
  [ -z "$whole" ] && [[ "$seen" == *b*d* ]] && break
done
[[ "$seen" == *b*d* ]] || fail "ulimit -v, 10000 bins: the bins and the charts not both met ($seen)"
