#pragma once

#include <cstdint>

enum class EventKind : uint8_t {
    Start = 1,
    Stopp = 2,
    Lap = 3,
};

// One decoded stopwatch event; any kind other than the three EventKind values is an error event.
struct TimeEvent {
    uint8_t kind = 0;
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    int32_t milliseconds = 0;  // 0 to 65535
};
