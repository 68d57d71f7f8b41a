#include "link/LinuxBridgeDriver.h"

#include <algorithm>
#include <cstring>

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
              [](const Device& left, const Device& right) { return left.node < right.node; });
    count = static_cast<uint32_t>(m_devices.size());
    return BridgeResult::kSuccess;
}

uint32_t LinuxBridgeDriver::GetProductString(uint32_t index, char* buffer256, uint32_t selector) {
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

uint32_t LinuxBridgeDriver::Open(uint32_t index, DeviceHandle& handle) {
    handle = kInvalidHandle;
    if (index >= m_devices.size()) {
        return BridgeResult::kDeviceNotFound;
    }
    std::unique_ptr<SerialLine> line;
    if (const uint32_t result = SerialLine::Open(m_devices[index].node, line);
        result != BridgeResult::kSuccess) {
        return result;
    }
    handle = m_nextHandle++;
    m_lines.emplace(handle, std::move(line));
    return BridgeResult::kSuccess;
}

uint32_t LinuxBridgeDriver::Close(DeviceHandle handle) {
    return m_lines.erase(handle) == 1 ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

uint32_t LinuxBridgeDriver::Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->Read(buffer, count, m_readTimeoutMs, bytesRead);
}

uint32_t LinuxBridgeDriver::Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                                  uint32_t& bytesWritten) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->Write(buffer, count, m_writeTimeoutMs, bytesWritten);
}

uint32_t LinuxBridgeDriver::FlushBuffers(DeviceHandle handle, bool transmit, bool receive) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->Flush(transmit, receive);
}

uint32_t LinuxBridgeDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return BridgeResult::kSuccess;
}

uint32_t LinuxBridgeDriver::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) {
    readMs = m_readTimeoutMs;
    writeMs = m_writeTimeoutMs;
    return BridgeResult::kSuccess;
}

uint32_t LinuxBridgeDriver::SetBaudRate(DeviceHandle handle, uint32_t baudRate) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->SetBaudRate(baudRate);
}

uint32_t LinuxBridgeDriver::SetLineControl(DeviceHandle handle, uint16_t word) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->SetLineControl(word);
}

uint32_t LinuxBridgeDriver::SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr,
                                           uint8_t dsr, uint8_t dcd, bool xonXoff) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->SetFlowControl(cts, rts, dtr, dsr, dcd, xonXoff);
}

uint32_t LinuxBridgeDriver::CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) {
    SerialLine* line = Find(handle);
    if (line == nullptr) {
        return BridgeResult::kInvalidHandle;
    }
    return line->BytesWaiting(bytesWaiting);
}

SerialLine* LinuxBridgeDriver::Find(DeviceHandle handle) {
    const auto found = m_lines.find(handle);
    return found != m_lines.end() ? found->second.get() : nullptr;
}

uint32_t LinuxBridgeDriver::WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
    return UdevArrivalWatch::Start(watch);
}
