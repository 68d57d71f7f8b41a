#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "protocol/ComProtocol.h"
#include "sim/FrameEncoder.h"
#include "tests/protocol/ReferenceCrc.h"
#include "tests/protocol/ScriptedCom.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct SentFrame {
    uint8_t leadingByte;
    Bytes payload;
    uint16_t crc;     // the reference checksum over the transmitted bytes up to the payload's end
    std::size_t end;  // script position just after the frame's last byte
};

// Where the transmitted payload ends: the escape byte 0x10 is never data, so a forward walk is exact.
std::size_t WireEndOfPayload(const Bytes& wire, std::size_t payloadLength) {
    std::size_t body = 0;
    std::size_t pos = 1;
    while (body < payloadLength + 3) {
        pos += wire[pos] == 0x10 ? 2 : 1;
        ++body;
    }
    return pos;
}

TEST(ComProtocolRandom, StuffedFramesBetweenNoiseAreAllReceivedExactly) {
    std::mt19937 random(0xB7C4);
    FrameEncoder encoder(0x5F3A);
    std::vector<SentFrame> frames;
    std::vector<int> script;
    std::string expectedTrace;

    for (int n = 0; n < 400; ++n) {
        // Noise between frames: anything but the start byte, the escape byte included.
        for (unsigned k = random() % 6; k > 0; --k) {
            uint8_t noise = static_cast<uint8_t>(random());
            script.push_back(noise == 0x02 ? 0x10 : noise);
        }
        SentFrame frame{static_cast<uint8_t>(random()), Bytes(1 + random() % 75), 0, 0};
        for (uint8_t& byte : frame.payload) {
            byte = static_cast<uint8_t>(random());
        }
        const Bytes wire = encoder.Encode(frame.payload, frame.leadingByte, FrameEncoder::Stuffing::Random);
        frame.crc = ReferenceCrc(wire.data(), WireEndOfPayload(wire, frame.payload.size()));
        script.insert(script.end(), wire.begin(), wire.end());
        frame.end = script.size();
        frames.push_back(frame);

        expectedTrace += "Empfangen " + std::to_string(frame.payload.size()) + "\n";
        for (uint8_t byte : frame.payload) {
            char text[8];
            std::snprintf(text, sizeof text, "0x%02x ", byte);
            expectedTrace += text;
        }
        expectedTrace += "\n";
    }
    script.push_back(0x55);
    script.push_back(0x10);

    ScriptedCom port(script);
    ComProtocol receiver;
    receiver.SetCom(&port);
    Bytes buffer(80);
    // Checked after the capture ends, so that a failure message is not swallowed with the traces.
    std::string failure;
    testing::internal::CaptureStdout();
    for (std::size_t n = 0; n < frames.size() && failure.empty(); ++n) {
        const SentFrame& frame = frames[n];
        const std::size_t length = frame.payload.size();
        Bytes expected = {frame.leadingByte, static_cast<uint8_t>(length), 0};
        expected.insert(expected.end(), frame.payload.begin(), frame.payload.end());
        expected.push_back(static_cast<uint8_t>(frame.crc & 0xFF));
        expected.push_back(static_cast<uint8_t>(frame.crc >> 8));

        int32_t storedCount = -1;
        const bool received = receiver.Receive(buffer.data(), 80, storedCount, 0);
        const std::string where = "frame " + std::to_string(n) + ": ";
        if (!received) {
            failure = where + "not received, " + ComStatusText(receiver.GetStatus());
        } else if (storedCount != static_cast<int32_t>(length + 5)) {
            failure = where + "stored " + std::to_string(storedCount) + " bytes";
        } else if (Bytes(buffer.begin(), buffer.begin() + storedCount) != expected) {
            failure = where + "stored bytes differ";
        } else if (port.Unread() != script.size() - frame.end) {
            failure = where + "the call did not end at the frame's last byte";
        }
    }
    int32_t storedCount = -1;
    const bool trailingNoise = receiver.Receive(buffer.data(), 80, storedCount, 0);
    const std::string trace = testing::internal::GetCapturedStdout();

    ASSERT_EQ(failure, "");
    EXPECT_FALSE(trailingNoise);
    EXPECT_EQ(receiver.GetStatus(), ComStatus::NoData);
    EXPECT_EQ(storedCount, -1);
    EXPECT_EQ(trace, expectedTrace);
}

}  // namespace
