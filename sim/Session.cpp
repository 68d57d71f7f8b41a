#include "sim/Session.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "sim/Log.h"

namespace {
volatile std::sig_atomic_t g_stopRequested = 0;

constexpr auto kTick = std::chrono::milliseconds(10);
constexpr auto kLineGrace = std::chrono::seconds(1);
constexpr auto kSettle = std::chrono::milliseconds(100);
}  // namespace

void Session::RequestStop() { g_stopRequested = 1; }

bool Session::Perform(const Action& action) {
    switch (action.type) {
        case Action::Type::Wait:
            return Wait(action.milliseconds);
        case Action::Type::Send:
            return Send(action);
        case Action::Type::Unplug:
            return Unplug();
        case Action::Type::Plug:
            return Plug();
    }
    return Check();
}

bool Session::SendIfOpen(const Action& action) {
    if (!Check()) {
        return false;
    }
    if (!m_portOpen) {
        LogLine(
            (m_bridge.IsPlugged() ? m_bridge.Name() + " is not open" : std::string("no bridge plugged in")) +
            ", lost: " + action.label);
        return true;
    }
    return Send(action);
}

bool Session::Wait(uint32_t milliseconds) {
    return Idle(Clock::now() + std::chrono::milliseconds(milliseconds), -1, nullptr);
}

bool Session::WaitForInput(int descriptor, uint32_t milliseconds, bool& ready) {
    return Idle(Clock::now() + std::chrono::milliseconds(milliseconds), descriptor, &ready);
}

bool Session::TogglePlug() { return m_bridge.IsPlugged() ? Unplug() : Plug(); }

void Session::WaitForProgram() {
    while (Idle(Clock::now() + std::chrono::seconds(1), -1, nullptr)) {
    }
}

int Session::Finish() {
    if (!m_program.Poll()) {
        LogLine("ending the program");
        m_program.Terminate();
    }
    const int status = m_program.Wait();
    LogLine("the program ended with status " + std::to_string(status));
    return status;
}

bool Session::Idle(Clock::time_point until, int descriptor, bool* ready) {
    if (ready != nullptr) {
        *ready = false;
    }
    while (Check()) {
        const auto now = Clock::now();
        if (now >= until) {
            return true;
        }
        const auto step = std::min<Clock::duration>(until - now, kTick);
        const int timeout = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(step).count());
        pollfd input{descriptor, POLLIN, 0};
        const int result = poll(&input, descriptor >= 0 ? 1 : 0, timeout);
        if (result < 0 && errno != EINTR) {
            LogLine(std::string("poll failed: ") + std::strerror(errno));
            return false;
        }
        if (result > 0 && ready != nullptr) {
            *ready = true;
            return Check();
        }
    }
    return false;
}

bool Session::Check() {
    if (g_stopRequested) {
        return false;
    }
    if (m_program.Poll()) {
        return false;
    }
    const bool open = m_bridge.IsPortOpen();
    if (open != m_portOpen) {
        m_portOpen = open;
        LogLine("the program " + std::string(open ? "opened " : "closed ") + m_bridge.Name());
        if (open) {
            m_openedAt = Clock::now();
            m_settled = false;
        }
    }
    if (open) {
        DrainProgramOutput();
    }
    return true;
}

void Session::DrainProgramOutput() {
    uint8_t buffer[256];
    ssize_t count = 0;
    while ((count = read(m_bridge.Master(), buffer, sizeof buffer)) > 0) {
        LogLine(m_bridge.Name() + " received from the program, ignored: " +
                HexBytes(std::span(buffer, static_cast<std::size_t>(count))));
    }
}

bool Session::WaitUntilReady() {
    bool toldWaiting = false;
    while (true) {
        if (!Check()) {
            return false;
        }
        if (!m_bridge.IsPlugged()) {
            return true;
        }
        if (m_portOpen) {
            const bool lineSet = m_bridge.IsLineSet();
            if (lineSet || Clock::now() - m_openedAt >= kLineGrace) {
                if (!lineSet && !m_settled) {
                    LogLine(m_bridge.Name() + " is not set to 115200 8N1; sending anyway");
                }
                if (m_settled) {
                    return true;
                }
                if (!Wait(static_cast<uint32_t>(kSettle.count()))) {
                    return false;
                }
                m_settled = m_portOpen;
                continue;
            }
        } else if (!toldWaiting) {
            LogLine("waiting for the program to open " + m_bridge.Name());
            toldWaiting = true;
        }
        if (!Wait(static_cast<uint32_t>(kTick.count()))) {
            return false;
        }
    }
}

bool Session::Send(const Action& action) {
    if (!WaitUntilReady()) {
        return false;
    }
    if (!m_bridge.IsPlugged()) {
        LogLine("no bridge plugged in, lost: " + action.label + ": " + HexBytes(action.bytes));
        return true;
    }
    std::size_t written = 0;
    while (written < action.bytes.size()) {
        const ssize_t count =
            write(m_bridge.Master(), action.bytes.data() + written, action.bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            // The program is not reading and the line's buffer is full: wait as the wire would.
            if (!Wait(static_cast<uint32_t>(kTick.count()))) {
                return false;
            }
        } else {
            LogLine(m_bridge.Name() + ": write failed: " + std::strerror(errno) + "; lost: " + action.label);
            return true;
        }
    }
    LogLine(m_bridge.Name() + " sent " + action.label + ": " + HexBytes(action.bytes));
    return true;
}

bool Session::Unplug() {
    if (!m_bridge.IsPlugged()) {
        LogLine("unplug: no bridge is plugged in");
        return Check();
    }
    const std::string name = m_bridge.Name();
    m_bridge.Unplug();
    m_portOpen = false;
    LogLine("unplugged " + name);
    return Check();
}

bool Session::Plug() {
    if (m_bridge.IsPlugged()) {
        LogLine("plug: " + m_bridge.Name() + " is still plugged in");
        return Check();
    }
    std::string error;
    if (!m_bridge.Plug(error)) {
        LogLine(error);
        return false;
    }
    LogLine("plugged in " + m_bridge.Name());
    return Check();
}
