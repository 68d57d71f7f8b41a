#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One step of the stopwatch's behaviour, whichever way the simulator is driven: the scenario file, the
// demo and the keyboard all turn into the same list of steps.
struct Action {
    enum class Type {
        Wait,    // let `milliseconds` pass
        Send,    // put `bytes` on the wire as they are
        Unplug,  // pull the bridge out of the USB port
        Plug,    // plug a bridge in again
    };

    Type type = Type::Wait;
    uint32_t milliseconds = 0;
    std::vector<uint8_t> bytes;
    std::string label;  // what a Send carries, for the log

    bool operator==(const Action&) const = default;
};

// Event kinds as the stopwatch sends them; every other value is an error. The simulator sends 4 for
// an error: the first value after the known kinds.
inline constexpr uint8_t kKindStart = 1;
inline constexpr uint8_t kKindStop = 2;
inline constexpr uint8_t kKindLap = 3;
inline constexpr uint8_t kKindError = 4;

// The stopwatch's time of an event.
struct EventTime {
    uint8_t hours = 0;
    uint8_t minutes = 0;
    uint8_t seconds = 0;
    uint16_t milliseconds = 0;
};

// Splits a running time into the event's fields; hours beyond 255 wrap as the one-byte field does.
EventTime EventTimeFromMilliseconds(uint64_t elapsedMs);

Action WaitAction(uint32_t milliseconds);
Action RawAction(std::vector<uint8_t> bytes);
// A complete event frame with leading byte 0 and only the stuffing the wire format demands.
Action EventAction(uint8_t kind, const EventTime& time);
Action UnplugAction();
Action PlugAction();

// "start", "stop", "lap", "error", or "kind N" for any other value.
std::string KindName(uint8_t kind);
// Bytes as upper-case hex pairs separated by spaces: "02 00 06".
std::string HexBytes(std::span<const uint8_t> bytes);
