#pragma once

#include <cstdint>
#include <memory>

#include "link/SerialLine.h"
#include "link/SerialLineDriver.h"

// The bridge driver on Linux. The devices are the tty devices that libudev lists with a USB device
// as parent, in the order of their device node names; libudev reads sysfs itself, so no udev daemon
// is needed. GetNumDevices takes the list afresh; the other operations address its devices by index.
class LinuxBridgeDriver : public SerialLineDriver<SerialLine> {
public:
    LinuxBridgeDriver() = default;
    // Lines still open close with the driver.
    ~LinuxBridgeDriver() override = default;

    // Lists the devices. Their selector 0 is the USB serial attribute, or for a bridge without one the
    // USB device's sysfs path (below /sys, as /devices/.../usb1/1-2): the physical port, which a
    // replug into the same socket keeps while the tty's name may change. Selector 1 is the USB
    // product string, 3 and 4 the idVendor and idProduct attributes as sysfs gives them. An attribute
    // that the device lacks reads as an empty string.
    uint32_t GetNumDevices(uint32_t& count) override;
    // Traces each USB device with the IDs that has no tty: no serial driver is bound to it.
    void ExplainNoDevice(const char* vendorId, const char* productId) override;
    // udev's announcements of tty devices.
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;
};
