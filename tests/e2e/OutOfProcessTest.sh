#!/usr/bin/env bash
# The real program under the simulator, driven as an operator would drive it: the program shows its
# window on a virtual X display, the keyboard (X's test extension, the same path as real key presses)
# moves the focus to "Verbindung herstellen" and presses it, and the reception trace on the program's
# standard output must then show exactly the frames of the scenario. Tab then leaves the filled list
# both ways to open the Save As dialog, which Escape cancels. Escape and "Nein" in the
# unsaved-data question end the program, and the simulator must pass on its exit status 0. Then the
# program is killed with rows listed, started again, and must offer them back for a byte-exact save.
#
# Usage: OutOfProcessTest.sh SIMULATOR PROGRAM
set -euo pipefail

simulator=$1
program=$2
deadline_s=30

work=$(mktemp -d)
xvfb_pid=
sim_pid=

fail() {
    echo "FAILED: $*" >&2
    for log in "$work"/sim.err "$work"/xvfb.log; do
        if [ -s "$log" ]; then
            echo "--- $(basename "$log")" >&2
            cat "$log" >&2
        fi
    done
    if [ -e "$work/out" ]; then
        echo "--- program's standard output" >&2
        cat -A "$work/out" >&2
    fi
    exit 1
}

cleanup() {
    # SIGTERM makes the simulator end the program first.
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Polls until the command succeeds or the deadline passes.
wait_for() {
    local what=$1
    shift
    local end=$((SECONDS + deadline_s))
    until "$@"; do
        if ((SECONDS >= end)); then
            fail "timed out waiting for $what"
        fi
        sleep 0.05
    done
}

# Waits until the simulator, and with it the program, has ended; returns the exit status.
wait_for_end() {
    local end=$((SECONDS + deadline_s))
    while kill -0 "$sim_pid" 2>/dev/null; do
        ((SECONDS < end)) || fail "the program did not end $1"
        sleep 0.05
    done
    status=0
    wait "$sim_pid" || status=$?
    sim_pid=
}

trace_arrived() {
    cmp -s "$work/out" "$work/expected" && return 0
    kill -0 "$sim_pid" 2>/dev/null || fail "the program ended before its trace was complete"
    return 1
}

# The X server picks a free display itself and names it on descriptor 3. Without -noreset it resets
# when its last client goes, and a program started in that moment finds no display.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for "the X server" grep -q '^[0-9][0-9]*$' "$work/display"
DISPLAY=":$(cat "$work/display")"
export DISPLAY
# The server takes local clients without a cookie; one from the caller's desktop would not fit.
export XAUTHORITY="$work/no-cookie"
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
# The program's journals go to a folder of the test's own, never to the user's.
export XDG_STATE_HOME="$work/state"
journals="$XDG_STATE_HOME/vkx260"

# Noise, events of every kind (one lap with 0x10 and 0x02 in its payload, sent escaped) and a frame
# with a wrong CRC, all back to back; then an unplug, 2 s without a bridge, and a bridge plugged in
# again, which the program connects by itself, closing its lost-connection box; at last an unplug in
# the middle of a frame, which the program survives with its rows.
cat >"$work/scenario" <<'EOF'
raw 55 10 03 FF
event start 0 0 0 0
event lap 2 0 16 4098
raw 02 00 01 00 41 00 00   # CRC D962 expected
event stop 0 1 2 3
event error 12 34 56 999
event 0 100 0 0 7
event 200 255 255 255 65535
wait 300
unplug
event lap 0 0 2 0   # lost: no bridge is plugged in
wait 2000
plug                # connected again without a key pressed
event stop 0 0 4 0
wait 300
raw 02 00 06 00 01  # half a frame: the receiver waits for the rest
wait 100
unplug              # in the middle of that frame
EOF
# The trace the receiver must write: the payload of each frame, or the CRCs that disagree.
expected=$'Empfangen 6\n0x01 0x00 0x00 0x00 0x00 0x00 \n'
expected+=$'Empfangen 6\n0x03 0x02 0x00 0x10 0x10 0x02 \n'
expected+=$'Checksumme fehlerhaft: 0x00 0x00 -> 0xd962\n'
expected+=$'Empfangen 6\n0x02 0x00 0x01 0x02 0x00 0x03 \n'
expected+=$'Empfangen 6\n0x04 0x0c 0x22 0x38 0x03 0xe7 \n'
expected+=$'Empfangen 6\n0x00 0x64 0x00 0x00 0x00 0x07 \n'
expected+=$'Empfangen 6\n0xc8 0xff 0xff 0xff 0xff 0xff \n'
expected+=$'Empfangen 6\n0x02 0x00 0x00 0x04 0x00 0x00 \n'
printf '%s' "$expected" >"$work/expected"

# German button labels in the program's boxes, whatever this machine's locale is.
LC_ALL=C.UTF-8 LANGUAGE=de QT_QPA_PLATFORM=xcb \
    "$simulator" --scenario "$work/scenario" -- "$program" >"$work/out" 2>"$work/sim.err" &
sim_pid=$!

window=$(timeout "$deadline_s" xdotool search --sync --onlyvisible --name '^DIZ Uravaved VKX260$' | head -n 1) ||
    fail "the program's window did not appear"
# The focus starts on "Beenden"; the next tab stop is "Verbindung herstellen".
xdotool windowfocus --sync "$window" key Tab space
wait_for "the reception trace" trace_arrived
wait_for "the last unplug" grep -q 'unplugged ttyUSB1' "$work/sim.err"
# One box for the last unplug: the first one closed by itself at the replug.
lost=$(timeout "$deadline_s" xdotool search --sync --onlyvisible --name '^Verbindungsfehler$') ||
    fail "the unplug in the middle of a frame went unnoticed"
(($(wc -l <<<"$lost") == 1)) || fail "the lost-connection box of the first unplug is still open"
xdotool windowfocus --sync "$lost" key Return

xdotool windowfocus --sync "$window"
# With rows in the list, Tab and Shift+Tab leave it: Tab three times from "Verbindung herstellen"
# reaches "Liste löschen" past the list, Shift+Tab twice back past it reaches "Liste speichern".
xdotool key Tab Tab Tab shift+Tab shift+Tab space
save_as=$(timeout "$deadline_s" xdotool search --sync --onlyvisible --name '^Speichern unter$' | head -n 1) ||
    fail "the keyboard did not get out of the list to \"Liste speichern\""
xdotool windowfocus --sync "$save_as" key Escape
save_as_closed() { ! xdotool search --onlyvisible --name '^Speichern unter$' >/dev/null; }
wait_for "the Save As dialog to close" save_as_closed
xdotool windowfocus --sync "$window"

xdotool key Escape
question=$(timeout "$deadline_s" xdotool search --sync --onlyvisible --name '^Nicht gespeicherte Daten\?$' |
    head -n 1) || fail "no question about the unsaved rows"
xdotool windowfocus --sync "$question" key n

wait_for_end "after \"Nein\""
((status == 0)) || fail "the simulator ended with status $status"
grep -q 'the program ended with status 0' "$work/sim.err" || fail "the program did not end with status 0"
cmp -s "$work/out" "$work/expected" || fail "the program wrote more than the trace"
[ -z "$(ls -A "$journals" 2>/dev/null)" ] || fail "the normal end left a journal: $(ls "$journals")"
echo "trace and exit as expected"

# A kill -9 loses no row that the window showed: once the rows are listed the program is killed;
# started again with the same state folder, it asks, Return answers "Ja", and the list is saved
# through the Save As dialog. The file must hold what a save before the kill would have written.
printf 'event start 0 0 0 0\nevent lap 0 1 2 345\nevent error 12 34 56 999\n' >"$work/kill.scenario"
printf 'Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n002,Lap,00:01:02.345\r\n003,Fehler,12:34:56.999\r\n' \
    >"$work/expected.csv"

journal_listed() {
    local journal
    journal=$(find "$journals" -name 'vkx260-journal-*.csv' 2>/dev/null | head -n 1)
    [ -n "$journal" ] && cmp -s "$journal" "$work/expected.csv"
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

LC_ALL=C.UTF-8 LANGUAGE=de QT_QPA_PLATFORM=xcb \
    "$simulator" --scenario "$work/kill.scenario" -- "$program" >/dev/null 2>"$work/sim.err" &
sim_pid=$!
window=$(window_named '^DIZ Uravaved VKX260$') ||
    fail "the program's window did not appear"
xdotool windowfocus --sync "$window" key Tab space
wait_for "the rows in the journal" journal_listed
program_pid=$(pgrep -P "$sim_pid" | head -n 1) || fail "the program's process was not found"
kill -KILL "$program_pid"
wait_for_end "after kill -9"

printf 'wait 1\n' >"$work/silent.scenario"
LC_ALL=C.UTF-8 LANGUAGE=de QT_QPA_PLATFORM=xcb \
    "$simulator" --scenario "$work/silent.scenario" -- "$program" >/dev/null 2>"$work/sim.err" &
sim_pid=$!
question=$(window_named '^Wiederherstellung$') ||
    fail "the program did not offer the rows back"
xdotool windowfocus --sync "$question" key Return
window=$(window_named '^DIZ Uravaved VKX260$') ||
    fail "the program's window did not appear"
# From "Beenden" two tab stops on: "Liste speichern".
xdotool windowfocus --sync "$window" key Tab Tab space
chooser=$(window_named '^Speichern unter$') ||
    fail "no Save As dialog"
xdotool windowfocus --sync "$chooser" type "$work/restored.csv"
xdotool key Return
saved=$(window_named '^Daten gespeichert$') ||
    fail "the list was not saved"
xdotool windowfocus --sync "$saved" key Return
xdotool windowfocus --sync "$window" key Escape
wait_for_end "after the save"
((status == 0)) || fail "the restarted program ended with status $status"
cmp -s "$work/restored.csv" "$work/expected.csv" || fail "the restored rows were saved as: $(cat -A "$work/restored.csv")"
[ -z "$(ls -A "$journals")" ] || fail "the normal end left a journal: $(ls "$journals")"
echo "rows restored after kill -9 and saved as before"
