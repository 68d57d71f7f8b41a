#pragma once

#include <cstdint>

// Outcome of the frame receiver's last Receive.
enum class ComStatus : uint8_t {
    NoError = 0,
    SetComNotCalled = 1,
    NotConnected = 2,
    NoData = 3,
    LengthTooLarge = 4,
    BufferTooSmall = 5,
    ChecksumWrong = 6,
    TransmissionError = 7,
    UnknownError = 8,
};

// German text of a status, for a caller that shows it.
const char* ComStatusText(ComStatus status);
