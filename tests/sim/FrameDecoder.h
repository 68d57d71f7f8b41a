#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/Crc16.h"

// Reads one wire frame back, written apart from the simulator's encoder so that the tests check it
// rather than repeat it: start byte, escapes undone, length followed, CRC over the transmitted bytes.
struct DecodedFrame {
    std::string error;  // empty when the frame is sound
    uint8_t leading = 0;
    std::vector<uint8_t> payload;
};

inline DecodedFrame DecodeFrame(std::span<const uint8_t> wire) {
    DecodedFrame frame;
    if (wire.empty() || wire[0] != 0x02) {
        frame.error = "no start byte";
        return frame;
    }
    std::vector<uint8_t> body;
    std::size_t position = 1;
    std::size_t payloadEnd = 0;  // transmitted bytes up to the end of the payload
    std::size_t expected = 3;
    while (body.size() < expected) {
        if (position >= wire.size()) {
            frame.error = "frame ends early";
            return frame;
        }
        uint8_t byte = wire[position++];
        if (byte == 0x10) {
            if (position >= wire.size()) {
                frame.error = "frame ends in an escape";
                return frame;
            }
            byte = wire[position++] & 0x7F;
        }
        body.push_back(byte);
        if (body.size() == 3) {
            expected = 3 + (body[1] | (body[2] << 8)) + 2;
        }
        if (body.size() == expected - 2) {
            payloadEnd = position;
        }
    }
    if (position != wire.size()) {
        frame.error = "bytes after the CRC";
        return frame;
    }
    const uint16_t received = static_cast<uint16_t>(body[expected - 2] | (body[expected - 1] << 8));
    if (Crc16(wire.data(), payloadEnd) != received) {
        frame.error = "CRC mismatch";
        return frame;
    }
    frame.leading = body[0];
    frame.payload.assign(body.begin() + 3, body.end() - 2);
    return frame;
}
