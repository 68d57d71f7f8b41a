#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/DemoGenerator.h"
#include "tests/sim/FrameDecoder.h"

namespace {

struct Event {
    uint8_t kind;
    uint64_t milliseconds;  // the event's time, as a running time
    uint64_t sentAt;        // when the demo sends it, counted from the round's start
};

// Every frame of a round decodes cleanly and carries a six-byte event with a clock-like time.
std::vector<Event> DecodeRound(const std::vector<Action>& round) {
    std::vector<Event> events;
    uint64_t clock = 0;
    for (const Action& action : round) {
        if (action.type == Action::Type::Wait) {
            EXPECT_GE(action.milliseconds, 1000u) << "pauses at a human pace";
            EXPECT_LE(action.milliseconds, 10000u) << "pauses at a human pace";
            clock += action.milliseconds;
            continue;
        }
        EXPECT_EQ(action.type, Action::Type::Send);
        const DecodedFrame frame = DecodeFrame(action.bytes);
        EXPECT_EQ(frame.error, "") << HexBytes(action.bytes);
        EXPECT_EQ(frame.payload.size(), 6u) << HexBytes(action.bytes);
        if (frame.payload.size() != 6) {
            continue;
        }
        const uint8_t hours = frame.payload[1];
        const uint8_t minutes = frame.payload[2];
        const uint8_t seconds = frame.payload[3];
        const unsigned milliseconds = (frame.payload[4] << 8) | frame.payload[5];
        EXPECT_LT(minutes, 60);
        EXPECT_LT(seconds, 60);
        EXPECT_LT(milliseconds, 1000u);
        events.push_back({frame.payload[0],
                          ((hours * 60ull + minutes) * 60ull + seconds) * 1000ull + milliseconds, clock});
    }
    return events;
}

TEST(DemoGenerator, RoundsTimeARunLikeAnOperator) {
    for (uint32_t seed : {1u, 2u, 0x5F3Au, 0xB7C4u}) {
        DemoGenerator demo(seed);
        for (int roundNumber = 0; roundNumber < 20; ++roundNumber) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", round " + std::to_string(roundNumber));
            const std::vector<Event> events = DecodeRound(demo.NextRound());
            ASSERT_GE(events.size(), 6u);
            ASSERT_LE(events.size(), 9u);

            const Event& start = events.front();
            EXPECT_EQ(start.kind, 1);
            EXPECT_EQ(start.milliseconds, 0u);
            for (std::size_t i = 1; i + 2 < events.size(); ++i) {
                EXPECT_EQ(events[i].kind, 3) << "lap " << i;
            }
            const Event& stop = events[events.size() - 2];
            const Event& error = events.back();
            EXPECT_EQ(stop.kind, 2);
            EXPECT_TRUE(error.kind == 0 || error.kind > 3) << int(error.kind);
            EXPECT_EQ(error.milliseconds, stop.milliseconds) << "a stopped stopwatch keeps its time";

            // The stopwatch's time runs with the pauses between the frames.
            for (std::size_t i = 1; i + 1 < events.size(); ++i) {
                EXPECT_EQ(events[i].milliseconds, events[i].sentAt - start.sentAt) << "event " << i;
            }
            EXPECT_GT(error.sentAt, stop.sentAt);
        }
    }
}

TEST(DemoGenerator, SeedsGiveDifferentRuns) {
    DemoGenerator first(1);
    DemoGenerator second(2);
    EXPECT_NE(first.NextRound(), second.NextRound());
    DemoGenerator again(1);
    DemoGenerator same(1);
    EXPECT_EQ(again.NextRound(), same.NextRound());
}

}  // namespace
