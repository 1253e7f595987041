#!/usr/bin/env bash
# make bench: builds the benchmarks in build-bench, runs them and the yardstick (the same
# integrator on flat arrays, ../shared/yardstick/) in one sitting and prints both side by side,
# then the instructions per spring-step that callgrind counts. Then the headless runner compiled
# to WebAssembly under node, beside the native runner. The machine is shared, so each figure is
# the fastest of several repetitions.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BENCH_BUILD:-$root/build-bench}
repetitions=${BENCH_REPETITIONS:-5}

dpkg-query -W -f='${Status}' libbenchmark-dev 2>/dev/null | grep -q "install ok installed" || {
  echo "installing libbenchmark-dev"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq libbenchmark-dev
}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTREMBLO_BENCH=ON -DTREMBLO_WINDOW=OFF -DTREMBLO_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target tremblo_bench

echo "machine: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores"

yardstick=$root/../shared/yardstick/flat_row.cpp
yard_results=$build/yardstick.txt
: >"$yard_results"
run_yardstick() {
  # N cubes, steps: the fastest of three runs
  for _ in 1 2 3; do "$build/flat_row" "$1" "$2" 2>/dev/null; done | awk -v n="$1" '
    { for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] } }
    !best || v["ns_per_spring_step"] < best { best = v["ns_per_spring_step"]; step = v["ns_per_step"]; links = v["links"] }
    END { print n, links, step, best }' >>"$yard_results"
}
if [ -f "$yardstick" ]; then
  g++ -O2 -ffp-contract=off -o "$build/flat_row" "$yardstick"
  run_yardstick 20 200000
  run_yardstick 100 40000
  run_yardstick 1000 4000
  run_yardstick 10000 400
else
  echo "yardstick not found at $yardstick: skipped, figures shown without it"
fi

"$build/bench/tremblo_bench" --benchmark_repetitions="$repetitions" --benchmark_min_time=0.2 \
  --benchmark_report_aggregates_only=true --benchmark_out="$build/bench.json" --benchmark_out_format=json

if [ -f "$yardstick" ]; then
  # The yardstick once more after the suite: the fastest of both sittings counts.
  run_yardstick 20 200000
  run_yardstick 1000 4000
  run_yardstick 10000 400
fi

python3 "$root/bench/summary.py" "$build/bench.json" "$yard_results"

# Instructions per spring-step, which the machine's load does not change (callgrind).
cmake --build "$build" -j 2 --target tremblo-sim tremblo_count >/dev/null
echo
bash "$root/bench/instructions.sh" "$build"

# The web version: the headless runner compiled to WebAssembly, under node, beside the native
# runner on the twenty-small-cubes scene (make web builds it, installing emscripten if missing).
make -C "$root" web >"$build/web-build.log" 2>&1 || { cat "$build/web-build.log"; exit 1; }
bash "$root/bench/web_vs_native.sh" "$build/tools/tremblo-sim" "$root/build-web/tremblo-sim.js" "$repetitions"
