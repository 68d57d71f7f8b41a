#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "link/Com.h"

// Script steps besides plain byte values 0..255.
inline constexpr int kSilence = -1;  // the read times out: true with 0 bytes
inline constexpr int kFail = -2;     // the read fails: false, bytes-read value untouched

// A port that serves a script one step per read and logs every call; past the script it is silent.
class ScriptedCom : public Com {
public:
    explicit ScriptedCom(std::vector<int> script = {}) : m_script(std::move(script)) {}

    void Append(const std::vector<int>& steps);
    std::size_t Unread() const { return m_script.size() - m_next; }
    // The calls so far, e.g. "IsOpen GetTimeout SetTimeout(200) Read*3 SetTimeout(500)".
    std::string Log() const;
    const std::vector<std::string>& Calls() const { return m_calls; }

    bool open = true;
    bool getTimeoutFails = false;
    uint32_t timeoutMs = 500;

    bool Setup(uint32_t value) override;
    bool Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) override;
    bool Write(const uint8_t* buffer, uint32_t count) override;
    bool Close() override;
    bool Flush() override;
    bool SetTimeout(uint32_t timeout) override;
    bool GetTimeout(uint32_t& timeout) override;
    bool Open(const char* name, uint32_t baudRate, uint32_t timeout) override;
    bool IsOpen() override;

private:
    std::vector<int> m_script;
    std::size_t m_next = 0;
    std::vector<std::string> m_calls;
};
