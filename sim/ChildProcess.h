#pragma once

#include <sys/types.h>
#include <optional>
#include <string>
#include <vector>

// The program under test, started with the emulated device in reach.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `argv` (searched on PATH when it names no directory) with this process's environment and
    // the variables of `defaults` where that does not set them.
    bool Start(const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& defaults, std::string& error);

    // The exit status once the program has ended, as a shell reports it (128 + N after signal N).
    std::optional<int> Poll();
    int Wait();
    void Terminate();

private:
    static int StatusOf(int waitStatus);

    pid_t m_pid = -1;
    std::optional<int> m_status;
};
