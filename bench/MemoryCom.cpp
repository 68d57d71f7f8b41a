#include "bench/MemoryCom.h"

#include <algorithm>
#include <utility>

MemoryCom::MemoryCom(std::span<const uint8_t> bytes, std::vector<std::size_t> idlePositions)
    : m_bytes(bytes), m_idlePositions(std::move(idlePositions)) {}

bool MemoryCom::Setup(uint32_t) { return true; }

bool MemoryCom::Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) {
    uint32_t received = 0;
    const std::size_t quietAt =
        m_nextIdle < m_idlePositions.size() ? m_idlePositions[m_nextIdle] : m_bytes.size();
    if (quietAt == m_position) {
        ++m_nextIdle;
    } else {
        while (received < count && m_position < std::min(quietAt, m_bytes.size())) {
            buffer[received++] = m_bytes[m_position++];
        }
    }
    *bytesRead = received;
    return true;
}

bool MemoryCom::Write(const uint8_t*, uint32_t) { return false; }

bool MemoryCom::Close() { return false; }

bool MemoryCom::Flush() { return true; }

bool MemoryCom::SetTimeout(uint32_t timeoutMs) {
    m_timeoutMs = timeoutMs;
    return true;
}

bool MemoryCom::GetTimeout(uint32_t& timeoutMs) {
    timeoutMs = m_timeoutMs;
    return true;
}

bool MemoryCom::Open(const char*, uint32_t, uint32_t) { return false; }

bool MemoryCom::IsOpen() { return true; }
