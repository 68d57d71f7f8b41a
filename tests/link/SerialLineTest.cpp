#include "link/SerialLine.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "link/BridgeDriver.h"
#include "tests/link/WaitUntil.h"

using namespace BridgeResult;

namespace {

constexpr tcflag_t kLineBits = SerialLine::kLineControlMask;

// A SerialLine on the far end of a pseudo-terminal whose near end the test holds. The near end's
// termios are the far end's, so the test sees what the line set.
class SerialLineTest : public testing::Test {
protected:
    void SetUp() override { OpenPseudoTerminal(); }
    void TearDown() override { CloseNearEnd(); }

    void OpenPseudoTerminal() {
        CloseNearEnd();
        char name[256] = {};
        int far = -1;
        ASSERT_EQ(openpty(&m_near, &far, name, nullptr, nullptr), 0);
        ::close(far);
        ASSERT_EQ(SerialLine::Open(name, m_line), kSuccess);
    }

    // Hangs the line up: a pseudo-terminal whose near end closes behaves like an unplugged device.
    void CloseNearEnd() {
        if (m_near >= 0) {
            ::close(m_near);
            m_near = -1;
        }
    }

    termios Settings() {
        termios settings{};
        EXPECT_EQ(tcgetattr(m_near, &settings), 0);
        return settings;
    }

    void Send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(m_near, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    uint32_t Waiting() {
        uint32_t count = 0;
        EXPECT_EQ(m_line->BytesWaiting(count), kSuccess);
        return count;
    }

    int m_near = -1;
    std::unique_ptr<SerialLine> m_line;
};

}  // namespace

TEST_F(SerialLineTest, OpensRawEightNoneOneWithoutHandshake) {
    const termios settings = Settings();
    EXPECT_EQ(settings.c_cflag & kLineBits, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(settings.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

TEST(SerialLineSettings, LineControlWordMapsToTermiosFlags) {
    struct Case {
        uint16_t word;
        uint32_t result;
        tcflag_t flags;
    };
    const Case cases[] = {
        {0x0800, kSuccess, CS8},
        {0x0702, kSuccess, CS7 | CSTOPB},
        {0x0610, kSuccess, CS6 | PARENB | PARODD},
        {0x0520, kSuccess, CS5 | PARENB},
        {0x0830, kSuccess, CS8 | PARENB | PARODD | CMSPAR},
        {0x0842, kSuccess, CS8 | PARENB | CMSPAR | CSTOPB},
        {0x0801, kInvalidParameter, 0},  // one and a half stop bits
        {0x0803, kInvalidParameter, 0},
        {0x0900, kInvalidParameter, 0},
        {0x0400, kInvalidParameter, 0},
        {0x0850, kInvalidParameter, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "word 0x" << c.word);
        tcflag_t flags = 0;
        EXPECT_EQ(SerialLine::LineControlFlags(c.word, flags), c.result);
        EXPECT_EQ(flags, c.flags);
    }
}

// A pseudo-terminal keeps 8 data bits without parity whatever it is told; the stop bits it keeps.
TEST_F(SerialLineTest, LineControlReachesTheTty) {
    EXPECT_EQ(m_line->SetLineControl(0x0802), kSuccess);
    EXPECT_EQ(Settings().c_cflag & kLineBits, static_cast<tcflag_t>(CS8 | CSTOPB));
    EXPECT_EQ(m_line->SetLineControl(0x0801), kInvalidParameter);
    EXPECT_EQ(Settings().c_cflag & kLineBits, static_cast<tcflag_t>(CS8 | CSTOPB));
    EXPECT_EQ(m_line->SetLineControl(0x0800), kSuccess);
    EXPECT_EQ(Settings().c_cflag & kLineBits, static_cast<tcflag_t>(CS8));
}

TEST_F(SerialLineTest, BaudRatesThatTermiosCannotDoAreRefused) {
    struct Case {
        uint32_t rate;
        uint32_t result;
        speed_t speed;  // expected speed after the call
    };
    const Case cases[] = {
        {9600, kSuccess, B9600},
        {921600, kSuccess, B921600},
        {115200, kSuccess, B115200},
        {0, kInvalidBaudRate, B115200},
        {12345, kInvalidBaudRate, B115200},
        {4000001, kInvalidBaudRate, B115200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        EXPECT_EQ(m_line->SetBaudRate(c.rate), c.result);
        const termios settings = Settings();
        EXPECT_EQ(cfgetospeed(&settings), c.speed);
    }
}

TEST_F(SerialLineTest, FlowControlCodesMapToTermiosOrAreRefused) {
    struct Case {
        uint8_t cts, rts, dtr, dsr, dcd;
        bool xonXoff;
        uint32_t result;
        bool hardware;
        bool software;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, false, kSuccess, false, false},
        {1, 2, 0, 0, 0, true, kSuccess, true, true},
        {0, 1, 1, 0, 0, false, kSuccess, false, false},
        {2, 0, 0, 0, 0, true, kInvalidParameter, false, false},
        {0, 3, 0, 0, 0, true, kInvalidParameter, false, false},
        {0, 0, 2, 0, 0, true, kInvalidParameter, false, false},
        {0, 0, 0, 1, 0, true, kInvalidParameter, false, false},
        {0, 0, 0, 0, 1, true, kInvalidParameter, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.cts) << int(c.rts) << int(c.dtr) << int(c.dsr) << int(c.dcd) << c.xonXoff);
        EXPECT_EQ(m_line->SetFlowControl(c.cts, c.rts, c.dtr, c.dsr, c.dcd, c.xonXoff), c.result);
        const termios settings = Settings();
        EXPECT_EQ((settings.c_cflag & CRTSCTS) != 0, c.hardware);
        EXPECT_EQ((settings.c_iflag & (IXON | IXOFF)) == (IXON | IXOFF), c.software);
    }
}

TEST_F(SerialLineTest, QueueCountsReceivedBytesAndFlushDiscardsThem) {
    EXPECT_EQ(Waiting(), 0u);
    Send({1, 2, 3, 4, 5});
    EXPECT_TRUE(WaitUntil([this] { return Waiting() == 5; }));
    EXPECT_EQ(m_line->Flush(false, true), kSuccess);
    EXPECT_EQ(Waiting(), 0u);
    EXPECT_EQ(m_line->Flush(true, true), kSuccess);
    EXPECT_EQ(m_line->Flush(false, false), kSuccess);
}

TEST_F(SerialLineTest, VanishedDeviceFailsEveryLaterCall) {
    uint8_t byte = 0;
    uint32_t count = 0;
    const std::function<uint32_t(SerialLine&)> operations[] = {
        [&](SerialLine& line) { return line.Read(&byte, 1, 200, count); },
        [&](SerialLine& line) { return line.BytesWaiting(count); },
        [&](SerialLine& line) { return line.Flush(true, true); },
    };
    for (std::size_t first = 0; first < std::size(operations); ++first) {
        SCOPED_TRACE(first);
        OpenPseudoTerminal();
        CloseNearEnd();
        EXPECT_NE(operations[first](*m_line), kSuccess);
        EXPECT_TRUE(m_line->IsLost());
        for (const auto& operation : operations) {
            EXPECT_NE(operation(*m_line), kSuccess);
        }
    }
}

TEST(SerialLineOpen, FailsOnMissingDevicesAndOnFilesThatAreNoTty) {
    std::unique_ptr<SerialLine> line;
    EXPECT_EQ(SerialLine::Open("/dev/ttyVKX-no-such-device", line), kDeviceNotFound);
    EXPECT_NE(SerialLine::Open("/dev/null", line), kSuccess);
    EXPECT_EQ(line, nullptr);
}
