#pragma once

#include <chrono>
#include <cstdint>

#include "link/Com.h"
#include "link/ComCP2102.h"

// A view of an open port whose reads end at a deadline, so that one receive through it holds its
// caller for a bounded time however long the line keeps talking. Until the deadline every call goes
// through to the port. From then on a read goes through only while bytes are already queued, which
// it takes without waiting, and at most graceReads times; otherwise it reports success with no
// byte, as a line gone quiet does. The grace finishes a frame whose reading was delayed past the
// deadline (the process was not scheduled for a while) from the queue instead of cutting it.
class TimeBoundedCom : public Com {
public:
    using Clock = std::chrono::steady_clock;

    // The budget starts now.
    TimeBoundedCom(ComCP2102& port, Clock::duration budget, uint32_t graceReads);

    bool Setup(uint32_t value) override;
    bool Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) override;
    bool Write(const uint8_t* buffer, uint32_t count) override;
    bool Close() override;
    bool Flush() override;
    bool SetTimeout(uint32_t timeoutMs) override;
    bool GetTimeout(uint32_t& timeoutMs) override;
    bool Open(const char* name, uint32_t baudRate, uint32_t timeoutMs) override;
    bool IsOpen() override;

private:
    ComCP2102& m_port;
    Clock::time_point m_deadline;
    uint32_t m_graceReads;
};
