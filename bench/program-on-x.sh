# Sourced by the benchmarks that run the real program under the simulator on a virtual X display:
# a work folder removed at exit (with the simulator and the X server still running), failing with
# the simulator's log, waiting on a condition, and the X server itself.
# Needs: deadline_s.

work=$(mktemp -d)
xvfb_pid=
sim_pid=

cleanup() {
    if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAULT: $*" >&2
    [ -s "$work/sim.err" ] && cat "$work/sim.err" >&2
    exit 1
}

# Polls until the command succeeds; fails when the deadline passes first.
wait_for() {
    local what=$1
    shift
    local end=$((SECONDS + deadline_s))
    until "$@"; do
        ((SECONDS < end)) || fail "timed out waiting for $what"
        sleep 0.05
    done
}

# User and system time of a process and all its threads, in clock ticks.
cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# A virtual X display of the benchmark's own, which takes local clients without a cookie.
start_x() {
    Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    wait_for "the X server" grep -qs '^[0-9][0-9]*$' "$work/display"
    export DISPLAY=":$(cat "$work/display")"
    export XAUTHORITY="$work/no-cookie"
    mkdir -m 700 "$work/runtime"
    export XDG_RUNTIME_DIR="$work/runtime"
}
