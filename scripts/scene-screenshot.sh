#!/usr/bin/env bash
# Takes a picture of the window playing a scene file, for the README:
#
#   scripts/scene-screenshot.sh SCENE SECONDS OUT.png [BUILD_DIR]
#
# Starts the window in a private Xvfb, lets it play SCENE for SECONDS of real time (the window
# plays at real-time pace), then saves the window's picture to OUT.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scene=$1 seconds=$2 out=$3 build=${4:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j 2 --target tremblo >/dev/null
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb $app 2>/dev/null || true' EXIT
app=
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$display "$build/app/tremblo" "$scene" >/dev/null &
app=$!
sleep "$seconds"
# No window manager: the 800 x 600 window stands at the screen's corner.
DISPLAY=$display import -window root -crop 800x600+0+0 +repage "$out"
echo "saved $out"
