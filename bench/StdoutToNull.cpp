#include "bench/StdoutToNull.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

StdoutToNull::StdoutToNull() {
    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) {
        return;
    }
    m_saved = ::dup(STDOUT_FILENO);
    if (m_saved >= 0 && ::dup2(null, STDOUT_FILENO) < 0) {
        ::close(m_saved);
        m_saved = -1;
    }
    ::close(null);
}

StdoutToNull::~StdoutToNull() {
    if (m_saved < 0) {
        return;
    }
    std::fflush(stdout);
    ::dup2(m_saved, STDOUT_FILENO);
    ::close(m_saved);
}
