#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Resident memory of this process in bytes (VmRSS of /proc/self/status); 0 when it cannot be read.
std::size_t ResidentBytes();

// CPU time that this process has used so far, user and system together.
std::chrono::nanoseconds ProcessCpuTime();

// Runs this program again, as a fresh process, with the arguments; returns what it wrote on
// standard output, or nothing when it could not be started or did not exit with status 0.
std::optional<std::string> RunSelf(const std::vector<std::string>& arguments);
