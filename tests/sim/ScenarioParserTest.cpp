#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sim/ScenarioParser.h"
#include "tests/sim/FrameDecoder.h"

namespace {

std::string Describe(const Action& action) {
    switch (action.type) {
        case Action::Type::Wait:
            return "wait " + std::to_string(action.milliseconds);
        case Action::Type::Unplug:
            return "unplug";
        case Action::Type::Plug:
            return "plug";
        case Action::Type::Send:
            break;
    }
    if (action.label == "raw") {
        return "raw " + HexBytes(action.bytes);
    }
    const DecodedFrame frame = DecodeFrame(action.bytes);
    if (!frame.error.empty()) {
        return "broken frame: " + frame.error;
    }
    return "frame " + HexBytes(frame.payload);
}

std::vector<std::string> Describe(const std::vector<Action>& actions) {
    std::vector<std::string> described;
    for (const Action& action : actions) {
        described.push_back(Describe(action));
    }
    return described;
}

TEST(ScenarioParser, UnderstandsEveryAction) {
    struct Case {
        const char* text;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"wait 250", {"wait 250"}},
        {"  wait\t0   # nothing to wait for", {"wait 0"}},
        {"wait 4294967295", {"wait 4294967295"}},
        {"event start 0 0 0 0", {"frame 01 00 00 00 00 00"}},
        {"event stop 1 2 3 4", {"frame 02 01 02 03 00 04"}},
        {"event lap 0 0 16 500", {"frame 03 00 00 10 01 F4"}},
        {"event error 0 75 0 1500", {"frame 04 00 4B 00 05 DC"}},
        {"event 0 255 255 255 65535", {"frame 00 FF FF FF FF FF"}},
        {"event 200 0 0 0 4112", {"frame C8 00 00 00 10 10"}},
        {"raw 02 00 01", {"raw 02 00 01"}},
        {"raw 020001 ff aB", {"raw 02 00 01 FF AB"}},
        {"unplug", {"unplug"}},
        {"plug", {"plug"}},
        {"# only a comment\n\n   \n", {}},
        {"wait 5\r\nunplug\r\n", {"wait 5", "unplug"}},
        {"wait 1\nevent lap 0 0 1 0\nunplug\nplug\nraw 10",
         {"wait 1", "frame 03 00 00 01 00 00", "unplug", "plug", "raw 10"}},
    };
    for (const Case& c : cases) {
        const ScenarioResult result = ParseScenario(c.text);
        EXPECT_TRUE(result.Ok()) << c.text << ": " << result.error;
        EXPECT_EQ(Describe(result.actions), c.expected) << c.text;
    }
}

// The frame as it goes on the wire, byte for byte: 0x10 in the payload escaped, CRC little-endian.
TEST(ScenarioParser, EventFrameOnTheWire) {
    const ScenarioResult result = ParseScenario("event lap 0 0 16 500");
    ASSERT_TRUE(result.Ok()) << result.error;
    ASSERT_EQ(result.actions.size(), 1u);
    EXPECT_EQ(HexBytes(result.actions[0].bytes), "02 00 06 00 03 00 00 10 90 01 F4 5A 33");
    const uint8_t covered[] = {0x02, 0x00, 0x06, 0x00, 0x03, 0x00, 0x00, 0x10, 0x90, 0x01, 0xF4};
    EXPECT_EQ(Crc16(covered, sizeof covered), 0x335A);
}

TEST(ScenarioParser, RejectsBadLinesNamingTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"wait", "line 1: wait needs one number"},
        {"wait -1", "line 1: wait: \"-1\""},
        {"wait 4294967296", "line 1: wait: \"4294967296\""},
        {"wait 1.5", "line 1: wait: \"1.5\""},
        {"wait 10 20", "line 1: wait needs one number"},
        {"Wait 5", "line 1: unknown action \"Wait\""},
        {"event start 0 0 0", "line 1: event needs KIND H M S MS"},
        {"event start 0 0 0 0 0", "line 1: event needs KIND H M S MS"},
        {"event begin 0 0 0 0", "line 1: event: kind \"begin\""},
        {"event 256 0 0 0 0", "line 1: event: kind \"256\""},
        {"event lap 256 0 0 0", "line 1: event: hours \"256\""},
        {"event lap 0 x 0 0", "line 1: event: minutes \"x\""},
        {"event lap 0 0 300 0", "line 1: event: seconds \"300\""},
        {"event lap 0 0 0 65536", "line 1: event: milliseconds \"65536\""},
        {"raw", "line 1: raw needs at least one hex byte"},
        {"raw # nothing", "line 1: raw needs at least one hex byte"},
        {"raw 0", "line 1: raw: \"0\""},
        {"raw 123", "line 1: raw: \"123\""},
        {"raw 0G", "line 1: raw: \"0G\""},
        {"unplug now", "line 1: unplug takes no arguments"},
        {"plug 2", "line 1: plug takes no arguments"},
        {"wait 1\n\nsend 02", "line 3: unknown action \"send\""},
        {"# header\nwait 1\r\nevent lap x 0 0 0\nwait 2", "line 3: event: hours \"x\""},
    };
    for (const Case& c : cases) {
        const ScenarioResult result = ParseScenario(c.text);
        EXPECT_FALSE(result.Ok()) << c.text;
        EXPECT_EQ(result.error.rfind(c.error, 0), 0u) << c.text << " gave: " << result.error;
        EXPECT_TRUE(result.actions.empty()) << c.text;
    }
}

TEST(ScenarioParser, LoadsAFileAndReportsAMissingOne) {
    const std::string path = testing::TempDir() + "scenario-parser-test.txt";
    {
        std::ofstream file(path, std::ios::binary);
        file << "wait 10\nunplug\n";
    }
    const ScenarioResult loaded = LoadScenario(path);
    EXPECT_TRUE(loaded.Ok()) << loaded.error;
    EXPECT_EQ(Describe(loaded.actions), (std::vector<std::string>{"wait 10", "unplug"}));
    std::remove(path.c_str());

    const ScenarioResult missing = LoadScenario(path);
    EXPECT_FALSE(missing.Ok());
    EXPECT_NE(missing.error.find(path), std::string::npos) << missing.error;
}

}  // namespace
