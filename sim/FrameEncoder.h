#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <vector>

// Builds frames as the stopwatch sends them: start byte 0x02, then a body of leading byte, length
// (little-endian), payload and CRC (little-endian), every body byte 0x10 sent as the escape 0x10
// followed by the byte with bit 7 set. The CRC covers the transmitted bytes from the start byte
// through the payload, escapes included.
class FrameEncoder {
public:
    // How bytes below 0x80 other than 0x10, which the receiver would take either way, are sent.
    enum class Stuffing {
        Minimal,  // only 0x10 is escaped
        Random,   // each eligible byte is escaped at random, as 0x10 (b) or 0x10 (b | 0x80)
    };

    FrameEncoder() = default;
    explicit FrameEncoder(uint32_t seed) : m_random(seed) {}

    std::vector<uint8_t> Encode(std::span<const uint8_t> payload, uint8_t leadingByte = 0x00,
                                Stuffing stuffing = Stuffing::Minimal);

    // The six-byte event payload: kind, hours, minutes, seconds, milliseconds big-endian.
    static std::vector<uint8_t> EventPayload(uint8_t kind, uint8_t hours, uint8_t minutes, uint8_t seconds,
                                             uint16_t milliseconds);

private:
    void Put(std::vector<uint8_t>& wire, uint8_t byte, Stuffing stuffing);

    std::mt19937 m_random{0x5F3AB7C4u};
};
