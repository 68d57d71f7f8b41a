#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "link/BridgeDriver.h"

// A bridge driver with devices in memory: bytes handed to Deliver wait in the receive queue until
// read, reads never wait, and Unplug makes the open device fail as a vanished USB device does.
class FakeBridgeDriver : public BridgeDriver {
public:
    struct Device {
        std::string vendorId;
        std::string productId;
        std::string description;
        std::string serialNumber = {};
    };

    // One attached stopwatch, as the window looks for it.
    FakeBridgeDriver();

    std::vector<Device> devices;
    bool refuseOpen = false;
    // While above 0, the line talks on after the queue: each byte read beyond it is noise (0x55) and
    // counts this down.
    long noiseBytes = 0;

    // Back to one attached, closed stopwatch with nothing waiting: plugged in afresh.
    void Reset();
    void Deliver(const std::vector<uint8_t>& bytes);
    void Unplug();
    bool IsDeviceOpen() const { return m_open; }
    // Tells the watch that WatchArrivals handed out that a device arrived; false when none is held.
    bool RaiseArrival();
    bool IsWatching() const { return m_watch != nullptr; }

    int readCalls = 0;
    int flushCalls = 0;
    int openCalls = 0;
    int listCalls = 0;
    // The index of the device last opened, -1 before any.
    int openedIndex = -1;

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
    uint32_t WatchArrivals(std::unique_ptr<ArrivalWatch>& watch) override;

private:
    class Watch;

    static constexpr DeviceHandle kHandle = 7;
    bool Usable(DeviceHandle handle) const { return m_open && handle == kHandle && !m_unplugged; }

    std::deque<uint8_t> m_queue;
    bool m_open = false;
    bool m_unplugged = false;
    uint32_t m_readTimeout = 0;
    uint32_t m_writeTimeout = 0;
    Watch* m_watch = nullptr;
};
