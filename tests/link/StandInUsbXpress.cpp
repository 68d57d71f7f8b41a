// A stand-in for the bridge maker's SiUSBXp.dll, built as a DLL of that name, so that the Windows
// edition's library driver can be run under Wine. Its exports have the library's names and calling
// convention; what it lists and does is read from the environment at each call:
//   VKX_STANDIN_DEVICES  the devices, "VID:PID:SERIAL" separated by spaces, the IDs as the library
//                        reports them (in uppercase, say); unset or empty: "device not found", count 0
//   VKX_STANDIN_FAIL     the name of one export that fails, as for an unplugged bridge
//   VKX_STANDIN_PORT     a COM port ("COM5") whose bytes every open device relays; while the port is
//                        gone, the devices stay listed and their open fails, as for a bridge pulled
//                        out; without it a device is silent and takes whatever is written
//   VKX_STANDIN_LOG      a file to which each open, its settings and each close are appended
// Built with VKX_STANDIN_WITHOUT_QUEUE_CHECK, it lacks SI_CheckRXQueue.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "link/BridgeDriver.h"
#include "link/WindowsSerialLine.h"

namespace {

constexpr int kDeviceIoFailed = 8;
constexpr const char* kDescription = "DIZ Uravaved VKX260";

struct Device {
    std::string vendorId;
    std::string productId;
    std::string serialNumber;
};

std::string Environment(const char* name) {
    char value[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

bool Fails(const char* exportName) { return Environment("VKX_STANDIN_FAIL") == exportName; }

std::vector<Device> Devices() {
    std::vector<Device> devices;
    std::istringstream entries(Environment("VKX_STANDIN_DEVICES"));
    std::string entry;
    while (entries >> entry) {
        const std::size_t first = entry.find(':');
        const std::size_t second = entry.find(':', first + 1);
        if (first != std::string::npos && second != std::string::npos) {
            devices.push_back({entry.substr(0, first), entry.substr(first + 1, second - first - 1),
                               entry.substr(second + 1)});
        }
    }
    return devices;
}

void Log(const char* format, unsigned a = 0, unsigned b = 0, unsigned c = 0, unsigned d = 0, unsigned e = 0,
         unsigned f = 0) {
    const std::string path = Environment("VKX_STANDIN_LOG");
    if (path.empty()) {
        return;
    }
    if (FILE* file = std::fopen(path.c_str(), "ab")) {
        std::fprintf(file, format, a, b, c, d, e, f);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

// An open device: the relayed port's line, or none for a silent device.
std::map<HANDLE, std::unique_ptr<WindowsSerialLine>> opened;
uintptr_t nextHandle = 0x100;
DWORD readTimeoutMs = 500;
DWORD writeTimeoutMs = 500;

WindowsSerialLine* Line(HANDLE handle, bool& known) {
    const auto found = opened.find(handle);
    known = found != opened.end();
    return known ? found->second.get() : nullptr;
}

}  // namespace

#define STANDIN_EXPORT extern "C" __declspec(dllexport) int WINAPI

STANDIN_EXPORT SI_GetNumDevices(DWORD* count) {
    if (Fails("SI_GetNumDevices")) {
        return kDeviceIoFailed;
    }
    *count = static_cast<DWORD>(Devices().size());
    return *count == 0 ? BridgeResult::kDeviceNotFound : BridgeResult::kSuccess;
}

STANDIN_EXPORT SI_GetProductString(DWORD index, void* buffer, DWORD selector) {
    const std::vector<Device> devices = Devices();
    if (Fails("SI_GetProductString") || index >= devices.size()) {
        return index >= devices.size() ? BridgeResult::kDeviceNotFound : kDeviceIoFailed;
    }
    const Device& device = devices[index];
    const std::string* texts[] = {&device.serialNumber, nullptr, nullptr, &device.vendorId,
                                  &device.productId};
    const std::string description = kDescription;
    texts[1] = &description;
    if (selector >= 5 || texts[selector] == nullptr) {
        return BridgeResult::kInvalidParameter;
    }
    std::strncpy(static_cast<char*>(buffer), texts[selector]->c_str(), kProductStringSize - 1);
    static_cast<char*>(buffer)[kProductStringSize - 1] = '\0';
    return BridgeResult::kSuccess;
}

STANDIN_EXPORT SI_Open(DWORD index, HANDLE* handle) {
    if (Fails("SI_Open") || index >= Devices().size()) {
        return BridgeResult::kDeviceNotFound;
    }
    std::unique_ptr<WindowsSerialLine> line;
    if (const std::string port = Environment("VKX_STANDIN_PORT"); !port.empty()) {
        if (const uint32_t result = WindowsSerialLine::Open(port, line); result != BridgeResult::kSuccess) {
            return static_cast<int>(result);
        }
    }
    *handle = reinterpret_cast<HANDLE>(nextHandle++);
    opened[*handle] = std::move(line);
    Log("open %u", index);
    return BridgeResult::kSuccess;
}

STANDIN_EXPORT SI_Close(HANDLE handle) {
    Log("close");
    return opened.erase(handle) == 1 ? BridgeResult::kSuccess : BridgeResult::kInvalidHandle;
}

STANDIN_EXPORT SI_Read(HANDLE handle, void* buffer, DWORD count, DWORD* bytesRead, OVERLAPPED*) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    *bytesRead = 0;
    if (!known || Fails("SI_Read")) {
        return known ? kDeviceIoFailed : BridgeResult::kInvalidHandle;
    }
    uint32_t read = 0;
    const uint32_t result = line ? line->Read(static_cast<uint8_t*>(buffer), count, readTimeoutMs, read)
                                 : BridgeResult::kReadTimedOut;
    *bytesRead = read;
    return static_cast<int>(result);
}

STANDIN_EXPORT SI_Write(HANDLE handle, void* buffer, DWORD count, DWORD* bytesWritten, OVERLAPPED*) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    if (!known) {
        return BridgeResult::kInvalidHandle;
    }
    uint32_t written = count;
    const uint32_t result =
        line ? line->Write(static_cast<const uint8_t*>(buffer), count, writeTimeoutMs, written)
             : BridgeResult::kSuccess;
    *bytesWritten = written;
    return static_cast<int>(result);
}

STANDIN_EXPORT SI_FlushBuffers(HANDLE handle, BYTE transmit, BYTE receive) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    if (!known) {
        return BridgeResult::kInvalidHandle;
    }
    return static_cast<int>(line ? line->Flush(transmit != 0, receive != 0) : BridgeResult::kSuccess);
}

#ifndef VKX_STANDIN_WITHOUT_QUEUE_CHECK
STANDIN_EXPORT SI_CheckRXQueue(HANDLE handle, DWORD* bytesInQueue, DWORD* queueStatus) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    if (!known || Fails("SI_CheckRXQueue")) {
        return known ? kDeviceIoFailed : BridgeResult::kInvalidHandle;
    }
    uint32_t waiting = 0;
    const uint32_t result = line ? line->BytesWaiting(waiting) : BridgeResult::kSuccess;
    *bytesInQueue = waiting;
    *queueStatus = waiting > 0 ? 2 : 0;
    return static_cast<int>(result);
}
#endif

STANDIN_EXPORT SI_SetTimeouts(DWORD readMs, DWORD writeMs) {
    readTimeoutMs = readMs;
    writeTimeoutMs = writeMs;
    return BridgeResult::kSuccess;
}

STANDIN_EXPORT SI_GetTimeouts(DWORD* readMs, DWORD* writeMs) {
    *readMs = readTimeoutMs;
    *writeMs = writeTimeoutMs;
    return BridgeResult::kSuccess;
}

STANDIN_EXPORT SI_SetBaudRate(HANDLE handle, DWORD baudRate) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    Log("baud %u", baudRate);
    if (!known) {
        return BridgeResult::kInvalidHandle;
    }
    return static_cast<int>(line ? line->SetBaudRate(baudRate) : BridgeResult::kSuccess);
}

STANDIN_EXPORT SI_SetLineControl(HANDLE handle, WORD word) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    Log("line 0x%04x", word);
    if (!known) {
        return BridgeResult::kInvalidHandle;
    }
    return static_cast<int>(line ? line->SetLineControl(word) : BridgeResult::kSuccess);
}

STANDIN_EXPORT SI_SetFlowControl(HANDLE handle, BYTE cts, BYTE rts, BYTE dtr, BYTE dsr, BYTE dcd,
                                 BOOL xonXoff) {
    bool known = false;
    WindowsSerialLine* line = Line(handle, known);
    Log("flow %u %u %u %u %u %u", cts, rts, dtr, dsr, dcd, static_cast<unsigned>(xonXoff));
    if (!known) {
        return BridgeResult::kInvalidHandle;
    }
    return static_cast<int>(line ? line->SetFlowControl(cts, rts, dtr, dsr, dcd, xonXoff != 0)
                                 : BridgeResult::kSuccess);
}
