#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs every test: the Windows edition's under Wine (a
# cross build), the frame receiver and the journal reader under libFuzzer for a minute and half a
# minute (a build made with clang), the tests under AddressSanitizer and UndefinedBehaviorSanitizer
# (a second build), and last the whole suite in the main build, whose summary closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
# The benchmarks are timed in build-bench/ (bench/run.sh), never under the sanitizers.
scripts/setup.sh build-asan -DVKX_SANITIZE=ON -DVKX_BUILD_BENCH=OFF
# libFuzzer comes with clang; only the fuzz targets are built there.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j"$(nproc)" --target vkx_fuzz_receiver vkx_fuzz_journal

# The Windows edition, cross-built with MinGW-w64; its tests run under Wine in a prefix of the build
# folder, with one wineserver kept running for them all and stopped however the run ends.
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release
cmake --build build-win -j"$(nproc)"
trap 'scripts/wine-prefix.sh stop build-win/wine' EXIT
scripts/wine-prefix.sh start build-win/wine
ctest --test-dir build-win --output-on-failure
# The real .exe end to end under Wine, with the Linux build's simulator as the stopwatch, then its
# installer: silent install, start from the Start menu, uninstall.
cmake --build build-win --target package
tests/e2e/WineTest.sh build/sim/vkx260-sim build-win/app/DIZUravavedVKX260.exe build-win/vkx260-*-win64.exe \
    build-win/tests/link/SiUSBXp.dll

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-fuzz --output-on-failure -L fuzz
# The device tests (label device) run under umockdev's preload library, which cannot come after the
# sanitizers' runtime; every other test runs here too.
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE device
ctest --test-dir build --output-on-failure -j"$(nproc)"
