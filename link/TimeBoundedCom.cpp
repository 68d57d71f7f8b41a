#include "link/TimeBoundedCom.h"

#include <algorithm>

namespace {

// The frame layer's start byte: a receiver that is hunting begins a frame at the first one.
constexpr uint8_t kStartByte = 0x02;

}  // namespace

TimeBoundedCom::TimeBoundedCom(ComCP2102& port, Clock::duration budget, uint32_t frameBytes,
                               Clock::duration frameTime)
    : m_port(port),
      m_deadline(Clock::now() + budget),
      m_frameDeadline(m_deadline + frameTime),
      m_graceReads(frameBytes),
      m_frameBytesLeft(frameBytes) {}

bool TimeBoundedCom::Setup(uint32_t value) { return m_port.Setup(value); }

bool TimeBoundedCom::Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) {
    const uint32_t allowed = Clock::now() < m_deadline ? count : AllowedPastDeadline(count);
    uint32_t received = 0;
    if (allowed > 0 && !m_port.Read(buffer, allowed, &received)) {
        return false;
    }
    Watch(buffer, received);
    if (bytesRead != nullptr) {
        *bytesRead = received;
    }
    return true;
}

uint32_t TimeBoundedCom::AllowedPastDeadline(uint32_t count) {
    if (m_inFrame) {
        return Clock::now() < m_frameDeadline ? std::min(count, m_frameBytesLeft) : 0;
    }
    uint32_t queued = 0;
    if (m_graceReads > 0 && m_port.BytesWaiting(queued) && queued > 0) {
        --m_graceReads;
        return std::min(count, queued);
    }
    return 0;
}

void TimeBoundedCom::Watch(const uint8_t* bytes, uint32_t count) {
    for (uint32_t k = 0; k < count; ++k) {
        m_inFrame = m_inFrame || bytes[k] == kStartByte;
        if (m_inFrame && m_frameBytesLeft > 0) {
            --m_frameBytesLeft;
        }
    }
}

bool TimeBoundedCom::Write(const uint8_t* buffer, uint32_t count) { return m_port.Write(buffer, count); }

bool TimeBoundedCom::Close() { return m_port.Close(); }

bool TimeBoundedCom::Flush() { return m_port.Flush(); }

bool TimeBoundedCom::SetTimeout(uint32_t timeoutMs) { return m_port.SetTimeout(timeoutMs); }

bool TimeBoundedCom::GetTimeout(uint32_t& timeoutMs) { return m_port.GetTimeout(timeoutMs); }

bool TimeBoundedCom::Open(const char* name, uint32_t baudRate, uint32_t timeoutMs) {
    return m_port.Open(name, baudRate, timeoutMs);
}

bool TimeBoundedCom::IsOpen() { return m_port.IsOpen(); }
