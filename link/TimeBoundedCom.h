#pragma once

#include <chrono>
#include <cstdint>

#include "link/Com.h"

// A view of an open port whose reads end at a deadline: until then every call goes through to the
// port; from then on a read reports success with no byte, as a line gone quiet does, and waits for
// nothing. Handed to the frame receiver, it bounds how long one receive may hold its caller, however
// long the line keeps talking.
class TimeBoundedCom : public Com {
public:
    using Clock = std::chrono::steady_clock;

    // The budget starts now.
    TimeBoundedCom(Com& port, Clock::duration budget);

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
    Com& m_port;
    Clock::time_point m_deadline;
};
