#pragma once

#include <termios.h>
#include <optional>
#include <string>

// Single key presses from the terminal on standard input: no echo and no waiting for Enter while
// this object lives; the terminal's own settings come back when it goes. Ctrl+C keeps working.
class TerminalKeys {
public:
    TerminalKeys() = default;
    ~TerminalKeys();
    TerminalKeys(const TerminalKeys&) = delete;
    TerminalKeys& operator=(const TerminalKeys&) = delete;

    bool Open(std::string& error);
    int Descriptor() const;
    // The next key if one is waiting; std::nullopt when none is or the terminal is gone.
    std::optional<char> Read();

private:
    bool m_open = false;
    termios m_saved{};
};
