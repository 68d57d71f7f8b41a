#include "link/WindowsBridgeDriver.h"

#include <windows.h>
// windows.h first: SetupAPI's header builds on its types.
#include <setupapi.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "link/Utf16.h"
#include "link/WindowsArrivalWatch.h"

namespace {

// The device setup class Ports (COM and LPT ports), {4d36e978-e325-11ce-bfc1-08002be10318}.
constexpr GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

constexpr std::size_t kIdDigits = 4;
constexpr unsigned kHighestPort = 255;

struct DeviceInfoListDeleter {
    void operator()(void* list) const { SetupDiDestroyDeviceInfoList(list); }
};
using DeviceInfoList = std::unique_ptr<void, DeviceInfoListDeleter>;

std::string Uppercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// A registry property of a device as text; for a multi-string (the hardware IDs, most specific first)
// its first string. Empty when the device has none.
std::string RegistryProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD size = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(list, &device, property, nullptr, nullptr, 0, &size) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    // One terminator more than the property brings, for a value stored without one.
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (!SetupDiGetDeviceRegistryPropertyW(list, &device, property, nullptr,
                                           reinterpret_cast<BYTE*>(value.data()), size, nullptr)) {
        return {};
    }
    return WideToUtf8(value.c_str());
}

std::string InstanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
    DWORD size = 0;
    if (!SetupDiGetDeviceInstanceIdW(list, &device, nullptr, 0, &size) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::wstring id(size + 1, L'\0');
    if (!SetupDiGetDeviceInstanceIdW(list, &device, id.data(), size + 1, nullptr)) {
        return {};
    }
    return WideToUtf8(id.c_str());
}

// The port's name ("COM7") from its device key, where the Ports class keeps it.
std::string PortName(HDEVINFO list, SP_DEVINFO_DATA& device) {
    const HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    wchar_t name[64] = {};
    DWORD type = 0;
    DWORD size = sizeof(name) - sizeof(wchar_t);
    const LSTATUS status =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return {};
    }
    return WideToUtf8(name);
}

// The number of a COM port's name ("COM7", also "COM007"), from 1 to 255 as Windows numbers COM
// ports; 0 for any other name (LPT1, COM0, COM256).
unsigned PortNumber(const std::string& portName) {
    const std::string name = Uppercase(portName);
    if (name.size() <= 3 || name.compare(0, 3, "COM") != 0) {
        return 0;
    }
    unsigned number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return 0;
        }
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
        if (number > kHighestPort) {
            return 0;
        }
    }
    return number;
}

// The four hex digits of the field that starts with key ("VID_", "PID_") in a hardware ID such as
// USB\VID_5F3A&PID_B7C4&REV_0100, lowercase as Linux's sysfs gives them. Fields are separated by '&'
// and '\'; the first field that starts with key decides, and anything more or less than four hex
// digits after key (a fifth digit, a letter) makes it another device's: empty then, as when absent.
std::string IdField(const std::string& hardwareId, std::string_view key) {
    const std::string id = Uppercase(hardwareId);
    for (std::size_t start = 0; start <= id.size();) {
        const std::size_t end = std::min(id.find_first_of("&\\", start), id.size());
        const std::string_view field(id.data() + start, end - start);
        if (field.starts_with(key)) {
            const std::string_view digits = field.substr(key.size());
            const bool exact =
                digits.size() == kIdDigits && std::all_of(digits.begin(), digits.end(), [](char c) {
                    return std::isxdigit(static_cast<unsigned char>(c));
                });
            return exact ? Lowercase(std::string(digits)) : std::string();
        }
        start = end + 1;
    }
    return {};
}

// The serial part of an instance ID (USB\VID_5F3A&PID_B7C4\0001 → 0001). Where the device has no
// serial number Windows makes that part up from the bus position (5&2a1b3c4d&0&2), which names the
// socket rather than the bridge: then the whole ID.
std::string SerialPart(const std::string& instanceId) {
    const std::size_t slash = instanceId.rfind('\\');
    const std::string last = slash == std::string::npos ? instanceId : instanceId.substr(slash + 1);
    return last.find('&') == std::string::npos ? last : instanceId;
}

}  // namespace

uint32_t WindowsBridgeDriver::GetNumDevices(uint32_t& count) {
    m_devices.clear();
    const HDEVINFO handle = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (handle == INVALID_HANDLE_VALUE) {
        return BridgeResult::kSystemError;
    }
    const DeviceInfoList list(handle);
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof(device);
        if (!SetupDiEnumDeviceInfo(list.get(), i, &device)) {
            if (GetLastError() == ERROR_NO_MORE_ITEMS) {
                break;
            }
            return BridgeResult::kSystemError;
        }
        const unsigned portNumber = PortNumber(PortName(list.get(), device));
        if (portNumber == 0) {
            continue;
        }
        // The port opens by its canonical name: \\.\COM007 names no device.
        std::string portName = "COM" + std::to_string(portNumber);
        const std::string hardwareId = RegistryProperty(list.get(), device, SPDRP_HARDWAREID);
        m_devices.push_back({std::move(portName), SerialPart(InstanceId(list.get(), device)),
                             RegistryProperty(list.get(), device, SPDRP_DEVICEDESC),
                             IdField(hardwareId, "VID_"), IdField(hardwareId, "PID_")});
    }
    std::sort(m_devices.begin(), m_devices.end(), [](const Device& left, const Device& right) {
        return PortNumber(left.name) < PortNumber(right.name);
    });
    count = static_cast<uint32_t>(m_devices.size());
    return BridgeResult::kSuccess;
}

uint32_t WindowsBridgeDriver::WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
    watch = std::make_unique<WindowsArrivalWatch>();
    return BridgeResult::kSuccess;
}
