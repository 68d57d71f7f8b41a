#include "protocol/Crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/protocol/ReferenceCrc.h"

namespace {

TEST(Crc16, CheckValues) {
    struct Case {
        std::vector<uint8_t> bytes;
        uint16_t crc;
    };
    const Case cases[] = {
        {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x9ECF},
        {{}, 0x800D},
        {{0x02, 0x00, 0x01, 0x00, 0x41}, 0xD962},
        {{0x02, 0x00, 0x01, 0x00, 0x10, 0x90}, 0x05B3},
        {{0x02, 0x00, 0x02, 0x00, 0x24, 0xD8}, 0x0000},
        {{0x02, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x02, 0x01, 0x59}, 0x6D81},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Crc16(c.bytes.data(), c.bytes.size()), c.crc) << "over " << c.bytes.size() << " bytes";
        EXPECT_EQ(ReferenceCrc(c.bytes.data(), c.bytes.size()), c.crc) << "reference over " << c.bytes.size();
    }
}

TEST(Crc16, AgreesWithTheAugmentedRegisterOnRandomMessages) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> message(random() % 300);
        for (uint8_t& byte : message) {
            byte = static_cast<uint8_t>(random());
        }
        ASSERT_EQ(Crc16(message.data(), message.size()), ReferenceCrc(message.data(), message.size()))
            << "round " << round << ", " << message.size() << " bytes";
    }
}

}  // namespace
