#!/usr/bin/env bash
# The real program waiting for a bridge after an unplug: the simulator starts it with its emulated
# bridge, the program is connected through the keyboard on Xvfb, then the scenario pulls the bridge
# out, leaves the program waiting 12 s (its lost-connection box up, nobody at the keyboard) and
# plugs a bridge in again. Measured per run: the CPU time of the program's process over 10 s of
# the wait, in % of one core, from /proc; and the time from the bridge plugged in to the program
# opening it, from the simulator's time stamps. Prints one line per run and the median and worst;
# exits non-zero when the worst run reaches 1 % or 1 s, or when a run cannot be measured.
#
# Usage: replug-program.sh SIMULATOR PROGRAM [RUNS]
set -euo pipefail

simulator=$1
program=$2
runs=${3:-3}
window_s=10
target_percent=1.0
target_connect_ms=1000
deadline_s=30

source "$(dirname "$0")/program-on-x.sh"

# Milliseconds since midnight of the simulator's time stamp on the first line that matches.
stamp_ms() {
    grep -m 1 "$1" "$work/sim.err" | awk -F'[:. ]' '{ print (($1 * 60 + $2) * 60 + $3) * 1000 + $4 }'
}

start_x
# Each run ends the program with a signal, which leaves its journal of the one row: every run gets a
# state folder of its own, so that no restore question stands between the window and the keyboard.
export XDG_STATE_HOME="$work/state"
# The first frame waits until the program has opened the bridge, so the unplug finds it connected.
printf 'event start 0 0 0 0\nwait 300\nunplug\nwait 12000\nplug\nevent stop 0 0 1 0\n' >"$work/replug.scenario"
hertz=$(getconf CLK_TCK)

percents=()
delays=()
for ((run = 1; run <= runs; run++)); do
    rm -rf "$XDG_STATE_HOME"
    QT_QPA_PLATFORM=xcb "$simulator" --scenario "$work/replug.scenario" -- "$program" >/dev/null 2>"$work/sim.err" &
    sim_pid=$!
    window=$(timeout "$deadline_s" xdotool search --sync --onlyvisible --name '^DIZ Uravaved VKX260$' |
        head -n 1) || fail "the program's window did not appear"
    xdotool windowfocus --sync "$window" key Tab space
    wait_for "the unplug" grep -q 'unplugged ttyUSB0' "$work/sim.err"
    program_pid=$(pgrep -P "$sim_pid" | head -n 1) || fail "the program's process was not found"
    sleep 1
    before=$(cpu_ticks "$program_pid")
    sleep "$window_s"
    after=$(cpu_ticks "$program_pid")
    grep -q 'plugged in ttyUSB1' "$work/sim.err" && fail "the bridge came back before the wait was measured"
    percent=$(awk -v ticks=$((after - before)) -v hz="$hertz" -v s="$window_s" \
        'BEGIN { printf "%.2f", 100 * ticks / hz / s }')
    echo "run $run: waiting $percent % of one core"
    wait_for "the program to open the bridge plugged in again" grep -q 'the program opened ttyUSB1' "$work/sim.err"
    delay=$(($(stamp_ms 'the program opened ttyUSB1') - $(stamp_ms 'plugged in ttyUSB1')))
    echo "run $run: connected $delay ms after the plug"
    percents+=("$percent")
    delays+=("$delay")
    kill -TERM "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
worst() { printf '%s\n' "$@" | sort -g | tail -n 1; }
printf '%-52s %10s %10s\n' "" median worst
printf '%-52s %10s %10s\n' "CPU % while waiting for the bridge" "$(median "${percents[@]}")" \
    "$(worst "${percents[@]}")"
printf '%-52s %10s %10s\n' "ms from the bridge plugged in to the port opened" "$(median "${delays[@]}")" \
    "$(worst "${delays[@]}")"
status=0
for check in "$(worst "${percents[@]}") $target_percent idle-CPU-%-while-waiting" \
    "$(worst "${delays[@]}") $target_connect_ms ms-to-reconnect"; do
    read -r value target name <<<"$check"
    met=$(awk -v w="$value" -v t="$target" 'BEGIN { print (w < t) ? "met" : "MISSED" }')
    printf 'target %-40s %10s < %-8s %s\n' "$name, worst run" "$value" "$target" "$met"
    [ "$met" = met ] || status=1
done
exit $status
