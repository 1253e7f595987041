#!/usr/bin/env bash
# Measures how much of one processor core the window program takes while it shows the
# twenty-cube scene ('s') in a virtual X server: the process's user + system time from
# /proc/PID/stat (all its threads, the software renderer's included) over a stretch of wall
# time.
#
#   scripts/xvfb-cpu-share.sh [PROGRAM] [SECONDS]     (defaults: build/app/tremblo, 10)
set -euo pipefail

if [ "${1:-}" != "--inside-x" ]; then
  program=$(realpath "${1:-build/app/tremblo}")
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" --inside-x "$program" "${2:-10}"
fi
program=$2
seconds=$3

"$program" >/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

window=
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name tremblo 2>/dev/null | head -n 1) && [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window" key s
sleep 3  # let the scene get going before measuring

# utime and stime, in clock ticks: fields 14 and 15, counted after the "(comm)" field.
cpu_ticks() { sed 's/.*) //' "/proc/$pid/stat" | awk '{ print $12 + $13 }'; }
ticks_before=$(cpu_ticks)
start_ns=$(date +%s%N)
sleep "$seconds"
ticks_after=$(cpu_ticks)
end_ns=$(date +%s%N)

awk -v ticks=$((ticks_after - ticks_before)) -v hz="$(getconf CLK_TCK)" -v ns=$((end_ns - start_ns)) \
  'BEGIN { wall = ns / 1e9; printf "cpu share: %.1f%% of one core (%.2f s of processor time in %.2f s)\n", 100 * ticks / hz / wall, ticks / hz, wall }'
