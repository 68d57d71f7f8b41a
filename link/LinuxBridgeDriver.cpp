#include "link/LinuxBridgeDriver.h"

#include <algorithm>
#include <cstdio>

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

// The package's udev rule, which binds the kernel's cp210x driver to the stopwatch's IDs.
constexpr char kBindingRule[] = "70-vkx260.rules";

// Lists the devices below parent that belong to subsystem; empty when libudev cannot.
UdevPtr<udev_enumerate> Scan(udev* context, const char* subsystem, udev_device* parent) {
    UdevPtr<udev_enumerate> enumeration(udev_enumerate_new(context));
    if (!enumeration || udev_enumerate_add_match_subsystem(enumeration.get(), subsystem) < 0 ||
        (parent != nullptr && udev_enumerate_add_match_parent(enumeration.get(), parent) < 0) ||
        udev_enumerate_scan_devices(enumeration.get()) < 0) {
        return nullptr;
    }
    return enumeration;
}

bool HasTty(udev* context, udev_device* usb) {
    const UdevPtr<udev_enumerate> ttys = Scan(context, "tty", usb);
    return ttys && udev_enumerate_get_list_entry(ttys.get()) != nullptr;
}

}  // namespace

uint32_t LinuxBridgeDriver::GetNumDevices(uint32_t& count) {
    m_devices.clear();
    const UdevPtr<udev> context(udev_new());
    if (!context) {
        return BridgeResult::kSystemError;
    }
    const UdevPtr<udev_enumerate> enumeration = Scan(context.get(), "tty", nullptr);
    if (!enumeration) {
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

void LinuxBridgeDriver::ExplainNoDevice(const char* vendorId, const char* productId) {
    const UdevPtr<udev> context(udev_new());
    if (!context) {
        return;
    }
    const UdevPtr<udev_enumerate> usbDevices = Scan(context.get(), "usb", nullptr);
    if (!usbDevices) {
        return;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(usbDevices.get())) {
        const char* path = udev_list_entry_get_name(entry);
        const UdevPtr<udev_device> usb(udev_device_new_from_syspath(context.get(), path));
        if (!usb || Attribute(usb.get(), "idVendor") != vendorId ||
            Attribute(usb.get(), "idProduct") != productId || HasTty(context.get(), usb.get())) {
            continue;
        }
        std::printf(
            "Kein serieller Treiber an USB-Gerät %s:%s gebunden (%s), daher keine tty: die udev-Regel %s "
            "fehlt oder wurde nicht angewandt\n",
            vendorId, productId, path, kBindingRule);
        std::fflush(stdout);
    }
}
