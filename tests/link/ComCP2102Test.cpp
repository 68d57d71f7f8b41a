#include "link/ComCP2102.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/link/FakeBridgeDriver.h"

using testing::_;
using testing::DoAll;
using testing::NiceMock;
using testing::Return;
using testing::SetArgReferee;
using testing::StrictMock;
using Log = std::vector<std::string>;

namespace {

const FakeDevice kStopwatch{"5f3a", "b7c4", "VKX260"};
const FakeDevice kOtherBridge{"10c4", "ea60", "CP2102 USB to UART Bridge Controller"};
// Two stopwatches on one PC: the same IDs, each bridge with its own serial number.
const FakeDevice kLane1{"5f3a", "b7c4", "VKX260", "0001"};
const FakeDevice kLane2{"5f3a", "b7c4", "VKX260", "0002"};
constexpr DeviceHandle kFirst = FakeBridgeDriver::kFirstHandle;

FakeDevice Failing(FakeDevice device, uint32_t selector) {
    device.failingSelector = selector;
    return device;
}

FakeDevice Unopenable(FakeDevice device) {
    device.openResult = BridgeResult::kDeviceNotFound;
    return device;
}

// The calls that configure a freshly opened device: 115200 baud, 8N1 (0x0800), no handshake, 500 ms.
Log Configuration(DeviceHandle handle) {
    const std::string h = std::to_string(handle);
    return {"baud " + h + " 115200", "line " + h + " 2048", "flow " + h + " 0 0 0 0 0 0", "timeouts 500 500"};
}

Log Concat(Log head, const Log& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

void OpenStopwatch(FakeBridgeDriver& driver, ComCP2102& port) {
    driver.devices = {kStopwatch};
    ASSERT_TRUE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
    driver.log.clear();
}

}  // namespace

TEST(ComCP2102, ClosedPortMakesNoDriverCallButTimeoutsWork) {
    StrictMock<FakeBridgeDriver> driver;
    ComCP2102 port(driver);
    uint8_t byte = 0x55;
    uint32_t count = 77;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.Read(&byte, 1, &count));
    EXPECT_EQ(count, 77u);
    EXPECT_FALSE(port.Write(&byte, 1));
    EXPECT_FALSE(port.Flush());
    EXPECT_FALSE(port.Close());
    EXPECT_FALSE(port.BytesWaiting(count));
    EXPECT_EQ(count, 77u);
    EXPECT_TRUE(port.Setup(1234));

    EXPECT_CALL(driver, SetTimeouts(500, 500));
    EXPECT_CALL(driver, GetTimeouts(_, _));
    EXPECT_TRUE(port.SetTimeout(500));
    uint32_t timeout = 0;
    EXPECT_TRUE(port.GetTimeout(timeout));
    EXPECT_EQ(timeout, 500u);
}

TEST(ComCP2102, OpenByIdsSearchesInIndexOrder) {
    const std::string longVendor(255, 'a');
    const std::string longProduct(255, 'b');
    struct Case {
        const char* name;
        std::vector<FakeDevice> devices;
        uint32_t countResult;
        bool opened;
        Log log;
        const char* serialNumber = nullptr;
        std::string remembered = {};
    };
    const Case cases[] = {
        {"two matches, lower index wins",
         {kLane1, kLane2},
         0,
         true,
         Concat({"count", "string 0 3", "string 0 4", "string 0 0", "open 0"}, Configuration(kFirst)),
         nullptr,
         "0001"},
        {"failed driver open ends the search",
         {Unopenable(kStopwatch), kStopwatch},
         0,
         false,
         {"count", "string 0 3", "string 0 4", "string 0 0", "open 0"}},
        {"vendor matches, product differs: skipped",
         {{"5f3a", "b7c5", ""}, kOtherBridge, kStopwatch},
         0,
         true,
         Concat({"count", "string 0 3", "string 0 4", "string 1 3", "string 1 4", "string 2 3", "string 2 4",
                 "string 2 0", "open 2"},
                Configuration(kFirst + 2))},
        {"a serial number that cannot be told is no reason to refuse",
         {Failing(kLane1, ProductString::kSerialNumber)},
         0,
         true,
         Concat({"count", "string 0 3", "string 0 4", "string 0 0", "open 0"}, Configuration(kFirst))},
        {"with a serial number, the others with the IDs are passed over unopened, a busy one too",
         {Unopenable(kLane1), kOtherBridge, kLane2},
         0,
         true,
         Concat({"count", "string 0 3", "string 0 4", "string 0 0", "string 1 3", "string 1 4", "string 2 3",
                 "string 2 4", "string 2 0", "open 2"},
                Configuration(kFirst + 2)),
         "0002",
         "0002"},
        {"a serial number that no bridge with the IDs has: no device to explain",
         {kLane1},
         0,
         false,
         {"count", "string 0 3", "string 0 4", "string 0 0"},
         "0002"},
        {"the lost bridge sought while it is away: it is waited for, not explained",
         {kOtherBridge},
         0,
         false,
         {"count", "string 0 3", "string 0 4"},
         "0001"},
        {"uppercase IDs do not match, and the driver is asked why none was found",
         {{"5F3A", "B7C4", ""}},
         0,
         false,
         {"count", "string 0 3", "string 0 4", "explain 5f3a b7c4"}},
        {"failed vendor-ID query",
         {kOtherBridge, Failing(kStopwatch, 3)},
         0,
         false,
         {"count", "string 0 3", "string 0 4", "string 1 3"}},
        {"failed product-ID query",
         {Failing(kStopwatch, 4)},
         0,
         false,
         {"count", "string 0 3", "string 0 4"}},
        {"device count fails", {kStopwatch}, BridgeResult::kSystemError, false, {"count"}},
        {"no devices", {}, 0, false, {"count", "explain 5f3a b7c4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NiceMock<FakeBridgeDriver> driver;
        driver.devices = c.devices;
        driver.countResult = c.countResult;
        ComCP2102 port(driver);
        EXPECT_EQ(port.OpenByIds("5f3a", "b7c4", 115200, 500, c.serialNumber), c.opened);
        EXPECT_EQ(port.IsOpen(), c.opened);
        EXPECT_EQ(port.SerialNumber(), c.remembered);
        EXPECT_EQ(driver.log, c.log);
    }

    // The longest strings that the driver reports still match whole.
    NiceMock<FakeBridgeDriver> driver;
    driver.devices = {{longVendor, longProduct, ""}};
    ComCP2102 port(driver);
    EXPECT_TRUE(port.OpenByIds(longVendor.c_str(), longProduct.c_str(), 115200, 500));
}

TEST(ComCP2102, OpenSearchesByDescription) {
    struct Case {
        const char* name;
        std::vector<FakeDevice> devices;
        uint32_t countResult;
        bool opened;
        Log log;
    };
    const Case cases[] = {
        {"first matching description",
         {kOtherBridge, kStopwatch, kStopwatch},
         0,
         true,
         Concat({"count", "string 0 1", "string 1 1", "string 1 0", "open 1"}, Configuration(kFirst + 1))},
        {"failed driver open ends the search",
         {Unopenable(kStopwatch), kStopwatch},
         0,
         false,
         {"count", "string 0 1", "string 0 0", "open 0"}},
        {"failed description query",
         {Failing(kOtherBridge, 1), kStopwatch},
         0,
         false,
         {"count", "string 0 1"}},
        {"no match", {kOtherBridge}, 0, false, {"count", "string 0 1"}},
        {"device count fails", {kStopwatch}, BridgeResult::kSystemError, false, {"count"}},
        {"no devices", {}, 0, false, {"count"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NiceMock<FakeBridgeDriver> driver;
        driver.devices = c.devices;
        driver.countResult = c.countResult;
        ComCP2102 port(driver);
        EXPECT_EQ(port.Open("VKX260", 115200, 500), c.opened);
        EXPECT_EQ(port.IsOpen(), c.opened);
        EXPECT_EQ(driver.log, c.log);
    }
}

TEST(ComCP2102, FailedConfigurationStepReleasesTheDeviceAndANewOpenStartsAfresh) {
    struct Case {
        const char* step;
        uint32_t FakeBridgeDriver::*result;
        std::size_t stepsDone;
    };
    const Case cases[] = {
        {"baud rate", &FakeBridgeDriver::baudResult, 1},
        {"line control", &FakeBridgeDriver::lineResult, 2},
        {"flow control", &FakeBridgeDriver::flowResult, 3},
        {"timeouts", &FakeBridgeDriver::timeoutsResult, 4},
    };
    const Log configuration = Configuration(kFirst);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        NiceMock<FakeBridgeDriver> driver;
        driver.devices = {kStopwatch};
        driver.*c.result = BridgeResult::kInvalidBaudRate;
        ComCP2102 port(driver);
        EXPECT_FALSE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
        EXPECT_FALSE(port.IsOpen());
        Log expected = {"count", "string 0 3", "string 0 4", "string 0 0", "open 0"};
        expected.insert(expected.end(), configuration.begin(), configuration.begin() + c.stepsDone);
        expected.push_back("close " + std::to_string(kFirst));
        EXPECT_EQ(driver.log, expected);

        driver.*c.result = BridgeResult::kSuccess;
        driver.log.clear();
        EXPECT_TRUE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
        EXPECT_EQ(driver.log,
                  Concat({"count", "string 0 3", "string 0 4", "string 0 0", "open 0"}, configuration));
    }
}

TEST(ComCP2102, ConfigurationSetsTheTimeoutThroughThePortInterface) {
    class PortWithOwnTimeout : public ComCP2102 {
    public:
        using ComCP2102::ComCP2102;
        bool SetTimeout(uint32_t timeoutMs) override {
            requested.push_back(timeoutMs);
            return false;
        }
        std::vector<uint32_t> requested;
    };
    NiceMock<FakeBridgeDriver> driver;
    driver.devices = {kStopwatch};
    PortWithOwnTimeout port(driver);
    EXPECT_FALSE(port.OpenByIds("5f3a", "b7c4", 115200, 321));
    EXPECT_EQ(port.requested, std::vector<uint32_t>{321});
    const Log configuration = Configuration(kFirst);
    EXPECT_EQ(driver.log, Concat({"count", "string 0 3", "string 0 4", "string 0 0", "open 0"},
                                 {configuration[0], configuration[1], configuration[2], "close 256"}));
}

TEST(ComCP2102, OpenOnAnOpenPortFailsAndKeepsTheDevice) {
    NiceMock<FakeBridgeDriver> driver;
    ComCP2102 port(driver);
    OpenStopwatch(driver, port);
    EXPECT_FALSE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
    EXPECT_FALSE(port.Open("VKX260", 115200, 500));
    EXPECT_TRUE(driver.log.empty());
    EXPECT_TRUE(port.IsOpen());
    EXPECT_CALL(driver, FlushBuffers(kFirst, true, true))
        .WillOnce(Return(BridgeResult::kSuccess))
        .WillOnce(Return(BridgeResult::kDeviceIoFailed));
    EXPECT_TRUE(port.Flush());
    EXPECT_FALSE(port.Flush());
}

TEST(ComCP2102, ReadAcceptsSuccessQueueNotReadyAndTimeout) {
    struct Case {
        uint32_t result;
        uint32_t received;
        bool success;
    };
    const Case cases[] = {
        {BridgeResult::kSuccess, 4, true},        {BridgeResult::kRxQueueNotReady, 2, true},
        {BridgeResult::kReadTimedOut, 0, true},   {BridgeResult::kReadTimedOut, 3, true},
        {BridgeResult::kReadError, 1, false},     {BridgeResult::kDeviceIoFailed, 0, false},
        {BridgeResult::kInvalidHandle, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result << ", " << c.received << " bytes");
        NiceMock<FakeBridgeDriver> driver;
        ComCP2102 port(driver);
        OpenStopwatch(driver, port);
        uint8_t buffer[4];
        EXPECT_CALL(driver, Read(kFirst, buffer, 4, _))
            .Times(2)
            .WillRepeatedly(DoAll(SetArgReferee<3>(c.received), Return(c.result)));
        uint32_t bytesRead = 99;
        EXPECT_EQ(port.Read(buffer, 4, &bytesRead), c.success);
        EXPECT_EQ(bytesRead, c.success ? c.received : 99u);
        EXPECT_EQ(port.Read(buffer, 4, nullptr), c.success);
    }
}

TEST(ComCP2102, WriteNeedsSuccessAndTheFullCount) {
    struct Case {
        uint32_t result;
        uint32_t written;
        bool success;
    };
    const Case cases[] = {
        {BridgeResult::kSuccess, 10, true},
        {BridgeResult::kSuccess, 9, false},
        {BridgeResult::kWriteError, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "result " << c.result << ", " << c.written << " bytes");
        NiceMock<FakeBridgeDriver> driver;
        ComCP2102 port(driver);
        OpenStopwatch(driver, port);
        const uint8_t bytes[10] = {};
        EXPECT_CALL(driver, Write(kFirst, bytes, 10, _))
            .WillOnce(DoAll(SetArgReferee<3>(c.written), Return(c.result)));
        EXPECT_EQ(port.Write(bytes, 10), c.success);
    }
}

TEST(ComCP2102, CloseAndDestructorReleaseTheDeviceOnce) {
    NiceMock<FakeBridgeDriver> driver;
    {
        ComCP2102 port(driver);
        OpenStopwatch(driver, port);
        EXPECT_CALL(driver, Close(kFirst)).WillOnce(Return(BridgeResult::kInvalidHandle));
        EXPECT_TRUE(port.Close());
        EXPECT_FALSE(port.IsOpen());
        EXPECT_FALSE(port.Close());
    }
    testing::Mock::VerifyAndClearExpectations(&driver);
    {
        ComCP2102 port(driver);
        OpenStopwatch(driver, port);
    }
    EXPECT_EQ(driver.log, Log{"close 256"});
}

TEST(ComCP2102, TimeoutsAreTheDriversReadTimeout) {
    NiceMock<FakeBridgeDriver> driver;
    ComCP2102 port(driver);
    EXPECT_TRUE(port.SetTimeout(500));
    uint32_t timeout = 0;
    EXPECT_TRUE(port.GetTimeout(timeout));
    EXPECT_EQ(timeout, 500u);

    driver.readMs = 700;
    driver.writeMs = 900;
    EXPECT_TRUE(port.GetTimeout(timeout));
    EXPECT_EQ(timeout, 700u);

    EXPECT_CALL(driver, GetTimeouts(_, _))
        .WillOnce(DoAll(SetArgReferee<0>(1), SetArgReferee<1>(2), Return(BridgeResult::kSystemError)));
    EXPECT_FALSE(port.GetTimeout(timeout));
    EXPECT_EQ(timeout, 700u);

    driver.timeoutsResult = BridgeResult::kSystemError;
    EXPECT_FALSE(port.SetTimeout(100));
}

TEST(ComCP2102, BytesWaitingAsksTheReceiveQueue) {
    NiceMock<FakeBridgeDriver> driver;
    ComCP2102 port(driver);
    OpenStopwatch(driver, port);
    EXPECT_CALL(driver, CheckRxQueue(kFirst, _))
        .WillOnce(DoAll(SetArgReferee<1>(7), Return(BridgeResult::kSuccess)))
        .WillOnce(DoAll(SetArgReferee<1>(9), Return(BridgeResult::kDeviceIoFailed)))
        .WillOnce(DoAll(SetArgReferee<1>(5), Return(BridgeResult::kRxQueueNotReady)))
        .WillOnce(DoAll(SetArgReferee<1>(5), Return(BridgeResult::kReadTimedOut)));
    uint32_t count = 0;
    EXPECT_TRUE(port.BytesWaiting(count));
    EXPECT_EQ(count, 7u);
    EXPECT_FALSE(port.BytesWaiting(count));
    EXPECT_EQ(count, 7u);
    EXPECT_TRUE(port.BytesWaiting(count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(port.BytesWaiting(count));
    EXPECT_EQ(count, 0u);
}
