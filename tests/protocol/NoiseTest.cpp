#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "protocol/ComProtocol.h"
#include "sim/FrameEncoder.h"
#include "tests/protocol/ScriptedCom.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kCapacity = 80;
constexpr std::size_t kGuardSize = 32;
constexpr uint8_t kGuardFill = 0xA5;
constexpr uint8_t kStartByte = 0x02;

// An event frame that carries its number in the hours and minutes, as two digits of base 200 from 3
// up, so that the number never puts a start byte into the frame.
constexpr int kDigitBase = 200;
constexpr int kDigitOffset = 3;

Bytes NumberedPayload(int number, std::mt19937& random) {
    return FrameEncoder::EventPayload(
        static_cast<uint8_t>(1 + random() % 4), static_cast<uint8_t>(kDigitOffset + number / kDigitBase),
        static_cast<uint8_t>(kDigitOffset + number % kDigitBase), static_cast<uint8_t>(random() % 60),
        static_cast<uint16_t>(random() % 1000));
}

int NumberOf(const uint8_t* stored) {
    return (stored[4] - kDigitOffset) * kDigitBase + (stored[5] - kDigitOffset);
}

// The receiver's buffer with a guard behind it, and the checks that every call must pass.
class GuardedReceiver {
public:
    explicit GuardedReceiver(ScriptedCom& port) : m_memory(kCapacity + kGuardSize, kGuardFill) {
        m_receiver.SetCom(&port);
    }

    // One Receive; returns the frame's number, or -1 when no frame came.
    int Next() {
        int32_t storedCount = -1;
        const bool received = m_receiver.Receive(m_memory.data(), kCapacity, storedCount, 0);
        EXPECT_TRUE(std::all_of(m_memory.begin() + kCapacity, m_memory.end(), [](uint8_t byte) {
            return byte == kGuardFill;
        })) << "a byte beyond the capacity was written";
        EXPECT_LE(storedCount, static_cast<int32_t>(kCapacity));
        if (!received) {
            return -1;
        }
        EXPECT_EQ(storedCount, 11);
        return NumberOf(m_memory.data());
    }

    const uint8_t* Stored() const { return m_memory.data(); }

private:
    ComProtocol m_receiver;
    std::vector<uint8_t> m_memory;
};

TEST(ComProtocolNoise, FramesBetweenNoiseWithoutStartBytesAreAllReceived) {
    struct Case {
        const char* noise;
        std::size_t longestRun;
        std::vector<uint8_t> alphabet;  // empty: any byte but the start byte
    };
    const Case cases[] = {
        {"short runs of any byte", 8, {}},
        {"long runs of any byte", 400, {}},
        {"escape bytes", 20, {0x10}},
        {"escaped start bytes", 20, {0x10, 0x82}},
        {"bytes with bit 7 set", 50, {0x80, 0x90, 0xFF, 0x82}},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.noise);
        std::mt19937 random(0x5F3A);
        FrameEncoder encoder(0xB7C4);
        std::vector<Bytes> payloads;
        std::vector<int> script;
        auto addNoise = [&] {
            for (std::size_t k = random() % (testCase.longestRun + 1); k > 0; --k) {
                uint8_t byte = testCase.alphabet.empty()
                                   ? static_cast<uint8_t>(random())
                                   : testCase.alphabet[random() % testCase.alphabet.size()];
                script.push_back(byte == kStartByte ? 0x03 : byte);
            }
        };
        for (int number = 0; number < 200; ++number) {
            addNoise();
            payloads.push_back(NumberedPayload(number, random));
            const Bytes wire = encoder.Encode(payloads.back(), 0x00, FrameEncoder::Stuffing::Random);
            script.insert(script.end(), wire.begin(), wire.end());
        }
        addNoise();

        testing::internal::CaptureStdout();
        ScriptedCom port(script);
        GuardedReceiver receiver(port);
        std::vector<int> numbers;
        std::vector<bool> exact;
        for (std::size_t n = 0; n < payloads.size(); ++n) {
            numbers.push_back(receiver.Next());
            exact.push_back(numbers.back() >= 0 &&
                            std::equal(payloads[n].begin(), payloads[n].end(), receiver.Stored() + 3));
        }
        const int trailing = receiver.Next();
        testing::internal::GetCapturedStdout();

        for (std::size_t n = 0; n < payloads.size(); ++n) {
            ASSERT_EQ(numbers[n], static_cast<int>(n)) << "frame " << n;
            ASSERT_TRUE(exact[n]) << "frame " << n << " stored other bytes";
        }
        EXPECT_EQ(trailing, -1);
        EXPECT_EQ(port.Unread(), 0u);
    }
}

// A frame that the noise's last start byte opens goes on into the frames after the noise: it ends
// at the latest once the buffer is full, that is after 80 stored bytes, at most 161 bytes on the
// line counting the start byte and escapes. Frames whose bodies hold no start byte cannot mislead
// the hunt that follows, so every frame that begins beyond that reach is received; a quiet line
// after the noise ends the false frame at once, and then no frame is lost.
TEST(ComProtocolNoise, BackInStepOnceTheFrameThatTheNoiseOpenedHasEnded) {
    constexpr std::size_t kReach = 2 * kCapacity + 1;
    struct Case {
        const char* line;
        bool quietAfterNoise;
    };
    const Case cases[] = {
        {"noise running straight into frames", false},
        {"noise, then the line quiet for one read", true},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.line);
        std::mt19937 random(0x0B7C4);
        FrameEncoder encoder;
        std::vector<Bytes> payloads;
        std::vector<std::size_t> frameStarts;
        std::vector<std::size_t> reachEnds;  // per frame: where the reach of the noise before it ends
        std::vector<int> script;
        std::size_t reachEnd = 0;
        int noiseBursts = 0;
        for (int number = 0; number < 3000; ++number) {
            if (number % 10 == 0) {
                ++noiseBursts;
                std::size_t lastStart = script.size();
                bool startInNoise = false;
                for (std::size_t k = 1 + random() % 200; k > 0; --k) {
                    const uint8_t byte = random() % 8 == 0 ? kStartByte : static_cast<uint8_t>(random());
                    if (byte == kStartByte) {
                        lastStart = script.size();
                        startInNoise = true;
                    }
                    script.push_back(byte);
                }
                if (testCase.quietAfterNoise) {
                    script.push_back(kSilence);
                } else if (startInNoise) {
                    reachEnd = lastStart + kReach;
                }
            }
            Bytes wire;
            do {
                payloads.resize(static_cast<std::size_t>(number));
                payloads.push_back(NumberedPayload(number, random));
                wire = encoder.Encode(payloads.back());
            } while (std::count(wire.begin(), wire.end(), kStartByte) != 1);
            frameStarts.push_back(script.size());
            reachEnds.push_back(reachEnd);
            script.insert(script.end(), wire.begin(), wire.end());
        }

        testing::internal::CaptureStdout();
        ScriptedCom port(script);
        GuardedReceiver receiver(port);
        std::set<int> received;
        bool exact = true;
        while (port.Unread() > 0) {
            const int number = receiver.Next();
            if (number >= 0) {
                exact = exact && number < static_cast<int>(payloads.size()) &&
                        std::equal(payloads[static_cast<std::size_t>(number)].begin(),
                                   payloads[static_cast<std::size_t>(number)].end(), receiver.Stored() + 3);
                received.insert(number);
            }
        }
        testing::internal::GetCapturedStdout();

        EXPECT_TRUE(exact) << "a frame was received with other bytes than sent";
        EXPECT_GT(noiseBursts, 0);
        for (std::size_t n = 0; n < payloads.size(); ++n) {
            if (frameStarts[n] >= reachEnds[n]) {
                ASSERT_EQ(received.count(static_cast<int>(n)), 1u) << "frame " << n << " was lost";
            }
        }
    }
}

}  // namespace
