#include "link/TimeBoundedCom.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/ComCP2102.h"
#include "tests/link/FakeBridgeDriver.h"

using testing::_;
using testing::DoAll;
using testing::NiceMock;
using testing::Return;
using testing::SetArgReferee;

TEST(TimeBoundedCom, WithinTheBudgetReadsGoThroughPastItOnlyQueuedBytesForTheGrace) {
    NiceMock<FakeBridgeDriver> driver;
    driver.devices = {{"5f3a", "b7c4", "VKX260"}};
    ComCP2102 port(driver);
    ASSERT_TRUE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
    uint8_t byte = 0;
    uint32_t bytesRead = 99;

    EXPECT_CALL(driver, CheckRxQueue(_, _)).Times(0);
    EXPECT_CALL(driver, Read(_, &byte, 1, _))
        .WillOnce(DoAll(SetArgReferee<3>(0), Return(BridgeResult::kReadTimedOut)));
    TimeBoundedCom withinBudget(port, std::chrono::hours(1), 0);
    EXPECT_TRUE(withinBudget.Read(&byte, 1, &bytesRead));
    EXPECT_EQ(bytesRead, 0u);
    testing::Mock::VerifyAndClearExpectations(&driver);

    // Nothing queued, then bytes queued: two reads of the grace, then no more whatever is queued.
    EXPECT_CALL(driver, CheckRxQueue(_, _))
        .WillOnce(DoAll(SetArgReferee<1>(0), Return(BridgeResult::kSuccess)))
        .WillRepeatedly(DoAll(SetArgReferee<1>(5), Return(BridgeResult::kSuccess)));
    EXPECT_CALL(driver, Read(_, &byte, 1, _))
        .Times(2)
        .WillRepeatedly(DoAll(SetArgReferee<3>(1), Return(BridgeResult::kSuccess)));
    TimeBoundedCom pastBudget(port, TimeBoundedCom::Clock::duration::zero(), 2);
    for (const uint32_t expected : {0u, 1u, 1u, 0u, 0u}) {
        bytesRead = 99;
        EXPECT_TRUE(pastBudget.Read(&byte, 1, &bytesRead));
        EXPECT_EQ(bytesRead, expected);
    }
}
