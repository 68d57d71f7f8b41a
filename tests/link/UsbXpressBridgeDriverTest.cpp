#include "link/UsbXpressBridgeDriver.h"

#include <gtest/gtest.h>
// The port's DCB (the fields it uses of the line settings) and windows.h's share a name: windows.h's
// is renamed here, where both are needed.
#define DCB WindowsDcb
#include <windows.h>
#undef DCB

#include <fstream>
#include <sstream>
#include <string>

#include "link/ComCP2102.h"

using namespace BridgeResult;

namespace {

// The stand-in library (SiUSBXp.dll and SiUSBXpWithoutQueueCheck.dll beside this test) does what
// these variables say; see tests/link/StandInUsbXpress.cpp.
void Set(const char* name, const std::string& value) { SetEnvironmentVariableA(name, value.c_str()); }

std::wstring TemporaryFolder() {
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

constexpr const wchar_t* kPlanted = L"PlantedSiUSBXp.dll";
constexpr const char* kSettings = "baud 115200\nline 0x0800\nflow 0 0 0 0 0 0\n";

struct Case {
    const char* name;
    const wchar_t* library;
    const char* devices;       // as the library lists them
    const char* failAtOpen;    // the export that fails from the start
    const char* failOnceOpen;  // the export that fails once the port is open: the unplug
    bool loaded;
    uint32_t countResult;
    uint32_t count;
    bool opens;  // the stopwatch, 5f3a:b7c4, as the window opens it
    std::string log;
};

const Case kCases[] = {
    {"a copy only in the working folder and on PATH is never loaded", kPlanted, "5F3A:B7C4:0001", "", "",
     false, 0, 0, false, ""},
    {"a library that lacks an export is not used", L"SiUSBXpWithoutQueueCheck.dll", "5F3A:B7C4:0001", "", "",
     false, 0, 0, false, ""},
    {"no device: not found, none counted", UsbXpressBridgeDriver::kLibraryName, "", "", "", true,
     kDeviceNotFound, 0, false, ""},
    {"IDs in uppercase are handed on in lowercase, and the port is set up",
     UsbXpressBridgeDriver::kLibraryName, "10C4:EA60:0007 5F3A:B7C4:0001", "", "", true, kSuccess, 2, true,
     std::string("open 1\n") + kSettings},
    {"a product-string query that fails ends the open", UsbXpressBridgeDriver::kLibraryName, "5F3A:B7C4:0001",
     "SI_GetProductString", "", true, kSuccess, 1, false, ""},
    {"a failed read is the unplug; the same bridge opens again afresh", UsbXpressBridgeDriver::kLibraryName,
     "5F3A:B7C4:0001", "", "SI_Read", true, kSuccess, 1, true,
     std::string("open 0\n") + kSettings + "close\nopen 0\n" + kSettings},
    {"a failed queue check is the unplug too", UsbXpressBridgeDriver::kLibraryName, "5F3A:B7C4:0001", "",
     "SI_CheckRXQueue", true, kSuccess, 1, true,
     std::string("open 0\n") + kSettings + "close\nopen 0\n" + kSettings},
};

class UsbXpressBridgeDriverTest : public testing::Test {
protected:
    // The stand-in copied into a working folder of its own, which is also put on PATH.
    static void SetUpTestSuite() {
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        std::wstring standIn = program;
        standIn.replace(standIn.find_last_of(L'\\') + 1, std::wstring::npos, L"SiUSBXp.dll");
        const std::wstring folder = TemporaryFolder() + L"vkx-planted";
        CreateDirectoryW(folder.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(standIn.c_str(), (folder + L"\\" + kPlanted).c_str(), FALSE));
        ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
        wchar_t path[4096] = {};
        GetEnvironmentVariableW(L"PATH", path, 4096);
        SetEnvironmentVariableW(L"PATH", (folder + L";" + path).c_str());
    }
};

}  // namespace

TEST_F(UsbXpressBridgeDriverTest, Cases) {
    const std::wstring logPath = TemporaryFolder() + L"vkx-standin.log";
    const std::string log(logPath.begin(), logPath.end());
    for (const Case& row : kCases) {
        SCOPED_TRACE(row.name);
        DeleteFileW(logPath.c_str());
        Set("VKX_STANDIN_LOG", log);
        Set("VKX_STANDIN_DEVICES", row.devices);
        Set("VKX_STANDIN_FAIL", row.failAtOpen);

        const std::unique_ptr<UsbXpressBridgeDriver> driver = UsbXpressBridgeDriver::Load(row.library);
        ASSERT_EQ(driver != nullptr, row.loaded);
        if (!driver) {
            continue;
        }
        uint32_t count = 99;
        EXPECT_EQ(driver->GetNumDevices(count), row.countResult);
        EXPECT_EQ(count, row.count);

        ComCP2102 port(*driver);
        EXPECT_TRUE(port.SetTimeout(250));
        uint32_t timeout = 0;
        EXPECT_TRUE(port.GetTimeout(timeout));
        EXPECT_EQ(timeout, 250u);
        EXPECT_EQ(port.OpenByIds("5f3a", "b7c4", 115200, 500), row.opens);
        if (row.opens) {
            EXPECT_EQ(port.SerialNumber(), "0001");
            uint8_t byte = 0;
            uint32_t read = 99;
            uint32_t waiting = 99;
            // A silent stand-in: the read times out with nothing, which is no failure.
            EXPECT_TRUE(port.Read(&byte, 1, &read));
            EXPECT_EQ(read, 0u);
            Set("VKX_STANDIN_FAIL", row.failOnceOpen);
            if (*row.failOnceOpen != '\0') {
                EXPECT_FALSE(port.Read(&byte, 1, &read) && port.BytesWaiting(waiting));
                EXPECT_TRUE(port.Close());
                Set("VKX_STANDIN_FAIL", "");
                EXPECT_TRUE(port.OpenByIds("5f3a", "b7c4", 115200, 500, "0001"));
                EXPECT_TRUE(port.BytesWaiting(waiting));
            }
        }
        EXPECT_EQ(ReadAll(log), row.log);
    }
    // The planted copy is found by a search that takes in the working folder: the plant is real.
    const HMODULE planted = LoadLibraryW(kPlanted);
    EXPECT_NE(planted, nullptr);
    FreeLibrary(planted);
}
