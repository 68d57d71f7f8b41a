#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then starts the program with the simulator's demo
# stopwatch attached: press "Verbindung herstellen" and rows arrive. For a real stopwatch start
# build/app/DIZUravavedVKX260 itself.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
exec build/sim/vkx260-sim --demo -- build/app/DIZUravavedVKX260
