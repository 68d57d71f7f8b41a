#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then starts the program with the simulator's demo
# stopwatch attached: press "Verbindung herstellen" and rows arrive. For a real stopwatch start
# build/app/DIZUravavedVKX260 itself.
#
# With --windows it shows the Windows edition instead, under Wine, for whoever has no Windows PC:
# it also cross-builds build-win/ with MinGW-w64, makes a Wine prefix in build-win/wine and
# runs DIZUravavedVKX260.exe there with the simulator's demo stopwatch on a COM port.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ "${1:-}" != --windows ]; then
    exec build/sim/vkx260-sim --demo -- build/app/DIZUravavedVKX260
fi

[ -n "${DISPLAY:-}" ] || { echo "run.sh --windows: the Windows edition needs an X display" >&2; exit 1; }
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$(nproc)"
# The prefix and the home that scripts/wine-prefix.sh keeps in build-win/wine.
export WINEPREFIX="$PWD/build-win/wine/prefix" HOME="$PWD/build-win/wine/home" WINEDEBUG=-all
echo "Preparing the Wine prefix (the first time takes a quarter of a minute)"
scripts/wine-prefix.sh start build-win/wine
status=0
# Wine's own dialogs and message-box buttons in German, as on a German Windows: Wine reads LC_ALL,
# since the machine has no German C locale.
env LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 build/sim/vkx260-sim --wine --demo -- build-win/app/DIZUravavedVKX260.exe ||
    status=$?
# The prefix's server and services end with the demo.
scripts/wine-prefix.sh stop build-win/wine
exit "$status"
