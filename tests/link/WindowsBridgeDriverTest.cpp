#include "link/WindowsBridgeDriver.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/SystemBridgeDriver.h"
#include "tests/link/WaitUntil.h"

using namespace BridgeResult;
using namespace std::string_literals;

namespace {

// A device as the registry of a Windows PC (and Wine's setupapi) holds it under Enum\USB.
struct RegisteredPort {
    std::wstring device;       // VID_5F3A&PID_B7C4
    std::wstring instance;     // the serial number, or a part made up by Windows
    std::wstring hardwareIds;  // a multi-string, most specific first
    std::wstring description;
    std::wstring portName;
};

const std::wstring kEnumUsb = L"System\\CurrentControlSet\\Enum\\USB\\";

// The bridge's port (COM10, which the test's command line links to a pseudo-terminal, named with
// leading zeros), a port of another bridge listed before it, a printer port of the same class, ports
// whose names no COM port has, and devices whose hardware IDs only resemble the bridge's, listed
// before it, with no port behind them.
const RegisteredPort kPorts[] = {
    {L"VID_5F3A&PID_B7C4", L"0001", L"USB\\VID_5F3A&PID_B7C4&REV_0100\0USB\\VID_5F3A&PID_B7C4\0"s,
     L"VKX260 Brücke", L"COM010"},
    {L"VID_5F3A&PID_B7C4", L"0002", L"USB\\VID_5F3A&PID_B7C4\0"s, L"Nummer zu groß", L"COM256"},
    {L"VID_5F3A&PID_B7C4", L"0003", L"USB\\VID_5F3A&PID_B7C4\0"s, L"Nummer null", L"COM0"},
    {L"VID_10C4&PID_EA60", L"5&2a1b3c4d&0&2", L"USB\\VID_10C4&PID_EA60&REV_0100\0USB\\VID_10C4&PID_EA60\0"s,
     L"CP2102 USB to UART Bridge Controller", L"COM3"},
    {L"VID_0000&PID_0000", L"PRN", L"LPTENUM\\PRINTER\0"s, L"Drucker", L"LPT1"},
    {L"VID_5F3A&PID_B7C40", L"1", L"USB\\VID_5F3A&PID_B7C40\0"s, L"Fünfte Ziffer", L"COM5"},
    {L"SUBVID_5F3A&PID_B7C4", L"2", L"ACME\\SUBVID_5F3A&PID_B7C4\0"s, L"Anderes Feld", L"COM6"},
    {L"VID_5F3AX&PID_B7C4Z", L"3", L"USB\\VID_5F3AX&PID_B7C4Z\0"s, L"Buchstabe danach", L"COM7"},
};

bool Set(const std::wstring& key, const wchar_t* name, DWORD type, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, type, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool Register(const RegisteredPort& port) {
    const std::wstring key = kEnumUsb + port.device + L"\\" + port.instance;
    return Set(key, L"HardwareID", REG_MULTI_SZ, port.hardwareIds) &&
           Set(key, L"ClassGUID", REG_SZ, L"{4d36e978-e325-11ce-bfc1-08002be10318}") &&
           Set(key, L"DeviceDesc", REG_SZ, port.description) &&
           Set(key + L"\\Device Parameters", L"PortName", REG_SZ, port.portName);
}

class WindowsBridgeDriverTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        for (const RegisteredPort& port : kPorts) {
            ASSERT_TRUE(Register(port));
        }
    }
    static void TearDownTestSuite() {
        for (const RegisteredPort& port : kPorts) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kEnumUsb + port.device).c_str());
        }
    }

    bool Queued(DeviceHandle handle, uint32_t count) {
        return WaitUntil([&] {
            uint32_t waiting = 0;
            return m_driver.CheckRxQueue(handle, waiting) == kSuccess && waiting == count;
        });
    }

    WindowsBridgeDriver m_driver;
};

}  // namespace

// The COM ports in the order of their numbers (COM3 before COM10), printer ports left out; each
// with the strings of selectors 0, 1, 3 and 4. An ID is taken only from a whole field of four hex
// digits.
TEST_F(WindowsBridgeDriverTest, ListsTheComPortsInNumberOrder) {
    const uint32_t selectors[] = {ProductString::kSerialNumber, ProductString::kDescription,
                                  ProductString::kVendorId, ProductString::kProductId};
    const std::vector<std::vector<std::string>> expected = {
        {"USB\\VID_10C4&PID_EA60\\5&2A1B3C4D&0&2", "CP2102 USB to UART Bridge Controller", "10c4", "ea60"},
        {"1", "Fünfte Ziffer", "5f3a", ""},
        {"2", "Anderes Feld", "", "b7c4"},
        {"3", "Buchstabe danach", "", ""},
        {"0001", "VKX260 Brücke", "5f3a", "b7c4"},
    };
    uint32_t count = 0;
    ASSERT_EQ(m_driver.GetNumDevices(count), kSuccess);
    std::vector<std::vector<std::string>> listed(count);
    char buffer[kProductStringSize] = {};
    for (uint32_t index = 0; index < count; ++index) {
        for (const uint32_t selector : selectors) {
            EXPECT_EQ(m_driver.GetProductString(index, buffer, selector), kSuccess);
            listed[index].push_back(buffer);
        }
    }
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(m_driver.GetProductString(count, buffer, ProductString::kDescription), kDeviceNotFound);
    EXPECT_EQ(m_driver.GetProductString(0, buffer, 2), kInvalidParameter);
}

// The bridge's port over a pseudo-terminal whose far end sends back what it gets and hangs up on
// 0x04; the other bridge's port is listed but not there. The port is found as the stopwatch search
// (ComCP2102::OpenByIds, whose DCB clashes with windows.h here) finds it: the first device whose IDs
// equal the stopwatch's, past those listed before it whose IDs only resemble them.
TEST_F(WindowsBridgeDriverTest, PortReadsWhatCameInOrderTimesOutAndFailsOnceUnplugged) {
    uint32_t count = 0;
    ASSERT_EQ(m_driver.GetNumDevices(count), kSuccess);
    DeviceHandle handle = ::kInvalidHandle;
    EXPECT_EQ(m_driver.Open(0, handle), kDeviceNotFound);
    uint32_t index = 0;
    for (char vendor[kProductStringSize], product[kProductStringSize]; index < count; ++index) {
        ASSERT_EQ(m_driver.GetProductString(index, vendor, ProductString::kVendorId), kSuccess);
        ASSERT_EQ(m_driver.GetProductString(index, product, ProductString::kProductId), kSuccess);
        if (vendor == "5f3a"s && product == "b7c4"s) {
            break;
        }
    }
    ASSERT_EQ(m_driver.Open(index, handle), kSuccess) << "device " << index;
    // As ComCP2102 sets a port up: 115200 baud, 8N1, no handshake.
    EXPECT_EQ(m_driver.SetBaudRate(handle, 115200), kSuccess);
    EXPECT_EQ(m_driver.SetLineControl(handle, 0x0800), kSuccess);
    EXPECT_EQ(m_driver.SetFlowControl(handle, 0, 0, 0, 0, 0, false), kSuccess);
    EXPECT_EQ(m_driver.SetTimeouts(100, 100), kSuccess);

    std::vector<uint8_t> sent;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != 0x04) {
            sent.push_back(static_cast<uint8_t>(byte));
        }
    }
    const auto size = static_cast<uint32_t>(sent.size());
    uint32_t done = 0;
    ASSERT_EQ(m_driver.Write(handle, sent.data(), size, done), kSuccess);
    EXPECT_TRUE(Queued(handle, size));
    std::vector<uint8_t> received(size);
    EXPECT_EQ(m_driver.Read(handle, received.data(), size, done), kSuccess);
    EXPECT_EQ(received, sent);

    ASSERT_EQ(m_driver.Write(handle, sent.data(), 2, done), kSuccess);
    EXPECT_TRUE(Queued(handle, 2));
    EXPECT_EQ(m_driver.FlushBuffers(handle, true, true), kSuccess);
    EXPECT_TRUE(Queued(handle, 0));

    uint8_t byte = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_driver.Read(handle, &byte, 1, done), kReadTimedOut);
    EXPECT_EQ(done, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50)) << "the read waits";

    const uint8_t hangUp = 0x04;
    uint32_t waiting = 0;
    ASSERT_EQ(m_driver.Write(handle, &hangUp, 1, done), kSuccess);
    EXPECT_TRUE(WaitUntil([&] {
        return m_driver.CheckRxQueue(handle, waiting) == kDeviceIoFailed ||
               m_driver.Read(handle, &byte, 1, done) == kDeviceIoFailed;
    }));
    EXPECT_EQ(m_driver.CheckRxQueue(handle, waiting), kDeviceIoFailed);
    EXPECT_EQ(m_driver.Read(handle, &byte, 1, done), kDeviceIoFailed);
}

// The program's one device list: the bridges of the maker's library (the stand-in beside this test)
// first, then the COM ports; a library that finds nothing or fails takes none of them away.
TEST_F(WindowsBridgeDriverTest, LibraryBridgesComeBeforeTheComPorts) {
    uint32_t ports = 0;
    ASSERT_EQ(m_driver.GetNumDevices(ports), kSuccess);
    struct Case {
        const char* devices;
        const char* fail;
        uint32_t count;
    };
    const Case cases[] = {
        {"5F3A:B7C4:0009", "", ports + 1}, {"", "", ports}, {"5F3A:B7C4:0009", "SI_GetNumDevices", ports}};
    BridgeDriver& driver = SystemBridgeDriver();
    char buffer[kProductStringSize] = {};
    for (const Case& row : cases) {
        SCOPED_TRACE(row.devices + " "s + row.fail);
        SetEnvironmentVariableA("VKX_STANDIN_DEVICES", row.devices);
        SetEnvironmentVariableA("VKX_STANDIN_FAIL", row.fail);
        uint32_t count = 0;
        ASSERT_EQ(driver.GetNumDevices(count), kSuccess);
        EXPECT_EQ(count, row.count);
        for (uint32_t port = 0; port < ports; ++port) {
            ASSERT_EQ(driver.GetProductString(count - ports + port, buffer, ProductString::kDescription),
                      kSuccess);
            ASSERT_EQ(m_driver.GetProductString(port, buffer + 128, ProductString::kDescription), kSuccess);
            EXPECT_STREQ(buffer, buffer + 128);
        }
    }
    // The library's bridge opens through the list, and its handle reaches it alone.
    SetEnvironmentVariableA("VKX_STANDIN_DEVICES", "5F3A:B7C4:0009");
    SetEnvironmentVariableA("VKX_STANDIN_FAIL", "");
    uint32_t count = 0;
    ASSERT_EQ(driver.GetNumDevices(count), kSuccess);
    EXPECT_EQ(driver.GetProductString(0, buffer, ProductString::kSerialNumber), kSuccess);
    EXPECT_STREQ(buffer, "0009");
    EXPECT_EQ(driver.GetProductString(0, buffer, ProductString::kVendorId), kSuccess);
    EXPECT_STREQ(buffer, "5f3a");
    DeviceHandle handle = ::kInvalidHandle;
    ASSERT_EQ(driver.Open(0, handle), kSuccess);
    uint32_t waiting = 99;
    EXPECT_EQ(driver.CheckRxQueue(handle, waiting), kSuccess);
    EXPECT_EQ(waiting, 0u);
    EXPECT_EQ(driver.Close(handle), kSuccess);
    EXPECT_EQ(driver.CheckRxQueue(handle, waiting), BridgeResult::kInvalidHandle);
}
