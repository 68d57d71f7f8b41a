#!/usr/bin/env bash
# A long fuzzing run of the frame receiver or of the journal reader (build-fuzz, clang), then the
# coverage of its code by the corpus that the run grew: libFuzzer's final figures, then llvm-cov's
# report for the code under test (protocol/ and link/Com.cpp, or timelist/'s journal files).
# Usage: fuzz/long-run.sh [seconds] [receiver|journal]     (default 600 receiver)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
target=${2:-receiver}
case $target in
receiver)
    corpus=fuzz/corpus
    options=(-close_fd_mask=1)
    sources=(protocol/ link/Com.cpp)
    ;;
journal)
    corpus=fuzz/journal-corpus
    options=(-timeout=1)
    sources=(timelist/Journal.cpp timelist/UnsavedJournal.cpp timelist/PosixJournalFiles.cpp)
    ;;
*)
    echo "usage: $0 [seconds] [receiver|journal]" >&2
    exit 2
    ;;
esac
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "vkx_fuzz_$target" "vkx_fuzz_${target}_coverage" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
"build-fuzz/fuzz/vkx_fuzz_$target" -max_total_time="$seconds" "${options[@]}" -print_final_stats=1 \
    -artifact_prefix="$work/" "$work/corpus" "$corpus" 2>"$work/fuzz.log" || {
    cat "$work/fuzz.log" >&2
    exit 1
}
grep -E '^#[0-9]+.*(INITED|DONE)|^stat::|^Done' "$work/fuzz.log"

LLVM_PROFILE_FILE="$work/replay.profraw" "build-fuzz/fuzz/vkx_fuzz_${target}_coverage" -runs=0 "${options[@]}" \
    "$work/corpus" "$corpus" 2>/dev/null
llvm-profdata merge -sparse "$work/replay.profraw" -o "$work/replay.profdata"
llvm-cov report "build-fuzz/fuzz/vkx_fuzz_${target}_coverage" -instr-profile="$work/replay.profdata" "${sources[@]}"
