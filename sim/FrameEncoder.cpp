#include "sim/FrameEncoder.h"

#include "protocol/Crc16.h"

namespace {
constexpr uint8_t kStartByte = 0x02;
constexpr uint8_t kEscape = 0x10;
}  // namespace

void FrameEncoder::Put(std::vector<uint8_t>& wire, uint8_t byte, Stuffing stuffing) {
    const bool mustEscape = byte == kEscape;
    // A byte of 0x80 or more cannot be escaped: the receiver clears bit 7 of an escaped byte.
    const bool mayEscape = byte < 0x80;
    bool escape = mustEscape;
    if (!escape && mayEscape && stuffing == Stuffing::Random) {
        escape = (m_random() % 4) == 0;
    }
    if (!escape) {
        wire.push_back(byte);
        return;
    }
    wire.push_back(kEscape);
    const bool setBit7 = mustEscape || stuffing == Stuffing::Minimal || (m_random() % 2) == 0;
    wire.push_back(setBit7 ? static_cast<uint8_t>(byte | 0x80) : byte);
}

std::vector<uint8_t> FrameEncoder::Encode(std::span<const uint8_t> payload, uint8_t leadingByte,
                                          Stuffing stuffing) {
    std::vector<uint8_t> wire;
    wire.reserve(2 * payload.size() + 12);
    wire.push_back(kStartByte);
    Put(wire, leadingByte, stuffing);
    Put(wire, static_cast<uint8_t>(payload.size() & 0xFF), stuffing);
    Put(wire, static_cast<uint8_t>((payload.size() >> 8) & 0xFF), stuffing);
    for (uint8_t byte : payload) {
        Put(wire, byte, stuffing);
    }
    const uint16_t crc = Crc16(wire.data(), wire.size());
    Put(wire, static_cast<uint8_t>(crc & 0xFF), stuffing);
    Put(wire, static_cast<uint8_t>(crc >> 8), stuffing);
    return wire;
}

std::vector<uint8_t> FrameEncoder::EventPayload(uint8_t kind, uint8_t hours, uint8_t minutes, uint8_t seconds,
                                                uint16_t milliseconds) {
    return {kind,
            hours,
            minutes,
            seconds,
            static_cast<uint8_t>(milliseconds >> 8),
            static_cast<uint8_t>(milliseconds & 0xFF)};
}
