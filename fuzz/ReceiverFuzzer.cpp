// The frame receiver under libFuzzer. An input is a capacity, a mode byte and a byte stream:
//
//   bytes 0-1  capacity, little-endian, taken modulo 301 (0 to 300)
//   byte 2     bit 0: the line fails at the end of the stream instead of going quiet
//              bit 1: every call passes a timeout of 200 ms to a port set to 500 ms
//              bit 2: the port is closed; bit 3: the receiver has no port
//   bytes 3-   what the line delivers, one byte per read
//
// Receive is called until the stream is used up. After every call the stored bytes, storedCount,
// the result and the status are checked against what the line delivered during that call. Without
// a port, or with the port closed, one call must refuse at once and touch nothing.
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/Com.h"
#include "protocol/ComProtocol.h"
#include "protocol/Crc16.h"

namespace {

constexpr std::size_t kHeaderSize = 3;
constexpr uint32_t kMaxCapacity = 300;
constexpr std::size_t kGuardSize = 64;
constexpr uint8_t kGuardFill = 0xA5;
constexpr uint8_t kBufferFill = 0x5A;
constexpr int32_t kUntouched = -7;
constexpr uint32_t kPortTimeoutMs = 500;
constexpr uint32_t kCallTimeoutMs = 200;
constexpr uint8_t kStartByte = 0x02;
constexpr uint8_t kEscape = 0x10;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "receiver fault: %s\n", what);
        std::abort();
    }
}

// A line that delivers the stream one byte per read, then goes quiet or fails.
class StreamCom : public Com {
public:
    StreamCom(const uint8_t* data, std::size_t size, bool failsAtEnd, bool open)
        : m_data(data), m_size(size), m_failsAtEnd(failsAtEnd), m_open(open) {}

    std::size_t Position() const { return m_position; }
    bool AtEnd() const { return m_position >= m_size; }
    uint32_t Timeout() const { return m_timeoutMs; }

    bool Setup(uint32_t) override { return true; }
    bool Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) override {
        if (AtEnd()) {
            if (m_failsAtEnd) {
                return false;
            }
            *bytesRead = 0;
            return true;
        }
        if (count == 0) {
            *bytesRead = 0;
            return true;
        }
        buffer[0] = m_data[m_position++];
        *bytesRead = 1;
        return true;
    }
    bool Write(const uint8_t*, uint32_t) override { return false; }
    bool Close() override { return false; }
    bool Flush() override { return true; }
    bool SetTimeout(uint32_t timeoutMs) override {
        m_timeoutMs = timeoutMs;
        return true;
    }
    bool GetTimeout(uint32_t& timeoutMs) override {
        timeoutMs = m_timeoutMs;
        return true;
    }
    bool Open(const char*, uint32_t, uint32_t) override { return false; }
    bool IsOpen() override { return m_open; }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    bool m_failsAtEnd;
    bool m_open;
    std::size_t m_position = 0;
    uint32_t m_timeoutMs = kPortTimeoutMs;
};

// What a call must have stored, worked out from the bytes it read: everything after the first
// start byte, with each escape byte dropped and the byte after it stored with bit 7 cleared.
struct Expected {
    bool startSeen = false;
    std::vector<uint8_t> stored;
    bool escapePending = false;
    std::size_t frameStart = 0;  // offset of the start byte among the bytes read
    std::size_t payloadEnd = 0;  // offset just after the byte that completed the payload
};

Expected Unstuff(const uint8_t* read, std::size_t count) {
    Expected expected;
    for (std::size_t k = 0; k < count; ++k) {
        const uint8_t byte = read[k];
        if (!expected.startSeen) {
            if (byte == kStartByte) {
                expected.startSeen = true;
                expected.frameStart = k;
            }
            continue;
        }
        if (expected.escapePending) {
            expected.stored.push_back(static_cast<uint8_t>(byte & 0x7F));
            expected.escapePending = false;
        } else if (byte == kEscape) {
            expected.escapePending = true;
            continue;
        } else {
            expected.stored.push_back(byte);
        }
        const std::size_t n = expected.stored.size();
        if (n >= 3 && n == 3u + expected.stored[1] + 256u * expected.stored[2]) {
            expected.payloadEnd = k + 1;
        }
    }
    return expected;
}

// The frame's CRC as stored against the CRC over the transmitted bytes, start byte through the
// byte that completed the payload, escapes included.
bool CrcMatches(const Expected& expected, const uint8_t* read) {
    const std::size_t length = expected.stored[1] + 256u * expected.stored[2];
    const uint16_t received =
        static_cast<uint16_t>(expected.stored[length + 3] + 256u * expected.stored[length + 4]);
    return Crc16(read + expected.frameStart, expected.payloadEnd - expected.frameStart) == received;
}

// A length field that no frame in this buffer can have: 0, or more payload than the capacity holds.
bool ImpossibleLength(const Expected& expected, uint32_t capacity) {
    const std::size_t length = expected.stored[1] + 256u * expected.stored[2];
    return length == 0 || length + 5 > capacity;
}

// A whole frame with a length of at least 1: leading byte, length, payload and CRC stored.
bool WholeFrame(const Expected& expected) {
    if (expected.stored.size() < 6) {
        return false;
    }
    const std::size_t length = expected.stored[1] + 256u * expected.stored[2];
    return length >= 1 && expected.stored.size() == length + 5;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < kHeaderSize) {
        return 0;
    }
    const uint32_t capacity = (data[0] + 256u * data[1]) % (kMaxCapacity + 1);
    const bool failsAtEnd = (data[2] & 1) != 0;
    const uint32_t timeoutMs = (data[2] & 2) != 0 ? kCallTimeoutMs : 0;
    const bool portClosed = (data[2] & 4) != 0;
    const bool noPort = (data[2] & 8) != 0;
    const uint8_t* stream = data + kHeaderSize;
    StreamCom port(stream, size - kHeaderSize, failsAtEnd, !portClosed);
    ComProtocol receiver;
    if (!noPort) {
        receiver.SetCom(&port);
    }

    // The guard behind the buffer is poisoned, so a write past the capacity stops at once; its
    // fill is checked as well, in case the code runs without AddressSanitizer.
    std::vector<uint8_t> memory(capacity + kGuardSize, kGuardFill);
    uint8_t* buffer = memory.data();
    ASAN_POISON_MEMORY_REGION(buffer + capacity, kGuardSize);

    if (noPort || portClosed) {
        std::memset(buffer, kBufferFill, capacity);
        int32_t storedCount = kUntouched;
        Check(!receiver.Receive(buffer, capacity, storedCount, timeoutMs), "a frame without an open port");
        Check(receiver.GetStatus() == (noPort ? ComStatus::SetComNotCalled : ComStatus::NotConnected),
              "the status does not name the missing port");
        Check(storedCount == kUntouched && port.Position() == 0 && port.Timeout() == kPortTimeoutMs,
              "a refused call read, counted or changed the timeout");
        for (std::size_t k = 0; k < capacity; ++k) {
            Check(buffer[k] == kBufferFill, "a refused call wrote into the buffer");
        }
        ASAN_UNPOISON_MEMORY_REGION(buffer + capacity, kGuardSize);
        return 0;
    }

    bool ended = false;
    while (!ended) {
        ended = port.AtEnd();
        std::memset(buffer, kBufferFill, capacity);
        int32_t storedCount = kUntouched;
        const std::size_t before = port.Position();
        const bool received = receiver.Receive(buffer, capacity, storedCount, timeoutMs);
        const std::size_t readCount = port.Position() - before;
        const ComStatus status = receiver.GetStatus();

        ASAN_UNPOISON_MEMORY_REGION(buffer + capacity, kGuardSize);
        for (std::size_t k = 0; k < kGuardSize; ++k) {
            Check(buffer[capacity + k] == kGuardFill, "a byte at or beyond the capacity was written");
        }
        ASAN_POISON_MEMORY_REGION(buffer + capacity, kGuardSize);
        Check(port.Timeout() == kPortTimeoutMs, "the port's timeout was not put back");
        Check(ended || readCount > 0, "a call read nothing although bytes were waiting");

        const Expected expected = Unstuff(stream + before, readCount);
        if (!expected.startSeen) {
            Check(storedCount == kUntouched, "storedCount changed without a start byte");
        } else {
            Check(storedCount >= 0 && static_cast<uint32_t>(storedCount) <= capacity,
                  "storedCount outside 0..capacity");
            Check(static_cast<std::size_t>(storedCount) == expected.stored.size(),
                  "storedCount is not the number of bytes stored");
        }
        const std::size_t stored = expected.startSeen ? expected.stored.size() : 0;
        Check(stored == 0 || std::memcmp(buffer, expected.stored.data(), stored) == 0,
              "the stored bytes are not the unstuffed bytes read");
        for (std::size_t k = stored; k < capacity; ++k) {
            Check(buffer[k] == kBufferFill, "a byte beyond storedCount was written");
        }

        const bool wholeFrame = expected.startSeen && WholeFrame(expected);
        const bool validFrame =
            wholeFrame && !expected.escapePending && CrcMatches(expected, stream + before);
        Check(received == validFrame, received ? "a frame was accepted that is not whole and correct"
                                               : "a whole frame with a correct CRC was refused");
        Check(received == (status == ComStatus::NoError), "the status does not fit the result");
        if (status == ComStatus::ChecksumWrong) {
            Check(wholeFrame && !CrcMatches(expected, stream + before),
                  "a checksum error without a wrong CRC");
        }
        if (status == ComStatus::BufferTooSmall) {
            Check(expected.startSeen ? stored == capacity : capacity == 0, "a full buffer that is not full");
            Check(capacity < 3, "a full buffer although the length field fitted");
        }
        // An impossible length ends the call at the byte that completes the length field, and only
        // such a length does.
        const bool impossibleLength = stored >= 3 && ImpossibleLength(expected, capacity);
        Check(impossibleLength == (status == ComStatus::LengthTooLarge),
              impossibleLength ? "an impossible length was not refused" : "a length refused that can fit");
        if (impossibleLength) {
            Check(stored == 3 && !expected.escapePending, "bytes were read after an impossible length");
        }
    }
    ASAN_UNPOISON_MEMORY_REGION(buffer + capacity, kGuardSize);
    return 0;
}
