#include "tests/support/FakeBridgeDriver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

// Arrivals pass through a pipe, so that an event loop sees them as it sees udev's.
class FakeBridgeDriver::Watch : public ArrivalWatch {
public:
    explicit Watch(FakeBridgeDriver& driver) : m_driver(driver) { m_driver.m_watch = this; }
    ~Watch() override {
        m_driver.m_watch = nullptr;
        close(pipe[0]);
        close(pipe[1]);
    }
    int Descriptor() const override { return pipe[0]; }
    bool TakeArrival() override { return read(pipe[0], &m_report, 1) == 1; }

    int pipe[2] = {-1, -1};

private:
    FakeBridgeDriver& m_driver;
    char m_report = 0;
};

FakeBridgeDriver::FakeBridgeDriver() : devices{{"5f3a", "b7c4", "VKX260 Stopwatch", "0001"}} {}

void FakeBridgeDriver::Reset() {
    devices = FakeBridgeDriver().devices;
    refuseOpen = false;
    noiseBytes = 0;
    m_queue.clear();
    m_open = false;
    m_unplugged = false;
    readCalls = flushCalls = openCalls = listCalls = 0;
    openedIndex = -1;
}

void FakeBridgeDriver::Deliver(const std::vector<uint8_t>& bytes) {
    m_queue.insert(m_queue.end(), bytes.begin(), bytes.end());
}

void FakeBridgeDriver::Unplug() {
    m_unplugged = true;
    m_queue.clear();
    devices.clear();
}

uint32_t FakeBridgeDriver::GetNumDevices(uint32_t& count) {
    ++listCalls;
    count = static_cast<uint32_t>(devices.size());
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::GetProductString(uint32_t index, char* buffer256, uint32_t selector) {
    if (index >= devices.size()) {
        return BridgeResult::kDeviceNotFound;
    }
    const Device& device = devices[index];
    const std::string& text = selector == ProductString::kVendorId       ? device.vendorId
                              : selector == ProductString::kProductId    ? device.productId
                              : selector == ProductString::kSerialNumber ? device.serialNumber
                                                                         : device.description;
    std::strncpy(buffer256, text.c_str(), kProductStringSize - 1);
    buffer256[kProductStringSize - 1] = '\0';
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::Open(uint32_t index, DeviceHandle& handle) {
    ++openCalls;
    if (refuseOpen || index >= devices.size() || m_open) {
        handle = kInvalidHandle;
        return BridgeResult::kDeviceNotFound;
    }
    m_open = true;
    openedIndex = static_cast<int>(index);
    handle = kHandle;
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::Close(DeviceHandle handle) {
    if (!m_open || handle != kHandle) {
        return BridgeResult::kInvalidHandle;
    }
    m_open = false;
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) {
    ++readCalls;
    if (!Usable(handle)) {
        return BridgeResult::kReadError;
    }
    bytesRead = 0;
    while (bytesRead < count && !m_queue.empty()) {
        buffer[bytesRead++] = m_queue.front();
        m_queue.pop_front();
    }
    for (; bytesRead < count && noiseBytes > 0; --noiseBytes) {
        buffer[bytesRead++] = 0x55;
    }
    return bytesRead == count ? BridgeResult::kSuccess : BridgeResult::kReadTimedOut;
}

uint32_t FakeBridgeDriver::Write(DeviceHandle handle, const uint8_t*, uint32_t count,
                                 uint32_t& bytesWritten) {
    if (!Usable(handle)) {
        return BridgeResult::kWriteError;
    }
    bytesWritten = count;
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::FlushBuffers(DeviceHandle handle, bool, bool receive) {
    ++flushCalls;
    if (!Usable(handle)) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (receive) {
        m_queue.clear();
    }
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    m_readTimeout = readMs;
    m_writeTimeout = writeMs;
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) {
    readMs = m_readTimeout;
    writeMs = m_writeTimeout;
    return BridgeResult::kSuccess;
}

uint32_t FakeBridgeDriver::SetBaudRate(DeviceHandle handle, uint32_t) {
    return Usable(handle) ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t FakeBridgeDriver::SetLineControl(DeviceHandle handle, uint16_t) {
    return Usable(handle) ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t FakeBridgeDriver::SetFlowControl(DeviceHandle handle, uint8_t, uint8_t, uint8_t, uint8_t, uint8_t,
                                          bool) {
    return Usable(handle) ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t FakeBridgeDriver::CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) {
    if (!Usable(handle)) {
        return BridgeResult::kDeviceIoFailed;
    }
    bytesWaiting = static_cast<uint32_t>(m_queue.size()) + (noiseBytes > 0 ? 1 : 0);
    return BridgeResult::kSuccess;
}

bool FakeBridgeDriver::RaiseArrival() { return m_watch != nullptr && write(m_watch->pipe[1], "", 1) == 1; }

uint32_t FakeBridgeDriver::WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
    watch.reset();
    watch = std::make_unique<Watch>(*this);
    const bool piped = pipe2(m_watch->pipe, O_NONBLOCK | O_CLOEXEC) == 0;
    if (!piped) {
        watch.reset();
    }
    return piped ? BridgeResult::kSuccess : BridgeResult::kSystemError;
}
