#pragma once

#include <cstdint>
#include <memory>

#include "link/SerialLineDriver.h"
#include "link/WindowsSerialLine.h"

// The bridge driver on Windows. The devices are the COM ports that SetupAPI lists in the Ports class,
// in the order of their port numbers; a bridge's VCP driver gives it one. GetNumDevices takes the list
// afresh; the other operations address its devices by index.
class WindowsBridgeDriver : public SerialLineDriver<WindowsSerialLine> {
public:
    WindowsBridgeDriver() = default;
    // Ports still open close with the driver.
    ~WindowsBridgeDriver() override = default;

    // Lists the devices. Their selector 0 is the serial part of the device instance ID (the whole ID
    // where Windows made that part up), 1 the device description, 3 and 4 the vendor and product ID
    // of the hardware ID as four lowercase hex digits. What the device lacks reads as an empty string.
    uint32_t GetNumDevices(uint32_t& count) override;
    // Arrivals come to the window as WM_DEVICECHANGE messages.
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;
};
