#!/usr/bin/env bash
# Big builds and long scripts: the wall-clock time and peak memory (max resident set) of
# tremblo-sim on scripts that build big scenes with commands and on 64 MiB scripts. Building
# must take time in proportion to the commands, and a script's commands little memory.
#
#   bench/big_scripts.sh [TREMBLO_SIM]     (default build/tools/tremblo-sim)
set -euo pipefail
cd "$(dirname "$0")/.."
sim=${1:-build/tools/tremblo-sim}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# lines FILE COUNT TEXT...: the lines TEXT, COUNT times over (in turn when there are several).
lines() {
  local file=$1 count=$2
  shift 2
  awk -v n="$count" 'BEGIN { m = ARGC - 1; for (i = 0; i < n; ++i) print ARGV[1 + i % m]; exit }' "$@" >>"$file"
}
printf 'scene\ncube 0 0 2\n' >"$dir/anchors-one-corner"
lines "$dir/anchors-one-corner" 100000 'anchor 0 0 5 corner 0'
printf 'scene\ncube 0 0 2\n' >"$dir/anchors-eight-corners"
lines "$dir/anchors-eight-corners" 100000 'anchor 0 0 5 corner '{0..7}
# 20,000 free cubes on a grid 4 units apart, each pinned by its bottom face as it is made.
awk 'BEGIN { print "scene"; for (i = 0; i < 20000; ++i) printf "cube %d %d 2\npin bottom\n", -900 + (i % 400) * 4,
  -900 + int(i / 400) * 4 }' >"$dir/cubes-pinned"
printf 'scene\ncube 0 -900 2 edge 0.05\n' >"$dir/attach-lines"
lines "$dir/attach-lines" 19999 attach
for f in anchors-one-corner anchors-eight-corners cubes-pinned attach-lines; do echo 'step 1' >>"$dir/$f"; done
: >"$dir/key-g-64MiB"
lines "$dir/key-g-64MiB" $(((64 << 20) / 6)) 'key g'
: >"$dir/step-1-64MiB"
lines "$dir/step-1-64MiB" $(((64 << 20) / 7)) 'step 1'

printf '%-22s %10s %12s\n' script 'wall s' 'peak MiB'
for name in anchors-one-corner anchors-eight-corners cubes-pinned attach-lines key-g-64MiB step-1-64MiB; do
  /usr/bin/time -f '%e %M' -o "$dir/time" "$sim" "$dir/$name" --hash >/dev/null 2>&1
  read -r wall kib <"$dir/time"
  printf '%-22s %10s %12d\n' "$name" "$wall" $((kib / 1024))
done
