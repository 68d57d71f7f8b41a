#!/usr/bin/env bash
# A long fuzzing run of the frame receiver (build-fuzz, clang), then the coverage of the receiver's
# code by the corpus that the run grew: libFuzzer's final figures, then llvm-cov's report for
# protocol/ and link/Com.cpp.
# Usage: fuzz/long-run.sh [seconds]     (default 600)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target vkx_fuzz_receiver vkx_fuzz_receiver_coverage >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
build-fuzz/fuzz/vkx_fuzz_receiver -max_total_time="$seconds" -close_fd_mask=1 -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" fuzz/corpus 2>"$work/fuzz.log" || {
    cat "$work/fuzz.log" >&2
    exit 1
}
grep -E '^#[0-9]+.*(INITED|DONE)|^stat::|^Done' "$work/fuzz.log"

LLVM_PROFILE_FILE="$work/replay.profraw" build-fuzz/fuzz/vkx_fuzz_receiver_coverage -runs=0 -close_fd_mask=1 \
    "$work/corpus" fuzz/corpus 2>/dev/null
llvm-profdata merge -sparse "$work/replay.profraw" -o "$work/replay.profdata"
llvm-cov report build-fuzz/fuzz/vkx_fuzz_receiver_coverage -instr-profile="$work/replay.profdata" \
    protocol/ link/Com.cpp
