#include "link/LinuxBridgeDriver.h"

#include <algorithm>

#include "link/UdevArrivalWatch.h"
#include "link/UdevPtr.h"

namespace {

std::string Attribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value != nullptr ? value : "";
}

// A bridge without a serial number is named by the USB port it is plugged into.
std::string SerialNumber(udev_device* usb) {
    const std::string serial = Attribute(usb, "serial");
    const char* path = udev_device_get_devpath(usb);
    return !serial.empty() || path == nullptr ? serial : path;
}

}  // namespace

uint32_t LinuxBridgeDriver::GetNumDevices(uint32_t& count) {
    m_devices.clear();
    const UdevPtr<udev> context(udev_new());
    if (!context) {
        return BridgeResult::kSystemError;
    }
    const UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context.get()));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        return BridgeResult::kSystemError;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumeration.get())) {
        const UdevPtr<udev_device> tty(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!tty) {
            continue;
        }
        const char* node = udev_device_get_devnode(tty.get());
        // The parent belongs to the tty device and is released with it.
        udev_device* usb = udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
        if (node == nullptr || usb == nullptr) {
            continue;
        }
        m_devices.push_back({node, SerialNumber(usb), Attribute(usb, "product"), Attribute(usb, "idVendor"),
                             Attribute(usb, "idProduct")});
    }
    std::sort(m_devices.begin(), m_devices.end(),
              [](const Device& left, const Device& right) { return left.name < right.name; });
    count = static_cast<uint32_t>(m_devices.size());
    return BridgeResult::kSuccess;
}

uint32_t LinuxBridgeDriver::WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
    return UdevArrivalWatch::Start(watch);
}
