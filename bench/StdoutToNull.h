#pragma once

// Sends the process's standard output to /dev/null while it lives, so that the receiver's trace
// lines cost what writing them costs, without flooding the benchmark's own report.
class StdoutToNull {
public:
    StdoutToNull();
    ~StdoutToNull();
    StdoutToNull(const StdoutToNull&) = delete;
    StdoutToNull& operator=(const StdoutToNull&) = delete;

private:
    int m_saved = -1;
};
