#include "tests/protocol/ScriptedCom.h"

#include <gtest/gtest.h>

void ScriptedCom::Append(const std::vector<int>& steps) {
    m_script.insert(m_script.end(), steps.begin(), steps.end());
}

std::string ScriptedCom::Log() const {
    std::string log;
    for (std::size_t i = 0; i < m_calls.size();) {
        std::size_t run = 1;
        while (i + run < m_calls.size() && m_calls[i + run] == m_calls[i]) {
            ++run;
        }
        log += (log.empty() ? "" : " ") + m_calls[i] + (run > 1 ? "*" + std::to_string(run) : "");
        i += run;
    }
    return log;
}

bool ScriptedCom::Setup(uint32_t) {
    m_calls.push_back("Setup");
    return true;
}

bool ScriptedCom::Read(uint8_t* buffer, uint32_t count, uint32_t* bytesRead) {
    m_calls.push_back("Read");
    EXPECT_EQ(count, 1u) << "the receiver reads one byte at a time";
    EXPECT_NE(bytesRead, nullptr);
    const int step = m_next < m_script.size() ? m_script[m_next++] : kSilence;
    if (step == kFail) {
        return false;
    }
    if (step == kSilence) {
        *bytesRead = 0;
        return true;
    }
    buffer[0] = static_cast<uint8_t>(step);
    *bytesRead = 1;
    return true;
}

bool ScriptedCom::Write(const uint8_t*, uint32_t) {
    m_calls.push_back("Write");
    return false;
}

bool ScriptedCom::Close() {
    m_calls.push_back("Close");
    return true;
}

bool ScriptedCom::Flush() {
    m_calls.push_back("Flush");
    return true;
}

bool ScriptedCom::SetTimeout(uint32_t timeout) {
    m_calls.push_back("SetTimeout(" + std::to_string(timeout) + ")");
    timeoutMs = timeout;
    return true;
}

bool ScriptedCom::GetTimeout(uint32_t& timeout) {
    m_calls.push_back("GetTimeout");
    if (getTimeoutFails) {
        return false;
    }
    timeout = timeoutMs;
    return true;
}

bool ScriptedCom::Open(const char*, uint32_t, uint32_t) {
    m_calls.push_back("Open");
    return false;
}

bool ScriptedCom::IsOpen() {
    m_calls.push_back("IsOpen");
    return open;
}
