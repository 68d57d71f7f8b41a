#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/BridgeDriver.h"
#include "link/WindowsSerialLine.h"

// The bridge driver on Windows. The devices are the COM ports that SetupAPI lists in the Ports class,
// in the order of their port numbers; a bridge's VCP driver gives it one. GetNumDevices takes the list
// afresh; the other operations address its devices by index.
class WindowsBridgeDriver : public BridgeDriver {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 500;

    WindowsBridgeDriver() = default;
    // Ports still open close with the driver.
    ~WindowsBridgeDriver() override = default;

    uint32_t GetNumDevices(uint32_t& count) override;
    // Selector 0 is the serial part of the device instance ID (the whole ID where Windows made that
    // part up), 1 the device description, 3 and 4 the vendor and product ID of the hardware ID as four
    // lowercase hex digits. What the device lacks reads as an empty string.
    uint32_t GetProductString(uint32_t index, char* buffer256, uint32_t selector) override;
    uint32_t Open(uint32_t index, DeviceHandle& handle) override;
    uint32_t Close(DeviceHandle handle) override;
    uint32_t Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) override;
    uint32_t Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                   uint32_t& bytesWritten) override;
    uint32_t FlushBuffers(DeviceHandle handle, bool transmit, bool receive) override;
    uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    uint32_t GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    uint32_t SetBaudRate(DeviceHandle handle, uint32_t baudRate) override;
    uint32_t SetLineControl(DeviceHandle handle, uint16_t word) override;
    uint32_t SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr,
                            uint8_t dcd, bool xonXoff) override;
    uint32_t CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) override;
    // Arrivals come to the window as WM_DEVICECHANGE messages.
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;

private:
    struct Device {
        std::string portName;
        unsigned portNumber;
        std::string serialNumber;
        std::string description;
        std::string vendorId;
        std::string productId;
    };

    WindowsSerialLine* Find(DeviceHandle handle);

    std::vector<Device> m_devices;
    // Handles count up from 1 and are never reused, so a stale handle cannot reach a later device.
    std::map<DeviceHandle, std::unique_ptr<WindowsSerialLine>> m_lines;
    DeviceHandle m_nextHandle = 1;
    uint32_t m_readTimeoutMs = kDefaultTimeoutMs;
    uint32_t m_writeTimeoutMs = kDefaultTimeoutMs;
};
