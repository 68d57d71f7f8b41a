#include "sim/Action.h"

#include <cstdio>

#include "sim/FrameEncoder.h"

EventTime EventTimeFromMilliseconds(uint64_t elapsedMs) {
    EventTime time;
    time.milliseconds = static_cast<uint16_t>(elapsedMs % 1000);
    const uint64_t totalSeconds = elapsedMs / 1000;
    time.seconds = static_cast<uint8_t>(totalSeconds % 60);
    time.minutes = static_cast<uint8_t>((totalSeconds / 60) % 60);
    time.hours = static_cast<uint8_t>(totalSeconds / 3600);
    return time;
}

Action WaitAction(uint32_t milliseconds) {
    Action action;
    action.type = Action::Type::Wait;
    action.milliseconds = milliseconds;
    return action;
}

Action RawAction(std::vector<uint8_t> bytes) {
    Action action;
    action.type = Action::Type::Send;
    action.bytes = std::move(bytes);
    action.label = "raw";
    return action;
}

Action EventAction(uint8_t kind, const EventTime& time) {
    FrameEncoder encoder;
    const std::vector<uint8_t> payload =
        FrameEncoder::EventPayload(kind, time.hours, time.minutes, time.seconds, time.milliseconds);
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%02u:%02u:%02u.%03u", static_cast<unsigned>(time.hours),
                  static_cast<unsigned>(time.minutes), static_cast<unsigned>(time.seconds),
                  static_cast<unsigned>(time.milliseconds));
    Action action;
    action.type = Action::Type::Send;
    action.bytes = encoder.Encode(payload);
    action.label = KindName(kind) + " " + timeText;
    return action;
}

Action UnplugAction() {
    Action action;
    action.type = Action::Type::Unplug;
    return action;
}

Action PlugAction() {
    Action action;
    action.type = Action::Type::Plug;
    return action;
}

std::string KindName(uint8_t kind) {
    switch (kind) {
        case kKindStart:
            return "start";
        case kKindStop:
            return "stop";
        case kKindLap:
            return "lap";
        case kKindError:
            return "error";
        default:
            return "kind " + std::to_string(kind);
    }
}

std::string HexBytes(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (uint8_t byte : bytes) {
        if (!text.empty()) {
            text.push_back(' ');
        }
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}
