#!/usr/bin/env bash
# A Wine prefix of its own in FOLDER, and its wineserver kept running: with the server up, each Wine
# run that follows starts in a fraction of a second instead of seconds.
# Usage: scripts/wine-prefix.sh start|stop FOLDER
# Runs in the prefix use WINEPREFIX=FOLDER/prefix and HOME=FOLDER/home; the server's output goes to
# FOLDER/wineserver.log.
set -euo pipefail
action=$1
folder=$(realpath -m "$2")
wine=/usr/lib/wine
export WINEPREFIX=$folder/prefix HOME=$folder/home WINEDEBUG=-all

case $action in
start)
    mkdir -p "$WINEPREFIX" "$HOME"
    # wineserver dumps its object table on a pty hang-up, so its output goes to a file. Status 2
    # means that the prefix's server runs already.
    status=0
    "$wine/wineserver" -p >>"$folder/wineserver.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 2 ]; then
        echo "wineserver failed to start (status $status), see $folder/wineserver.log" >&2
        exit 1
    fi
    fresh=false
    [ -e "$WINEPREFIX/system.reg" ] || fresh=true
    # Booting starts Wine's services, which stay with the server: here, with their output in a file,
    # rather than in the first test, whose output they would hold open.
    "$wine/wine64" wineboot --init >>"$folder/wineboot.log" 2>&1
    if $fresh; then
        # Windows on Xvfb, where no window manager places them, and the fonts that dialogs use.
        "$wine/wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$folder/wineboot.log" 2>&1
        cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
        # Without an X display, windows go to Wine's null driver, so that window tests run headless.
        # The desktop that wineboot started keeps the driver it found: the server and Wine's
        # services start again, the services once more away from the caller's output.
        if [ -z "${DISPLAY:-}" ]; then
            "$wine/wine64" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >>"$folder/wineboot.log" 2>&1
            "$wine/wineserver" -k
            "$wine/wineserver" -w
            "$wine/wineserver" -p >>"$folder/wineserver.log" 2>&1
            "$wine/wine64" wineboot >>"$folder/wineboot.log" 2>&1
        fi
    fi
    ;;
stop)
    "$wine/wineserver" -k >/dev/null 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop FOLDER" >&2
    exit 2
    ;;
esac
