#pragma once

#include <span>

// Room for a control's text. The dialog templates measure controls in dialog units, which follow
// the font's average character, not the width of the words in them: a word of wide letters, or a
// system's own font, can need more than the template gives. Such a control grows, in pixels of
// the dialog's client area, and keeps the template's place: about its centre when its text is
// centred (buttons, centred text), to the right when its text starts at the left. It grows only
// into free room, never over a neighbour, out of a group box that frames it, or off the dialog.

struct ControlBox {
    int left, top, right, bottom;
    bool frame;  // a group box, which may hold other controls
};

struct Span {
    int left, right;
};

// The horizontal room of `control` among the dialog's other visible controls: up to the nearest
// one beside it (sharing some of its rows), inside every frame that holds it and inside the client
// area, `gap` pixels from each. The room always holds the control's own span.
Span RoomBeside(const ControlBox& control, std::span<const ControlBox> others, int clientWidth, int gap);

// The control's span once `needed` pixels fit in it: unchanged when they fit already, else grown
// as far as `room` allows, shifted away from whichever side of the room it meets.
Span WidenToFit(Span current, int needed, Span room, bool centred);
