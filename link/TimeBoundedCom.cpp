#include "link/TimeBoundedCom.h"

#include <algorithm>

TimeBoundedCom::TimeBoundedCom(ComCP2102& port, Clock::duration budget, uint32_t graceReads)
    : m_port(port), m_deadline(Clock::now() + budget), m_graceReads(graceReads) {}

bool TimeBoundedCom::Setup(uint32_t value) { return m_port.Setup(value); }

bool TimeBoundedCom::Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) {
    if (Clock::now() < m_deadline) {
        return m_port.Read(buffer, count, bytesRead);
    }
    uint32_t queued = 0;
    if (m_graceReads > 0 && m_port.BytesWaiting(queued) && queued > 0) {
        --m_graceReads;
        return m_port.Read(buffer, std::min(count, queued), bytesRead);
    }
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }
    return true;
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
