#pragma once

#include <chrono>
#include <cstdint>

#include "link/Com.h"
#include "link/ComCP2102.h"

// A view of an open port whose reads end at a deadline, so that one receive through it holds its
// caller for a bounded time however long the line keeps talking. Until the deadline every call goes
// through to the port. From then on:
// - once a frame has begun (the view has handed out its start byte, before or after the deadline),
//   reads go through and wait as any read does, until frameBytes bytes of that frame have been handed
//   out or frameTime has passed since the deadline; the receiver ends the frame sooner (complete,
//   checksum, length, a gap past its timeout);
// - before that, a read goes through only while bytes are already queued, which it takes without
//   waiting, and at most frameBytes times;
// - otherwise it reports success with no byte, as a line gone quiet does.
// A frame cut by the deadline would be lost: its start byte is taken and the next receive hunts past
// its remainder. So the bound past the deadline is one frame's time on the line, not zero; frameTime
// keeps it so on a line that drips a byte just within each read's timeout.
// One receive takes at most one frame, so one view serves one receive.
class TimeBoundedCom : public Com {
public:
    using Clock = std::chrono::steady_clock;

    // The budget starts now. frameBytes: the most bytes one frame takes on the line, start byte
    // included; frameTime: the longest those bytes take to arrive.
    TimeBoundedCom(ComCP2102& port, Clock::duration budget, uint32_t frameBytes, Clock::duration frameTime);

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
    // How many bytes a read past the deadline may take: 0 for none.
    uint32_t AllowedPastDeadline(uint32_t count);
    // Follows the bytes handed out: the first start byte begins the frame, and it and every byte after
    // it count against the frame's length.
    void Watch(const uint8_t* bytes, uint32_t count);

    ComCP2102& m_port;
    Clock::time_point m_deadline;
    Clock::time_point m_frameDeadline;
    uint32_t m_graceReads;
    bool m_inFrame = false;
    uint32_t m_frameBytesLeft;
};
