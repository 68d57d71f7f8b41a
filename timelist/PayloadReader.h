#pragma once

#include <cstddef>
#include <cstdint>

#include "timelist/TimeEvent.h"

// Reading the event from a frame as the receiver stores it: leading byte at 0, payload length
// (little-endian) at 1 and 2, payload from 3. A position beyond the payload, or beyond the buffer,
// reads as 0, so a short payload never shows CRC bytes or bytes of an earlier frame.
inline constexpr uint8_t kPayloadStart = 3;

// Returns the byte at the cursor and advances the cursor by one.
uint8_t ReadPayloadByte(const uint8_t* frame, std::size_t bufferSize, uint8_t& cursor);
// Reads two bytes, the first the high byte, and advances the cursor by two.
void ReadPayloadWord(const uint8_t* frame, std::size_t bufferSize, uint8_t& cursor, int32_t& value);
// kind, hours, minutes, seconds from payload bytes 0 to 3, milliseconds big-endian from 4 and 5.
TimeEvent DecodeTimeEvent(const uint8_t* frame, std::size_t bufferSize);
