# Sourced by the benchmark scripts from the project's root: installs what they need, builds
# this tree in build-bench/, makes a work directory ($work, removed on exit) with the parse
# floor in it ($work/parse_floor), and builds earlier revisions there (build_rev REV: then
# $work/build-REV/histchart).
floor_src=${FLOOR_SRC:-$PWD/../shared/bench/parse_floor.cpp}
scripts/install-deps bench
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DHISTCHART_TESTS=OFF \
  -DHISTCHART_BENCHMARKS=ON >/dev/null
cmake --build build-bench -j"$(nproc)" >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -O2 -std=c++20 "$floor_src" -o "$work/parse_floor"
build_rev() {
  mkdir "$work/src-$1"
  git archive "$1" | tar -x -C "$work/src-$1"
  # Those builds need only what they needed then; install-deps of today covers it.
  cmake -S "$work/src-$1" -B "$work/build-$1" -DCMAKE_BUILD_TYPE=Release -DHISTCHART_TESTS=OFF >/dev/null
  cmake --build "$work/build-$1" -j"$(nproc)" >/dev/null
}
