#include <gtest/gtest.h>

#include <string>

#include "sim/InteractiveStopwatch.h"
#include "tests/sim/FrameDecoder.h"

namespace {

using Command = InteractiveStopwatch::Command;

TEST(InteractiveStopwatch, KeysBecomeEventsWithTheRunningTime) {
    struct Step {
        char key;
        uint64_t now;
        Command command;
        const char* payload;  // the event sent, for Command::Send
    };
    const Step steps[] = {
        {'l', 500, Command::Send, "03 00 00 00 00 00"},  // before any start the display shows zero
        {'s', 1000, Command::Send, "01 00 00 00 00 00"},
        {'l', 3500, Command::Send, "03 00 00 02 01 F4"},     // 2.500 s
        {'L', 62001, Command::Send, "03 00 01 01 00 01"},    // 61.001 s
        {'p', 3601000, Command::Send, "02 01 00 00 00 00"},  // one hour
        {'l', 3700000, Command::Send, "03 01 00 00 00 00"},  // stopped: the time stands
        {'e', 3800000, Command::Send, "04 01 00 00 00 00"},
        {'S', 4000000, Command::Send, "01 00 00 00 00 00"},  // a new run from zero
        {'e', 4000016, Command::Send, "04 00 00 00 00 10"},
        {'u', 4000100, Command::TogglePlug, nullptr},
        {'x', 4000200, Command::None, nullptr},
        {'\n', 4000300, Command::None, nullptr},
        {'q', 4000400, Command::Quit, nullptr},
    };
    InteractiveStopwatch stopwatch;
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string("key ") + step.key + " at " + std::to_string(step.now));
        const InteractiveStopwatch::Reaction reaction = stopwatch.OnKey(step.key, step.now);
        EXPECT_EQ(reaction.command, step.command);
        if (step.payload != nullptr) {
            const DecodedFrame frame = DecodeFrame(reaction.action.bytes);
            EXPECT_EQ(frame.error, "");
            EXPECT_EQ(HexBytes(frame.payload), step.payload);
        }
    }
}

}  // namespace
