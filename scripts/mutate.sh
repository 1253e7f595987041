#!/usr/bin/env bash
# Mutation test: applies each mutant of a list alone to the source tree, rebuilds only what the
# tests of the mutated file need, runs those tests (the ones most likely to fail first), puts
# the file back and says whether the tests killed the mutant (some test failed) or it survived.
#
#   scripts/mutate.sh [LIST] [BUILD_DIR]     (make mutation; LIST: tests/mutation/mutants.txt)
#   ONLY=REGEX scripts/mutate.sh             only the mutants whose file or description matches
#   WORKERS=2 scripts/mutate.sh              two mutants at a time, in copies of the tree
#
# The list holds records separated by blank lines, `#` lines are comments:
#   file: sim/spring_pass.cpp          the file, from the top of the tree
#   find: if (kBreakable) special ...  text that must occur exactly once in that file
#   into: ...                          what replaces it (empty: it is deleted)
#   what: a group never tears          what the fault does
#   equivalent: why no input can tell it apart   (only on mutants that are)
# In find and into, \n stands for a line break (the next line's indentation follows it).
# A mutant whose text is not found once is "stale" (the code moved on: point it at the code as
# it now is). A mutant that does not compile is "unbuildable". Neither counts in the kill rate,
# nor do the equivalent ones. Ctrl-C, a failure or a kill by TERM puts the file back too.
# Exits 0 when every mutant not marked equivalent was killed and no marked one was.
set -uo pipefail
cd "$(dirname "$0")/.."

list=${1:-tests/mutation/mutants.txt}
build=${2:-build-mutation}
jobs=${JOBS:-2}
only=${ONLY:-}
all_targets=(tremblo_unit_tests tremblo_perf_tests tremblo_runner_unit_tests tremblo_web_unit_tests tremblo_pacing_tests
  tremblo-sim)

[ -f "$list" ] || { echo "mutate: no list $list"; exit 2; }

# WORKERS=N: N copies of the tree as it is, each with a build of its own, take every N-th
# mutant at the same time (a mutant costs mostly one file's compile, which uses one core).
workers=${WORKERS:-1}
if [ "$workers" -gt 1 ] && [ -z "${SHARD:-}" ]; then
  start=$SECONDS
  list=$(realpath "$list")
  mkdir -p "$build" && build=$(realpath "$build")
  bash scripts/install-deps.sh ccache >/dev/null
  # The copies are built one after the other with every core: the later ones from ccache.
  for ((k = 0; k < workers; k++)); do
    tree=$build/tree-$k
    rm -rf "$tree" && mkdir -p "$tree"
    # New file times (-m), so that a build an earlier run left behind is rebuilt.
    git ls-files -z | xargs -0 tar -c --ignore-failed-read 2>/dev/null | tar -x -m -C "$tree"
    CCACHE_BASEDIR=$tree SHARD=$k/$workers SETUP_ONLY=1 bash "$tree/scripts/mutate.sh" "$list" "$build/build-$k" ||
      exit 1
  done
  pids=()
  for ((k = 0; k < workers; k++)); do
    tree=$build/tree-$k
    CCACHE_BASEDIR=$tree SHARD=$k/$workers JOBS=1 bash "$tree/scripts/mutate.sh" "$list" "$build/build-$k" \
      >"$build/worker-$k.log" 2>&1 &
    pids+=("$!")
  done
  trap 'kill "${pids[@]}" 2>/dev/null; wait; echo; echo "mutate: interrupted (the copies are in $build)"; exit 130' INT TERM
  status=0
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  grep -h '^mutate: the' "$build"/worker-*.log | sort -u
  grep -hE '^ *[0-9]+ ' "$build"/worker-*.log | sort -n
  grep -h '^killed ' "$build"/worker-*.log | tr -d ',;' | awk -v s=$((SECONDS - start)) '
    { k += $2; v += $4; for (i = 5; i <= NF; ++i) { if ($i == "equivalent") e += $(i + 1); if ($i == "stale") t += $(i + 1)
      if ($i == "unbuildable") u += $(i + 1) } }
    END { printf "\nmutate: %d workers, %d min %d s\nkilled %d, survived %d; equivalent %d, stale %d, unbuildable %d\n",
          NR, s / 60, s % 60, k, v, e, t, u
          if (k + v > 0) printf "kill rate: %d of %d non-equivalent mutants, %.1f%%\n", k, k + v, 100 * k / (k + v) }'
  exit "$status"
fi
shard=${SHARD:-}

work=$(mktemp -d)
mutated=""
restore() {
  if [ -n "$mutated" ]; then
    cp "$work/original" "$mutated" && touch "$mutated"
    mutated=""
  fi
}
trap 'restore; rm -rf "$work"' EXIT
trap 'restore; echo; echo "mutate: interrupted; the tree is as it was"; exit 130' INT
trap 'restore; exit 143' TERM

# The tests, each a function that fails on the first fault it sees, and the target it needs.
sim=$build/tools/tremblo-sim
gtest() { timeout 300 "$build/tests/$1" --gtest_fail_fast --gtest_brief=1 >/dev/null 2>&1; }
test_hashes() {
  local dir name hash
  for dir in examples tests/determinism/scripts; do
    local pins=tests/determinism/pinned_hashes.txt
    [ "$dir" = examples ] || pins=$dir/pinned_hashes.txt
    while read -r name hash; do
      [ "$(timeout 120 "$sim" "$dir/$name" --hash 2>/dev/null)" = "$hash" ] || return 1
    done < <(grep -v -e '^#' -e '^[[:space:]]*$' "$pins")
  done
}
test_unit() { gtest tremblo_unit_tests; }
test_perf() { gtest tremblo_perf_tests; }
test_runner() { gtest tremblo_runner_unit_tests; }
test_web_unit() { gtest tremblo_web_unit_tests; }
test_view() { gtest tremblo_pacing_tests; }
test_cli() {
  local case
  for case in $(sed -n '/^set(TREMBLO_RUNNER_CLI_CASES/,/^)/{/^ /p}' tests/runner_tests.cmake); do
    timeout 300 bash tests/runner/cli_test.sh "$sim" "$case" examples >/dev/null 2>&1 || return 1
  done
}
test_links() { timeout 300 node tests/web/link_readers_test.mjs "$sim" >/dev/null 2>&1; }
declare -A target_of=([test_hashes]=tremblo-sim [test_unit]=tremblo_unit_tests [test_perf]=tremblo_perf_tests
  [test_runner]=tremblo_runner_unit_tests [test_web_unit]=tremblo_web_unit_tests [test_cli]=tremblo-sim
  [test_links]=tremblo-sim [test_view]=tremblo_pacing_tests)
all_tests=(test_hashes test_unit test_perf test_runner test_cli test_web_unit test_links test_view)

# The tests a mutant of FILE can fail, those that see most of that file's faults first.
tests_for() {
  case $1 in
    web/page/*.js) echo test_links ;;
    web/*) echo test_web_unit ;;
    view/*) echo test_view test_web_unit ;;
    run/run_link.* | run/script_file.*) echo test_links test_runner test_cli ;;
    run/* | tools/*) echo test_runner test_cli test_hashes test_web_unit test_links ;;
    interaction/scene_commands.cpp | sim/settings.*) echo test_runner test_hashes test_unit test_perf test_cli test_web_unit ;;
    *) echo test_hashes test_unit test_perf test_runner test_cli test_web_unit ;;
  esac
}

# Runs the tests in turn, each target built just before the first test that needs it, so that a
# mutant the first test kills costs one target's build. Status: 0 all passed, 1 a test failed,
# 2 a target did not build.
built=" "
run_tests() {
  local t target
  for t in "$@"; do
    target=${target_of[$t]}
    if [[ $built != *" $target "* ]]; then
      cmake --build "$build" -j "$jobs" --target "$target" >"$work/build.log" 2>&1 || return 2
      built+="$target "
    fi
    "$t" || return 1
  done
}

# Replaces the one occurrence of $2 in file $1 by $3; prints how often $2 occurs.
replace_once() {
  python3 - "$@" <<'EOF'
import sys
path, find, into = (arg.replace("\\n", "\n") for arg in sys.argv[1:4])
text = open(path, encoding="utf-8").read()
count = text.count(find) if find else 0
print(count)
if count == 1:
    open(path, "w", encoding="utf-8").write(text.replace(find, into))
EOF
}

# A mutant's file is compiled twice, mutated and then restored for the next mutant's build:
# ccache serves the restored one.
bash scripts/install-deps.sh ccache >/dev/null
echo "mutate: building $build (Release, no window, no sanitizers)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTREMBLO_WINDOW=OFF -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$work/build.log" 2>&1 &&
  cmake --build "$build" -j "$jobs" --target "${all_targets[@]}" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; echo "mutate: the tree as it is does not build"; exit 1; }
run_tests "${all_tests[@]}" || { echo "mutate: the tests fail on the tree as it is; fix that first"; exit 1; }
[ -z "${SETUP_ONLY:-}" ] || exit 0

killed=0 survived=0 equivalent=0 stale=0 unbuildable=0 wrongly_equivalent=0 number=0
survivors=()

try_mutant() {
  local file=$1 find=$2 into=$3 what=$4 why=$5 count verdict
  number=$((number + 1))
  if [ -n "$shard" ] && [ $(((number - 1) % ${shard#*/})) != "${shard%/*}" ]; then return; fi
  if [ -n "$only" ] && ! [[ "$file $what" =~ $only ]]; then return; fi
  local label
  label=$(printf '%3d %-28s %s' "$number" "$file" "$what")
  if [ ! -f "$file" ]; then
    echo "$label: stale (no such file)"; stale=$((stale + 1)); return
  fi
  cp "$file" "$work/original"
  mutated=$file
  count=$(replace_once "$file" "$find" "$into")
  if [ "$count" != 1 ]; then
    restore
    echo "$label: stale (text found $count times)"; stale=$((stale + 1)); return
  fi
  built=" "
  # (the shell's own note of a test stopped by a signal, a floating-point trap say, goes too)
  # shellcheck disable=SC2046
  run_tests $(tests_for "$file") 2>/dev/null
  case $? in 0) verdict=survived ;; 1) verdict=killed ;; *) verdict=unbuildable ;; esac
  restore
  if [ "$verdict" = unbuildable ]; then
    echo "$label: unbuildable"; unbuildable=$((unbuildable + 1)); return
  fi
  if [ -n "$why" ]; then
    if [ "$verdict" = killed ]; then
      echo "$label: killed, yet marked equivalent: the mark is wrong"
      wrongly_equivalent=$((wrongly_equivalent + 1)); killed=$((killed + 1))
    else
      echo "$label: equivalent ($why)"; equivalent=$((equivalent + 1))
    fi
  elif [ "$verdict" = killed ]; then
    echo "$label: killed"; killed=$((killed + 1))
  else
    echo "$label: SURVIVED"; survived=$((survived + 1)); survivors+=("$number")
  fi
}

file="" find="" into="" what="" why="" have_find=0
flush_record() {
  if [ -n "$file" ]; then
    if [ "$have_find" = 1 ]; then
      try_mutant "$file" "$find" "$into" "$what" "$why"
    else
      echo "mutate: $list: a record for $file has no find: line"; exit 2
    fi
  fi
  file="" find="" into="" what="" why="" have_find=0
}
line_number=0
while IFS= read -r line || [ -n "$line" ]; do
  line_number=$((line_number + 1))
  case $line in
    '#'*) ;;
    '') flush_record ;;
    'file: '*) file=${line#file: } ;;
    'find: '*) find=${line#find: }; have_find=1 ;;
    'into:'*) into=${line#into:}; into=${into# } ;;
    'what: '*) what=${line#what: } ;;
    'equivalent: '*) why=${line#equivalent: } ;;
    *) echo "mutate: $list:$line_number: not a record line: $line"; exit 2 ;;
  esac
done <"$list"
flush_record

counted=$((killed + survived))
echo
echo "mutate: $number mutants in $((SECONDS / 60)) min $((SECONDS % 60)) s"
echo "killed $killed, survived $survived${survivors[*]:+ (${survivors[*]})}; equivalent $equivalent," \
  "stale $stale, unbuildable $unbuildable"
if [ "$counted" -gt 0 ]; then
  echo "kill rate: $killed of $counted non-equivalent mutants, $(awk -v k="$killed" -v n="$counted" 'BEGIN { printf "%.1f", 100 * k / n }')%"
fi
[ "$wrongly_equivalent" -eq 0 ] && [ "$survived" -eq 0 ]
