#include "sim/Bridge.h"

#include <poll.h>
#include <termios.h>

bool Bridge::IsPortOpen() const {
    if (!IsPlugged()) {
        return false;
    }
    pollfd master{m_master, 0, 0};
    if (poll(&master, 1, 0) < 0) {
        return false;
    }
    return (master.revents & POLLHUP) == 0;
}

bool Bridge::IsLineSet() const {
    termios line{};
    // Terminal settings asked of a master are those of its slave, the program's end.
    if (!IsPlugged() || tcgetattr(m_master, &line) != 0) {
        return false;
    }
    return cfgetospeed(&line) == B115200 && (line.c_cflag & CSIZE) == CS8 && (line.c_cflag & PARENB) == 0 &&
           (line.c_cflag & CSTOPB) == 0;
}
