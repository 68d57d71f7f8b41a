#!/usr/bin/env bash
# Rows restored after kill -9: the simulator sends a lap every 50 ms; the program, connected through
# the keyboard on a virtual X display, is killed with SIGKILL at a random moment while the laps
# arrive. It is started again with the same state folder, Return answers the restore question, and
# the list is saved through the Save As dialog. A run counts as whole when the saved file holds,
# byte for byte, every row whose frame the program had received (its reception trace) before the
# kill. Prints one line per run and the total; exits non-zero when a run lost a row or went wrong.
#
# Usage: kill-recovery.sh SIMULATOR PROGRAM [RUNS]
set -euo pipefail

simulator=$1
program=$2
runs=${3:-20}
laps=80
deadline_s=30

source "$(dirname "$0")/program-on-x.sh"

wait_for_end() {
    local end=$((SECONDS + deadline_s))
    while kill -0 "$sim_pid" 2>/dev/null; do
        ((SECONDS < end)) || fail "the program did not end $1"
        sleep 0.05
    done
    wait "$sim_pid" || true
    sim_pid=
}

# The first visible window of this name; windows that vanish during the search are no error.
window_named() {
    local end=$((SECONDS + deadline_s)) id
    until id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
    echo "$id"
}

start_x
export XDG_STATE_HOME="$work/state"
export LC_ALL=C.UTF-8 LANGUAGE=de QT_QPA_PLATFORM=xcb

# Lap i carries i as its milliseconds, so that each saved row names its frame.
printf 'Index,Event,Zeit\r\n' >"$work/all.csv"
for ((i = 1; i <= laps; i++)); do
    printf 'event lap 0 0 0 %d\nwait 50\n' "$i" >>"$work/laps.scenario"
    printf '%03d,Lap,00:00:00.%03d\r\n' "$i" "$i" >>"$work/all.csv"
done
printf 'wait 1\n' >"$work/silent.scenario"

whole=0
for ((run = 1; run <= runs; run++)); do
    rm -rf "$XDG_STATE_HOME" "$work/restored.csv"
    "$simulator" --scenario "$work/laps.scenario" -- "$program" >"$work/out" 2>"$work/sim.err" &
    sim_pid=$!
    window=$(window_named '^DIZ Uravaved VKX260$') || fail "the program's window did not appear"
    xdotool windowfocus --sync "$window" key Tab space
    wait_for "the first row" grep -q 'Empfangen' "$work/out"
    # Somewhere in the next 0 to 3 s, while laps still arrive.
    sleep "$((RANDOM % 3)).$((RANDOM % 1000))"
    program_pid=$(pgrep -P "$sim_pid" | head -n 1) || fail "the program's process was not found"
    kill -KILL "$program_pid"
    wait_for_end "after kill -9"
    received=$(grep -c '^Empfangen' "$work/out" || true)

    "$simulator" --scenario "$work/silent.scenario" -- "$program" >/dev/null 2>"$work/sim.err" &
    sim_pid=$!
    question=$(window_named '^Wiederherstellung$') || fail "run $run: the rows were not offered back"
    xdotool windowfocus --sync "$question" key Return
    window=$(window_named '^DIZ Uravaved VKX260$') || fail "the program's window did not appear"
    xdotool windowfocus --sync "$window" key Tab Tab space
    chooser=$(window_named '^Speichern unter$') || fail "no Save As dialog"
    xdotool windowfocus --sync "$chooser" type "$work/restored.csv"
    xdotool key Return
    saved=$(window_named '^Daten gespeichert$') || fail "the list was not saved"
    xdotool windowfocus --sync "$saved" key Return
    xdotool windowfocus --sync "$window" key Escape
    wait_for_end "after the save"

    restored=$(($(grep -c $'\r$' "$work/restored.csv") - 1))
    head -c "$(stat -c %s "$work/restored.csv")" "$work/all.csv" | cmp -s - "$work/restored.csv" ||
        fail "run $run: the saved rows differ from the frames sent"
    verdict="lost $((received - restored))"
    if ((restored == received)); then
        verdict=whole
        whole=$((whole + 1))
    fi
    echo "run $run: $received rows received before the kill, $restored restored: $verdict"
done
echo "runs with every received row restored: $whole of $runs"
((whole == runs))
