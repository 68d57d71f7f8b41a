#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <termios.h>

// One open tty of a USB-to-UART bridge. It opens the line raw (8N1, no handshake), waits with poll
// so that no call blocks longer than its timeout, and maps the bridge driver's line settings onto
// termios and the modem lines. Every operation returns a BridgeResult code.
//
// A device that goes away while open (unplugged, or a pseudo-terminal whose other end closed) is
// remembered: from then on every read, write, queue check, flush and setting fails.
class SerialLine {
public:
    // Opens path exclusively where the tty allows it and puts the line into raw mode.
    static uint32_t Open(const std::string& path, std::unique_ptr<SerialLine>& line);

    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    ~SerialLine();

    const std::string& Path() const { return m_path; }
    bool IsLost() const { return m_lost; }

    // Gathers count bytes until they have come or timeoutMs has passed; in the second case the
    // result is kReadTimedOut and bytesRead holds what came.
    uint32_t Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t& bytesRead);
    uint32_t Write(const uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t& bytesWritten);
    uint32_t Flush(bool transmit, bool receive);
    // Bytes waiting to be read; where the tty cannot count them, 1 when any is waiting.
    uint32_t BytesWaiting(uint32_t& count);

    uint32_t SetBaudRate(uint32_t baudRate);
    // word: bits 0-3 stop bits (0 one, 2 two), 4-7 parity (0 none, 1 odd, 2 even, 3 mark,
    // 4 space), 8-15 data bits (5 to 8).
    uint32_t SetLineControl(uint16_t word);
    // The termios control flags within kLineControlMask that a line-control word asks for;
    // kInvalidParameter for a word that termios cannot express.
    static uint32_t LineControlFlags(uint16_t word, tcflag_t& flags);
    static constexpr tcflag_t kLineControlMask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
    // cts: 0 ignored, 1 handshake; rts: 0 inactive, 1 active, 2 handshake; dtr: 0 inactive,
    // 1 active; dsr and dcd: 0 ignored. Linux couples the CTS and RTS handshakes into one.
    uint32_t SetFlowControl(uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr, uint8_t dcd, bool xonXoff);

private:
    SerialLine(int fd, std::string path);

    // Remembers that the device is gone and returns the code for it.
    uint32_t MarkLost();
    // The code for a failed system call: a vanished device is remembered, anything else is fallback.
    uint32_t Failure(int error, uint32_t fallback);
    uint32_t GetSettings(termios& settings);
    uint32_t PutSettings(const termios& settings);
    uint32_t SetModemLine(int line, bool active);

    int m_fd;
    std::string m_path;
    bool m_lost = false;
};
