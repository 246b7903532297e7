#!/usr/bin/env bash
# Two builds of the program, run side by side, give the same charts byte for byte, the same
# messages and the same status: another processor's build under its emulator, or a build with
# other compiler flags, against a reference build. The example table in every format read, from
# a file and a pipe, held or read twice, at several bin counts, and a generated table of every
# value form, with lines that are not records and values that are not numbers.
#   same_runs.sh "REFERENCE" "PROGRAM" EXAMPLE_TABLE FONT  (each a command, split at blanks,
#                                                      with absolute paths)
set -u
export LC_ALL=C
read -r -a ref <<<"$1"
read -r -a new <<<"$2"
table=$(realpath "$3") font=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0
fail() { failures=$((failures + 1)) && echo "FAIL: $*"; }

# same NAME TABLE BINS [VAR=VALUE...]: TABLE "pipe:FILE" comes down a pipe.
same() {
  local name=$1 input=$2 bins=$3 side f program
  shift 3
  for side in ref new; do
    if [ "$side" = ref ]; then program=("${ref[@]}"); else program=("${new[@]}"); fi
    rm -rf "$side" && mkdir "$side"
    if [[ "$input" == pipe:* ]]; then
      env "$@" "${program[@]}" <(cat "${input#pipe:}") "$bins" "$font" "$side/" 2>"$side.err"
    else
      env "$@" "${program[@]}" "$input" "$bins" "$font" "$side/" 2>"$side.err"
    fi
    echo $? >"$side.status"
  done
  cmp -s ref.status new.status || fail "$name: status $(cat new.status), not $(cat ref.status)"
  cmp -s ref.err new.err || fail "$name: messages differ: $(diff ref.err new.err | head -c 300)"
  [ "$(ls ref)" = "$(ls new)" ] || fail "$name: charts $(ls new | tr '\n' ' '), not $(ls ref | tr '\n' ' ')"
  for f in ref/*.jpg; do
    [ ! -e "$f" ] || cmp -s "$f" "new/${f#ref/}" || fail "$name: ${f#ref/} differs"
  done
}

for bins in 10 1 33; do same "example table, $bins bins" "$table" "$bins"; done
same "example table read twice" "$table" 10 HISTCHART_MEMORY=0
same "example table from a pipe" "pipe:$table" 10
for compress in "gzip -c" "zstd -q -c" "xz -c" "xz -T2 --block-size=4KiB -c" "xz --format=lzma -c" \
  "bzip2 -c" "lz4 -q -c"; do
  $compress "$table" >compressed
  same "example table through $compress" compressed 10
  same "example table through $compress, from a pipe" pipe:compressed 10
done
head -c 4000 compressed >short
same "a cut-short table" short 10

awk 'BEGIN { srand(11); print "h\nh\nh"; for (i = 0; i < 60000; i++) { r = rand();
  if (r < 0.05) { print i, rand(), rand(); print rand(), rand(), rand(), rand(), rand() }
  else if (r < 0.06) print "   \t"
  else if (r < 0.07) printf "%d %f NA %f %f - %f %f %f\r\n", i, rand(), rand(), rand(), rand(), rand(), rand()
  else if (r < 0.075) print i, "nan", rand() * 1e6, "inf", 1, 2, 3, 4, 5, 6, 7, 8, 9
  else if (r < 0.3) printf "%d %.17g %.17e %g %d %.14f %.3f %.2f\n", i, rand() * 900 - 300, rand() / 1e5, rand() * 1e9, int(rand() * 2^31) - 2^30, rand(), rand() * 50, -rand()
  else printf "%d %.3f %.4f %.2f %f %f %f %f\n", i, rand() * 900 - 300, rand(), rand() * 4, rand(), rand(), rand() * 50, rand() } }' >generated.txt
for bins in 7 20 500; do same "a generated table, $bins bins" generated.txt "$bins"; done

[ "$failures" -eq 0 ] && echo "same runs: all passed"
