#pragma once

#include <cstdint>
#include <memory>
#include <string>

// One open COM port of a USB-to-UART bridge: opened exclusively and raw (8N1, no handshake, RTS and
// DTR inactive), each read and write bounded by COMMTIMEOUTS. Maps the bridge driver's line settings
// onto the port's DCB. Every operation returns a BridgeResult code.
//
// A device that goes away while open (unplugged) is remembered: from then on every read, write, queue
// check, flush and setting fails.
class WindowsSerialLine {
public:
    // Opens portName ("COM7") exclusively at 115200 baud, 8N1, no handshake.
    static uint32_t Open(const std::string& portName, std::unique_ptr<WindowsSerialLine>& line);

    WindowsSerialLine(const WindowsSerialLine&) = delete;
    WindowsSerialLine& operator=(const WindowsSerialLine&) = delete;
    ~WindowsSerialLine();

    const std::string& PortName() const { return m_portName; }
    bool IsLost() const { return m_lost; }

    // Gathers count bytes until they have come or timeoutMs has passed; in the second case the
    // result is kReadTimedOut and bytesRead holds what came.
    uint32_t Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t& bytesRead);
    uint32_t Write(const uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t& bytesWritten);
    uint32_t Flush(bool transmit, bool receive);
    uint32_t BytesWaiting(uint32_t& count);

    uint32_t SetBaudRate(uint32_t baudRate);
    // word: bits 0-3 stop bits (0 one, 1 one and a half, 2 two), 4-7 parity (0 none, 1 odd, 2 even,
    // 3 mark, 4 space), 8-15 data bits (5 to 8).
    uint32_t SetLineControl(uint16_t word);
    // cts, dsr: 0 ignored, 1 handshake; rts: 0 inactive, 1 active, 2 handshake; dtr: 0 inactive,
    // 1 active; dcd: 0 ignored, as Windows has no DCD handshake.
    uint32_t SetFlowControl(uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr, uint8_t dcd, bool xonXoff);

private:
    WindowsSerialLine(void* handle, std::string portName);

    // Remembers that the device is gone and returns the code for it.
    uint32_t MarkLost();
    // The code for a failed call's Win32 error: a vanished device is remembered, anything else is
    // fallback.
    uint32_t Failure(unsigned long error, uint32_t fallback);
    // COMMTIMEOUTS belong to the handle; they are set again only when a caller's timeout changes.
    uint32_t UseTimeouts(uint32_t readMs, uint32_t writeMs);

    void* m_handle;  // the port's HANDLE
    std::string m_portName;
    bool m_lost = false;
    bool m_timeoutsSet = false;
    uint32_t m_readTimeoutMs = 0;
    uint32_t m_writeTimeoutMs = 0;
};
