#include "sim/ChildProcess.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& defaults,
                         std::string& error) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        environment.emplace_back(*entry);
    }
    for (const auto& [name, value] : defaults) {
        if (std::getenv(name.c_str()) == nullptr) {
            environment.push_back(name + "=" + value);
        }
    }

    std::vector<char*> environmentPointers;
    for (std::string& variable : environment) {
        environmentPointers.push_back(variable.data());
    }
    environmentPointers.push_back(nullptr);
    std::vector<std::string> arguments = argv;
    std::vector<char*> argumentPointers;
    for (std::string& argument : arguments) {
        argumentPointers.push_back(argument.data());
    }
    argumentPointers.push_back(nullptr);

    const int result = posix_spawnp(&m_pid, argumentPointers[0], nullptr, nullptr, argumentPointers.data(),
                                    environmentPointers.data());
    if (result != 0) {
        m_pid = -1;
        error = "cannot start " + argv[0] + ": " + std::strerror(result);
        return false;
    }
    return true;
}

int ChildProcess::StatusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        return WEXITSTATUS(waitStatus);
    }
    if (WIFSIGNALED(waitStatus)) {
        return 128 + WTERMSIG(waitStatus);
    }
    return 1;
}

std::optional<int> ChildProcess::Poll() {
    if (m_status || m_pid < 0) {
        return m_status;
    }
    int waitStatus = 0;
    const pid_t result = waitpid(m_pid, &waitStatus, WNOHANG);
    if (result == m_pid) {
        m_status = StatusOf(waitStatus);
    } else if (result < 0 && errno != EINTR) {
        m_status = 1;
    }
    return m_status;
}

int ChildProcess::Wait() {
    while (!m_status && m_pid >= 0) {
        int waitStatus = 0;
        const pid_t result = waitpid(m_pid, &waitStatus, 0);
        if (result == m_pid) {
            m_status = StatusOf(waitStatus);
        } else if (result < 0 && errno != EINTR) {
            m_status = 1;
        }
    }
    return m_status.value_or(1);
}

void ChildProcess::Terminate() {
    if (m_pid >= 0 && !m_status) {
        kill(m_pid, SIGTERM);
    }
}
