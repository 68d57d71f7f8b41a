#pragma once

#include <string>
#include <vector>

#include "sim/Bridge.h"

typedef struct _UMockdevTestbed UMockdevTestbed;

// The stopwatch's USB-to-UART bridge, emulated by umockdev: a USB device 5f3a:b7c4 with its interface
// and serial port, and below them a tty backed by a pseudo-terminal. Programs started with the
// umockdev preload and this process's UMOCKDEV_DIR see it in sysfs and udev and open it as
// /dev/ttyUSB<n>; the simulator writes the stopwatch's bytes into the pseudo-terminal's master.
class EmulatedBridge : public Bridge {
public:
    EmulatedBridge();
    ~EmulatedBridge() override;
    EmulatedBridge(const EmulatedBridge&) = delete;
    EmulatedBridge& operator=(const EmulatedBridge&) = delete;

    // Adds a bridge and announces it with "add" uevents, parent first. Each one gets a name of its
    // own (ttyUSB0, then ttyUSB1, ...): umockdev 0.17 aborts when a device node is added twice to one
    // testbed, and a real kernel also hands out a new name while the program still holds the old one.
    bool Plug(std::string& error) override;
    // Takes the bridge away as a USB disconnect does: "remove" uevents, the devices gone from sysfs
    // leaf first, then the line hangs up (reads return 0, poll reports POLLHUP).
    void Unplug() override;

private:
    UMockdevTestbed* m_testbed;
    int m_plugCount = 0;
    std::string m_usbDevice;  // sysfs paths of the bridge's devices, parent first
    std::string m_interface;
    std::string m_serialPort;
    std::string m_tty;
    std::vector<int> m_heldSlaves;  // ends of unplugged lines, kept so their numbers stay taken
};
