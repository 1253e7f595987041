#!/usr/bin/env bash
# Same script, same bytes: runs every example script (and the pinned scripts beyond them,
# tests/determinism/scripts/) with a full trace (a row per point after
# every step) twice in the optimised build and once in a Debug build (-O0), and compares the
# traces and the state hashes byte for byte. Builds the Debug runner if needed.
#
#   scripts/check-determinism.sh OPTIMISED_BUILD_DIR DEBUG_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/.."

optimised=$1
debug=$2
jobs=${JOBS:-2}

cmake -S . -B "$debug" -DCMAKE_BUILD_TYPE=Debug -DTREMBLO_WINDOW=OFF -DTREMBLO_TESTS=OFF >/dev/null
cmake --build "$debug" -j "$jobs" --target tremblo-sim >/dev/null
fast=$optimised/tools/tremblo-sim
slow=$debug/tools/tremblo-sim
[ -x "$fast" ] || { echo "check-determinism: no $fast (build the optimised tree first)"; exit 1; }

work=$debug/determinism
rm -rf "$work"
mkdir -p "$work"
failed=0
checked=0
for script in examples/*.sim tests/determinism/scripts/*.sim; do
  name=$(basename "$script" .sim)
  hashes=()
  same=1
  for run in optimised-1 optimised-2 debug; do
    sim=$fast
    [ "$run" = debug ] && sim=$slow
    hashes+=("$("$sim" "$script" --trace "$work/$name.$run.csv" --every 1 --hash 2>/dev/null)")
  done
  for other in optimised-2 debug; do
    if ! cmp "$work/$name.optimised-1.csv" "$work/$name.$other.csv"; then
      echo "check-determinism: $script: the $other trace differs from the first optimised run"
      same=0
    fi
  done
  if [ "${hashes[0]}" != "${hashes[1]}" ] || [ "${hashes[0]}" != "${hashes[2]}" ]; then
    echo "check-determinism: $script: state hashes differ: ${hashes[*]}"
    same=0
  fi
  if [ "$same" -eq 1 ]; then
    bytes=$(wc -c <"$work/$name.optimised-1.csv")
    echo "check-determinism: $script: $bytes trace bytes, hash ${hashes[0]}, the same in all three runs"
    rm -f "$work/$name".*.csv
  else
    failed=1  # the traces stay under $work for a look
  fi
  checked=$((checked + 1))
done
[ "$checked" -gt 0 ] || { echo "check-determinism: no example scripts"; exit 1; }
if [ "$failed" -ne 0 ]; then
  echo "check-determinism: FAILED"
  exit 1
fi
echo "check-determinism: $checked example scripts give byte-identical traces in two optimised runs and a Debug run"
