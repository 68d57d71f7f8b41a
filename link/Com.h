#pragma once

#include <cstdint>

// A serial port as the frame receiver and the window see it. Every operation reports success as true.
class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;

    virtual bool Setup(uint32_t value) = 0;
    virtual bool Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) = 0;
    virtual bool Write(const uint8_t* buffer, uint32_t count) = 0;
    virtual bool Close() = 0;
    virtual bool Flush() = 0;
    virtual bool SetTimeout(uint32_t timeoutMs) = 0;
    virtual bool GetTimeout(uint32_t& timeoutMs) = 0;
    virtual bool Open(const char* name, uint32_t baudRate, uint32_t timeoutMs) = 0;
    virtual bool IsOpen() = 0;
    virtual ~Com();
};
