#!/usr/bin/env bash
# Builds the step-trace driver against the core sources of a project tree (and its state hash).
# Usage: bench/trace_build.sh SOURCE_TREE OUTPUT_BINARY [extra compiler flags]
set -euo pipefail
src=$(cd "$1" && pwd)
out=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
core=$(ls "$src"/model/*.cpp "$src"/sim/*.cpp "$src"/interaction/*.cpp)
g++ -std=c++20 -O2 -ffp-contract=off -Wall -Wextra "$@" -I"$src" -I"$here" \
    $core "$src/run/state_hash.cpp" "$here/cube_rows.cpp" "$here/contact_scenes.cpp" "$here/trace_steps.cpp" -o "$out"
