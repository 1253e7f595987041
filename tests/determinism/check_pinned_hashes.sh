#!/usr/bin/env bash
# Checks the pinned state hashes of the example scripts.
#
#   check_pinned_hashes.sh TREMBLO_SIM EXAMPLES_DIR PINS_FILE NAME   one example against its pin
#                          (NAME relative to EXAMPLES_DIR: drop.sim, scenes/bridge.sim)
#   check_pinned_hashes.sh TREMBLO_SIM EXAMPLES_DIR PINS_FILE --all-pinned
#                          every example has exactly one pin and every pin an example
set -euo pipefail
sim=$1 examples=$2 pins=$3 what=$4

pinned_names() { grep -v -e '^#' -e '^[[:space:]]*$' "$pins" | awk '{print $1}'; }

if [ "$what" = --all-pinned ]; then
  status=0
  for f in "$examples"/*.sim "$examples"/scenes/*.sim; do
    [ -e "$f" ] || continue  # a folder without scenes/
    name=${f#"$examples"/}
    count=$(pinned_names | grep -cxF "$name" || true)
    if [ "$count" -ne 1 ]; then echo "$name: pinned $count times, expected once"; status=1; fi
  done
  for name in $(pinned_names); do
    [ -f "$examples/$name" ] || { echo "$name: pinned, but there is no such example"; status=1; }
  done
  exit $status
fi

expected=$(grep -v '^#' "$pins" | awk -v n="$what" '$1 == n {print $2}')
[ -n "$expected" ] || { echo "$what: no pinned hash"; exit 1; }
if ! actual=$("$sim" "$examples/$what" --hash 2>/dev/null); then
  echo "$what: tremblo-sim failed on it"
  exit 1
fi
if [ "$actual" != "$expected" ]; then
  echo "$what: state hash $actual, pinned $expected"
  echo "The results of the simulation changed. If that is meant, update $pins and say why in the commit message."
  exit 1
fi
echo "$what: $actual as pinned"
