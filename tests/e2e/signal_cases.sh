# Sourced by e2e.sh: a run's processes all end with it, however it ends.
#
# A signal is sent once each process of a run of 10000 bins (a second or more a chart, long
# enough that a helper left running by its run is still drawing when it is looked for) draws a
# chart, SIGTERM once a chart is finished too: the run ends by it, its finished charts whole, no
# helper runs on or finishes a chart after it, no temporary file is left (after SIGKILL, at most
# its own process's), and nothing of it renames a chart over those of the next run. Each run
# catches every ending signal; a sample of them is sent.
signals="KILL INT TERM"
[ -n "$whole" ] && signals="KILL INT TERM HUP QUIT PIPE ALRM USR1 USR2 XCPU VTALRM PROF"
ending=0
for sig in HUP INT QUIT PIPE ALRM TERM USR1 USR2 XCPU VTALRM PROF; do ending=$((ending | 1 << ($(kill -l $sig) - 1))); done
gone() { [ ! -e "/proc/$1/stat" ] || [ "$(awk '{ print $3 }' "/proc/$1/stat")" = Z ]; }
second=$(($(nproc) > 1 ? 1 : 0))  # the index of the last temporary file to wait for
for sig in $signals; do
  rm -rf out && mkdir out
  bash -c 'ulimit -c 0; exec env --default-signal "$@"' - "$bin" "$table" 10000 "$font" out/ 2>/dev/null &
  pid=$!
  for ((t = 0; t < 600; t++)); do
    charts=(out/*.jpg) temps=(out/*.jpg.*)  # no process forked: the run has the cores
    { [ -e "${charts[0]}" ] || [ "$sig" != TERM ]; } && [ -e "${temps[second]:-}" ] && break
    sleep 0.02
  done
  caught=0x$(awk '/^SigCgt/ { print $2 }' "/proc/$pid/status")
  [ $((caught & ending)) -eq $ending ] || fail "SIG$sig: the run catches $caught, not every ending signal"
  helpers=$(cat /proc/$pid/task/*/children)
  kill -STOP $pid $helpers  # no chart is finished between the look and the signal
  finished=$(ls out | grep -v '\.jpg\.')
  kill -s "$sig" $pid
  kill -CONT $pid $helpers 2>/dev/null
  { wait $pid; } 2>/dev/null
  status=$?
  [ "$status" -eq $((128 + $(kill -l "$sig"))) ] || fail "SIG$sig: status $status"
  [ "$(ls out | grep -v '\.jpg\.')" = "$finished" ] || fail "SIG$sig: a chart was finished after it"
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
# A run started with SIGINT ignored (nohup, a batch system's background job) keeps ignoring it:
# an INT neither ends it nor takes its charts.
rm -rf out && mkdir out
bash -c 'trap "" INT; exec "$@"' - "$bin" "$table" 1000 "$font" out/ 2>/dev/null &
pid=$!
for ((t = 0; t < 600; t++)); do compgen -G 'out/*.jpg.*' >/dev/null && break; sleep 0.02; done
kill -s INT $pid
wait $pid
status=$?
[ "$status" -eq 0 ] && [ "$(ls out | wc -l)" -eq 7 ] || fail "SIGINT ignored: status $status, out/ holds $(ls out | tr '\n' ' ')"
