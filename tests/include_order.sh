#!/usr/bin/env bash
# The rooms of src/ include only rooms below them, so that each can be read, built and tested
# without those above: base/ is the floor; input/'s rooms stand records < bytes < holding < the
# reader itself; input/ and binning/ meet only in base/; chart/ may use binning's Bin; driver/
# is above them all, and of the others only the three files that define the job's phases
# include it. Prints each include that breaks the order.
#   include_order.sh SRC_DIR
cd "$1" || exit 2
declare -A may=(
  [base]="base"
  [input/records]="base input/records"
  [input/bytes]="base input/records input/bytes"
  [input/holding]="base input/records input/bytes input/holding"
  [input]="base input/records input/bytes input/holding input"
  [binning]="base binning"
  [chart]="base binning chart"
  [driver]="base input binning chart driver"
)
phase_files=" input/read_data.cpp binning/make_bins.cpp chart/draw_histograms.cpp "
room() {  # a file's folder, or the top folder for those that have no rooms
  local dir=${1%/*}
  case $dir in input/*) echo "$dir" ;; *) echo "${dir%%/*}" ;; esac
}
broken=0
while IFS=: read -r file line include; do
  include=${include#*\"} include=${include%\"*}
  from=$(room "$file") to=$(room "$include")
  [ "$to" = driver ] && [[ $phase_files == *" $file "* ]] && continue
  [[ " ${may[$from]} " == *" $to "* || ($from = driver && $to == input*) ]] && continue
  echo "src/$file:$line: includes \"$include\" ($to/ is not below $from/)"
  broken=1
done < <(grep -rn '^#include "' --include='*.h' --include='*.cpp' .  | sed 's|^\./||')
exit $broken
