#include "link/WindowsSerialLine.h"

#include <windows.h>

#include <utility>

#include "link/BridgeDriver.h"
#include "link/Utf16.h"

namespace {

constexpr DWORD kOpenBaudRate = 115200;

constexpr uint8_t kStopBitsOne = 0;
constexpr uint8_t kStopBitsOneAndHalf = 1;
constexpr uint8_t kStopBitsTwo = 2;
constexpr uint8_t kParitySpace = 4;

constexpr uint8_t kLineInactive = 0;
constexpr uint8_t kLineActive = 1;
constexpr uint8_t kRtsHandshake = 2;
constexpr uint8_t kStatusIgnored = 0;
constexpr uint8_t kStatusHandshake = 1;

// Errors with which a port whose device has gone fails: USB-serial drivers answer an unplugged
// device with access denied or a command the device does not know; Wine turns a hung-up tty's EIO
// into "not ready".
bool IsVanished(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_GEN_FAILURE:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_NOT_READY:
        case ERROR_OPERATION_ABORTED:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
            return true;
        default:
            return false;
    }
}

// Errors with which opening says that the port is not there.
bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DEV_NOT_EXIST;
}

// A read that waits at most timeoutMs for count bytes; 0 returns at once with what has come, since
// Windows reads all-zero timeouts as "wait for ever". Writes get at least 1 ms for the same reason.
COMMTIMEOUTS Timeouts(uint32_t readMs, uint32_t writeMs) {
    COMMTIMEOUTS timeouts{};
    if (readMs == 0) {
        timeouts.ReadIntervalTimeout = MAXDWORD;
    } else {
        timeouts.ReadTotalTimeoutConstant = readMs;
    }
    timeouts.WriteTotalTimeoutConstant = writeMs == 0 ? 1 : writeMs;
    return timeouts;
}

// Reads the port's DCB, lets change adjust it and writes it back; the Win32 error of a failed step,
// else ERROR_SUCCESS.
template <typename Change>
DWORD ChangeSettings(HANDLE port, Change change) {
    DCB settings{};
    settings.DCBlength = sizeof(settings);
    if (!GetCommState(port, &settings)) {
        return GetLastError();
    }
    change(settings);
    if (!SetCommState(port, &settings)) {
        return GetLastError();
    }
    return ERROR_SUCCESS;
}

}  // namespace

uint32_t WindowsSerialLine::Open(const std::string& portName, std::unique_ptr<WindowsSerialLine>& line) {
    // The device namespace reaches COM10 and above too.
    const std::wstring path = L"\\\\.\\" + Utf8ToWide(portName);
    const HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return IsMissing(GetLastError()) ? BridgeResult::kDeviceNotFound : BridgeResult::kSystemError;
    }
    std::unique_ptr<WindowsSerialLine> opened(new WindowsSerialLine(handle, portName));
    const DWORD error = ChangeSettings(handle, [](DCB& settings) {
        settings.BaudRate = kOpenBaudRate;
        settings.ByteSize = 8;
        settings.Parity = NOPARITY;
        settings.StopBits = ONESTOPBIT;
        settings.fBinary = TRUE;
        settings.fParity = FALSE;
        settings.fOutxCtsFlow = FALSE;
        settings.fOutxDsrFlow = FALSE;
        settings.fDtrControl = DTR_CONTROL_DISABLE;
        settings.fDsrSensitivity = FALSE;
        settings.fOutX = FALSE;
        settings.fInX = FALSE;
        settings.fErrorChar = FALSE;
        settings.fNull = FALSE;
        settings.fRtsControl = RTS_CONTROL_DISABLE;
        // Errors on the line must not stop reads until someone clears them.
        settings.fAbortOnError = FALSE;
    });
    if (error != ERROR_SUCCESS) {
        return opened->Failure(error, BridgeResult::kSystemError);
    }
    line = std::move(opened);
    return BridgeResult::kSuccess;
}

WindowsSerialLine::WindowsSerialLine(void* handle, std::string portName)
    : m_handle(handle), m_portName(std::move(portName)) {}

WindowsSerialLine::~WindowsSerialLine() { CloseHandle(m_handle); }

uint32_t WindowsSerialLine::Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t& bytesRead) {
    bytesRead = 0;
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (count > 0 && buffer == nullptr) {
        return BridgeResult::kInvalidParameter;
    }
    if (count == 0) {
        return BridgeResult::kSuccess;
    }
    if (const uint32_t result = UseTimeouts(timeoutMs, m_writeTimeoutMs); result != BridgeResult::kSuccess) {
        return result;
    }
    DWORD received = 0;
    if (!ReadFile(m_handle, buffer, count, &received, nullptr)) {
        return Failure(GetLastError(), BridgeResult::kReadError);
    }
    bytesRead = received;
    return received < count ? BridgeResult::kReadTimedOut : BridgeResult::kSuccess;
}

uint32_t WindowsSerialLine::Write(const uint8_t* buffer, uint32_t count, uint32_t timeoutMs,
                                  uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (count > 0 && buffer == nullptr) {
        return BridgeResult::kInvalidParameter;
    }
    if (count == 0) {
        return BridgeResult::kSuccess;
    }
    if (const uint32_t result = UseTimeouts(m_readTimeoutMs, timeoutMs); result != BridgeResult::kSuccess) {
        return result;
    }
    DWORD sent = 0;
    if (!WriteFile(m_handle, buffer, count, &sent, nullptr)) {
        return Failure(GetLastError(), BridgeResult::kWriteError);
    }
    bytesWritten = sent;
    return sent < count ? BridgeResult::kWriteError : BridgeResult::kSuccess;
}

uint32_t WindowsSerialLine::Flush(bool transmit, bool receive) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    const DWORD queues =
        (transmit ? PURGE_TXABORT | PURGE_TXCLEAR : 0) | (receive ? PURGE_RXABORT | PURGE_RXCLEAR : 0);
    if (queues != 0 && !PurgeComm(m_handle, queues)) {
        return Failure(GetLastError(), BridgeResult::kSystemError);
    }
    return BridgeResult::kSuccess;
}

uint32_t WindowsSerialLine::BytesWaiting(uint32_t& count) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_handle, &errors, &status)) {
        return Failure(GetLastError(), BridgeResult::kSystemError);
    }
    count = status.cbInQue;
    return BridgeResult::kSuccess;
}

uint32_t WindowsSerialLine::SetBaudRate(uint32_t baudRate) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (baudRate == 0) {
        return BridgeResult::kInvalidBaudRate;
    }
    const DWORD error = ChangeSettings(m_handle, [baudRate](DCB& settings) { settings.BaudRate = baudRate; });
    if (error == ERROR_INVALID_PARAMETER) {
        return BridgeResult::kInvalidBaudRate;
    }
    return error == ERROR_SUCCESS ? BridgeResult::kSuccess : Failure(error, BridgeResult::kSystemError);
}

uint32_t WindowsSerialLine::SetLineControl(uint16_t word) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    const uint8_t stopBits = word & 0x0F;
    const uint8_t parity = (word >> 4) & 0x0F;
    const uint8_t dataBits = word >> 8;
    // The word's codes are DCB's own: ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS and NOPARITY to SPACEPARITY.
    if (dataBits < 5 || dataBits > 8 || parity > kParitySpace ||
        (stopBits != kStopBitsOne && stopBits != kStopBitsOneAndHalf && stopBits != kStopBitsTwo)) {
        return BridgeResult::kInvalidParameter;
    }
    const DWORD error = ChangeSettings(m_handle, [&](DCB& settings) {
        settings.ByteSize = dataBits;
        settings.Parity = parity;
        settings.fParity = parity != NOPARITY;
        settings.StopBits = stopBits;
    });
    return error == ERROR_SUCCESS ? BridgeResult::kSuccess : Failure(error, BridgeResult::kSystemError);
}

uint32_t WindowsSerialLine::SetFlowControl(uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr, uint8_t dcd,
                                           bool xonXoff) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    const bool ctsValid = cts == kStatusIgnored || cts == kStatusHandshake;
    const bool rtsValid = rts == kLineInactive || rts == kLineActive || rts == kRtsHandshake;
    const bool dtrValid = dtr == kLineInactive || dtr == kLineActive;
    const bool dsrValid = dsr == kStatusIgnored || dsr == kStatusHandshake;
    if (!ctsValid || !rtsValid || !dtrValid || !dsrValid || dcd != kStatusIgnored) {
        return BridgeResult::kInvalidParameter;
    }
    const DWORD error = ChangeSettings(m_handle, [&](DCB& settings) {
        settings.fOutxCtsFlow = cts == kStatusHandshake;
        settings.fOutxDsrFlow = dsr == kStatusHandshake;
        settings.fRtsControl = rts == kRtsHandshake
                                   ? RTS_CONTROL_HANDSHAKE
                                   : (rts == kLineActive ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE);
        settings.fDtrControl = dtr == kLineActive ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        settings.fOutX = xonXoff;
        settings.fInX = xonXoff;
    });
    return error == ERROR_SUCCESS ? BridgeResult::kSuccess : Failure(error, BridgeResult::kSystemError);
}

uint32_t WindowsSerialLine::MarkLost() {
    m_lost = true;
    return BridgeResult::kDeviceIoFailed;
}

uint32_t WindowsSerialLine::Failure(unsigned long error, uint32_t fallback) {
    return IsVanished(error) ? MarkLost() : fallback;
}

uint32_t WindowsSerialLine::UseTimeouts(uint32_t readMs, uint32_t writeMs) {
    if (m_timeoutsSet && readMs == m_readTimeoutMs && writeMs == m_writeTimeoutMs) {
        return BridgeResult::kSuccess;
    }
    COMMTIMEOUTS timeouts = Timeouts(readMs, writeMs);
    if (!SetCommTimeouts(m_handle, &timeouts)) {
        return Failure(GetLastError(), BridgeResult::kSystemError);
    }
    m_timeoutsSet = true;
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return BridgeResult::kSuccess;
}
