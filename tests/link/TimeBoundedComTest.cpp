#include "link/TimeBoundedCom.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "tests/link/FakeBridgeDriver.h"

using testing::_;
using testing::DoAll;
using testing::Return;
using testing::SetArgPointee;
using testing::SetArgReferee;

namespace {

// One read through the view: what the driver's queue reports, and the byte that the driver's read
// delivers, when the view is expected to read at all.
struct Step {
    uint32_t queued;
    std::optional<uint8_t> delivered;
};

struct PastBudgetCase {
    const char* name;
    std::vector<Step> steps;
    TimeBoundedCom::Clock::duration frameTime = std::chrono::hours(1);
};

}  // namespace

// Every read is past the budget (zero); the frame may take at most 3 bytes on the line, and its time.
TEST(TimeBoundedCom, PastTheBudget) {
    const PastBudgetCase cases[] = {
        // While hunting: queued bytes only, without waiting, and only for the grace.
        {"hunting", {{0, {}}, {5, 0x55}, {5, 0x55}, {5, 0x55}, {5, {}}}},
        // A start byte taken from the queue begins a frame; its rest trickles in, and each read goes
        // through to wait for it though nothing is queued yet, until the frame's longest is taken.
        {"trickling frame", {{1, 0x55}, {1, 0x02}, {0, 0x03}, {0, 0x00}, {0, {}}, {4, {}}}},
        // A line that drips its bytes ends the frame once a frame's time on the line has passed.
        {"frame past its time", {{1, 0x02}, {4, {}}}, TimeBoundedCom::Clock::duration::zero()},
    };
    for (const PastBudgetCase& c : cases) {
        SCOPED_TRACE(c.name);
        testing::NiceMock<FakeBridgeDriver> driver;
        driver.devices = {{"5f3a", "b7c4", "VKX260"}};
        ComCP2102 port(driver);
        ASSERT_TRUE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
        TimeBoundedCom view(port, TimeBoundedCom::Clock::duration::zero(), 3, c.frameTime);
        for (const Step& step : c.steps) {
            ON_CALL(driver, CheckRxQueue(_, _))
                .WillByDefault(DoAll(SetArgReferee<1>(step.queued), Return(BridgeResult::kSuccess)));
            if (step.delivered) {
                EXPECT_CALL(driver, Read(_, _, 1, _))
                    .WillOnce(DoAll(SetArgPointee<1>(*step.delivered), SetArgReferee<3>(1),
                                    Return(BridgeResult::kSuccess)));
            } else {
                EXPECT_CALL(driver, Read(_, _, _, _)).Times(0);
            }
            uint8_t byte = 0xEE;
            uint32_t bytesRead = 99;
            EXPECT_TRUE(view.Read(&byte, 1, &bytesRead));
            EXPECT_EQ(bytesRead, step.delivered ? 1u : 0u);
            EXPECT_EQ(byte, step.delivered.value_or(0xEE));
            testing::Mock::VerifyAndClearExpectations(&driver);
        }
    }
}
