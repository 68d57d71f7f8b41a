#pragma once

#include <cstdint>
#include <memory>

#include "link/ArrivalWatch.h"

// The operation table of the USB-to-UART bridge's driver. Every operation returns a result code,
// kSuccess meaning success; reads and writes are synchronous.
using DeviceHandle = std::intptr_t;
inline constexpr DeviceHandle kInvalidHandle = -1;

namespace BridgeResult {
inline constexpr uint32_t kSuccess = 0;
inline constexpr uint32_t kInvalidHandle = 1;
inline constexpr uint32_t kReadError = 2;
inline constexpr uint32_t kRxQueueNotReady = 3;
inline constexpr uint32_t kWriteError = 4;
inline constexpr uint32_t kInvalidParameter = 6;
inline constexpr uint32_t kDeviceIoFailed = 8;
inline constexpr uint32_t kInvalidBaudRate = 9;
inline constexpr uint32_t kSystemError = 12;
inline constexpr uint32_t kReadTimedOut = 13;
inline constexpr uint32_t kDeviceNotFound = 0xFF;
}  // namespace BridgeResult

// Selectors of GetProductString.
namespace ProductString {
// A string that names this one bridge among the bridges with the same IDs, and names it again after
// a replug: its USB serial number, or where it has none, the platform's path of the USB port it is
// plugged into (then it is known again only in the same socket). 0 is the number free before the
// description.
inline constexpr uint32_t kSerialNumber = 0;
inline constexpr uint32_t kDescription = 1;
inline constexpr uint32_t kVendorId = 3;
inline constexpr uint32_t kProductId = 4;
}  // namespace ProductString

// Size of the buffer that GetProductString fills: at most 255 characters and the terminator.
inline constexpr uint32_t kProductStringSize = 256;

class BridgeDriver {
public:
    BridgeDriver() = default;
    BridgeDriver(const BridgeDriver&) = delete;
    BridgeDriver& operator=(const BridgeDriver&) = delete;
    virtual ~BridgeDriver() = default;

    virtual uint32_t GetNumDevices(uint32_t& count) = 0;
    virtual uint32_t GetProductString(uint32_t index, char* buffer256, uint32_t selector) = 0;
    virtual uint32_t Open(uint32_t index, DeviceHandle& handle) = 0;
    virtual uint32_t Close(DeviceHandle handle) = 0;
    virtual uint32_t Read(DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead) = 0;
    virtual uint32_t Write(DeviceHandle handle, const uint8_t* buffer, uint32_t count,
                           uint32_t& bytesWritten) = 0;
    virtual uint32_t FlushBuffers(DeviceHandle handle, bool transmit, bool receive) = 0;
    // Timeouts belong to the driver, not to a device: they can be set while nothing is open.
    virtual uint32_t SetTimeouts(uint32_t readMs, uint32_t writeMs) = 0;
    virtual uint32_t GetTimeouts(uint32_t& readMs, uint32_t& writeMs) = 0;
    virtual uint32_t SetBaudRate(DeviceHandle handle, uint32_t baudRate) = 0;
    // word: bits 0-3 stop-bits code, 4-7 parity code, 8-15 data bits.
    virtual uint32_t SetLineControl(DeviceHandle handle, uint16_t word) = 0;
    virtual uint32_t SetFlowControl(DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr,
                                    uint8_t dcd, bool xonXoff) = 0;
    virtual uint32_t CheckRxQueue(DeviceHandle handle, uint32_t& bytesWaiting) = 0;
    // Told by a connect (an open by IDs without a serial number) that found no device with them. A
    // driver that can see why (a device with the IDs that the system gave no port) says so in a
    // trace line on standard output.
    virtual void ExplainNoDevice(const char* /*vendorId*/, const char* /*productId*/) {}
    // Starts watching for devices plugged in; on failure `watch` stays empty. A driver that cannot
    // watch says so, and its caller goes without.
    virtual uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) {
        watch.reset();
        return BridgeResult::kSystemError;
    }
};
