#include "protocol/ComProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/protocol/ReferenceCrc.h"
#include "tests/protocol/ScriptedCom.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What the caller puts in storedCount and in every buffer byte, to see what the call touched.
constexpr int32_t kUntouched = 1234;
constexpr uint8_t kFill = 0xEE;

// A frame with leading byte 0x00 whose header and payload hold no 0x10, so only a CRC byte may need the
// escape. Returns the wire bytes; `stored` receives the body as the receiver stores it.
std::vector<int> PlainFrame(const Bytes& payload, Bytes& stored) {
    stored = {0x00, static_cast<uint8_t>(payload.size() & 0xFF), static_cast<uint8_t>(payload.size() >> 8)};
    stored.insert(stored.end(), payload.begin(), payload.end());
    Bytes sent = {0x02};
    sent.insert(sent.end(), stored.begin(), stored.end());
    const uint16_t crc = ReferenceCrc(sent.data(), sent.size());
    std::vector<int> wire(sent.begin(), sent.end());
    for (uint8_t byte : {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)}) {
        stored.push_back(byte);
        if (byte == 0x10) {
            wire.push_back(0x10);
            wire.push_back(0x90);
        } else {
            wire.push_back(byte);
        }
    }
    return wire;
}

std::string ReceptionTrace(const Bytes& payload) {
    std::string trace = "Empfangen " + std::to_string(payload.size()) + "\n";
    for (uint8_t byte : payload) {
        char text[8];
        std::snprintf(text, sizeof text, "0x%02x ", byte);
        trace += text;
    }
    return trace + "\n";
}

Bytes Payload(std::size_t length) {
    Bytes payload(length);
    for (std::size_t k = 0; k < length; ++k) {
        payload[k] = static_cast<uint8_t>(0x20 + k % 0x50);
    }
    return payload;
}

// Script text: hex bytes, "--" for a read that times out, "!!" for a read that fails.
std::vector<int> Script(const std::string& text) {
    std::vector<int> steps;
    for (std::size_t pos = 0; pos + 1 < text.size(); pos += 3) {
        const std::string token = text.substr(pos, 2);
        steps.push_back(token == "--" ? kSilence : token == "!!" ? kFail : std::stoi(token, nullptr, 16));
    }
    return steps;
}

Bytes Hex(const std::string& text) {
    Bytes bytes;
    for (int step : Script(text)) {
        bytes.push_back(static_cast<uint8_t>(step));
    }
    return bytes;
}

struct ReceiveCase {
    std::string name;
    std::vector<int> script;
    uint32_t capacity;
    bool result;
    ComStatus status;
    int32_t storedCount;
    Bytes stored;  // the buffer from offset 0; every byte after these must keep kFill
    std::string trace;
    std::size_t unread;  // script steps the call must leave unread
};

std::vector<ReceiveCase> ReceiveCases() {
    using enum ComStatus;
    const std::string frame41Trace = "Empfangen 1\n0x41 \n";
    const std::string wrongCrcTrace = "Checksumme fehlerhaft: 0x62 0xda -> 0xd962\n";
    // clang-format off
    std::vector<ReceiveCase> cases = {
        {"nothing arrives", {}, 80, false, NoData, kUntouched, {}, "", 0},
        {"noise without start byte", Script("55 10 03"), 80, false, NoData, kUntouched, {}, "", 0},
        {"example frame", Script("02 00 01 00 41 62 D9"), 80, true, NoError, 6,
         Hex("00 01 00 41 62 D9"), frame41Trace, 0},
        {"leading noise dropped, trailing bytes not read", Script("AA 10 02 00 01 00 41 62 D9 02 00"), 80, true,
         NoError, 6, Hex("00 01 00 41 62 D9"), frame41Trace, 2},
        {"escaped 0x10 sent as 10 90", Script("02 00 01 00 10 90 B3 05"), 80, true, NoError, 6,
         Hex("00 01 00 10 B3 05"), "Empfangen 1\n0x10 \n", 0},
        {"escaped 0x10 sent as 10 10", Script("02 00 01 00 10 10 B0 86"), 80, true, NoError, 6,
         Hex("00 01 00 10 B0 86"), "Empfangen 1\n0x10 \n", 0},
        {"escaped 0x82 stored as 0x02", Script("02 00 01 00 10 82 DF 05"), 80, true, NoError, 6,
         Hex("00 01 00 02 DF 05"), "Empfangen 1\n0x02 \n", 0},
        {"escaped 0xC1 stored as 0x41", Script("02 00 01 00 10 C1 56 84"), 80, true, NoError, 6,
         Hex("00 01 00 41 56 84"), frame41Trace, 0},
        {"escaped leading byte and length", Script("02 10 80 10 81 10 80 41 17 AC"), 80, true, NoError, 6,
         Hex("00 01 00 41 17 AC"), frame41Trace, 0},
        {"CRC low byte 0x10 escaped", Script("02 00 01 00 56 10 90 D9"), 80, true, NoError, 6,
         Hex("00 01 00 56 10 D9"), "Empfangen 1\n0x56 \n", 0},
        {"CRC byte 0x62 escaped as 10 E2", Script("02 00 01 00 41 10 E2 D9"), 80, true, NoError, 6,
         Hex("00 01 00 41 62 D9"), frame41Trace, 0},
        {"second start byte inside a frame is data", Script("02 00 02 00 02 41 55 57"), 80, true, NoError, 7,
         Hex("00 02 00 02 41 55 57"), "Empfangen 2\n0x02 0x41 \n", 0},
        {"expected CRC 0x0000", Script("02 00 02 00 24 D8 00 00"), 80, true, NoError, 7,
         Hex("00 02 00 24 D8 00 00"), "Empfangen 2\n0x24 0xd8 \n", 0},
        {"event frame", Script("02 00 06 00 01 00 01 02 01 59 81 6D"), 80, true, NoError, 11,
         Hex("00 06 00 01 00 01 02 01 59 81 6D"), "Empfangen 6\n0x01 0x00 0x01 0x02 0x01 0x59 \n", 0},
        {"wrong CRC", Script("02 00 01 00 41 62 DA 55"), 80, false, ChecksumWrong, 6,
         Hex("00 01 00 41 62 DA"), wrongCrcTrace, 1},
        {"wrong CRC in the byte that fills the buffer", Script("02 00 01 00 41 62 DA 55"), 6, false,
         ChecksumWrong, 6, Hex("00 01 00 41 62 DA"), wrongCrcTrace, 1},
        {"frame fills the buffer exactly", Script("02 00 01 00 41 62 D9 55"), 6, true, NoError, 6,
         Hex("00 01 00 41 62 D9"), frame41Trace, 1},
        {"length 0 ends the frame at once", Script("02 00 00 00 41 62 D9 01"), 80, false, LengthTooLarge, 3,
         Hex("00 00 00"), "", 4},
        {"length one beyond the capacity", Script("02 00 02 00 41 42"), 6, false, LengthTooLarge, 3,
         Hex("00 02 00"), "", 2},
        {"escaped length high byte", Script("02 00 00 10 81 41"), 80, false, LengthTooLarge, 3, Hex("00 00 01"),
         "", 1},
        {"frame cut off by silence", Script("02 00 06 00 01 -- 55"), 80, false, NoData, 4, Hex("00 06 00 01"), "",
         1},
        {"capacity 0, start byte", Script("02 00"), 0, false, BufferTooSmall, 0, {}, "", 1},
        {"capacity 0, other byte", Script("55 02"), 0, false, BufferTooSmall, kUntouched, {}, "", 1},
        {"first read fails", Script("!! 02"), 80, false, NoData, kUntouched, {}, "", 1},
        {"later read fails", Script("02 00 !! 01"), 80, false, TransmissionError, 1, Hex("00"), "", 1},
        {"read fails after noise", Script("55 !!"), 80, false, TransmissionError, kUntouched, {}, "", 0},
    };
    // clang-format on

    Bytes stored75;
    std::vector<int> wire75 = PlainFrame(Payload(75), stored75);
    cases.push_back({"payload 75 in capacity 80", wire75, 80, true, NoError, 80, stored75,
                     ReceptionTrace(Payload(75)), 0});

    Bytes stored76;
    std::vector<int> wire76 = PlainFrame(Payload(76), stored76);
    stored76.resize(3);
    cases.push_back(
        {"payload 76 in capacity 80", wire76, 80, false, LengthTooLarge, 3, stored76, "", wire76.size() - 4});
    return cases;
}

TEST(ComProtocolReceive, Cases) {
    for (const ReceiveCase& c : ReceiveCases()) {
        SCOPED_TRACE(c.name);
        ScriptedCom port(c.script);
        ComProtocol receiver;
        receiver.SetCom(&port);
        Bytes buffer(c.capacity + 16, kFill);
        int32_t storedCount = kUntouched;

        testing::internal::CaptureStdout();
        const bool result = receiver.Receive(buffer.data(), c.capacity, storedCount, 0);
        const std::string trace = testing::internal::GetCapturedStdout();

        EXPECT_EQ(result, c.result);
        EXPECT_EQ(receiver.GetStatus(), c.status) << ComStatusText(receiver.GetStatus());
        EXPECT_EQ(storedCount, c.storedCount);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + c.stored.size()), c.stored);
        EXPECT_EQ(Bytes(buffer.begin() + c.stored.size(), buffer.end()),
                  Bytes(buffer.size() - c.stored.size(), kFill));
        EXPECT_EQ(trace, c.trace);
        EXPECT_EQ(port.Unread(), c.unread);
        const std::vector<std::string>& calls = port.Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), "IsOpen");
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "Read"), static_cast<long>(calls.size() - 1))
            << port.Log();
    }
}

TEST(ComProtocolReceive, WithoutAnOpenPortNothingIsReadOrWritten) {
    struct Case {
        std::string name;
        bool setCom;
        ComStatus status;
        std::string log;
    };
    const Case cases[] = {
        {"no port set", false, ComStatus::SetComNotCalled, ""},
        {"port closed", true, ComStatus::NotConnected, "IsOpen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCom port(Script("02 00 01 00 41 62 D9"));
        port.open = false;
        ComProtocol receiver;
        if (c.setCom) {
            receiver.SetCom(&port);
        }
        Bytes buffer(80, kFill);
        int32_t storedCount = kUntouched;

        testing::internal::CaptureStdout();
        const bool received = receiver.Receive(buffer.data(), 80, storedCount, 200);
        const std::string trace = testing::internal::GetCapturedStdout();

        EXPECT_FALSE(received);
        EXPECT_EQ(trace, "");
        EXPECT_EQ(receiver.GetStatus(), c.status);
        EXPECT_EQ(storedCount, kUntouched);
        EXPECT_EQ(buffer, Bytes(80, kFill));
        EXPECT_EQ(port.Log(), c.log);
        EXPECT_EQ(port.timeoutMs, 500u);
    }
}

TEST(ComProtocolReceive, TimeoutIsSwappedForTheCallOnly) {
    const std::string frame = "02 00 01 00 41 62 D9";
    const std::string swapped = "IsOpen GetTimeout SetTimeout(200) Read*7 SetTimeout(500)";
    struct Case {
        std::string name;
        std::string script;
        uint32_t timeoutMs;
        bool getTimeoutFails;
        std::string log;
        uint32_t timeoutAfter;
    };
    // clang-format off
    const Case cases[] = {
        {"timeout 0 leaves the port alone", frame, 0, false, "IsOpen Read*7", 500},
        {"timeout 200 on a 500 port", frame, 200, false, swapped, 500},
        {"restored also when nothing arrives", "", 200, false,
         "IsOpen GetTimeout SetTimeout(200) Read SetTimeout(500)", 500},
        {"restored also after a wrong CRC", "02 00 01 00 41 62 DA", 200, false, swapped, 500},
        {"nothing put back when GetTimeout fails", frame, 200, true, "IsOpen GetTimeout SetTimeout(200) Read*7",
         200},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCom port(Script(c.script));
        port.getTimeoutFails = c.getTimeoutFails;
        ComProtocol receiver;
        receiver.SetCom(&port);
        Bytes buffer(80);
        int32_t storedCount = 0;

        testing::internal::CaptureStdout();
        receiver.Receive(buffer.data(), 80, storedCount, c.timeoutMs);
        testing::internal::GetCapturedStdout();

        EXPECT_EQ(port.Log(), c.log);
        EXPECT_EQ(port.timeoutMs, c.timeoutAfter);
    }
}

// A failed call leaves no frame state behind: the next call drops what follows until a start byte.
TEST(ComProtocolReceive, NextCallHuntsAfresh) {
    const std::vector<int> goodFrame = Script("02 00 01 00 41 62 D9");
    struct Case {
        std::string name;
        std::string firstCall;
        uint32_t firstCapacity;
        ComStatus firstStatus;
        std::string leftover;  // would finish the failed frame if the receiver kept it
        std::string firstTrace;
    };
    // clang-format off
    const Case cases[] = {
        {"after a wrong CRC", "02 00 01 00 41 62 DA", 80, ComStatus::ChecksumWrong, "41",
         "Checksumme fehlerhaft: 0x62 0xda -> 0xd962\n"},
        {"after a frame cut off by silence", "02 00 01 00 41 --", 80, ComStatus::NoData, "62 D9", ""},
        {"after a full buffer", "02 00 01", 2, ComStatus::BufferTooSmall, "00 41 62 D9", ""},
        {"after a length that cannot fit", "02 00 01 00", 3, ComStatus::LengthTooLarge, "41 62 D9", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCom port(Script(c.firstCall));
        port.Append(Script(c.leftover));
        port.Append(goodFrame);
        const std::size_t unreadAfterFirst = Script(c.leftover).size() + goodFrame.size();
        ComProtocol receiver;
        receiver.SetCom(&port);
        Bytes buffer(80, kFill);
        int32_t storedCount = kUntouched;

        testing::internal::CaptureStdout();
        const bool first = receiver.Receive(buffer.data(), c.firstCapacity, storedCount, 0);
        const std::string firstTrace = testing::internal::GetCapturedStdout();
        const ComStatus firstStatus = receiver.GetStatus();
        const std::size_t unread = port.Unread();
        testing::internal::CaptureStdout();
        const bool second = receiver.Receive(buffer.data(), 80, storedCount, 0);
        const std::string secondTrace = testing::internal::GetCapturedStdout();

        EXPECT_FALSE(first);
        EXPECT_EQ(firstTrace, c.firstTrace);
        EXPECT_EQ(firstStatus, c.firstStatus);
        EXPECT_EQ(unread, unreadAfterFirst);
        EXPECT_TRUE(second);
        EXPECT_EQ(secondTrace, "Empfangen 1\n0x41 \n");
        EXPECT_EQ(receiver.GetStatus(), ComStatus::NoError);
        EXPECT_EQ(storedCount, 6);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), Hex("00 01 00 41 62 D9"));
        EXPECT_EQ(port.Unread(), 0u);
    }
}

}  // namespace
