#pragma once

#include <cstdint>
#include <memory>

#include "link/BridgeDriver.h"

struct UsbXpressExports;

// The bridge driver over the bridge maker's direct-access library, SiUSBXp.dll, loaded at run time
// where the owner has it installed: beside the program or in System32, never from the working folder
// or PATH, where anyone may have put a file of that name. Each operation is one call of the
// library's export of the same name; the library keeps the timeouts and the handles.
//
// The library may report the vendor and product IDs in uppercase: they are handed on as four
// lowercase hex digits, as the rest of the program compares them.
class UsbXpressBridgeDriver : public BridgeDriver {
public:
    static constexpr const wchar_t* kLibraryName = L"SiUSBXp.dll";

    // Loads the library and looks up every export by name. Null when the library is not there or
    // lacks an export; one trace line on standard output says which, and where it was looked for.
    static std::unique_ptr<UsbXpressBridgeDriver> Load(const wchar_t* fileName = kLibraryName);

    ~UsbXpressBridgeDriver() override;

    uint32_t GetNumDevices(uint32_t& count) override;
    uint32_t GetProductString(uint32_t index, char* buffer256, uint32_t selector) override;
    uint32_t Open(uint32_t index, DeviceHandle& handle) override;
    uint32_t Close(DeviceHandle handle) override;
    uint32_t Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) override;
    uint32_t Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                   uint32_t& bytesWritten) override;
    uint32_t FlushBuffers(DeviceHandle handle, bool transmit, bool receive) override;
    uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    uint32_t GetTimeouts(uint32_t& readMs, uint32_t& writeMs) override;
    uint32_t SetBaudRate(DeviceHandle handle, uint32_t baudRate) override;
    uint32_t SetLineControl(DeviceHandle handle, uint16_t word) override;
    uint32_t SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr,
                            uint8_t dcd, bool xonXoff) override;
    uint32_t CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) override;
    // Arrivals come to the window as WM_DEVICECHANGE messages.
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;

private:
    explicit UsbXpressBridgeDriver(std::unique_ptr<UsbXpressExports> exports);

    std::unique_ptr<UsbXpressExports> m_exports;
};
