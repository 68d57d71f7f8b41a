#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs every test. Then the same tests again in a
# second build under AddressSanitizer and UndefinedBehaviorSanitizer, and the frame receiver under
# libFuzzer for a minute in a third build made with clang.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"

# The device tests (label device) run under umockdev's preload library, which cannot come after the
# sanitizers' runtime; every other test runs here too.
scripts/setup.sh build-asan -DVKX_SANITIZE=ON
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" -LE device

# libFuzzer comes with clang; only the fuzz target is built there.
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j"$(nproc)" --target vkx_fuzz_receiver
ctest --test-dir build-fuzz --output-on-failure -L fuzz
