#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/Com.h"

// An open port over bytes in memory: every read takes the next byte at once. A read at one of the
// idle positions, and every read past the end, brings no byte, as a line that has gone quiet for
// the read timeout does.
class MemoryCom : public Com {
public:
    // idlePositions: ascending positions before which the line is quiet for one read.
    explicit MemoryCom(std::span<const uint8_t> bytes, std::vector<std::size_t> idlePositions = {});

    bool AtEnd() const { return m_position >= m_bytes.size(); }

    bool Setup(uint32_t value) override;
    bool Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) override;
    bool Write(const uint8_t* buffer, uint32_t count) override;
    bool Close() override;
    bool Flush() override;
    bool SetTimeout(uint32_t timeoutMs) override;
    bool GetTimeout(uint32_t& timeoutMs) override;
    bool Open(const char* name, uint32_t baudRate, uint32_t timeoutMs) override;
    bool IsOpen() override;

private:
    std::span<const uint8_t> m_bytes;
    std::vector<std::size_t> m_idlePositions;
    std::size_t m_position = 0;
    std::size_t m_nextIdle = 0;
    uint32_t m_timeoutMs = 500;
};
