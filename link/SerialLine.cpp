#include "link/SerialLine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <iterator>
#include <utility>

#include "link/BridgeDriver.h"

namespace {

using Clock = std::chrono::steady_clock;

struct BaudRate {
    uint32_t rate;
    speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

constexpr uint8_t kStopBitsOne = 0;
constexpr uint8_t kStopBitsTwo = 2;

constexpr uint8_t kParityNone = 0;
constexpr uint8_t kParityOdd = 1;
constexpr uint8_t kParityEven = 2;
constexpr uint8_t kParityMark = 3;
constexpr uint8_t kParitySpace = 4;

constexpr uint8_t kLineInactive = 0;
constexpr uint8_t kLineActive = 1;
constexpr uint8_t kRtsHandshake = 2;
constexpr uint8_t kStatusIgnored = 0;
constexpr uint8_t kStatusHandshake = 1;

// Errors with which the kernel reports a tty whose device has gone.
bool IsVanished(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// Errors with which a tty says that it has no such control (pseudo-terminals, emulated devices).
bool IsNotAvailable(int error) { return error == ENOTTY || error == EINVAL; }

bool IsHangUp(short revents) { return (revents & (POLLHUP | POLLERR | POLLNVAL)) != 0; }

int RemainingMs(Clock::time_point deadline) {
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (remaining <= 0) {
        return 0;
    }
    return remaining > INT_MAX ? INT_MAX : static_cast<int>(remaining);
}

// Waits until the tty is ready for events or timeoutMs has passed; 0 on timeout, -1 on failure.
int WaitFor(int fd, short events, int timeoutMs, short& revents) {
    pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    revents = entry.revents;
    return ready;
}

}  // namespace

uint32_t SerialLine::Open(const std::string& path, std::unique_ptr<SerialLine>& line) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        return error == ENOENT || IsVanished(error) ? BridgeResult::kDeviceNotFound
                                                    : BridgeResult::kSystemError;
    }
    std::unique_ptr<SerialLine> opened(new SerialLine(fd, path));
    if (::ioctl(fd, TIOCEXCL) != 0 && !IsNotAvailable(errno)) {
        return BridgeResult::kSystemError;
    }
    termios settings{};
    if (const uint32_t result = opened->GetSettings(settings); result != BridgeResult::kSuccess) {
        return result;
    }
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CRTSCTS | CSTOPB);
    settings.c_iflag &= ~(IXOFF | IXANY);
    // At least one byte per read: a read that returns nothing then means end of file, never "no data".
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (const uint32_t result = opened->PutSettings(settings); result != BridgeResult::kSuccess) {
        return result;
    }
    line = std::move(opened);
    return BridgeResult::kSuccess;
}

SerialLine::SerialLine(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}

SerialLine::~SerialLine() { ::close(m_fd); }

uint32_t SerialLine::Read(uint8_t* buffer, uint32_t count, uint32_t timeoutMs, uint32_t& bytesRead) {
    bytesRead = 0;
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (count > 0 && buffer == nullptr) {
        return BridgeResult::kInvalidParameter;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytesRead < count) {
        short revents = 0;
        const int ready = WaitFor(m_fd, POLLIN, RemainingMs(deadline), revents);
        if (ready < 0) {
            return Failure(errno, BridgeResult::kReadError);
        }
        if (ready == 0) {
            return BridgeResult::kReadTimedOut;
        }
        if (IsHangUp(revents)) {
            return MarkLost();
        }
        const ssize_t received = ::read(m_fd, buffer + bytesRead, count - bytesRead);
        if (received > 0) {
            bytesRead += static_cast<uint32_t>(received);
        } else if (received == 0) {
            // Readable yet nothing to read: the tty was hung up.
            return MarkLost();
        } else if (errno != EINTR && errno != EAGAIN) {
            return Failure(errno, BridgeResult::kReadError);
        }
    }
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::Write(const uint8_t* buffer, uint32_t count, uint32_t timeoutMs,
                           uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (count > 0 && buffer == nullptr) {
        return BridgeResult::kInvalidParameter;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (bytesWritten < count) {
        const ssize_t sent = ::write(m_fd, buffer + bytesWritten, count - bytesWritten);
        if (sent > 0) {
            bytesWritten += static_cast<uint32_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && errno != EAGAIN) {
            return Failure(errno, BridgeResult::kWriteError);
        }
        short revents = 0;
        const int ready = WaitFor(m_fd, POLLOUT, RemainingMs(deadline), revents);
        if (ready < 0) {
            return Failure(errno, BridgeResult::kWriteError);
        }
        if (ready == 0) {
            return BridgeResult::kWriteError;
        }
        if (IsHangUp(revents)) {
            return MarkLost();
        }
    }
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::Flush(bool transmit, bool receive) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    if (!transmit && !receive) {
        return BridgeResult::kSuccess;
    }
    const int queue = transmit && receive ? TCIOFLUSH : (transmit ? TCOFLUSH : TCIFLUSH);
    if (::tcflush(m_fd, queue) != 0) {
        return Failure(errno, BridgeResult::kSystemError);
    }
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::BytesWaiting(uint32_t& count) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    // A look without waiting tells a hung-up tty apart even where the count below is refused.
    short revents = 0;
    if (WaitFor(m_fd, POLLIN, 0, revents) < 0) {
        return Failure(errno, BridgeResult::kSystemError);
    }
    if (IsHangUp(revents)) {
        return MarkLost();
    }
    // With VMIN 1 a tty is readable exactly when a byte waits. The count is asked only then: the
    // silent line, every tick, costs no second call (under umockdev, no round trip to the emulation).
    if ((revents & POLLIN) == 0) {
        count = 0;
        return BridgeResult::kSuccess;
    }
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) == 0) {
        count = waiting > 0 ? static_cast<uint32_t>(waiting) : 0;
        return BridgeResult::kSuccess;
    }
    if (!IsNotAvailable(errno)) {
        return Failure(errno, BridgeResult::kSystemError);
    }
    count = 1;
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::SetBaudRate(uint32_t baudRate) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    const auto entry =
        std::find_if(std::begin(kBaudRates), std::end(kBaudRates),
                     [baudRate](const BaudRate& candidate) { return candidate.rate == baudRate; });
    if (entry == std::end(kBaudRates)) {
        return BridgeResult::kInvalidBaudRate;
    }
    termios settings{};
    if (const uint32_t result = GetSettings(settings); result != BridgeResult::kSuccess) {
        return result;
    }
    if (cfsetispeed(&settings, entry->speed) != 0 || cfsetospeed(&settings, entry->speed) != 0) {
        return BridgeResult::kInvalidBaudRate;
    }
    return PutSettings(settings);
}

uint32_t SerialLine::LineControlFlags(uint16_t word, tcflag_t& flags) {
    const uint8_t stopBits = word & 0x0F;
    const uint8_t parity = (word >> 4) & 0x0F;
    const uint8_t dataBits = word >> 8;

    tcflag_t size = 0;
    switch (dataBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return BridgeResult::kInvalidParameter;
    }
    tcflag_t parityFlags = 0;
    switch (parity) {
        case kParityNone:
            break;
        case kParityOdd:
            parityFlags = PARENB | PARODD;
            break;
        case kParityEven:
            parityFlags = PARENB;
            break;
        case kParityMark:
            parityFlags = PARENB | CMSPAR | PARODD;
            break;
        case kParitySpace:
            parityFlags = PARENB | CMSPAR;
            break;
        default:
            return BridgeResult::kInvalidParameter;
    }
    // One and a half stop bits have no termios setting.
    if (stopBits != kStopBitsOne && stopBits != kStopBitsTwo) {
        return BridgeResult::kInvalidParameter;
    }
    flags = size | parityFlags | (stopBits == kStopBitsTwo ? CSTOPB : 0);
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::SetLineControl(uint16_t word) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    tcflag_t flags = 0;
    if (const uint32_t result = LineControlFlags(word, flags); result != BridgeResult::kSuccess) {
        return result;
    }
    termios settings{};
    if (const uint32_t result = GetSettings(settings); result != BridgeResult::kSuccess) {
        return result;
    }
    settings.c_cflag &= ~kLineControlMask;
    settings.c_cflag |= flags;
    return PutSettings(settings);
}

uint32_t SerialLine::SetFlowControl(uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr, uint8_t dcd,
                                    bool xonXoff) {
    if (m_lost) {
        return BridgeResult::kDeviceIoFailed;
    }
    const bool ctsValid = cts == kStatusIgnored || cts == kStatusHandshake;
    const bool rtsValid = rts == kLineInactive || rts == kLineActive || rts == kRtsHandshake;
    const bool dtrValid = dtr == kLineInactive || dtr == kLineActive;
    // Linux has no DSR or DCD handshake for a serial line.
    if (!ctsValid || !rtsValid || !dtrValid || dsr != kStatusIgnored || dcd != kStatusIgnored) {
        return BridgeResult::kInvalidParameter;
    }

    termios settings{};
    if (const uint32_t result = GetSettings(settings); result != BridgeResult::kSuccess) {
        return result;
    }
    const bool hardwareHandshake = cts == kStatusHandshake || rts == kRtsHandshake;
    settings.c_cflag &= ~CRTSCTS;
    settings.c_cflag |= hardwareHandshake ? CRTSCTS : 0;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_iflag |= xonXoff ? (IXON | IXOFF) : 0;
    if (const uint32_t result = PutSettings(settings); result != BridgeResult::kSuccess) {
        return result;
    }

    if (rts != kRtsHandshake) {
        if (const uint32_t result = SetModemLine(TIOCM_RTS, rts == kLineActive);
            result != BridgeResult::kSuccess) {
            return result;
        }
    }
    return SetModemLine(TIOCM_DTR, dtr == kLineActive);
}

uint32_t SerialLine::MarkLost() {
    m_lost = true;
    return BridgeResult::kDeviceIoFailed;
}

uint32_t SerialLine::Failure(int error, uint32_t fallback) {
    return IsVanished(error) ? MarkLost() : fallback;
}

uint32_t SerialLine::GetSettings(termios& settings) {
    if (::tcgetattr(m_fd, &settings) != 0) {
        return Failure(errno, BridgeResult::kSystemError);
    }
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::PutSettings(const termios& settings) {
    if (::tcsetattr(m_fd, TCSANOW, &settings) != 0) {
        return Failure(errno, BridgeResult::kSystemError);
    }
    return BridgeResult::kSuccess;
}

uint32_t SerialLine::SetModemLine(int line, bool active) {
    // A pseudo-terminal has no modem lines: nothing to hold.
    if (::ioctl(m_fd, active ? TIOCMBIS : TIOCMBIC, &line) != 0 && !IsNotAvailable(errno)) {
        return Failure(errno, BridgeResult::kSystemError);
    }
    return BridgeResult::kSuccess;
}
