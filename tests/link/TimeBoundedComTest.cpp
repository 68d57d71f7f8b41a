#include "link/TimeBoundedCom.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/link/FakeBridgeDriver.h"

using testing::_;
using testing::DoAll;
using testing::Return;
using testing::SetArgReferee;

// Past the budget: no byte while nothing is queued, then queued bytes for two reads of grace, then
// no byte however much is queued.
TEST(TimeBoundedCom, PastTheBudgetOnlyQueuedBytesAndOnlyForTheGrace) {
    testing::NiceMock<FakeBridgeDriver> driver;
    driver.devices = {{"5f3a", "b7c4", "VKX260"}};
    ComCP2102 port(driver);
    ASSERT_TRUE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
    EXPECT_CALL(driver, CheckRxQueue(_, _))
        .WillOnce(DoAll(SetArgReferee<1>(0), Return(BridgeResult::kSuccess)))
        .WillRepeatedly(DoAll(SetArgReferee<1>(5), Return(BridgeResult::kSuccess)));
    EXPECT_CALL(driver, Read(_, _, 1, _)).Times(2).WillRepeatedly(DoAll(SetArgReferee<3>(1), Return(0u)));
    TimeBoundedCom view(port, TimeBoundedCom::Clock::duration::zero(), 2);
    for (const uint32_t expected : {0u, 1u, 1u, 0u, 0u}) {
        uint8_t byte = 0;
        uint32_t bytesRead = 99;
        EXPECT_TRUE(view.Read(&byte, 1, &bytesRead));
        EXPECT_EQ(bytesRead, expected);
    }
}
