#include "timelist/PayloadReader.h"

namespace {

uint8_t ByteAt(const uint8_t* frame, std::size_t bufferSize, std::size_t position) {
    return position < bufferSize ? frame[position] : 0;
}

// One past the last payload position, from the length field; a length field beyond the buffer reads 0.
std::size_t PayloadEnd(const uint8_t* frame, std::size_t bufferSize) {
    return kPayloadStart + ByteAt(frame, bufferSize, 1) + 256u * ByteAt(frame, bufferSize, 2);
}

}  // namespace

uint8_t ReadPayloadByte(const uint8_t* frame, std::size_t bufferSize, uint8_t& cursor) {
    const std::size_t position = cursor++;
    return position < PayloadEnd(frame, bufferSize) ? ByteAt(frame, bufferSize, position) : 0;
}

void ReadPayloadWord(const uint8_t* frame, std::size_t bufferSize, uint8_t& cursor, int32_t& value) {
    const uint8_t high = ReadPayloadByte(frame, bufferSize, cursor);
    const uint8_t low = ReadPayloadByte(frame, bufferSize, cursor);
    value = high * 256 + low;
}

TimeEvent DecodeTimeEvent(const uint8_t* frame, std::size_t bufferSize) {
    TimeEvent event;
    uint8_t cursor = kPayloadStart;
    event.kind = ReadPayloadByte(frame, bufferSize, cursor);
    event.hours = ReadPayloadByte(frame, bufferSize, cursor);
    event.minutes = ReadPayloadByte(frame, bufferSize, cursor);
    event.seconds = ReadPayloadByte(frame, bufferSize, cursor);
    ReadPayloadWord(frame, bufferSize, cursor, event.milliseconds);
    return event;
}
