#!/usr/bin/env bash
# Builds the script reader's libFuzzer target (clang++, with AddressSanitizer and
# UndefinedBehaviorSanitizer) and fuzzes it for a bounded time, starting from the committed
# seed corpus. Any crash, hang, leak or broken consistency check fails the run and leaves the
# input under build-fuzz/ as crash-*, timeout-*, leak-* or oom-*.
#
#   scripts/run-fuzz.sh [SECONDS]        (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
out=build-fuzz
cxx=${FUZZ_CXX:-clang++-14}

# clang and its fuzzer runtime may be missing on a fresh machine: install them, never skip.
bash "$(dirname "$0")/install-deps.sh" clang-14 libclang-rt-14-dev

mkdir -p "$out/corpus"
"$cxx" -std=c++20 -g -O1 -Wall -Wextra -ffp-contract=off -I. \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer \
  fuzz/script_fuzzer.cpp tools/script.cpp -o "$out/script_fuzzer"

# New inputs go to the working corpus under build-fuzz/; the committed seeds stay as they are.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
log="$out/fuzz.log"
status=0
"$out/script_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -dict=fuzz/script.dict -artifact_prefix="$out/" -print_final_stats=1 \
  "$out/corpus" fuzz/corpus >"$log" 2>&1 || status=$?

runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
if [ "$status" -ne 0 ] || [ -z "$runs" ]; then
  tail -n 60 "$log"
  echo "run-fuzz: FAILED (status $status); the input that failed is under $out/"
  exit 1
fi
echo "run-fuzz: $runs executions in ${seconds} s, no crash, hang, leak or inconsistency" \
  "(corpus $(ls "$out/corpus" | wc -l) inputs)"
