#pragma once

#include <cstddef>
#include <cstdint>

// The checksum computed bit by bit in the augmented form, kept apart from the code under test: the
// register starts at 0xFFFF, takes the message and then two zero bytes, and then holds the checksum.
inline uint16_t ReferenceCrc(const uint8_t* data, std::size_t length) {
    uint32_t reg = 0xFFFF;
    auto shiftIn = [&reg](uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = (reg & 0x8000) != 0;
            reg = ((reg << 1) & 0xFFFF) | ((byte >> bit) & 1);
            if (top) {
                reg ^= 0x8005;
            }
        }
    };
    for (std::size_t i = 0; i < length; ++i) {
        shiftIn(data[i]);
    }
    shiftIn(0);
    shiftIn(0);
    return static_cast<uint16_t>(reg);
}
