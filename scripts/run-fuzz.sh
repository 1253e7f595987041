#!/usr/bin/env bash
# Builds the libFuzzer targets (clang++, with AddressSanitizer and UndefinedBehaviorSanitizer)
# and fuzzes each for a bounded time, starting from the committed seed corpora: the script
# reader for SECONDS, the decoding of runs from page addresses for a third of that. Any crash,
# hang, leak or broken consistency check fails the run and leaves the input under build-fuzz/
# as crash-*, timeout-*, leak-* or oom-*.
#
#   scripts/run-fuzz.sh [SECONDS]        (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
out=build-fuzz
cxx=${FUZZ_CXX:-clang++-14}

# clang and its fuzzer runtime (and zlib for the addresses) may be missing on a fresh machine:
# install them, never skip.
bash "$(dirname "$0")/install-deps.sh" clang-14 libclang-rt-14-dev zlib1g-dev

flags=(-std=c++20 -g -O1 -Wall -Wextra -ffp-contract=off -I.
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# fuzz NAME SECONDS SEED_CORPUS [libFuzzer options...]: runs build-fuzz/NAME; new inputs go to
# its working corpus under build-fuzz/, the committed seeds stay as they are.
fuzz() {
  local name=$1 time=$2 seeds=$3
  shift 3
  mkdir -p "$out/$name-corpus"
  local log="$out/$name.log" status=0
  "$out/$name" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -artifact_prefix="$out/" -print_final_stats=1 "$@" "$out/$name-corpus" "$seeds" >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -ne 0 ] || [ -z "$runs" ]; then
    tail -n 60 "$log"
    echo "run-fuzz: $name FAILED (status $status); the input that failed is under $out/"
    exit 1
  fi
  echo "run-fuzz: $name: $runs executions in ${time} s, no crash, hang, leak or inconsistency" \
    "(corpus $(ls "$out/$name-corpus" | wc -l) inputs)"
}

mkdir -p "$out"
"$cxx" "${flags[@]}" fuzz/script_fuzzer.cpp run/script_reader.cpp run/script_writer.cpp -o "$out/script_fuzzer"
"$cxx" "${flags[@]}" -DTREMBLO_HAVE_ZLIB fuzz/run_link_fuzzer.cpp run/run_link.cpp -lz -o "$out/run_link_fuzzer"

fuzz script_fuzzer "$seconds" fuzz/corpus -dict=fuzz/script.dict
fuzz run_link_fuzzer $(( (seconds + 2) / 3 )) fuzz/link_corpus
