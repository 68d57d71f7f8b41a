#include "sim/EmulatedBridge.h"

#include <fcntl.h>
#include <umockdev.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {
constexpr const char* kUsbDevice = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr const char* kProduct = "DIZ Uravaved VKX260";
constexpr const char* kManufacturer = "DIZ Uravaved";
}  // namespace

EmulatedBridge::EmulatedBridge() : m_testbed(umockdev_testbed_new()) {}

EmulatedBridge::~EmulatedBridge() {
    if (IsPlugged()) {
        Unplug();
    }
    g_object_unref(m_testbed);
    for (int slave : m_heldSlaves) {
        close(slave);
    }
}

bool EmulatedBridge::Plug(std::string& error) {
    if (IsPlugged()) {
        error = m_name + " is still plugged in";
        return false;
    }
    const int index = m_plugCount;
    const std::string name = "ttyUSB" + std::to_string(index);
    // A device plugged in again gets the next address on its bus.
    const int address = 2 + index;
    char busAddress[16];
    std::snprintf(busAddress, sizeof busAddress, "%03d", address);
    const std::string usbDevice = kUsbDevice;
    const std::string interface = usbDevice + "/1-1:1.0";
    const std::string serialPort = interface + "/" + name;
    const std::string tty = serialPort + "/tty/" + name;

    // Devices in umockdev's record format, parent first; the N: line gives the tty its pseudo-terminal.
    std::ostringstream record;
    record << "P: " << usbDevice << "\n"
           << "E: SUBSYSTEM=usb\n"
           << "E: DEVTYPE=usb_device\n"
           << "E: DEVNAME=/dev/bus/usb/001/" << busAddress << "\n"
           << "E: PRODUCT=5f3a/b7c4/100\n"
           << "E: BUSNUM=001\n"
           << "E: DEVNUM=" << busAddress << "\n"
           << "A: idVendor=5f3a\n"
           << "A: idProduct=b7c4\n"
           << "A: bcdDevice=0100\n"
           << "A: manufacturer=" << kManufacturer << "\n"
           << "A: product=" << kProduct << "\n"
           << "A: serial=0001\n"
           << "A: busnum=1\n"
           << "A: devnum=" << address << "\n"
           << "A: dev=189:" << address - 1 << "\n"
           << "\n"
           << "P: " << interface << "\n"
           << "E: SUBSYSTEM=usb\n"
           << "E: DEVTYPE=usb_interface\n"
           << "E: INTERFACE=255/0/0\n"
           << "A: bInterfaceNumber=00\n"
           << "A: bInterfaceClass=ff\n"
           << "\n"
           << "P: " << serialPort << "\n"
           << "E: SUBSYSTEM=usb-serial\n"
           << "\n"
           << "P: " << tty << "\n"
           << "N: " << name << "\n"
           << "E: SUBSYSTEM=tty\n"
           << "E: DEVNAME=/dev/" << name << "\n"
           << "E: MAJOR=188\n"
           << "E: MINOR=" << index << "\n"
           << "A: dev=188:" << index << "\n";

    GError* gerror = nullptr;
    if (!umockdev_testbed_add_from_string(m_testbed, record.str().c_str(), &gerror)) {
        error =
            std::string("cannot add the emulated bridge: ") + (gerror ? gerror->message : "unknown error");
        g_clear_error(&gerror);
        return false;
    }
    ++m_plugCount;
    const int master = umockdev_testbed_get_dev_fd(m_testbed, ("/dev/" + name).c_str());
    if (master < 0) {
        error = "umockdev gave " + name + " no pseudo-terminal";
        return false;
    }
    // The program under test must not inherit the master: a copy held there would keep the line from
    // hanging up at unplug.
    const int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) < 0 ||
        fcntl(master, F_SETFD, FD_CLOEXEC) < 0) {
        error = std::string("cannot set up the pseudo-terminal of ") + name + ": " + std::strerror(errno);
        return false;
    }
    m_master = master;
    m_name = name;
    m_usbDevice = "/sys" + usbDevice;
    m_interface = "/sys" + interface;
    m_serialPort = "/sys" + serialPort;
    m_tty = "/sys" + tty;
    // Announced parent first, once the whole bridge is in place, as udev announces a real one.
    for (const std::string* device : {&m_usbDevice, &m_interface, &m_serialPort, &m_tty}) {
        umockdev_testbed_uevent(m_testbed, device->c_str(), "add");
    }
    return true;
}

void EmulatedBridge::Unplug() {
    if (!IsPlugged()) {
        return;
    }
    const std::string leafFirst[] = {m_tty, m_serialPort, m_interface, m_usbDevice};
    for (const std::string& device : leafFirst) {
        umockdev_testbed_uevent(m_testbed, device.c_str(), "remove");
    }
    for (const std::string& device : leafFirst) {
        umockdev_testbed_remove_device(m_testbed, device.c_str());
    }
    // umockdev maps each pseudo-terminal number to its device and aborts when a later bridge gets a
    // number that an unplugged one had; holding the old slave end open keeps its number taken. The
    // hang-up below reaches the program all the same.
    const char* slaveName = ptsname(m_master);
    const int slave = slaveName != nullptr ? open(slaveName, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC) : -1;
    if (slave >= 0) {
        m_heldSlaves.push_back(slave);
    }
    // The testbed keeps the master's descriptor number and closes it when it goes; /dev/null takes
    // that number over, so the master itself is closed now (the hang-up) and the testbed's later close
    // meets nothing of ours.
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const bool replaced = null >= 0 && dup2(null, m_master) == m_master;
    if (null >= 0) {
        close(null);
    }
    if (!replaced) {
        close(m_master);
    }
    m_master = -1;
    m_name.clear();
}
