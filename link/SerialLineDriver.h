#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/BridgeDriver.h"

// The half of a bridge driver that is the same on every platform: the devices' product strings, the
// open lines by handle, the driver's timeouts, and each per-device operation passed on to its line.
// Line is the platform's serial port (SerialLine on Linux, WindowsSerialLine on Windows), with the
// same operations. The platform's driver lists the devices (GetNumDevices) and watches for arrivals.
template <typename Line>
class SerialLineDriver : public BridgeDriver {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 500;

    uint32_t GetProductString(uint32_t index, char* buffer256, uint32_t selector) override {
        if (buffer256 == nullptr) {
            return BridgeResult::kInvalidParameter;
        }
        if (index >= m_devices.size()) {
            return BridgeResult::kDeviceNotFound;
        }
        const Device& device = m_devices[index];
        const std::string* text = nullptr;
        switch (selector) {
            case ProductString::kSerialNumber:
                text = &device.serialNumber;
                break;
            case ProductString::kDescription:
                text = &device.description;
                break;
            case ProductString::kVendorId:
                text = &device.vendorId;
                break;
            case ProductString::kProductId:
                text = &device.productId;
                break;
            default:
                return BridgeResult::kInvalidParameter;
        }
        const std::size_t length = std::min<std::size_t>(text->size(), kProductStringSize - 1);
        std::memcpy(buffer256, text->data(), length);
        buffer256[length] = '\0';
        return BridgeResult::kSuccess;
    }
    uint32_t Open(uint32_t index, DeviceHandle& handle) override {
        handle = kInvalidHandle;
        if (index >= m_devices.size()) {
            return BridgeResult::kDeviceNotFound;
        }
        std::unique_ptr<Line> line;
        if (const uint32_t result = Line::Open(m_devices[index].name, line);
            result != BridgeResult::kSuccess) {
            return result;
        }
        handle = m_nextHandle++;
        m_lines.emplace(handle, std::move(line));
        return BridgeResult::kSuccess;
    }
    uint32_t Close(DeviceHandle handle) override {
        return m_lines.erase(handle) == 1 ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
    }
    uint32_t Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) override {
        Line* line = Find(handle);
        return line ? line->Read(buffer, count, m_readTimeoutMs, bytesRead) : BridgeResult::kInvalidHandle;
    }
    uint32_t Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                   uint32_t& bytesWritten) override {
        Line* line = Find(handle);
        return line ? line->Write(buffer, count, m_writeTimeoutMs, bytesWritten)
                    : BridgeResult::kInvalidHandle;
    }
    uint32_t FlushBuffers(DeviceHandle handle, bool transmit, bool receive) override {
        Line* line = Find(handle);
        return line ? line->Flush(transmit, receive) : BridgeResult::kInvalidHandle;
    }
    uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) override {
        m_readTimeoutMs = readMs;
        m_writeTimeoutMs = writeMs;
        return BridgeResult::kSuccess;
    }
    uint32_t GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override {
        readMs = m_readTimeoutMs;
        writeMs = m_writeTimeoutMs;
        return BridgeResult::kSuccess;
    }
    uint32_t SetBaudRate(DeviceHandle handle, uint32_t baudRate) override {
        Line* line = Find(handle);
        return line ? line->SetBaudRate(baudRate) : BridgeResult::kInvalidHandle;
    }
    uint32_t SetLineControl(DeviceHandle handle, uint16_t word) override {
        Line* line = Find(handle);
        return line ? line->SetLineControl(word) : BridgeResult::kInvalidHandle;
    }
    uint32_t SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr,
                            uint8_t dcd, bool xonXoff) override {
        Line* line = Find(handle);
        return line ? line->SetFlowControl(cts, rts, dtr, dsr, dcd, xonXoff) : BridgeResult::kInvalidHandle;
    }
    uint32_t CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) override {
        Line* line = Find(handle);
        return line ? line->BytesWaiting(bytesWaiting) : BridgeResult::kInvalidHandle;
    }

protected:
    // One device as the system lists it: the name its line is opened by, and its product strings;
    // what the device lacks is empty.
    struct Device {
        std::string name;
        std::string serialNumber;
        std::string description;
        std::string vendorId;
        std::string productId;
    };

    // Filled by the platform's GetNumDevices, in the order of the devices' indexes.
    std::vector<Device> m_devices;

private:
    Line* Find(DeviceHandle handle) {
        const auto found = m_lines.find(handle);
        return found != m_lines.end() ? found->second.get() : nullptr;
    }

    // Handles count up from 1 and are never reused, so a stale handle cannot reach a later device.
    std::map<DeviceHandle, std::unique_ptr<Line>> m_lines;
    DeviceHandle m_nextHandle = 1;
    uint32_t m_readTimeoutMs = kDefaultTimeoutMs;
    uint32_t m_writeTimeoutMs = kDefaultTimeoutMs;
};
