// The real bridge driver against bridges that umockdev emulates: each is a tty in sysfs below a USB
// device, backed by a pseudo-terminal whose other end the test holds.

#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/ComCP2102.h"
#include "link/LinuxBridgeDriver.h"
#include "protocol/ComProtocol.h"
#include "sim/FrameEncoder.h"
#include "tests/link/WaitUntil.h"

namespace {

constexpr char kPreloadLibrary[] = "libumockdev-preload.so.0";

std::string UsbPath(const std::string& usbPort) { return "/devices/pci0000:00/0000:00:14.0/usb1/" + usbPort; }

// A test bed of emulated devices, visible to this process while it exists.
class EmulatedDevices {
public:
    EmulatedDevices() : m_testbed(umockdev_testbed_new()) {}
    EmulatedDevices(const EmulatedDevices&) = delete;
    EmulatedDevices& operator=(const EmulatedDevices&) = delete;
    ~EmulatedDevices() { g_object_unref(m_testbed); }

    // True when the process sees the test bed's sysfs instead of the machine's.
    static bool Active() { return ::access("/sys/kernel", F_OK) != 0; }

    // A bridge: USB device usbPort with the given IDs, product string and serial number (none when
    // empty), interface, tty.
    void AddBridge(const std::string& tty, const std::string& usbPort, const std::string& vendorId,
                   const std::string& productId, const std::string& product, const std::string& serial = "") {
        const std::string interface = UsbPath(usbPort) + "/" + usbPort + ":1.0";
        Add(Usb(usbPort, vendorId, productId, product, serial) + Tty(interface + "/" + tty, tty, 188));
    }

    // A bridge that no serial driver has bound: the USB device and its interface, no tty.
    void AddUnboundBridge(const std::string& usbPort, const std::string& vendorId,
                          const std::string& productId) {
        Add(Usb(usbPort, vendorId, productId, "", ""));
    }

    // A serial port on the main board, without a USB parent.
    void AddSerialPort(const std::string& tty) { Add(Tty("/devices/platform/serial8250", tty, 4)); }

    // The test's end of the tty's pseudo-terminal.
    int Master(const std::string& tty) {
        return umockdev_testbed_get_dev_fd(m_testbed, ("/dev/" + tty).c_str());
    }

    // Removes the USB device from sysfs and hangs up its tty, as unplugging does.
    void Unplug(const std::string& usbPort, const std::string& tty) {
        const int master = Master(tty);
        umockdev_testbed_remove_device(m_testbed, ("/sys" + UsbPath(usbPort)).c_str());
        // The test bed closes the master itself at the end: another descriptor takes over its number.
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        ASSERT_EQ(::dup2(pipeEnds[0], master), master);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }

private:
    static std::string Usb(const std::string& usbPort, const std::string& vendorId,
                           const std::string& productId, const std::string& product,
                           const std::string& serial) {
        const std::string usb = UsbPath(usbPort);
        return "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + vendorId +
               "\nA: idProduct=" + productId + "\nA: product=" + product +
               (serial.empty() ? "" : "\nA: serial=" + serial) + "\n\nP: " + usb + "/" + usbPort +
               ":1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n";
    }

    std::string Tty(const std::string& parent, const std::string& tty, int major) {
        return "P: " + parent + "/tty/" + tty + "\nN: " + tty + "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + tty +
               "\nA: dev=" + std::to_string(major) + ":" + std::to_string(m_minor++) + "\n\n";
    }

    void Add(const std::string& description) {
        GError* error = nullptr;
        const bool added = umockdev_testbed_add_from_string(m_testbed, description.c_str(), &error);
        ASSERT_TRUE(added) << (error != nullptr ? error->message : "");
    }

    UMockdevTestbed* m_testbed;
    int m_minor = 0;
};

void Send(int master, const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::vector<uint8_t> ReceiveAtMaster(int master, std::size_t count) {
    std::vector<uint8_t> received;
    WaitUntil([&] {
        uint8_t buffer[64];
        pollfd entry{master, POLLIN, 0};
        if (::poll(&entry, 1, 0) == 1) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            received.insert(received.end(), buffer, buffer + (n > 0 ? n : 0));
        }
        return received.size() >= count;
    });
    return received;
}

bool SomethingWaiting(ComCP2102& port) {
    uint32_t count = 0;
    return port.BytesWaiting(count) && count > 0;
}

std::string Description(LinuxBridgeDriver& driver, uint32_t index, uint32_t selector) {
    char buffer[kProductStringSize];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(driver.GetProductString(index, buffer, selector), BridgeResult::kSuccess);
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

class DeviceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(EmulatedDevices::Active()) << "not running under " << kPreloadLibrary;
    }

    EmulatedDevices m_devices;
    LinuxBridgeDriver m_driver;
    ComCP2102 m_port{m_driver};
};

}  // namespace

TEST_F(DeviceTest, OpensTheStopwatchAndMovesBytesBothWays) {
    m_devices.AddBridge("ttyUSB0", "1-2", "5f3a", "b7c4", "VKX260 Stoppuhr");
    const int master = m_devices.Master("ttyUSB0");
    ASSERT_GE(master, 0);
    ASSERT_TRUE(m_port.OpenByIds("5f3a", "b7c4", 115200, 500));

    termios line{};
    ASSERT_EQ(tcgetattr(master, &line), 0);
    EXPECT_EQ(cfgetispeed(&line), static_cast<speed_t>(B115200));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    uint32_t timeout = 0;
    EXPECT_TRUE(m_port.GetTimeout(timeout));
    EXPECT_EQ(timeout, 500u);

    // Bytes that a cooked line would translate, swallow or act upon.
    const std::vector<uint8_t> bytes = {0x02, 0x00, 0x10, 0x90, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0xFF};
    Send(master, bytes);
    EXPECT_TRUE(WaitUntil([this] { return SomethingWaiting(m_port); }));
    std::vector<uint8_t> received(bytes.size());
    uint32_t count = 0;
    EXPECT_TRUE(m_port.Read(received.data(), received.size(), &count));
    EXPECT_EQ(count, bytes.size());
    EXPECT_EQ(received, bytes);

    ASSERT_TRUE(m_port.SetTimeout(50));
    EXPECT_TRUE(m_port.Read(received.data(), 4, &count));
    EXPECT_EQ(count, 0u);
    Send(master, {0x41, 0x42});
    EXPECT_TRUE(m_port.Read(received.data(), 4, &count));
    EXPECT_EQ(count, 2u);

    const std::vector<uint8_t> sent = {0x10, 0x02, 0x0A};
    EXPECT_TRUE(m_port.Write(sent.data(), sent.size()));
    EXPECT_EQ(ReceiveAtMaster(master, sent.size()), sent);
    EXPECT_TRUE(m_port.Flush());
    EXPECT_TRUE(m_port.Close());
}

TEST_F(DeviceTest, ListsUsbTtysInNodeOrderAndSkipsBridgesWithOtherIds) {
    // Sysfs lists the bridges in another order than their node names.
    m_devices.AddSerialPort("ttyS0");
    m_devices.AddBridge("ttyUSB2", "1-1", "5f3a", "b7c4", "third", "A1B2");
    m_devices.AddBridge("ttyUSB0", "1-2", "10c4", "ea60", "first");
    m_devices.AddBridge("ttyUSB1", "1-3", "5F3A", "B7C4", "second");

    uint32_t count = 0;
    ASSERT_EQ(m_driver.GetNumDevices(count), BridgeResult::kSuccess);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(Description(m_driver, 0, ProductString::kDescription), "first");
    EXPECT_EQ(Description(m_driver, 1, ProductString::kDescription), "second");
    EXPECT_EQ(Description(m_driver, 2, ProductString::kDescription), "third");
    EXPECT_EQ(Description(m_driver, 1, ProductString::kVendorId), "5F3A");
    EXPECT_EQ(Description(m_driver, 1, ProductString::kProductId), "B7C4");
    // Without a serial number, a bridge is named by the USB port it is plugged into.
    EXPECT_EQ(Description(m_driver, 1, ProductString::kSerialNumber), UsbPath("1-3"));
    EXPECT_EQ(Description(m_driver, 2, ProductString::kSerialNumber), "A1B2");

    ASSERT_TRUE(m_port.OpenByIds("5f3a", "b7c4", 115200, 500));
    Send(m_devices.Master("ttyUSB0"), {'A'});
    Send(m_devices.Master("ttyUSB1"), {'B'});
    Send(m_devices.Master("ttyUSB2"), {'C'});
    ASSERT_TRUE(m_port.SetTimeout(200));
    uint8_t received[2] = {};
    uint32_t received_count = 0;
    EXPECT_TRUE(m_port.Read(received, 2, &received_count));
    EXPECT_EQ(received_count, 1u);
    EXPECT_EQ(received[0], 'C');
}

TEST(DeviceSearch, WithoutAMatchingBridgeTheOpenFailsCleanly) {
    struct Case {
        const char* name;
        bool serialPort;
        bool otherBridge;
        uint32_t devices;
        const char* unboundVendorId = nullptr;  // a bridge with b7c4 that no serial driver bound
        std::string trace = {};
    };
    const Case cases[] = {
        {"no tty at all", false, false, 0},
        {"a serial port without USB", true, false, 0},
        {"a bridge with other IDs", true, true, 1},
        {"the stopwatch, but no serial driver bound: the trace names the device and the rule", true, true, 1,
         "5f3a",
         "Kein serieller Treiber an USB-Gerät 5f3a:b7c4 gebunden (/sys" + UsbPath("1-4") +
             "), daher keine tty: die udev-Regel 70-vkx260.rules fehlt oder wurde nicht angewandt\n"},
        {"another maker's unbound bridge is none of the program's business", false, false, 0, "10c4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedDevices devices;
        ASSERT_TRUE(EmulatedDevices::Active());
        if (c.serialPort) {
            devices.AddSerialPort("ttyS0");
        }
        if (c.otherBridge) {
            devices.AddBridge("ttyUSB0", "1-2", "10c4", "ea60", "CP2102 USB to UART Bridge Controller");
        }
        if (c.unboundVendorId != nullptr) {
            devices.AddUnboundBridge("1-4", c.unboundVendorId, "b7c4");
        }
        LinuxBridgeDriver driver;
        uint32_t count = 99;
        EXPECT_EQ(driver.GetNumDevices(count), BridgeResult::kSuccess);
        EXPECT_EQ(count, c.devices);
        ComCP2102 port(driver);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(port.OpenByIds("5f3a", "b7c4", 115200, 500));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.trace);
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST_F(DeviceTest, ProductStringIsCutTo255Characters) {
    m_devices.AddBridge("ttyUSB0", "1-2", "5f3a", "b7c4", std::string(300, 'p'));
    uint32_t count = 0;
    ASSERT_EQ(m_driver.GetNumDevices(count), BridgeResult::kSuccess);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Description(m_driver, 0, ProductString::kDescription), std::string(255, 'p'));
}

TEST_F(DeviceTest, UnpluggedBridgeFailsReadsAndQueueChecks) {
    m_devices.AddBridge("ttyUSB0", "1-2", "5f3a", "b7c4", "VKX260 Stoppuhr");
    ASSERT_TRUE(m_port.OpenByIds("5f3a", "b7c4", 115200, 500));
    uint32_t count = 99;
    EXPECT_TRUE(m_port.BytesWaiting(count));
    EXPECT_EQ(count, 0u);

    m_devices.Unplug("1-2", "ttyUSB0");
    uint8_t byte = 0;
    EXPECT_FALSE(m_port.BytesWaiting(count));
    EXPECT_FALSE(m_port.Read(&byte, 1, &count));
    EXPECT_FALSE(m_port.Flush());
    EXPECT_FALSE(m_port.Read(&byte, 1, &count));
    EXPECT_TRUE(m_port.Close());

    ASSERT_EQ(m_driver.GetNumDevices(count), BridgeResult::kSuccess);
    EXPECT_EQ(count, 0u);
}

TEST_F(DeviceTest, ReceiverTakesAScriptedFrameThroughTheRealDriver) {
    m_devices.AddBridge("ttyUSB0", "1-2", "5f3a", "b7c4", "VKX260 Stoppuhr");
    ASSERT_TRUE(m_port.OpenByIds("5f3a", "b7c4", 115200, 500));
    ASSERT_TRUE(m_port.Flush());

    const std::vector<uint8_t> payload = FrameEncoder::EventPayload(2, 1, 16, 59, 0x1002);
    FrameEncoder encoder;
    std::vector<uint8_t> wire = {0x7E, 0x10, 0x00};  // noise before the start byte
    const std::vector<uint8_t> frame = encoder.Encode(payload);
    wire.insert(wire.end(), frame.begin(), frame.end());
    Send(m_devices.Master("ttyUSB0"), wire);

    ComProtocol receiver;
    receiver.SetCom(&m_port);
    uint8_t buffer[80] = {};
    int32_t stored = 0;
    ASSERT_TRUE(receiver.Receive(buffer, sizeof buffer, stored, 0));
    EXPECT_EQ(receiver.GetStatus(), ComStatus::NoError);
    EXPECT_EQ(stored, static_cast<int32_t>(payload.size() + 5));
    EXPECT_EQ(std::vector<uint8_t>(buffer + 3, buffer + 3 + payload.size()), payload);
}

// umockdev works through the dynamic loader: without its library preloaded this program starts
// itself again with it, so that ctest and a developer can run the binary directly.
int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, kPreloadLibrary) == nullptr) {
        const std::string value = preload != nullptr && *preload != '\0'
                                      ? std::string(preload) + ":" + kPreloadLibrary
                                      : kPreloadLibrary;
        if (::setenv("LD_PRELOAD", value.c_str(), 1) != 0) {
            return EXIT_FAILURE;
        }
        ::execv("/proc/self/exe", argv);
        std::perror("execv");
        return EXIT_FAILURE;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
