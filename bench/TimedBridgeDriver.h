#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

#include "link/BridgeDriver.h"

// A bridge driver with one attached stopwatch whose bytes arrive at set times, one every 86.8 us as
// at 115200 baud. Reads wait for the bytes up to the read timeout, as the real driver's do, by
// sleeping on the calling thread. The receive queue holds at most kQueueCapacity bytes, the size of
// the kernel's tty buffer; a byte that arrives at a full queue is lost.
class TimedBridgeDriver : public BridgeDriver {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds kByteTime{86806};
    static constexpr std::size_t kQueueCapacity = 4096;

    // Schedules bytes whose first arrives at start; calls must come in the order of arrival.
    // Returns the time at which the last byte arrives.
    Clock::time_point Send(std::span<const uint8_t> wire, Clock::time_point start);

    // Nothing more to arrive and nothing left in the queue.
    bool Drained();
    std::size_t LostBytes() const { return m_lost; }

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

private:
    static constexpr DeviceHandle kHandle = 1;
    struct Arrival {
        Clock::time_point at;
        uint8_t byte;
    };

    bool Usable(DeviceHandle handle) const { return m_open && handle == kHandle; }
    // Moves every byte that has arrived by now into the queue. Between two calls the queue only
    // grows, so doing this lazily loses exactly the bytes a full queue would have lost.
    void Advance();

    std::deque<Arrival> m_pending;
    std::deque<uint8_t> m_queue;
    std::size_t m_lost = 0;
    bool m_open = false;
    uint32_t m_readTimeoutMs = 0;
    uint32_t m_writeTimeoutMs = 0;
};
