#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then starts the program with the simulator's demo
# stopwatch attached: press "Verbindung herstellen" and rows arrive. For a real stopwatch start
# build/app/DIZUravavedVKX260 itself.
#
# With --windows it shows the Windows edition instead, under Wine, for whoever has no Windows PC:
# it also cross-builds build-win/ with MinGW-w64, makes a Wine prefix of its own in
# build-win/wine-demo and runs DIZUravavedVKX260.exe there with the simulator's demo stopwatch on a
# COM port. Not the tests' prefix in build-win/wine: made without a display, that one draws its
# windows nowhere (Wine's null driver).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ "${1:-}" != --windows ]; then
    exec build/sim/vkx260-sim --demo -- build/app/DIZUravavedVKX260
fi

[ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1 || {
    echo "run.sh --windows: the Windows edition needs an X display, and DISPLAY='${DISPLAY:-}' names none that answers" >&2
    exit 1
}
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$(nproc)"
# The demo's prefix and home, which scripts/wine-prefix.sh keeps in build-win/wine-demo.
folder=build-win/wine-demo
export WINEPREFIX="$PWD/$folder/prefix" HOME="$PWD/$folder/home" WINEDEBUG=-all
echo "Preparing the demo's Wine prefix in $folder (the first time takes a quarter of a minute)"
scripts/wine-prefix.sh start "$folder"
# A prefix made without a display draws into Wine's null driver: put the X11 driver back.
if /usr/lib/wine/wine64 reg query 'HKCU\Software\Wine\Drivers' /v Graphics 2>/dev/null | grep -qi null; then
    echo "The prefix in $folder drew its windows nowhere (Wine's null driver); switching it back to X11"
    /usr/lib/wine/wine64 reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null 2>&1
    scripts/wine-prefix.sh stop "$folder"
    /usr/lib/wine/wineserver -w
    scripts/wine-prefix.sh start "$folder"
fi
status=0
# Wine's own dialogs and message-box buttons in German, as on a German Windows: Wine reads LC_ALL,
# since the machine has no German C locale.
env LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 build/sim/vkx260-sim --wine --demo -- build-win/app/DIZUravavedVKX260.exe &
demo=$!
# Say so when no window shows, rather than leave the operator looking at nothing.
for _ in $(seq 300); do
    xdotool search --onlyvisible --name '^DIZ Uravaved VKX260$' >/dev/null 2>&1 && break
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.1
done
if ! xdotool search --onlyvisible --name '^DIZ Uravaved VKX260$' >/dev/null 2>&1 && kill -0 "$demo" 2>/dev/null; then
    echo "run.sh --windows: the program runs, but its window did not appear on $DISPLAY within 30 s;" \
        "see $folder/wineboot.log, or remove $folder to make the prefix afresh" >&2
fi
wait "$demo" || status=$?
# The prefix's server and services end with the demo.
scripts/wine-prefix.sh stop "$folder"
exit "$status"
