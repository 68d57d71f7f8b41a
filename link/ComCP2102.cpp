#include "link/ComCP2102.h"

#include <cstring>

namespace {

// Copies at most kProductStringSize - 1 characters and always terminates.
void CopyBounded(char* destination, const char* source) {
    std::size_t length = 0;
    while (length < kProductStringSize - 1 && source[length] != '\0') {
        destination[length] = source[length];
        ++length;
    }
    destination[length] = '\0';
}

// Asks the driver for one string of a device. The buffer is terminated whatever the driver wrote.
bool QueryString(BridgeDriver& driver, uint32_t index, uint32_t selector,
                 char (&buffer)[kProductStringSize]) {
    buffer[0] = '\0';
    const uint32_t result = driver.GetProductString(index, buffer, selector);
    buffer[kProductStringSize - 1] = '\0';
    return result == BridgeResult::kSuccess;
}

}  // namespace

ComCP2102::ComCP2102(BridgeDriver& driver) : m_driver(driver) {}

ComCP2102::~ComCP2102() {
    if (IsOpen()) {
        m_driver.Close(m_handle);
    }
}

bool ComCP2102::Setup(uint32_t /*value*/) { return true; }

bool ComCP2102::Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) {
    if (!IsOpen()) {
        return false;
    }
    uint32_t received = 0;
    const uint32_t result = m_driver.Read(m_handle, buffer, count, received);
    // A read that ran into the timeout or found the queue not ready still reports what came.
    if (result != BridgeResult::kSuccess && result != BridgeResult::kRxQueueNotReady &&
        result != BridgeResult::kReadTimedOut) {
        return false;
    }
    if (bytesRead != nullptr) {
        *bytesRead = received;
    }
    return true;
}

bool ComCP2102::Write(const uint8_t* buffer, uint32_t count) {
    if (!IsOpen()) {
        return false;
    }
    uint32_t written = 0;
    return m_driver.Write(m_handle, buffer, count, written) == BridgeResult::kSuccess && written == count;
}

bool ComCP2102::Close() {
    if (!IsOpen()) {
        return false;
    }
    // The device counts as released whatever the driver reports.
    m_driver.Close(m_handle);
    m_handle = kInvalidHandle;
    m_serialNumber.clear();
    return true;
}

bool ComCP2102::Flush() {
    if (!IsOpen()) {
        return false;
    }
    return m_driver.FlushBuffers(m_handle, true, true) == BridgeResult::kSuccess;
}

bool ComCP2102::SetTimeout(uint32_t timeoutMs) {
    return m_driver.SetTimeouts(timeoutMs, timeoutMs) == BridgeResult::kSuccess;
}

bool ComCP2102::GetTimeout(uint32_t& timeoutMs) {
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    if (m_driver.GetTimeouts(readMs, writeMs) != BridgeResult::kSuccess) {
        return false;
    }
    timeoutMs = readMs;
    return true;
}

bool ComCP2102::Open(const char* name, uint32_t baudRate, uint32_t timeoutMs) {
    if (IsOpen() || name == nullptr) {
        return false;
    }
    uint32_t count = 0;
    if (m_driver.GetNumDevices(count) != BridgeResult::kSuccess) {
        return false;
    }
    char description[kProductStringSize];
    for (uint32_t index = 0; index < count; ++index) {
        if (!QueryString(m_driver, index, ProductString::kDescription, description)) {
            return false;
        }
        if (std::strcmp(description, name) == 0) {
            char serialNumber[kProductStringSize];
            const bool told = QueryString(m_driver, index, ProductString::kSerialNumber, serialNumber);
            return OpenIndex(index, told ? serialNumber : "", baudRate, timeoutMs);
        }
    }
    return false;
}

bool ComCP2102::IsOpen() { return m_handle != kInvalidHandle; }

bool ComCP2102::OpenByIds(const char* vendorId, const char* productId, uint32_t baudRate, uint32_t timeoutMs,
                          const char* serialNumber) {
    if (IsOpen() || vendorId == nullptr || productId == nullptr) {
        return false;
    }
    uint32_t count = 0;
    if (m_driver.GetNumDevices(count) != BridgeResult::kSuccess) {
        return false;
    }
    bool listed = false;
    char queried[kProductStringSize];
    char deviceVendorId[kProductStringSize];
    char deviceProductId[kProductStringSize];
    for (uint32_t index = 0; index < count; ++index) {
        if (!QueryString(m_driver, index, ProductString::kVendorId, queried)) {
            return false;
        }
        CopyBounded(deviceVendorId, queried);
        if (!QueryString(m_driver, index, ProductString::kProductId, queried)) {
            return false;
        }
        CopyBounded(deviceProductId, queried);
        // Exact, case-sensitive: "5F3A" is not the stopwatch's "5f3a".
        if (std::strcmp(deviceVendorId, vendorId) != 0 || std::strcmp(deviceProductId, productId) != 0) {
            continue;
        }
        listed = true;
        // Without a serial number to match, a device that cannot tell its own still opens.
        const bool told = QueryString(m_driver, index, ProductString::kSerialNumber, queried);
        if (serialNumber != nullptr) {
            if (!told) {
                return false;
            }
            if (std::strcmp(queried, serialNumber) != 0) {
                continue;
            }
        }
        return OpenIndex(index, told ? queried : "", baudRate, timeoutMs);
    }
    // The search for a lost bridge waits silently while it is replugged, when its USB device shows
    // before the driver has made its port; only a connect that fails is explained.
    if (!listed && serialNumber == nullptr) {
        m_driver.ExplainNoDevice(vendorId, productId);
    }
    return false;
}

bool ComCP2102::BytesWaiting(uint32_t& count) {
    if (!IsOpen()) {
        return false;
    }
    uint32_t waiting = 0;
    const uint32_t result = m_driver.CheckRxQueue(m_handle, waiting);
    // As with a read: "queue not ready" and "timed out" say that nothing is waiting, not that the
    // bridge is gone.
    if (result == BridgeResult::kRxQueueNotReady || result == BridgeResult::kReadTimedOut) {
        count = 0;
        return true;
    }
    if (result != BridgeResult::kSuccess) {
        return false;
    }
    count = waiting;
    return true;
}

uint16_t ComCP2102::LineControlWord() const {
    return static_cast<uint16_t>(m_dcb.StopBits | (m_dcb.Parity << 4) | (m_dcb.ByteSize << 8));
}

bool ComCP2102::OpenIndex(uint32_t index, const char* serialNumber, uint32_t baudRate, uint32_t timeoutMs) {
    // The first matching device ends the search even when it cannot be opened: no other is tried.
    if (m_driver.Open(index, m_handle) != BridgeResult::kSuccess) {
        m_handle = kInvalidHandle;
        return false;
    }
    if (!Configure(baudRate, timeoutMs)) {
        return false;
    }
    m_serialNumber = serialNumber;
    return true;
}

bool ComCP2102::Configure(uint32_t baudRate, uint32_t timeoutMs) {
    m_dcb.BaudRate = baudRate;
    const bool configured = m_driver.SetBaudRate(m_handle, m_dcb.BaudRate) == BridgeResult::kSuccess &&
                            m_driver.SetLineControl(m_handle, LineControlWord()) == BridgeResult::kSuccess &&
                            m_driver.SetFlowControl(m_handle, 0, m_dcb.fRtsControl, m_dcb.fDtrControl, 0, 0,
                                                    false) == BridgeResult::kSuccess &&
                            SetTimeout(timeoutMs);
    if (!configured) {
        // This platform has no kernel handle to release beside the driver's: the driver closes it.
        m_driver.Close(m_handle);
        m_handle = kInvalidHandle;
        return false;
    }
    return true;
}
