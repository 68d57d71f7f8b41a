#include "bench/TemporaryStateHome.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

TemporaryStateHome::TemporaryStateHome() {
    char path[] = "/tmp/vkx-bench-state-XXXXXX";
    if (::mkdtemp(path) != nullptr) {
        m_path = path;
        ::setenv("XDG_STATE_HOME", path, 1);
    }
}

TemporaryStateHome::~TemporaryStateHome() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}
