#pragma once

#include <cstdint>
#include <string>

#include "timelist/TimeEvent.h"

// Texts of the time list's three cells.

// "Start", "Stopp", "Lap", or "Fehler" for any other kind.
const char* EventText(uint8_t kind);
// The row number, zero-padded to at least three digits: "001", "999", "1000".
std::string IndexText(int32_t rowNumber);
// "hh:mm:ss:mmm", each width a minimum: "00:01:02:345", "255:255:255:65535".
std::string TimeText(const TimeEvent& event);
