#pragma once

#include <memory>
#include <string>

#include "link/BridgeDriver.h"
#include "link/SerialLine.h"

// A bridge driver whose one device is a pseudo-terminal that nobody writes to: the program's own
// tty layer (SerialLine: poll, FIONREAD, termios) on a kernel tty, without the udev lookup and
// without the emulation preload that the simulator needs.
class PtyBridgeDriver : public BridgeDriver {
public:
    PtyBridgeDriver();
    ~PtyBridgeDriver() override;

    // The pseudo-terminal was created.
    bool Ready() const { return m_master >= 0; }

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
    SerialLine* Line(DeviceHandle handle) const { return handle == kHandle ? m_line.get() : nullptr; }

    int m_master = -1;
    std::string m_slavePath;
    std::unique_ptr<SerialLine> m_line;
    uint32_t m_readTimeoutMs = 0;
    uint32_t m_writeTimeoutMs = 0;
};
