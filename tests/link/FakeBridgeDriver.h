#pragma once

#include <gmock/gmock.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/BridgeDriver.h"

// One device that the fake driver lists, with the result of each query about it.
struct FakeDevice {
    static constexpr uint32_t kNoSelector = ~0u;

    std::string vendorId;
    std::string productId;
    std::string description;
    std::string serialNumber = {};
    uint32_t failingSelector = kNoSelector;  // the product-string query that fails for this device
    uint32_t openResult = BridgeResult::kSuccess;
};

// A bridge driver whose devices are a table. Every call is logged in a short text form, so a test
// can compare the whole sequence of calls; expectations can be added as with any mock.
class FakeBridgeDriver : public BridgeDriver {
public:
    static constexpr DeviceHandle kFirstHandle = 0x100;

    MOCK_METHOD(uint32_t, GetNumDevices, (uint32_t & count), (override));
    MOCK_METHOD(uint32_t, GetProductString, (uint32_t index, char* buffer256, uint32_t selector), (override));
    MOCK_METHOD(uint32_t, Open, (uint32_t index, DeviceHandle& handle), (override));
    MOCK_METHOD(uint32_t, Close, (DeviceHandle handle), (override));
    MOCK_METHOD(uint32_t, Read, (DeviceHandle handle, uint8_t* buffer, uint32_t count, uint32_t& bytesRead),
                (override));
    MOCK_METHOD(uint32_t, Write,
                (DeviceHandle handle, const uint8_t* buffer, uint32_t count, uint32_t& bytesWritten),
                (override));
    MOCK_METHOD(uint32_t, FlushBuffers, (DeviceHandle handle, bool transmit, bool receive), (override));
    MOCK_METHOD(uint32_t, SetTimeouts, (uint32_t readMs, uint32_t writeMs), (override));
    MOCK_METHOD(uint32_t, GetTimeouts, (uint32_t & readMs, uint32_t& writeMs), (override));
    MOCK_METHOD(uint32_t, SetBaudRate, (DeviceHandle handle, uint32_t baudRate), (override));
    MOCK_METHOD(uint32_t, SetLineControl, (DeviceHandle handle, uint16_t word), (override));
    MOCK_METHOD(uint32_t, SetFlowControl,
                (DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr, uint8_t dcd,
                 bool xonXoff),
                (override));
    MOCK_METHOD(uint32_t, CheckRxQueue, (DeviceHandle handle, uint32_t& bytesWaiting), (override));
    MOCK_METHOD(void, ExplainNoDevice, (const char* vendorId, const char* productId), (override));

    FakeBridgeDriver() {
        using testing::_;
        ON_CALL(*this, GetNumDevices(_)).WillByDefault([this](uint32_t& count) {
            Log("count");
            count = static_cast<uint32_t>(devices.size());
            return countResult;
        });
        ON_CALL(*this, GetProductString(_, _, _))
            .WillByDefault([this](uint32_t index, char* buffer, uint32_t selector) {
                Log("string " + std::to_string(index) + " " + std::to_string(selector));
                const FakeDevice& device = devices.at(index);
                const std::string& text = selector == ProductString::kVendorId       ? device.vendorId
                                          : selector == ProductString::kProductId    ? device.productId
                                          : selector == ProductString::kSerialNumber ? device.serialNumber
                                                                                     : device.description;
                std::snprintf(buffer, kProductStringSize, "%s", text.c_str());
                return selector == device.failingSelector ? BridgeResult::kDeviceIoFailed
                                                          : BridgeResult::kSuccess;
            });
        ON_CALL(*this, Open(_, _)).WillByDefault([this](uint32_t index, DeviceHandle& handle) {
            Log("open " + std::to_string(index));
            handle = kFirstHandle + index;
            return devices.at(index).openResult;
        });
        ON_CALL(*this, Close(_)).WillByDefault([this](DeviceHandle handle) {
            Log("close " + std::to_string(handle));
            return BridgeResult::kSuccess;
        });
        ON_CALL(*this, SetBaudRate(_, _)).WillByDefault([this](DeviceHandle handle, uint32_t baudRate) {
            Log("baud " + std::to_string(handle) + " " + std::to_string(baudRate));
            return baudResult;
        });
        ON_CALL(*this, SetLineControl(_, _)).WillByDefault([this](DeviceHandle handle, uint16_t word) {
            Log("line " + std::to_string(handle) + " " + std::to_string(word));
            return lineResult;
        });
        ON_CALL(*this, SetFlowControl(_, _, _, _, _, _, _))
            .WillByDefault([this](DeviceHandle handle, uint8_t cts, uint8_t rts, uint8_t dtr, uint8_t dsr,
                                  uint8_t dcd, bool xonXoff) {
                char text[64];
                std::snprintf(text, sizeof text, "flow %ld %d %d %d %d %d %d", static_cast<long>(handle), cts,
                              rts, dtr, dsr, dcd, xonXoff);
                Log(text);
                return flowResult;
            });
        ON_CALL(*this, SetTimeouts(_, _)).WillByDefault([this](uint32_t read, uint32_t write) {
            Log("timeouts " + std::to_string(read) + " " + std::to_string(write));
            readMs = read;
            writeMs = write;
            return timeoutsResult;
        });
        ON_CALL(*this, ExplainNoDevice(_, _))
            .WillByDefault([this](const char* vendorId, const char* productId) {
                Log(std::string("explain ") + vendorId + " " + productId);
            });
        ON_CALL(*this, GetTimeouts(_, _)).WillByDefault([this](uint32_t& read, uint32_t& write) {
            read = readMs;
            write = writeMs;
            return BridgeResult::kSuccess;
        });
    }

    void Log(const std::string& call) { log.push_back(call); }

    std::vector<FakeDevice> devices;
    std::vector<std::string> log;
    uint32_t countResult = BridgeResult::kSuccess;
    uint32_t baudResult = BridgeResult::kSuccess;
    uint32_t lineResult = BridgeResult::kSuccess;
    uint32_t flowResult = BridgeResult::kSuccess;
    uint32_t timeoutsResult = BridgeResult::kSuccess;
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
};
