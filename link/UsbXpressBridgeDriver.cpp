#include "link/UsbXpressBridgeDriver.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "link/Utf16.h"
#include "link/WindowsArrivalWatch.h"

// The library's exports as its programmer's guide gives them: every one returns a status, 0 meaning
// success, and uses the WINAPI calling convention. Reads and writes take an optional OVERLAPPED,
// which stays null: they are synchronous.
struct UsbXpressExports {
    using Status = int;
    Status(WINAPI* getNumDevices)(DWORD* count) = nullptr;
    Status(WINAPI* getProductString)(DWORD index, void* buffer, DWORD selector) = nullptr;
    Status(WINAPI* open)(DWORD index, HANDLE* handle) = nullptr;
    Status(WINAPI* close)(HANDLE handle) = nullptr;
    Status(WINAPI* read)(HANDLE handle, void* buffer, DWORD count, DWORD* bytesRead,
                         OVERLAPPED* overlapped) = nullptr;
    Status(WINAPI* write)(HANDLE handle, void* buffer, DWORD count, DWORD* bytesWritten,
                          OVERLAPPED* overlapped) = nullptr;
    Status(WINAPI* flushBuffers)(HANDLE handle, BYTE transmit, BYTE receive) = nullptr;
    Status(WINAPI* checkRxQueue)(HANDLE handle, DWORD* bytesInQueue, DWORD* queueStatus) = nullptr;
    Status(WINAPI* setTimeouts)(DWORD readMs, DWORD writeMs) = nullptr;
    Status(WINAPI* getTimeouts)(DWORD* readMs, DWORD* writeMs) = nullptr;
    Status(WINAPI* setBaudRate)(HANDLE handle, DWORD baudRate) = nullptr;
    Status(WINAPI* setLineControl)(HANDLE handle, WORD word) = nullptr;
    Status(WINAPI* setFlowControl)(HANDLE handle, BYTE cts, BYTE rts, BYTE dtr, BYTE dsr, BYTE dcd,
                                   BOOL xonXoff) = nullptr;

    ~UsbXpressExports() {
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }

    HMODULE module = nullptr;
};

namespace {

// Only beside the program or in System32: a copy in the working folder or on PATH is never loaded.
constexpr DWORD kSearchFolders = LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;

void Trace(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? WideToUtf8(std::wstring_view(path, length)) : std::string();
}

// The two folders that the library is looked for in, for the trace.
std::string SearchedFolders() {
    std::string program = ModulePath(nullptr);
    program.erase(program.find_last_of('\\') + 1);
    wchar_t system[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return program + " und " +
           (length > 0 && length < MAX_PATH ? WideToUtf8(system) : std::string("System32"));
}

// Looks up one export by name; false when the library lacks it.
template <typename Function>
bool Find(HMODULE module, const char* name, Function& function, std::string& missing) {
    const FARPROC address = GetProcAddress(module, name);
    if (address == nullptr) {
        missing = name;
        return false;
    }
    // Through the generic function type, as GetProcAddress's result is meant to be converted.
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
    return true;
}

HANDLE ToHandle(DeviceHandle handle) { return reinterpret_cast<HANDLE>(handle); }

uint32_t Result(UsbXpressExports::Status status) { return static_cast<uint32_t>(status); }

void Lowercase(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') {
            *text = static_cast<char>(*text - 'A' + 'a');
        }
    }
}

}  // namespace

std::unique_ptr<UsbXpressBridgeDriver> UsbXpressBridgeDriver::Load(const wchar_t* fileName) {
    const std::string name = WideToUtf8(fileName);
    auto exports = std::make_unique<UsbXpressExports>();
    exports->module = LoadLibraryExW(fileName, nullptr, kSearchFolders);
    if (exports->module == nullptr) {
        const DWORD error = GetLastError();
        Trace(name + " nicht geladen (Fehler " + std::to_string(error) + "), gesucht in " +
              SearchedFolders());
        return nullptr;
    }
    const std::string path = ModulePath(exports->module);
    const HMODULE module = exports->module;
    UsbXpressExports& e = *exports;
    std::string missing;
    if (!(Find(module, "SI_GetNumDevices", e.getNumDevices, missing) &&
          Find(module, "SI_GetProductString", e.getProductString, missing) &&
          Find(module, "SI_Open", e.open, missing) && Find(module, "SI_Close", e.close, missing) &&
          Find(module, "SI_Read", e.read, missing) && Find(module, "SI_Write", e.write, missing) &&
          Find(module, "SI_FlushBuffers", e.flushBuffers, missing) &&
          Find(module, "SI_CheckRXQueue", e.checkRxQueue, missing) &&
          Find(module, "SI_SetTimeouts", e.setTimeouts, missing) &&
          Find(module, "SI_GetTimeouts", e.getTimeouts, missing) &&
          Find(module, "SI_SetBaudRate", e.setBaudRate, missing) &&
          Find(module, "SI_SetLineControl", e.setLineControl, missing) &&
          Find(module, "SI_SetFlowControl", e.setFlowControl, missing))) {
        Trace(name + " aus " + path + " nicht benutzt: " + missing + " fehlt");
        return nullptr;
    }
    Trace(name + " geladen aus " + path);
    return std::unique_ptr<UsbXpressBridgeDriver>(new UsbXpressBridgeDriver(std::move(exports)));
}

UsbXpressBridgeDriver::UsbXpressBridgeDriver(std::unique_ptr<UsbXpressExports> exports)
    : m_exports(std::move(exports)) {}

UsbXpressBridgeDriver::~UsbXpressBridgeDriver() = default;

uint32_t UsbXpressBridgeDriver::GetNumDevices(uint32_t& count) {
    DWORD devices = 0;
    // Also on failure: with nothing plugged in, the library answers "device not found" and 0.
    const uint32_t result = Result(m_exports->getNumDevices(&devices));
    count = devices;
    return result;
}

uint32_t UsbXpressBridgeDriver::GetProductString(uint32_t index, char* buffer256, uint32_t selector) {
    if (buffer256 == nullptr) {
        return BridgeResult::kInvalidParameter;
    }
    const uint32_t result = Result(m_exports->getProductString(index, buffer256, selector));
    buffer256[kProductStringSize - 1] = '\0';
    if (result == BridgeResult::kSuccess &&
        (selector == ProductString::kVendorId || selector == ProductString::kProductId)) {
        Lowercase(buffer256);
    }
    return result;
}

uint32_t UsbXpressBridgeDriver::Open(uint32_t index, DeviceHandle& handle) {
    HANDLE opened = INVALID_HANDLE_VALUE;
    const uint32_t result = Result(m_exports->open(index, &opened));
    handle = result == BridgeResult::kSuccess ? reinterpret_cast<DeviceHandle>(opened) : kInvalidHandle;
    return result;
}

uint32_t UsbXpressBridgeDriver::Close(DeviceHandle handle) {
    return Result(m_exports->close(ToHandle(handle)));
}

uint32_t UsbXpressBridgeDriver::Read(DeviceHandle handle, uint8_t* buffer, uint32_t count,
                                     uint32_t& bytesRead) {
    DWORD read = 0;
    const uint32_t result = Result(m_exports->read(ToHandle(handle), buffer, count, &read, nullptr));
    bytesRead = read;
    return result;
}

uint32_t UsbXpressBridgeDriver::Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                                      uint32_t& bytesWritten) {
    DWORD written = 0;
    // The library's declaration takes the buffer as non-const; it only reads it.
    const uint32_t result =
        Result(m_exports->write(ToHandle(handle), const_cast<uint8_t*>(buffer), count, &written, nullptr));
    bytesWritten = written;
    return result;
}

uint32_t UsbXpressBridgeDriver::FlushBuffers(DeviceHandle handle, bool transmit, bool receive) {
    return Result(m_exports->flushBuffers(ToHandle(handle), transmit ? 1 : 0, receive ? 1 : 0));
}

uint32_t UsbXpressBridgeDriver::SetTimeouts(uint32_t readMs, uint32_t writeMs) {
    return Result(m_exports->setTimeouts(readMs, writeMs));
}

uint32_t UsbXpressBridgeDriver::GetTimeouts(uint32_t& readMs, uint32_t& writeMs) {
    DWORD read = 0;
    DWORD write = 0;
    const uint32_t result = Result(m_exports->getTimeouts(&read, &write));
    if (result == BridgeResult::kSuccess) {
        readMs = read;
        writeMs = write;
    }
    return result;
}

uint32_t UsbXpressBridgeDriver::SetBaudRate(DeviceHandle handle, uint32_t baudRate) {
    return Result(m_exports->setBaudRate(ToHandle(handle), baudRate));
}

uint32_t UsbXpressBridgeDriver::SetLineControl(DeviceHandle handle, uint16_t word) {
    return Result(m_exports->setLineControl(ToHandle(handle), word));
}

uint32_t UsbXpressBridgeDriver::SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr,
                                               uint8_t dsr, uint8_t dcd, bool xonXoff) {
    return Result(
        m_exports->setFlowControl(ToHandle(handle), cts, rts, dtr, dsr, dcd, xonXoff ? TRUE : FALSE));
}

uint32_t UsbXpressBridgeDriver::CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) {
    DWORD inQueue = 0;
    DWORD queueStatus = 0;
    const uint32_t result = Result(m_exports->checkRxQueue(ToHandle(handle), &inQueue, &queueStatus));
    if (result == BridgeResult::kSuccess) {
        bytesWaiting = inQueue;
    }
    return result;
}

uint32_t UsbXpressBridgeDriver::WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
    watch = std::make_unique<WindowsArrivalWatch>();
    return BridgeResult::kSuccess;
}
