#!/usr/bin/env bash
# Program-level tests of tremblo-sim: cli_test.sh SIM CASE. Each CASE is one CTest entry; it
# prints every failed check and exits 1 if there was any.
set -u

sim=$1
case_name=$2
examples_dir=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# run SCRIPT_TEXT ARGS...: runs the program on a script file made from SCRIPT_TEXT; leaves
# $work/out, $work/err and $rc.
run() {
    printf '%b' "$1" > "$work/script.sim"
    shift
    "$sim" "$work/script.sim" "$@" > "$work/out" 2> "$work/err"
    rc=$?
}

# The trace rows (header dropped) at step N of a trace file.
rows_at() { awk -F, -v n="$2" 'NR > 1 && $1 == n' "$1"; }

# A refused run: status 2, exactly one line on stderr, starting with PREFIX, nothing on
# stdout, and no trace file made.
expect_refused() {
    local what=$1 prefix=$2
    [ "$rc" -eq 2 ] || fail "$what: status $rc, expected 2"
    [ "$(wc -l < "$work/err")" -eq 1 ] || fail "$what: stderr is not one line: $(cat "$work/err")"
    case "$(head -n 1 "$work/err")" in
        "$prefix"*) ;;
        *) fail "$what: stderr '$(cat "$work/err")' does not start with '$prefix'" ;;
    esac
    [ ! -s "$work/out" ] || fail "$what: wrote to stdout"
    [ ! -e "$work/trace.csv" ] || fail "$what: a trace file was written"
    rm -f "$work/trace.csv"
}

case_bad_scripts() {
    # script text | line of the fault | part of the message. The reader's unit tests go
    # through every kind of fault; these check that each reaches the command line intact.
    local cases=(
        'key 1\nstep 10\nwobble 5|3|unknown command'
        '# comment\n\nstep|3|step needs a count'
        'key ab|1|single character'
        'press left 1 2 3|1|extra argument'
        'release left 5 1e3|1|Y must be an integer'
        'step 1000000001|1|out of range'
        'step 1\r\nkey 1\rkey 2\r\n|2|carriage return'
        'step 1\n\x00\xff\xfe|2|unknown command'
    )
    local entry text line fragment
    for entry in "${cases[@]}"; do
        IFS='|' read -r text line fragment <<< "$entry"
        run "$text" --trace "$work/trace.csv"
        expect_refused "script '$text'" "$work/script.sim:$line: "
        grep -q -- "$fragment" "$work/err" || fail "script '$text': message lacks '$fragment': $(cat "$work/err")"
    done
    # Nothing of a bad script runs, even the good lines before the fault: the trace to stdout
    # stays empty, header included.
    run 'step 100\nstep oops' --trace -
    expect_refused "bad script with --trace -" "$work/script.sim:2: "
}

# refused_args WHAT ARGS...: the program, run with ARGS, must refuse them.
refused_args() {
    local what=$1
    shift
    "$sim" "$@" > "$work/out" 2> "$work/err" < /dev/null
    rc=$?
    expect_refused "$what" "tremblo-sim: "
}

case_bad_invocations() {
    local ok="$work/ok.sim" trace="$work/trace.csv"
    printf 'step 1\n' > "$ok"
    refused_args "missing script" "$work/missing.sim" --trace "$trace"
    refused_args "script is a directory" "$work" --trace "$trace"
    refused_args "no arguments"
    refused_args "unknown option" "$ok" --frobnicate --trace "$trace"
    refused_args "--every 0" "$ok" --every 0 --trace "$trace"
    refused_args "--every without a value" "$ok" --trace "$trace" --every
    refused_args "--every without --trace" "$ok" --every 10
    refused_args "two scripts" "$ok" "$ok" --trace "$trace"
    refused_args "--hash with --trace -" "$ok" --hash --trace -
    refused_args "unwritable trace" "$ok" --trace "$work/no/such/dir/t.csv"
    # A trace never overwrites the file the run is read from, by whatever name.
    ln -s "$ok" "$work/link.sim"
    printf 'no address\n' > "$work/link.txt"
    refused_args "a trace over its script" "$ok" --trace "$ok"
    refused_args "a trace over its script by another name" "$work/link.sim" --trace "$work/./ok.sim"
    refused_args "a trace over its link file" --link "$work/link.txt" --trace "$work/link.txt"
    "$sim" - --trace "$ok" < "$ok" > "$work/out" 2> "$work/err"
    rc=$?
    expect_refused "a trace over the script on standard input" "tremblo-sim: --trace"
    [ "$(cat "$ok")" = "step 1" ] || fail "the script was overwritten: $(cat "$ok")"
    refused_args "a link file without an address" --link "$work/link.txt"
    refused_args "--link= without a file" --link=
    grep -q "needs a file name" "$work/err" || fail "--link= is not said to need a file name: $(cat "$work/err")"
    refused_args "a link file that is not there" --link "$work/none.txt"
    grep -q "cannot open link '$work/none.txt'" "$work/err" || fail "a missing link file is not named a link: $(cat "$work/err")"
    refused_args "a script and a link" "$ok" --link "$work/link.txt"

    "$sim" --help > "$work/out" 2> "$work/err"
    [ $? -eq 0 ] || fail "--help: status not 0"
    grep -q '^usage: tremblo-sim SCRIPT' "$work/out" || fail "--help: no usage line on stdout"
}

# A trace or hash that cannot be written completely is status 1 with a message, not a silent 0.
case_write_errors() {
    [ -w /dev/full ] || { echo "no /dev/full here: skipped"; return; }
    run 'step 500' --trace /dev/full --every 1
    [ "$rc" -eq 1 ] || fail "trace to a full disk: status $rc"
    grep -q "error writing trace '/dev/full'" "$work/err" || fail "trace to a full disk: $(cat "$work/err")"
    printf 'step 5\n' | "$sim" - --hash > /dev/full 2> "$work/err"
    rc=$?
    [ "$rc" -eq 1 ] || fail "hash to a full disk: status $rc"
    grep -q "error writing standard output" "$work/err" || fail "hash to a full disk: $(cat "$work/err")"
}

case_stdin() {
    printf 'key 2\nstep 10\n' | "$sim" - --trace - --every 10 > "$work/out" 2> "$work/err"
    rc=$?
    [ "$rc" -eq 0 ] || fail "status $rc"
    [ "$(head -n 1 "$work/out")" = "step,time,point,x,y,z,vx,vy,vz" ] || fail "no header"
    # 8 rows of the start scene at step 0 (the key comes after them), 12 of the two-cube row at step 10.
    [ "$(rows_at "$work/out" 0 | wc -l)" -eq 8 ] || fail "step 0 rows"
    [ "$(rows_at "$work/out" 10 | wc -l)" -eq 12 ] || fail "step 10 rows"
    grep -q '10 steps' "$work/err" || fail "summary: $(cat "$work/err")"

    printf 'step 1\nstep\n' | "$sim" - > "$work/out" 2> "$work/err"
    rc=$?
    expect_refused "bad script on stdin" "<stdin>:2: "

    # --at stops after that step and the commands before the next one.
    at=$(printf 'key 2\nstep 100\nkey 3\nstep 50\n' | "$sim" - --at 100 --hash 2> "$work/err")
    cut=$(printf 'key 2\nstep 100\nkey 3\n' | "$sim" - --hash 2> /dev/null)
    [ -n "$at" ] && [ "$at" = "$cut" ] || fail "--at 100 gave '$at', the run cut there '$cut'"
    grep -q '100 steps' "$work/err" || fail "--at summary: $(cat "$work/err")"
}

case_trace_format() {
    run 'step 250' --trace "$work/trace.csv"
    [ "$rc" -eq 0 ] || fail "status $rc: $(cat "$work/err")"
    [ "$(head -n 1 "$work/trace.csv")" = "step,time,point,x,y,z,vx,vy,vz" ] || fail "header: $(head -n 1 "$work/trace.csv")"
    # Default sampling every 100 steps: steps 0, 100 and 200, eight points each, numbered 0..7.
    [ "$(wc -l < "$work/trace.csv")" -eq 25 ] || fail "expected 1 + 3 x 8 lines, got $(wc -l < "$work/trace.csv")"
    [ "$(awk -F, 'NR > 1 { print $1 }' "$work/trace.csv" | uniq | tr '\n' ' ')" = "0 100 200 " ] || fail "sampled steps"
    [ "$(rows_at "$work/trace.csv" 100 | cut -d, -f3 | tr '\n' ' ')" = "0 1 2 3 4 5 6 7 " ] || fail "point numbers"
    awk -F, 'NR > 1 { if (NF != 9 || $1 !~ /^[0-9]+$/ || $3 !~ /^[0-9]+$/) bad = 1
                      for (i = 2; i <= 9; ++i) if ($i !~ /^-?[0-9]+(\.[0-9]+)?(e[-+][0-9]+)?$/) bad = 1 }
             END { exit bad }' "$work/trace.csv" || fail "a row is not 9 numeric fields"
    # The start scene: corner 0 of the cube at (0, 0, 2), at rest, time 0.
    [ "$(rows_at "$work/trace.csv" 0 | head -n 1)" = "0,0,0,0,0,2,0,0,0" ] || fail "first row: $(rows_at "$work/trace.csv" 0 | head -n 1)"
    # %.9g: at most 9 significant digits, and time 0.05 at step 100 (0.0005 s per step, in floats).
    awk -F, 'NR > 1 { for (i = 4; i <= 9; ++i) { m = $i; sub(/e.*/, "", m); gsub(/[-.]/, "", m); sub(/^0+/, "", m); if (length(m) > 9) bad = 1 } } END { exit bad }' \
        "$work/trace.csv" || fail "more than 9 significant digits"
    awk -F, -v t="$(rows_at "$work/trace.csv" 100 | head -n 1 | cut -d, -f2)" 'BEGIN { exit !(t > 0.04999 && t < 0.05001) }' \
        || fail "time at step 100"
    grep -q '^tremblo-sim: 250 steps, simTime 0.12[0-9]* s, 8 moving points, 28 active springs$' "$work/err" \
        || fail "summary: $(cat "$work/err")"
}

case_sampling() {
    # Every step with K = 1: step 0 and steps 1..3.
    run 'step 3' --trace "$work/trace.csv" --every 1
    [ "$(awk -F, 'NR > 1 { print $1 }' "$work/trace.csv" | uniq | tr '\n' ' ')" = "0 1 2 3 " ] || fail "K = 1"

    # The running count goes on across a restart, and time starts again with the new scene.
    run 'step 150\nkey 2\nstep 100\nkey 3\nstep 0\nstep 50' --trace "$work/trace.csv" --every 100
    [ "$rc" -eq 0 ] || fail "status $rc"
    [ "$(rows_at "$work/trace.csv" 0 | wc -l)" -eq 8 ] || fail "step 0 rows"
    [ "$(rows_at "$work/trace.csv" 100 | wc -l)" -eq 8 ] || fail "step 100 rows (one cube)"
    [ "$(rows_at "$work/trace.csv" 200 | wc -l)" -eq 12 ] || fail "step 200 rows (two cubes)"
    [ "$(rows_at "$work/trace.csv" 300 | wc -l)" -eq 16 ] || fail "step 300 rows (three cubes)"
    [ "$(wc -l < "$work/trace.csv")" -eq $((1 + 8 + 8 + 12 + 16)) ] || fail "total rows"
    run 'key 2\nstep 50' --trace "$work/fresh.csv" --every 50
    [ "$(rows_at "$work/trace.csv" 200 | cut -d, -f2- )" = "$(rows_at "$work/fresh.csv" 50 | cut -d, -f2-)" ] \
        || fail "50 steps into the two-cube scene differ from a fresh two-cube run of 50 steps"
    run 'step 150\nkey 2\nstep 100\nkey 3\nstep 0\nstep 50'
    grep -q '^tremblo-sim: 300 steps, simTime 0.02[0-9]* s, 16 moving points, 72 active springs$' "$work/err" \
        || fail "summary after restarts: $(cat "$work/err")"
    [ ! -s "$work/out" ] || fail "no trace asked, yet stdout has output"
}

case_deterministic() {
    local script='key 3\npress left 300 300\nstep 150\nrelease left 420 250\nstep 1000\npress right 400 300\nrelease right 380 350\nstep 1000'
    run "$script" --trace "$work/a.csv" --every 7
    run "$script" --trace "$work/b.csv" --every 7 --hash
    cp "$work/out" "$work/hash_with_trace"
    [ -s "$work/a.csv" ] || fail "no trace"
    cmp -s "$work/a.csv" "$work/b.csv" || fail "two runs of one script gave different traces"
    run "$script" --hash
    cmp -s "$work/out" "$work/hash_with_trace" || fail "writing a trace changed the hash"
}

case_hash() {
    run 'step 0' --hash
    [ "$rc" -eq 0 ] || fail "status $rc"
    grep -qx '[0-9a-f]\{16\}' "$work/out" || fail "not 16 lowercase hex digits: $(cat "$work/out")"
    [ "$(wc -l < "$work/out")" -eq 1 ] || fail "more than one line"
    local start
    start=$(cat "$work/out")
    run 'step 1' --hash
    [ "$(cat "$work/out")" != "$start" ] || fail "one step did not change the hash"
    # A restart gives the start state again, bit for bit.
    run 'key 4\nstep 500\nkey 1' --hash
    [ "$(cat "$work/out")" = "$start" ] || fail "restart does not reproduce the start hash"
}

# A right drag 200 pixels to the right with gravity off pushes every point of the cube with
# (0, 20, 0) for 200 steps. Pushed alike, the cube moves as one: no spring stretches, and each
# point (mass 1, damping 0.2) follows v(n) = v(n-1) + dt (20 - 0.2 v(n-1)), y(n) = y(n-1) + dt v(n).
case_push_right_moves_every_point_toward_plus_y() {
    run 'key g\npress right 400 300\nrelease right 600 300\nstep 200' --trace "$work/trace.csv" --every 200
    [ "$rc" -eq 0 ] || fail "status $rc"
    awk -F, 'NR > 1 && $1 == 0 { y0[$3] = $5 }
             NR > 1 && $1 == 200 {
                 n++
                 v = 0; y = 0
                 for (k = 0; k < 200; ++k) { v += 0.0005 * (20 - 0.2 * v); y += 0.0005 * v }
                 if ($5 - y0[$3] < 0.09) { print "point " $3 " did not move toward +y"; bad = 1 }
                 if (($8 - v)^2 > 1e-8) { print "point " $3 " vy " $8 ", closed form " v; bad = 1 }
                 if (($5 - y0[$3] - y)^2 > 1e-8) { print "point " $3 " moved " $5 - y0[$3] ", closed form " y; bad = 1 }
                 if ($7^2 > 1e-8 || $9^2 > 1e-8) { print "point " $3 " moves across the push"; bad = 1 }
             }
             END { if (n != 8) { print "expected 8 points, got " n; bad = 1 } exit bad }' "$work/trace.csv" \
        || fail "push to the right"
}

# With plasticity on, the pendulum's four suspension springs (rest length 1, stretched to about
# 2.9 and 3.5) yield in the first step: their rest length becomes their length and they stop
# pulling, so the whole block starts in free fall (mass 3, damping 0.2: v(n) = v(n-1) +
# dt (-9.81 * 3 - 0.2 v(n-1)) / 3) with no motion in y. Without plasticity the same springs pull
# corner 0 toward its anchor at y = 4 with about 1000 x 1.9 / 3 units/s^2 in y.
case_plastic_pendulum_suspension_yields() {
    run 'key u\nkey p\nstep 10' --trace "$work/plastic.csv" --every 10
    [ "$rc" -eq 0 ] || fail "status $rc"
    awk -F, 'NR > 1 && $1 == 10 {
                 n++
                 v = 0
                 for (k = 0; k < 10; ++k) v += 0.0005 * (-9.81 * 3 - 0.2 * v) / 3
                 if ($8^2 > 1e-4) { print "point " $3 " vy " $8 ": still pulled toward the anchors"; bad = 1 }
                 # The fall itself stretches the suspension springs again a little: within
                 # 10 steps they slow the suspended corners by about 1e-4 units/s.
                 if (($9 - v)^2 > 6.25e-8) { print "point " $3 " vz " $9 ", free fall " v; bad = 1 }
             }
             END { if (n != 16) { print "expected 16 points, got " n; bad = 1 } exit bad }' "$work/plastic.csv" \
        || fail "plastic pendulum"
    run 'key p\nstep 10' --trace "$work/elastic.csv" --every 10
    awk -F, 'NR > 1 && $1 == 10 && $3 == 0 { found = 1; if ($8 > -1) { print "corner 0 vy " $8; exit 1 } }
             END { exit !found }' "$work/elastic.csv" || fail "elastic pendulum: corner 0 not pulled toward its anchor"
}

# Tearing only happens while it is on: the same violent pendulum keeps all its 76 springs
# (3 cubes: 28 + 22 + 22, and 4 suspension springs) with tearing off and loses some with it on.
case_tearing_needs_z() {
    run 'key p\nstep 4000'
    grep -q ', 16 moving points, 76 active springs$' "$work/err" \
        || fail "elastic pendulum lost springs: $(cat "$work/err")"
    run 'key z\nkey p\nstep 4000'
    local springs
    springs=$(sed -n 's/.*, 16 moving points, \([0-9]*\) active springs$/\1/p' "$work/err")
    [ -n "$springs" ] && [ "$springs" -lt 76 ] || fail "no spring tore with 'z': $(cat "$work/err")"
}

case_examples() {
    local dir=$examples_dir script count=0
    shopt -s nullglob
    for script in "$dir"/*.sim "$dir"/scenes/*.sim; do
        count=$((count + 1))
        "$sim" "$script" --trace "$work/trace.csv" --hash > "$work/out" 2> "$work/err" < /dev/null
        rc=$?
        [ "$rc" -eq 0 ] || fail "$(basename "$script"): status $rc: $(cat "$work/err")"
        grep -qx '[0-9a-f]\{16\}' "$work/out" || fail "$(basename "$script"): no hash"
        [ "$(wc -l < "$work/trace.csv")" -gt 1 ] || fail "$(basename "$script"): empty trace"
        grep -qi 'nan\|inf' "$work/trace.csv" && fail "$(basename "$script"): the trace is not finite"
    done
    [ "$count" -gt 0 ] || fail "no example scripts in $dir"
}

"case_$case_name"
if [ "$failures" -ne 0 ]; then
    echo "$case_name: $failures check(s) failed"
    exit 1
fi
echo "$case_name: ok"
