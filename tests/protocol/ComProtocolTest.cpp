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
    std::vector<ReceiveCase> cases = {
        {"nothing arrives", {}, 80, false, ComStatus::NoData, kUntouched, {}, "", 0},
        {"noise without start byte", {0x55, 0x10, 0x03}, 80, false, ComStatus::NoData, kUntouched, {}, "", 0},
        {"example frame",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xD9},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x62, 0xD9},
         "Empfangen 1\n0x41 \n",
         0},
        {"leading noise dropped, trailing bytes not read",
         {0xAA, 0x10, 0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xD9, 0x02, 0x00},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x62, 0xD9},
         "Empfangen 1\n0x41 \n",
         2},
        {"escaped 0x10 sent as 10 90",
         {0x02, 0x00, 0x01, 0x00, 0x10, 0x90, 0xB3, 0x05},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x10, 0xB3, 0x05},
         "Empfangen 1\n0x10 \n",
         0},
        {"escaped 0x10 sent as 10 10",
         {0x02, 0x00, 0x01, 0x00, 0x10, 0x10, 0xB0, 0x86},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x10, 0xB0, 0x86},
         "Empfangen 1\n0x10 \n",
         0},
        {"escaped 0x82 stored as 0x02",
         {0x02, 0x00, 0x01, 0x00, 0x10, 0x82, 0xDF, 0x05},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x02, 0xDF, 0x05},
         "Empfangen 1\n0x02 \n",
         0},
        {"escaped 0xC1 stored as 0x41",
         {0x02, 0x00, 0x01, 0x00, 0x10, 0xC1, 0x56, 0x84},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x56, 0x84},
         "Empfangen 1\n0x41 \n",
         0},
        {"escaped leading byte and length",
         {0x02, 0x10, 0x80, 0x10, 0x81, 0x10, 0x80, 0x41, 0x17, 0xAC},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x17, 0xAC},
         "Empfangen 1\n0x41 \n",
         0},
        {"CRC low byte 0x10 escaped",
         {0x02, 0x00, 0x01, 0x00, 0x56, 0x10, 0x90, 0xD9},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x56, 0x10, 0xD9},
         "Empfangen 1\n0x56 \n",
         0},
        {"CRC byte 0x62 escaped as 10 E2",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x10, 0xE2, 0xD9},
         80,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x62, 0xD9},
         "Empfangen 1\n0x41 \n",
         0},
        {"second start byte inside a frame is data",
         {0x02, 0x00, 0x02, 0x00, 0x02, 0x41, 0x55, 0x57},
         80,
         true,
         ComStatus::NoError,
         7,
         {0x00, 0x02, 0x00, 0x02, 0x41, 0x55, 0x57},
         "Empfangen 2\n0x02 0x41 \n",
         0},
        {"expected CRC 0x0000",
         {0x02, 0x00, 0x02, 0x00, 0x24, 0xD8, 0x00, 0x00},
         80,
         true,
         ComStatus::NoError,
         7,
         {0x00, 0x02, 0x00, 0x24, 0xD8, 0x00, 0x00},
         "Empfangen 2\n0x24 0xd8 \n",
         0},
        {"event frame",
         {0x02, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x02, 0x01, 0x59, 0x81, 0x6D},
         80,
         true,
         ComStatus::NoError,
         11,
         {0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x02, 0x01, 0x59, 0x81, 0x6D},
         "Empfangen 6\n0x01 0x00 0x01 0x02 0x01 0x59 \n",
         0},
        {"wrong CRC",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xDA, 0x55},
         80,
         false,
         ComStatus::ChecksumWrong,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x62, 0xDA},
         "Checksumme fehlerhaft: 0x62 0xda -> 0xd962\n",
         1},
        {"wrong CRC in the byte that fills the buffer",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xDA, 0x55},
         6,
         false,
         ComStatus::ChecksumWrong,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x62, 0xDA},
         "Checksumme fehlerhaft: 0x62 0xda -> 0xd962\n",
         1},
        {"frame fills the buffer exactly",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xD9, 0x55},
         6,
         true,
         ComStatus::NoError,
         6,
         {0x00, 0x01, 0x00, 0x41, 0x62, 0xD9},
         "Empfangen 1\n0x41 \n",
         1},
        {"length 0 runs into the capacity",
         {0x02, 0x00, 0x00, 0x00, 0x41, 0x62, 0xD9, 0x01, 0x02, 0x03, 0x04, 0x05},
         8,
         false,
         ComStatus::BufferTooSmall,
         8,
         {0x00, 0x00, 0x00, 0x41, 0x62, 0xD9, 0x01, 0x02},
         "",
         3},
        {"length 0 then silence",
         {0x02, 0x00, 0x00, 0x00, 0x41, kSilence, 0x01},
         80,
         false,
         ComStatus::NoData,
         4,
         {0x00, 0x00, 0x00, 0x41},
         "",
         1},
        {"frame cut off by silence",
         {0x02, 0x00, 0x06, 0x00, 0x01, kSilence, 0x55},
         80,
         false,
         ComStatus::NoData,
         4,
         {0x00, 0x06, 0x00, 0x01},
         "",
         1},
        {"capacity 0, start byte", {0x02, 0x00}, 0, false, ComStatus::BufferTooSmall, 0, {}, "", 1},
        {"capacity 0, other byte", {0x55, 0x02}, 0, false, ComStatus::BufferTooSmall, kUntouched, {}, "", 1},
        {"first read fails", {kFail, 0x02}, 80, false, ComStatus::NoData, kUntouched, {}, "", 1},
        {"later read fails",
         {0x02, 0x00, kFail, 0x01},
         80,
         false,
         ComStatus::TransmissionError,
         1,
         {0x00},
         "",
         1},
        {"read fails after noise",
         {0x55, kFail},
         80,
         false,
         ComStatus::TransmissionError,
         kUntouched,
         {},
         "",
         0},
    };

    Bytes stored75;
    std::vector<int> wire75 = PlainFrame(Payload(75), stored75);
    cases.push_back({"payload 75 in capacity 80", wire75, 80, true, ComStatus::NoError, 80, stored75,
                     ReceptionTrace(Payload(75)), 0});

    Bytes stored76;
    std::vector<int> wire76 = PlainFrame(Payload(76), stored76);
    stored76.resize(80);
    cases.push_back({"payload 76 in capacity 80", wire76, 80, false, ComStatus::BufferTooSmall, 80, stored76,
                     "", wire76.size() - 81});
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
        ScriptedCom port({0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xD9});
        port.open = false;
        ComProtocol receiver;
        if (c.setCom) {
            receiver.SetCom(&port);
        }
        Bytes buffer(80, kFill);
        int32_t storedCount = kUntouched;

        testing::internal::CaptureStdout();
        EXPECT_FALSE(receiver.Receive(buffer.data(), 80, storedCount, 200));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

        EXPECT_EQ(receiver.GetStatus(), c.status);
        EXPECT_EQ(storedCount, kUntouched);
        EXPECT_EQ(buffer, Bytes(80, kFill));
        EXPECT_EQ(port.Log(), c.log);
        EXPECT_EQ(port.timeoutMs, 500u);
    }
}

TEST(ComProtocolReceive, TimeoutIsSwappedForTheCallOnly) {
    const std::vector<int> frame = {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xD9};
    struct Case {
        std::string name;
        std::vector<int> script;
        uint32_t timeoutMs;
        bool getTimeoutFails;
        std::string log;
        uint32_t timeoutAfter;
    };
    const Case cases[] = {
        {"timeout 0 leaves the port alone", frame, 0, false, "IsOpen Read*7", 500},
        {"timeout 200 on a 500 port", frame, 200, false,
         "IsOpen GetTimeout SetTimeout(200) Read*7 SetTimeout(500)", 500},
        {"restored also when nothing arrives",
         {},
         200,
         false,
         "IsOpen GetTimeout SetTimeout(200) Read SetTimeout(500)",
         500},
        {"restored also after a wrong CRC",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xDA},
         200,
         false,
         "IsOpen GetTimeout SetTimeout(200) Read*7 SetTimeout(500)",
         500},
        {"nothing put back when GetTimeout fails", frame, 200, true,
         "IsOpen GetTimeout SetTimeout(200) Read*7", 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCom port(c.script);
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
    const std::vector<int> goodFrame = {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xD9};
    struct Case {
        std::string name;
        std::vector<int> firstCall;
        ComStatus firstStatus;
        std::vector<int> leftover;  // would finish the failed frame if the receiver kept it
        std::string firstTrace;
    };
    const Case cases[] = {
        {"after a wrong CRC",
         {0x02, 0x00, 0x01, 0x00, 0x41, 0x62, 0xDA},
         ComStatus::ChecksumWrong,
         {0x41},
         "Checksumme fehlerhaft: 0x62 0xda -> 0xd962\n"},
        {"after a frame cut off by silence",
         {0x02, 0x00, 0x01, 0x00, 0x41, kSilence},
         ComStatus::NoData,
         {0x62, 0xD9},
         ""},
        {"after a full buffer", {0x02, 0x00, 0x01, 0x00}, ComStatus::BufferTooSmall, {0x41, 0x62, 0xD9}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedCom port(c.firstCall);
        port.Append(c.leftover);
        port.Append(goodFrame);
        ComProtocol receiver;
        receiver.SetCom(&port);
        Bytes buffer(80, kFill);
        int32_t storedCount = kUntouched;
        const uint32_t firstCapacity = c.firstStatus == ComStatus::BufferTooSmall ? 3 : 80;

        testing::internal::CaptureStdout();
        EXPECT_FALSE(receiver.Receive(buffer.data(), firstCapacity, storedCount, 0));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.firstTrace);
        EXPECT_EQ(receiver.GetStatus(), c.firstStatus);
        EXPECT_EQ(port.Unread(), c.leftover.size() + goodFrame.size());

        testing::internal::CaptureStdout();
        EXPECT_TRUE(receiver.Receive(buffer.data(), 80, storedCount, 0));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "Empfangen 1\n0x41 \n");
        EXPECT_EQ(receiver.GetStatus(), ComStatus::NoError);
        EXPECT_EQ(storedCount, 6);
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 6), (Bytes{0x00, 0x01, 0x00, 0x41, 0x62, 0xD9}));
        EXPECT_EQ(port.Unread(), 0u);
    }
}

}  // namespace
