#!/usr/bin/env bash
# The Windows edition end to end under Wine, driven as an operator would drive it. The simulator in
# its Wine mode lists the bridge through the registry and feeds its COM port; the real .exe shows its
# window on a virtual X display; the keyboard (X's test extension) connects, the rows arrive, "Liste
# speichern" saves them through the Save As dialog under a typed path (a name ending in a dot, beside
# a file of that name with ".csv", which must stay as it was), and Escape ends the program.
# An unplug and a replug come on the way. The file must hold exactly the bytes that the Linux
# edition writes for the same frames, and the normal end must leave no journal. The run is made twice:
# once through a COM port that SetupAPI lists, once through the bridge maker's library, SiUSBXp.dll
# (the project's stand-in, beside a copy of the program), with no COM port listed. Then the installer
# installs silently, the Start-menu entry starts the installed program, its window appears and
# Escape closes it, and the uninstaller removes it again. The installer brings the manual and German
# Start-menu entries.
#
# Usage: WineTest.sh SIMULATOR PROGRAM.exe INSTALLER.exe STAND-IN-SiUSBXp.dll
#   With VKX_SCREENSHOT=FILE.png the window of the first run with its rows is also kept as FILE.png,
#   and the window as it starts, idle, as FILE-idle.png (xwd of x11-apps and ImageMagick's convert,
#   which the tests themselves do not need).
set -euo pipefail

simulator=$(realpath "$1")
program=$(realpath "$2")
installer=$(realpath "$3")
standin=$(realpath "$4")
deadline_s=60
wine=/usr/lib/wine/wine64
started=$SECONDS

work=$(mktemp -d)
wine_prefix="$(dirname "$0")/../../scripts/wine-prefix.sh"
xvfb_pid=
sim_pid=

fail() {
    echo "FAILED: $*" >&2
    for log in "$work"/sim.err "$work"/xvfb.log "$work"/install.log $(journals); do
        if [ -s "$log" ]; then
            echo "--- $(basename "$log")" >&2
            cat -A "$log" >&2
        fi
    done
    exit 1
}

cleanup() {
    # SIGTERM makes the simulator end the program and remove the bridge's registry entries.
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    "$wine_prefix" stop "$work/wine"
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The journal files of the prefix's user, in %LOCALAPPDATA%\vkx260.
journals() { find "${WINEPREFIX:-/nonexistent}/drive_c/users" -path '*/AppData/Local/vkx260/*' 2>/dev/null; }

# Polls until the command succeeds or the deadline passes.
wait_for() {
    local what=$1
    shift
    local end=$((SECONDS + deadline_s))
    until "$@"; do
        ((SECONDS < end)) || fail "timed out waiting for $what"
        sleep 0.1
    done
}

# The first visible window of this name; windows that vanish during the search are no error.
window_named() {
    local end=$((SECONDS + deadline_s)) id
    until id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ]; do
        ((SECONDS < end)) || return 1
        sleep 0.1
    done
    echo "$id"
}

no_window_named() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# The X server picks a free display itself and names it on descriptor 3. Without -noreset it resets
# when its last client goes, and a program started in that moment finds no display.
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for "the X server" grep -qs '^[0-9][0-9]*$' "$work/display"
DISPLAY=":$(cat "$work/display")"
export DISPLAY
export XAUTHORITY="$work/no-cookie"

# A prefix and a home of this run's own, with its server kept running. German system dialogs
# (Ja/Nein, the Save As dialog's own texts) need LC_ALL as well as LANG: the machine has no German C locale, and
# Wine then reads LC_ALL. Only Wine's processes get them, which this shell could not set.
export WINEPREFIX="$work/wine/prefix" HOME="$work/wine/home" WINEDEBUG=-all
german=(env LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8)
"$wine_prefix" start "$work/wine" || fail "no Wine prefix"
booted=$SECONDS

# Noise, events of every kind (a lap with 0x10 in its payload, sent escaped; an unknown kind with
# the largest fields) and a frame with a wrong CRC, back to back; then an unplug, 2 s without a
# bridge, and the bridge back, which the program connects by itself within its one-second retry
# (Wine raises no WM_DEVICECHANGE), closing its lost-connection box.
cat >"$work/scenario" <<'EOF'
raw 55 10 03 FF
event start 0 0 0 0
event lap 0 0 16 500
raw 02 00 01 00 41 00 00   # CRC D962 expected
event lap 0 1 2 345
event stop 0 1 30 7
event error 12 34 56 999
event 200 255 255 255 65535
wait 300
unplug
wait 2000
plug                # connected again without a key pressed
event stop 0 0 4 0
EOF
# What the Linux edition writes for these frames: the same core code builds these lines there.
printf 'Index,Event,Zeit\r\n001,Start,00:00:00.000\r\n002,Lap,00:00:16.500\r\n003,Lap,00:01:02.345\r\n' \
    >"$work/expected.csv"
printf '004,Stopp,00:01:30.007\r\n005,Fehler,12:34:56.999\r\n006,Fehler,255:255:255.65535\r\n' \
    >>"$work/expected.csv"
printf '007,Stopp,00:00:04.000\r\n' >>"$work/expected.csv"
# The reception trace on the program's redirected standard output, in Windows' text mode (CR LF).
sed 's/$/\r/' >"$work/expected.trace" <<'EOF'
Empfangen 6
0x01 0x00 0x00 0x00 0x00 0x00 
Empfangen 6
0x03 0x00 0x00 0x10 0x01 0xf4 
Checksumme fehlerhaft: 0x00 0x00 -> 0xd962
Empfangen 6
0x03 0x00 0x01 0x02 0x01 0x59 
Empfangen 6
0x02 0x00 0x01 0x1e 0x00 0x07 
Empfangen 6
0x04 0x0c 0x22 0x38 0x03 0xe7 
Empfangen 6
0xc8 0xff 0xff 0xff 0xff 0xff 
Empfangen 6
0x02 0x00 0x00 0x04 0x00 0x00 
EOF

# The journal holds the listed rows in the file's own format: once it equals the expected file,
# every row is in the window.
rows_listed() {
    local journal
    journal=$(journals | grep '/vkx260-journal-[^/]*\.csv$' | head -n 1)
    [ -n "$journal" ] && cmp -s "$journal" "$work/expected.csv" && return 0
    kill -0 "$sim_pid" 2>/dev/null || fail "the program ended before the rows were listed"
    return 1
}

wait_for_end() {
    local end=$((SECONDS + deadline_s))
    while kill -0 "$sim_pid" 2>/dev/null; do
        ((SECONDS < end)) || fail "the program did not end $1"
        sleep 0.1
    done
    status=0
    wait "$sim_pid" || status=$?
    sim_pid=
}

# The picture of the focused window: a second for Wine to draw it, on no path of the test's own.
screenshot() {
    xdotool windowfocus --sync "$window"
    sleep 1
    { xwd -id "$window" -out "$work/window.xwd" && convert "$work/window.xwd" "$1"; } || fail "no screenshot of the window"
}

# One run of the scenario: SIMULATOR-OPTION PROGRAM.exe TRACE-PATTERN, the last the program's first
# line of output, which says whether and whence it loaded the library. The first run takes the
# pictures.
operate() {
    local how=$1 exe=$2 pattern=$3 pictures=${VKX_SCREENSHOT:-}
    [ "$how" = --wine ] || pictures=
    "${german[@]}" "$simulator" "$how" --scenario "$work/scenario" -- "$exe" >"$work/out" 2>"$work/sim.err" &
    sim_pid=$!
    window=$(window_named '^DIZ Uravaved VKX260$') || fail "the program's window did not appear"
    if [ -n "$pictures" ]; then
        screenshot "${pictures%.png}-idle.png"
    fi
    # The focus starts on "Beenden"; the next tab stop is "Verbindung herstellen".
    xdotool windowfocus --sync "$window" key Tab space
    window_named '^Verbindungsfehler$' >/dev/null || fail "the unplug went unnoticed"
    wait_for "the rows in the list" rows_listed
    no_window_named '^Verbindungsfehler$' || fail "the lost-connection box stayed open after the replug"
    if [ -n "$pictures" ]; then
        screenshot "$pictures"
    fi

    # Tab three times from "Verbindung herstellen" reaches "Liste löschen" past the list, Shift+Tab
    # twice back past it "Liste speichern". The program titles its Save As dialog "Speichern unter".
    xdotool key Tab Tab Tab shift+Tab shift+Tab space
    save_as=$(window_named '^Speichern unter$') || fail "the keyboard did not reach \"Liste speichern\""
    # A name ending in a dot has no extension to the dialog, which asks about it alone: the file
    # written is "saved list", and an existing "saved list.csv" stays as it was.
    saved_file="$work/saved list"
    printf 'alt' >"$saved_file.csv"
    xdotool windowfocus --sync "$save_as" type "Z:${saved_file//\//\\}."
    xdotool key Return
    saved=$(window_named '^Daten gespeichert$') || fail "the list was not saved"
    xdotool windowfocus --sync "$saved" key Return
    wait_for "the box to close" no_window_named '^Daten gespeichert$'
    xdotool windowfocus --sync "$window" key Escape
    wait_for_end "after Escape"
    ((status == 0)) || fail "the simulator ended with status $status"
    grep -q 'the program ended with status 0' "$work/sim.err" || fail "the program did not end with status 0"
    cmp "$saved_file" "$work/expected.csv" >&2 || fail "the list was saved as: $(cat -A "$saved_file")"
    [ "$(cat "$saved_file.csv")" = alt ] || fail "\"saved list.\" replaced \"saved list.csv\" without a question"
    head -n 1 "$work/out" | grep -Eq "$pattern" || fail "the library's trace was: $(head -n 1 "$work/out" | cat -A)"
    tail -n +2 "$work/out" | cmp - "$work/expected.trace" >&2 || fail "the trace was: $(cat -A "$work/out")"
    [ -z "$(journals)" ] || fail "the normal end left a journal: $(journals)"
    rm -f "$saved_file" "$saved_file.csv"
}

operate --wine "$program" '^SiUSBXp\.dll nicht geladen \(Fehler [0-9]+\), gesucht in .+ und .+'$'\r''$'
echo "rows saved as the Linux edition saves them, through a COM port ($((SECONDS - booted)) s)"

# The same through the library: the stand-in beside a copy of the program relays the port that the
# simulator lists nowhere, reporting the IDs in uppercase, and records what each open sets.
by_library=$SECONDS
mkdir "$work/library"
cp "$program" "$standin" "$work/library/"
export VKX_STANDIN_DEVICES=5F3A:B7C4:0001 VKX_STANDIN_LOG="Z:${work//\//\\}\\standin.log"
operate --wine-library "$work/library/$(basename "$program")" \
    '^SiUSBXp\.dll geladen aus .*\\library\\SiUSBXp\.dll'$'\r''$'
unset VKX_STANDIN_DEVICES VKX_STANDIN_LOG
# The connect and the reconnect after the replug, each setting 115200 baud, 8N1 and no handshake.
awk '/^open /{opens++; want = 3; next}
     want == 3 {bad += $0 != "baud 115200"; want = 2; next}
     want == 2 {bad += $0 != "line 0x0800"; want = 1; next}
     want == 1 {bad += $0 != "flow 0 0 0 0 0 0"; want = 0; next}
     END {exit !(opens >= 2 && bad == 0 && want == 0)}' "$work/standin.log" ||
    fail "the opens set: $(cat "$work/standin.log")"
echo "rows saved as the Linux edition saves them, through the library ($((SECONDS - by_library)) s)"

# The installer: silently into Program Files, a Start-menu entry that starts the program, and an
# uninstaller that takes both away again.
installed_at=$SECONDS
folder="$WINEPREFIX/drive_c/Program Files/DIZ Uravaved VKX260"
entry='C:\ProgramData\Microsoft\Windows\Start Menu\Programs\DIZ Uravaved VKX260\DIZ Uravaved VKX260.lnk'
"${german[@]}" "$wine" "$installer" /S >"$work/install.log" 2>&1 || fail "the installer failed"
wait_for "the installed program" test -f "$folder/DIZUravavedVKX260.exe"
[ ! -e "$folder/SiUSBXp.dll" ] || fail "the installer carries the bridge maker's library"
# The manual is in the program's folder, where the menu says it is, and has its own Start-menu entry;
# the uninstaller's entry is German like the program.
cmp "$folder/Handbuch.txt" "$(dirname "$0")/../../docs/Handbuch.md" >&2 || fail "the manual is not installed"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/DIZ Uravaved VKX260"
entries=$(cd "$menu" && ls | LC_ALL=C sort | tr '\n' ' ')
[ "$entries" = "DIZ Uravaved VKX260.lnk Deinstallieren.lnk Handbuch.lnk " ] ||
    fail "the Start-menu entries are: $entries"
"${german[@]}" "$wine" start "$entry" >>"$work/install.log" 2>&1 || fail "the Start-menu entry did not start"
window=$(window_named '^DIZ Uravaved VKX260$') || fail "the installed program's window did not appear"
xdotool windowfocus --sync "$window" key Escape
wait_for "the installed program to end" no_window_named '^DIZ Uravaved VKX260$'
"${german[@]}" "$wine" "C:\\Program Files\\DIZ Uravaved VKX260\\Uninstall.exe" /S >>"$work/install.log" 2>&1 ||
    fail "the uninstaller failed"
uninstalled() { [ ! -e "$folder" ] && [ ! -e "$menu" ]; }
wait_for "the uninstaller" uninstalled
echo "installed silently, started from the Start menu, uninstalled ($((SECONDS - installed_at)) s)"
echo "Windows edition under Wine: $((SECONDS - started)) s in all, $((booted - started)) s of them for the prefix"
