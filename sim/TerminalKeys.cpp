#include "sim/TerminalKeys.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

TerminalKeys::~TerminalKeys() {
    if (m_open) {
        tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }
}

bool TerminalKeys::Open(std::string& error) {
    if (!isatty(STDIN_FILENO)) {
        error = "--interactive needs a terminal on standard input";
        return false;
    }
    if (tcgetattr(STDIN_FILENO, &m_saved) != 0) {
        error = std::string("cannot read the terminal's settings: ") + std::strerror(errno);
        return false;
    }
    termios keys = m_saved;
    keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    keys.c_cc[VMIN] = 0;
    keys.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &keys) != 0) {
        error = std::string("cannot set the terminal to single keys: ") + std::strerror(errno);
        return false;
    }
    m_open = true;
    return true;
}

int TerminalKeys::Descriptor() const { return STDIN_FILENO; }

std::optional<char> TerminalKeys::Read() {
    char key = 0;
    if (read(STDIN_FILENO, &key, 1) == 1) {
        return key;
    }
    return std::nullopt;
}
