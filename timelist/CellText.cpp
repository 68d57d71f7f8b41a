#include "timelist/CellText.h"

#include <array>
#include <cstdio>

namespace {

// Room for the longest time text, "255:255:255:65535", and for any int32_t index.
using TextBuffer = std::array<char, 32>;

std::string Text(const TextBuffer& buffer, int written) {
    if (written < 0 || static_cast<std::size_t>(written) >= buffer.size()) {
        return {};
    }
    return std::string(buffer.data(), static_cast<std::size_t>(written));
}

}  // namespace

const char* EventText(uint8_t kind) {
    switch (static_cast<EventKind>(kind)) {
        case EventKind::Start:
            return "Start";
        case EventKind::Stopp:
            return "Stopp";
        case EventKind::Lap:
            return "Lap";
    }
    return "Fehler";
}

std::string IndexText(int32_t rowNumber) {
    TextBuffer buffer;
    return Text(buffer, std::snprintf(buffer.data(), buffer.size(), "%03d", static_cast<int>(rowNumber)));
}

std::string TimeText(const TimeEvent& event) {
    TextBuffer buffer;
    return Text(buffer, std::snprintf(buffer.data(), buffer.size(), "%02d:%02d:%02d:%03d", event.hours,
                                      event.minutes, event.seconds, static_cast<int>(event.milliseconds)));
}
