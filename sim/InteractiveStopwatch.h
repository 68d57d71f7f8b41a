#pragma once

#include <cstdint>

#include "sim/Action.h"

// The stopwatch as the keyboard drives it: s starts it from zero, l takes a lap, p stops it, e reports
// an error, u pulls the bridge out or plugs it back in, q quits. Laps and errors carry the running
// time, or the final time once the stopwatch is stopped.
class InteractiveStopwatch {
public:
    enum class Command {
        None,        // the key means nothing
        Send,        // send `action`
        TogglePlug,  // unplug the bridge, or plug one in when none is
        Quit,
    };

    struct Reaction {
        Command command = Command::None;
        Action action;
    };

    // `nowMs` is any steady clock in milliseconds.
    Reaction OnKey(char key, uint64_t nowMs);

    static const char* Help();

private:
    uint64_t Shown(uint64_t nowMs) const { return m_running ? nowMs - m_startMs : m_stoppedAt; }

    bool m_running = false;
    uint64_t m_startMs = 0;
    uint64_t m_stoppedAt = 0;
};
