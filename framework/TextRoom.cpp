#include "framework/TextRoom.h"

#include <algorithm>

namespace {

bool Holds(const ControlBox& frame, const ControlBox& control) {
    return frame.left <= control.left && frame.right >= control.right && frame.top <= control.top &&
           frame.bottom >= control.bottom;
}

bool SharesRows(const ControlBox& a, const ControlBox& b) { return a.top < b.bottom && b.top < a.bottom; }

}  // namespace

Span RoomBeside(const ControlBox& control, std::span<const ControlBox> others, int clientWidth, int gap) {
    Span room{gap, clientWidth - gap};
    for (const ControlBox& other : others) {
        if (other.frame && Holds(other, control)) {
            room.left = std::max(room.left, other.left + gap);
            room.right = std::min(room.right, other.right - gap);
        } else if (SharesRows(other, control) && other.right <= control.left) {
            room.left = std::max(room.left, other.right + gap);
        } else if (SharesRows(other, control) && other.left >= control.right) {
            room.right = std::min(room.right, other.left - gap);
        }
    }
    return {std::min(room.left, control.left), std::max(room.right, control.right)};
}

Span WidenToFit(Span current, int needed, Span room, bool centred) {
    const int width = current.right - current.left;
    if (needed <= width) {
        return current;
    }
    needed = std::min(needed, room.right - room.left);
    Span wider{centred ? current.left - (needed - width) / 2 : current.left, 0};
    wider.left = std::clamp(wider.left, room.left, room.right - needed);
    wider.right = wider.left + needed;
    return wider;
}
