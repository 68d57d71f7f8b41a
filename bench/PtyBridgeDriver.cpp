#include "bench/PtyBridgeDriver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

PtyBridgeDriver::PtyBridgeDriver() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0) {
        return;
    }
    const char* slave = ::ptsname(m_master);
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 || slave == nullptr) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = slave;
}

PtyBridgeDriver::~PtyBridgeDriver() {
    m_line.reset();
    if (m_master >= 0) {
        ::close(m_master);
    }
}

uint32_t PtyBridgeDriver::GetNumDevices(uint32_t& count) {
    count = Ready() ? 1 : 0;
    return BridgeResult::kSuccess;
}

uint32_t PtyBridgeDriver::GetProductString(uint32_t index, char* buffer256, uint32_t selector) {
    if (index != 0 || !Ready()) {
        return BridgeResult::kDeviceNotFound;
    }
    const char* text = selector == ProductString::kVendorId    ? "5f3a"
                       : selector == ProductString::kProductId ? "b7c4"
                                                               : "DIZ Uravaved VKX260";
    std::strncpy(buffer256, text, kProductStringSize - 1);
    buffer256[kProductStringSize - 1] = '\0';
    return BridgeResult::kSuccess;
}

uint32_t PtyBridgeDriver::Open(uint32_t index, DeviceHandle& handle) {
    handle = kInvalidHandle;
    if (index != 0 || !Ready() || m_line) {
        return BridgeResult::kDeviceNotFound;
    }
    const uint32_t result = SerialLine::Open(m_slavePath, m_line);
    if (result == BridgeResult::kSuccess) {
        handle = kHandle;
    }
    return result;
}

uint32_t PtyBridgeDriver::Close(DeviceHandle handle) {
    if (Line(handle) == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    m_line.reset();
    return BridgeResult::kSuccess;
}

uint32_t PtyBridgeDriver::Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) {
    SerialLine* line = Line(handle);
    return line ? line->Read(buffer, count, m_readTimeoutMs, bytesRead) : BridgeResult::kInvalidHandle;
}

uint32_t PtyBridgeDriver::Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                                uint32_t& bytesWritten) {
    SerialLine* line = Line(handle);
    return line ? line->Write(buffer, count, m_writeTimeoutMs, bytesWritten) : BridgeResult::kInvalidHandle;
}

uint32_t PtyBridgeDriver::FlushBuffers(DeviceHandle handle, bool transmit, bool receive) {
    SerialLine* line = Line(handle);
    return line ? line->Flush(transmit, receive) : BridgeResult::kInvalidHandle;
}

uint32_t PtyBridgeDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return BridgeResult::kSuccess;
}

uint32_t PtyBridgeDriver::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) {
    readMs = m_readTimeoutMs;
    writeMs = m_writeTimeoutMs;
    return BridgeResult::kSuccess;
}

uint32_t PtyBridgeDriver::SetBaudRate(DeviceHandle handle, uint32_t baudRate) {
    SerialLine* line = Line(handle);
    return line ? line->SetBaudRate(baudRate) : BridgeResult::kInvalidHandle;
}

uint32_t PtyBridgeDriver::SetLineControl(DeviceHandle handle, uint16_t word) {
    SerialLine* line = Line(handle);
    return line ? line->SetLineControl(word) : BridgeResult::kInvalidHandle;
}

uint32_t PtyBridgeDriver::SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr,
                                         uint8_t dsr, uint8_t dcd, bool xonXoff) {
    SerialLine* line = Line(handle);
    return line ? line->SetFlowControl(cts, rts, dtr, dsr, dcd, xonXoff) : BridgeResult::kInvalidHandle;
}

uint32_t PtyBridgeDriver::CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) {
    SerialLine* line = Line(handle);
    return line ? line->BytesWaiting(bytesWaiting) : BridgeResult::kInvalidHandle;
}
