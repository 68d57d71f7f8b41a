#!/usr/bin/env bash
# Idle cost of the real program: the simulator starts it with a silent stopwatch on its emulated
# bridge, the program shows its window on a virtual X display and is connected through the keyboard
# as an operator would do it; then the CPU time that the program's process uses in 10 s is read
# from /proc. Prints one line per run and the median and worst in % of one core; exits non-zero
# when the worst run reaches 1 % or a run cannot be measured.
#
# Usage: idle-program.sh SIMULATOR PROGRAM [RUNS]
set -euo pipefail

simulator=$1
program=$2
runs=${3:-3}
window_s=10
target_percent=1.0
deadline_s=30

source "$(dirname "$0")/program-on-x.sh"

start_x
printf '# the stopwatch says nothing\nwait 1\n' >"$work/silent.scenario"
hertz=$(getconf CLK_TCK)

percents=()
for ((run = 1; run <= runs; run++)); do
    QT_QPA_PLATFORM=xcb "$simulator" --scenario "$work/silent.scenario" -- "$program" >/dev/null 2>"$work/sim.err" &
    sim_pid=$!
    window=$(timeout "$deadline_s" xdotool search --sync --onlyvisible --name '^DIZ Uravaved VKX260$' |
        head -n 1) || fail "the program's window did not appear"
    # The focus starts on "Beenden"; the next tab stop is "Verbindung herstellen".
    xdotool windowfocus --sync "$window" key Tab space
    wait_for "the connection" grep -q 'the program opened ttyUSB0' "$work/sim.err"
    program_pid=$(pgrep -P "$sim_pid" | head -n 1) || fail "the program's process was not found"
    sleep 1
    before=$(cpu_ticks "$program_pid")
    sleep "$window_s"
    after=$(cpu_ticks "$program_pid")
    grep -q 'the program closed ttyUSB0' "$work/sim.err" && fail "the program let go of the port"
    percent=$(awk -v ticks=$((after - before)) -v hz="$hertz" -v s="$window_s" \
        'BEGIN { printf "%.2f", 100 * ticks / hz / s }')
    echo "run $run: $percent % of one core"
    percents+=("$percent")
    kill -TERM "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
done

sorted=$(printf '%s\n' "${percents[@]}" | sort -g)
median=$(echo "$sorted" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
worst=$(echo "$sorted" | tail -n 1)
printf '%-44s %10s %10s\n' "" median worst
printf '%-44s %10s %10s\n' "real program, simulator's bridge, X display" "$median" "$worst"
met=$(awk -v w="$worst" -v t="$target_percent" 'BEGIN { print (w <= t) ? "met" : "MISSED" }')
printf 'target %-58s %12s <= %-10s %s\n' "idle CPU %, real program under the simulator, worst run" "$worst" \
    "$target_percent" "$met"
[ "$met" = met ]
