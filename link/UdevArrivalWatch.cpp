#include "link/UdevArrivalWatch.h"

#include <cstring>

#include "link/BridgeDriver.h"

namespace {

constexpr const char* kSubsystem = "tty";

bool IsAdded(udev_device* device) {
    const char* action = udev_device_get_action(device);
    return action != nullptr && std::strcmp(action, "add") == 0;
}

// The parent belongs to the device and is released with it.
bool HasUsbParent(udev_device* device) {
    return udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device") != nullptr;
}

}  // namespace

uint32_t UdevArrivalWatch::Start(std::unique_ptr<ArrivalWatch>& watch) {
    watch.reset();
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return BridgeResult::kSystemError;
    }
    // "udev", not "kernel": the report comes after the rules have given the node its permissions.
    UdevPtr<udev_monitor> monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), kSubsystem, nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0 || udev_monitor_get_fd(monitor.get()) < 0) {
        return BridgeResult::kSystemError;
    }
    watch.reset(new UdevArrivalWatch(std::move(context), std::move(monitor)));
    return BridgeResult::kSuccess;
}

UdevArrivalWatch::UdevArrivalWatch(UdevPtr<udev> context, UdevPtr<udev_monitor> monitor)
    : m_context(std::move(context)), m_monitor(std::move(monitor)) {}

int UdevArrivalWatch::Descriptor() const { return udev_monitor_get_fd(m_monitor.get()); }

bool UdevArrivalWatch::TakeArrival() {
    // The monitor's socket does not block: nothing waiting reads as no device.
    const UdevPtr<udev_device> device(udev_monitor_receive_device(m_monitor.get()));
    if (!device) {
        return false;
    }
    const char* subsystem = udev_device_get_subsystem(device.get());
    return IsAdded(device.get()) && subsystem != nullptr && std::strcmp(subsystem, kSubsystem) == 0 &&
           HasUsbParent(device.get());
}
