#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "timelist/CellText.h"
#include "timelist/PayloadReader.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A frame as the receiver stores it: leading byte, length (little-endian), payload, two CRC bytes.
Bytes StoredFrame(const Bytes& payload, uint8_t crcLow = 0xC1, uint8_t crcHigh = 0xC2) {
    Bytes frame(payload.size() + 5);
    frame[1] = static_cast<uint8_t>(payload.size() & 0xFF);
    frame[2] = static_cast<uint8_t>(payload.size() >> 8);
    std::copy(payload.begin(), payload.end(), frame.begin() + 3);
    frame[payload.size() + 3] = crcLow;
    frame[payload.size() + 4] = crcHigh;
    return frame;
}

struct Row {
    std::string index;
    std::string event;
    std::string time;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
    return out << row.index << " | " << row.event << " | " << row.time;
}

Row RowOf(const Bytes& frame, int32_t rowCount) {
    const TimeEvent event = DecodeTimeEvent(frame.data(), frame.size());
    return {IndexText(rowCount + 1), EventText(event.kind), TimeText(event)};
}

TEST(EventDecoding, RowsFromPayloads) {
    struct Case {
        Bytes payload;
        int32_t rowCount;
        Row row;
    };
    const Case cases[] = {
        {{0x01, 0x00, 0x01, 0x02, 0x01, 0x59}, 0, {"001", "Start", "00:01:02:345"}},
        {{0x07, 0x0C, 0x22, 0x38, 0x03, 0xE7}, 4, {"005", "Fehler", "12:34:56:999"}},
        {{0x03, 0x01, 0x02, 0x03, 0x03, 0xE8}, 999, {"1000", "Lap", "01:02:03:1000"}},
        {{0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 9, {"010", "Stopp", "255:255:255:65535"}},
        {{0x01, 0x00, 0x00, 0x00, 0x00, 0x07}, 98, {"099", "Start", "00:00:00:007"}},
        {{0x01, 0x64, 0x00, 0x00, 0x00, 0x00}, 99999, {"100000", "Start", "100:00:00:000"}},
        {{0x00, 0x01, 0x4B, 0x3B, 0x05, 0xDC}, 0, {"001", "Fehler", "01:75:59:1500"}},
        {{0x04, 0x00, 0x00, 0x00, 0x00, 0x00}, 0, {"001", "Fehler", "00:00:00:000"}},
        {{0xFF, 0x09, 0x08, 0x07, 0x00, 0x63}, 0, {"001", "Fehler", "09:08:07:099"}},
        // A longer payload yields its first six bytes.
        {{0x02, 0x01, 0x02, 0x03, 0x00, 0x0A, 0x77, 0x88}, 0, {"001", "Stopp", "01:02:03:010"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RowOf(StoredFrame(c.payload), c.rowCount), c.row);
    }
}

TEST(EventDecoding, WordIsBigEndianAndAdvancesTheCursorByTwo) {
    const Bytes frame = StoredFrame({0x01, 0x00, 0x01, 0x02, 0x01, 0x59});
    uint8_t cursor = 7;
    int32_t value = -1;
    ReadPayloadWord(frame.data(), frame.size(), cursor, value);
    EXPECT_EQ(value, 345);
    EXPECT_EQ(cursor, 9);
    EXPECT_EQ(ReadPayloadByte(frame.data(), frame.size(), cursor), 0) << "beyond the payload";
    EXPECT_EQ(cursor, 10);
}

// Fields beyond a short payload read 0, never the frame's CRC bytes or what an earlier frame left behind.
TEST(EventDecoding, FieldsBeyondAShortPayloadReadZero) {
    // The receive buffer after an earlier, longer frame.
    Bytes earlier(80, 0xAA);
    const Bytes first = StoredFrame({0x03, 0x0C, 0x22, 0x38, 0x03, 0xE7});
    std::copy(first.begin(), first.end(), earlier.begin());

    struct Case {
        std::string name;
        Bytes payload;
        std::size_t bufferSize;
        Row row;
    };
    const Case cases[] = {
        {"2-byte payload", {0x02, 0x05}, 80, {"001", "Stopp", "05:00:00:000"}},
        {"empty payload", {}, 80, {"001", "Fehler", "00:00:00:000"}},
        {"1-byte payload", {0x01}, 80, {"001", "Start", "00:00:00:000"}},
        {"4-byte payload", {0x01, 0x02, 0x03, 0x04}, 80, {"001", "Start", "02:03:04:000"}},
        {"5-byte payload: only the high byte of the milliseconds",
         {0x01, 0x02, 0x03, 0x04, 0x05},
         80,
         {"001", "Start", "02:03:04:1280"}},
        {"buffer ends inside the payload",
         {0x01, 0x02, 0x03, 0x04, 0x05, 0x06},
         5,
         {"001", "Start", "02:00:00:000"}},
        {"buffer ends inside the length field",
         {0x01, 0x02, 0x03, 0x04, 0x05, 0x06},
         2,
         {"001", "Fehler", "00:00:00:000"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes buffer = earlier;
        const Bytes frame = StoredFrame(c.payload);
        std::copy(frame.begin(), frame.end(), buffer.begin());
        const TimeEvent event = DecodeTimeEvent(buffer.data(), c.bufferSize);
        EXPECT_EQ((Row{IndexText(1), EventText(event.kind), TimeText(event)}), c.row);
    }
}

}  // namespace
