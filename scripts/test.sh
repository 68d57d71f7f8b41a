#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs every test: the frame receiver under libFuzzer
# for a minute (a build made with clang), the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer (a second build), and last the whole suite in the main build, whose
# summary closes the run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
scripts/setup.sh build-asan -DVKX_SANITIZE=ON
# libFuzzer comes with clang; only the fuzz target is built there.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j"$(nproc)" --target vkx_fuzz_receiver

export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-fuzz --output-on-failure -L fuzz
# The device tests (label device) run under umockdev's preload library, which cannot come after the
# sanitizers' runtime; every other test runs here too.
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE device
ctest --test-dir build --output-on-failure -j"$(nproc)"
