#!/usr/bin/env bash
# Builds the program, the simulator and the benchmarks (scripts/setup.sh, in build-bench or the
# folder given) and runs every benchmark; the figures go to standard output. Exits non-zero when a
# benchmark missed a target or could not measure. docs/performance.md explains the figures.
# Usage: bench/run.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-bench}
scripts/setup.sh "$build_dir" >/dev/null

export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    XDG_RUNTIME_DIR_MADE=1
fi

# Journals of the window's benchmarks go to a folder of the run's own, never to the user's.
XDG_STATE_HOME=$(mktemp -d)
export XDG_STATE_HOME
trap 'rm -rf "$XDG_STATE_HOME" ${XDG_RUNTIME_DIR_MADE:+"$XDG_RUNTIME_DIR"}' EXIT

echo "CPU: $(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores; $(git rev-parse --short HEAD)"
status=0
for benchmark in vkx_bench_receiver vkx_bench_poll vkx_bench_list vkx_bench_idle vkx_bench_startup \
    vkx_bench_noise vkx_bench_journal; do
    echo
    "$build_dir/bench/$benchmark" || status=1
done
echo
echo "Idle cost of the real program under the simulator, CPU time over 10 s, in % of one core"
bench/idle-program.sh "$build_dir/sim/vkx260-sim" "$build_dir/app/DIZUravavedVKX260" || status=1
echo
echo "Rows restored after kill -9 at a random moment, 20 runs"
bench/kill-recovery.sh "$build_dir/sim/vkx260-sim" "$build_dir/app/DIZUravavedVKX260" 20 || status=1
echo
echo "Waiting for a bridge after an unplug: CPU time over 10 s, and the delay to the reconnect"
bench/replug-program.sh "$build_dir/sim/vkx260-sim" "$build_dir/app/DIZUravavedVKX260" || status=1
exit $status
