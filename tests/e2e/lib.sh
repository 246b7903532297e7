# Shared by the end-to-end scripts: runs histchart as a user does and checks what a user sees.
# Source it after setting bin (absolute path) and font; it makes and enters a scratch directory.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0 runs=0 failed_runs=0

fail() {
  failures=$((failures + 1))
  echo "FAIL: $*"
}

# Every file under out/ must be a whole JPEG under its final name: start and end markers, and
# no temporary file left behind.
whole_charts() {
  local f
  for f in out/*; do
    [ -e "$f" ] || continue
    case "$f" in
      *.jpg)
        [ "$(head -c 2 "$f" | od -An -tx1 | tr -d ' ')" = "ffd8" ] &&
          [ "$(tail -c 2 "$f" | od -An -tx1 | tr -d ' ')" = "ffd9" ] || fail "$1: truncated chart $f"
        ;;
      *) fail "$1: stray file $f" ;;
    esac
  done
}

# run NAME STATUS STDERR_REGEX CHARTS -- COMMAND...: in a fresh out/, the command must end
# within two minutes with STATUS, its whole standard error must match the regular expression,
# nothing may go to standard output, and exactly CHARTS whole charts must be written.
run() {
  local name=$1 want_status=$2 want_err=$3 want_charts=$4 status err charts before=$failures
  shift 5
  rm -rf out && mkdir out
  timeout 120 "$@" >stdout 2>stderr
  status=$?
  err=$(cat stderr; printf x)
  err=${err%x}
  runs=$((runs + 1))
  [ "$status" -eq 124 ] && fail "$name: no end within 120 s"
  [ "$status" -ge 125 ] && fail "$name: killed or crashed, status $status"
  [ "$status" -ne "$want_status" ] && fail "$name: status $status, want $want_status"
  [[ $err =~ ^${want_err}$ ]] || fail "$name: stderr: $(head -c 400 stderr)"
  [ -s stdout ] && fail "$name: wrote to standard output"
  charts=$(find out -name '*.jpg' | wc -l)
  [ "$charts" -eq "$want_charts" ] || fail "$name: $charts charts, want $want_charts"
  whole_charts "$name"
  [ "$failures" -gt "$before" ] && failed_runs=$((failed_runs + 1))
  return 0
}

finish() {
  echo "$((runs - failed_runs)) passed, $failed_runs failed"
  [ "$failed_runs" -eq 0 ]
}
