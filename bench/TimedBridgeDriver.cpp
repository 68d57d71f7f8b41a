#include "bench/TimedBridgeDriver.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {
constexpr const char* kVendorId = "5f3a";
constexpr const char* kProductId = "b7c4";
constexpr const char* kDescription = "DIZ Uravaved VKX260";
}  // namespace

TimedBridgeDriver::Clock::time_point TimedBridgeDriver::Send(std::span<const uint8_t> wire,
                                                             Clock::time_point start) {
    Clock::time_point at = start;
    for (std::size_t k = 0; k < wire.size(); ++k) {
        at = start + k * kByteTime;
        m_pending.push_back({at, wire[k]});
    }
    return at;
}

bool TimedBridgeDriver::Drained() {
    Advance();
    return m_pending.empty() && m_queue.empty();
}

void TimedBridgeDriver::Advance() {
    const Clock::time_point now = Clock::now();
    while (!m_pending.empty() && m_pending.front().at <= now) {
        if (m_queue.size() < kQueueCapacity) {
            m_queue.push_back(m_pending.front().byte);
        } else {
            ++m_lost;
        }
        m_pending.pop_front();
    }
}

uint32_t TimedBridgeDriver::GetNumDevices(uint32_t& count) {
    count = 1;
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::GetProductString(uint32_t index, char* buffer256, uint32_t selector) {
    if (index != 0) {
        return BridgeResult::kDeviceNotFound;
    }
    const char* text = selector == ProductString::kVendorId    ? kVendorId
                       : selector == ProductString::kProductId ? kProductId
                                                               : kDescription;
    std::strncpy(buffer256, text, kProductStringSize - 1);
    buffer256[kProductStringSize - 1] = '\0';
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::Open(uint32_t index, DeviceHandle& handle) {
    if (index != 0 || m_open) {
        handle = kInvalidHandle;
        return BridgeResult::kDeviceNotFound;
    }
    m_open = true;
    handle = kHandle;
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::Close(DeviceHandle handle) {
    if (!Usable(handle)) {
        return BridgeResult::kInvalidHandle;
    }
    m_open = false;
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) {
    bytesRead = 0;
    if (!Usable(handle)) {
        return BridgeResult::kReadError;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_readTimeoutMs);
    for (;;) {
        Advance();
        while (bytesRead < count && !m_queue.empty()) {
            buffer[bytesRead++] = m_queue.front();
            m_queue.pop_front();
        }
        const Clock::time_point now = Clock::now();
        if (bytesRead == count) {
            return BridgeResult::kSuccess;
        }
        if (now >= deadline) {
            return BridgeResult::kReadTimedOut;
        }
        const Clock::time_point wake =
            m_pending.empty() ? deadline : std::min(deadline, m_pending.front().at);
        std::this_thread::sleep_until(wake);
    }
}

uint32_t TimedBridgeDriver::Write(DeviceHandle handle, const uint8_t*, uint32_t count,
                                  uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (!Usable(handle)) {
        return BridgeResult::kWriteError;
    }
    bytesWritten = count;
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::FlushBuffers(DeviceHandle handle, bool, bool receive) {
    if (!Usable(handle)) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (receive) {
        Advance();
        m_queue.clear();
    }
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) {
    readMs = m_readTimeoutMs;
    writeMs = m_writeTimeoutMs;
    return BridgeResult::kSuccess;
}

uint32_t TimedBridgeDriver::SetBaudRate(DeviceHandle handle, uint32_t) {
    return Usable(handle) ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t TimedBridgeDriver::SetLineControl(DeviceHandle handle, uint16_t) {
    return Usable(handle) ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t TimedBridgeDriver::SetFlowControl(DeviceHandle handle, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t,
                                           bool) {
    return Usable(handle) ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t TimedBridgeDriver::CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) {
    if (!Usable(handle)) {
        return BridgeResult::kDeviceIoFailed;
    }
    Advance();
    bytesWaiting = static_cast<uint32_t>(m_queue.size());
    return BridgeResult::kSuccess;
}
