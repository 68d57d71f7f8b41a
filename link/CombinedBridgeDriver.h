#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "link/BridgeDriver.h"

// Several bridge drivers as one: their devices in one list, each part's after the part before it.
// Indexes and handles are routed to the part that the device belongs to. A part that fails to list
// its devices lists none, and the others are still listed: only when every part fails does the count
// fail. The timeouts are set in every part and read from the first.
class CombinedBridgeDriver : public BridgeDriver {
public:
    // The parts in the order in which their devices are listed; none may be null.
    explicit CombinedBridgeDriver(std::vector<std::unique_ptr<BridgeDriver>> parts);

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
    // The first part's watch that starts.
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;

private:
    struct Opened {
        BridgeDriver* part;
        DeviceHandle handle;  // the part's own
    };

    // The part that lists the device at index, and its index there; null past the end.
    BridgeDriver* PartOf(uint32_t index, uint32_t& partIndex) const;
    const Opened* Find(DeviceHandle handle) const;

    std::vector<std::unique_ptr<BridgeDriver>> m_parts;
    std::vector<uint32_t> m_counts;  // per part, as the last GetNumDevices found them
    // Handles count up from 1 and are never reused, so a stale handle cannot reach a later device.
    std::map<DeviceHandle, Opened> m_opened;
    DeviceHandle m_nextHandle = 1;
};
