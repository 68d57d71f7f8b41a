#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/BridgeDriver.h"
#include "link/SerialLine.h"

// The bridge driver on Linux. The devices are the tty devices that libudev lists with a USB device
// as parent, in the order of their device node names; libudev reads sysfs itself, so no udev daemon
// is needed. GetNumDevices takes the list afresh; the other operations address its devices by index.
class LinuxBridgeDriver : public BridgeDriver {
public:
    static constexpr uint32_t kDefaultTimeoutMs = 500;

    LinuxBridgeDriver() = default;
    // Lines still open close with the driver.
    ~LinuxBridgeDriver() override = default;

    uint32_t GetNumDevices(uint32_t& count) override;
    // Selector 0 is the USB serial attribute, or for a bridge without one the USB device's sysfs path
    // (below /sys, as /devices/.../usb1/1-2): the physical port, which a replug into the same
    // socket keeps while the tty's name may change. Selector 1 is the USB product string, 3 and 4
    // the idVendor and idProduct attributes as sysfs gives them. An attribute that the device lacks
    // reads as an empty string.
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
    // udev's announcements of tty devices.
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;

private:
    struct Device {
        std::string node;
        std::string serialNumber;
        std::string description;
        std::string vendorId;
        std::string productId;
    };

    SerialLine* Find(DeviceHandle handle);

    std::vector<Device> m_devices;
    // Handles count up from 1 and are never reused, so a stale handle cannot reach a later device.
    std::map<DeviceHandle, std::unique_ptr<SerialLine>> m_lines;
    DeviceHandle m_nextHandle = 1;
    uint32_t m_readTimeoutMs = kDefaultTimeoutMs;
    uint32_t m_writeTimeoutMs = kDefaultTimeoutMs;
};
