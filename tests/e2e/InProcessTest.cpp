// The whole program in one process: the real main dialog on the system's bridge driver, shown
// offscreen, against a stopwatch bridge that umockdev emulates. The test plays the stopwatch on the
// pseudo-terminal's master and the operator on the dialog's controls.

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "framework/CFileDialog.h"
#include "framework/CMenu.h"
#include "framework/MessageBox.h"
#include "framework/qt/QtHandles.h"
#include "res/ResourceIds.h"
#include "sim/EmulatedBridge.h"
#include "sim/FrameEncoder.h"

namespace {

constexpr char kPreloadLibrary[] = "libumockdev-preload.so.0";
constexpr const char* kConnectionLostText =
    "Die Verbindung zur VKX260 wurde unterbrochen.\n\n"
    "Sobald die VKX260 wieder angeschlossen ist, verbindet sich das Programm von selbst.";
constexpr const char* kSavedText = "Daten wurden gespeichert";
constexpr int kRowsDeadlineMs = 20000;

using Clock = std::chrono::steady_clock;

struct Event {
    int kind;
    int hours;
    int minutes;
    int seconds;
    int milliseconds;
};

// Bytes the stopwatch puts on the line in one go, the rows they must give, and the time until the
// stopwatch sends its next bytes.
struct Step {
    std::vector<uint8_t> wire;
    std::vector<Event> events;
    std::chrono::milliseconds pause{0};
};

std::vector<uint8_t> Frame(const Event& e, uint8_t leadingByte = 0x00) {
    return FrameEncoder().Encode(
        FrameEncoder::EventPayload(static_cast<uint8_t>(e.kind), static_cast<uint8_t>(e.hours),
                                   static_cast<uint8_t>(e.minutes), static_cast<uint8_t>(e.seconds),
                                   static_cast<uint16_t>(e.milliseconds)),
        leadingByte);
}

std::vector<uint8_t> Joined(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& part : parts) {
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

// The file the operator must get for these rows, in the order they arrived.
QByteArray ExpectedCsv(const std::vector<Event>& events) {
    QByteArray csv = "Index,Event,Zeit\r\n";
    int index = 0;
    for (const Event& e : events) {
        const char* name = e.kind == 1 ? "Start" : e.kind == 2 ? "Stopp" : e.kind == 3 ? "Lap" : "Fehler";
        char line[80];
        std::snprintf(line, sizeof line, "%03d,%s,%02d:%02d:%02d.%03d\r\n", ++index, name, e.hours, e.minutes,
                      e.seconds, e.milliseconds);
        csv += line;
    }
    return csv;
}

std::vector<Event> EventsOf(const std::vector<Step>& steps) {
    std::vector<Event> events;
    for (const Step& step : steps) {
        events.insert(events.end(), step.events.begin(), step.events.end());
    }
    return events;
}

// Writes all bytes to the non-blocking master; empty on success, else what went wrong.
std::string WriteAll(int master, const std::vector<uint8_t>& bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(master, bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            return std::string("write to the master failed: ") + std::strerror(errno);
        }
        if (Clock::now() >= deadline) {
            return "the program stopped reading: the line's buffer stayed full";
        }
        pollfd line{master, POLLOUT, 0};
        poll(&line, 1, 10);
    }
    return {};
}

// The stopwatch runs beside the program, at its own pace, as the real one does.
std::future<std::string> PlayStopwatch(int master, std::vector<Step> steps) {
    return std::async(std::launch::async, [master, steps = std::move(steps)] {
        auto next = Clock::now();
        for (const Step& step : steps) {
            std::this_thread::sleep_until(next);
            if (std::string error = WriteAll(master, step.wire); !error.empty()) {
                return error;
            }
            next += step.pause;
        }
        return std::string();
    });
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class InProcessTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(access("/sys/kernel", F_OK), 0) << "not running under " << kPreloadLibrary;
        ASSERT_TRUE(m_folder.isValid());
        // The journal goes to the test's folder, never to the user's.
        qputenv("XDG_STATE_HOME", m_folder.filePath("state").toUtf8());
        m_previousPresenter = SetMessageBoxPresenter([this](const MessageBoxRequest& request) {
            m_boxes.push_back(request);
            return IDOK;
        });
        m_previousChooser = SetFileChooser([this](const FileDialogRequest&) { return m_chosen; });
        std::string error;
        ASSERT_TRUE(m_bridge.Plug(error)) << error;
        m_dialog = std::make_unique<CDIZUravavedVKX260Dlg>();
        ASSERT_TRUE(m_dialog->Create());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(ToWidget(m_dialog->GetSafeHwnd())));
    }

    void TearDown() override {
        m_dialog.reset();
        SetFileChooser(std::move(m_previousChooser));
        SetMessageBoxPresenter(std::move(m_previousPresenter));
    }

    // A click on "Verbindung herstellen"; frames may go out once the dialog has opened, set and
    // flushed the line, which it does before the click returns.
    void Connect() {
        auto* button = qobject_cast<QPushButton*>(ToWidget(m_dialog->GetDlgItem(res::IDC_CONNECT)));
        ASSERT_NE(button, nullptr);
        ASSERT_EQ(button->text(), "Verbindung herstellen");
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([this] { return m_bridge.IsPortOpen() && m_bridge.IsLineSet(); }))
            << "the dialog did not open " << m_bridge.Name() << " at 115200 8N1";
    }

    // Plays the steps and waits until the list holds `rowsAfter` rows.
    void Play(std::vector<Step> steps, int rowsAfter) {
        std::future<std::string> stopwatch = PlayStopwatch(m_bridge.Master(), std::move(steps));
        const bool arrived = WaitUntil([&] { return RowCount() >= rowsAfter; }, kRowsDeadlineMs);
        EXPECT_EQ(stopwatch.get(), "");
        ASSERT_TRUE(arrived) << RowCount() << " rows instead of " << rowsAfter;
    }

    // Saves through the button "Liste speichern" and returns the file's bytes.
    QByteArray SaveAs(const char* name) {
        const std::string path = QDir(m_folder.path()).filePath(name).toStdString();
        m_chosen = path;
        QTest::mouseClick(ToWidget(m_dialog->GetDlgItem(res::IDC_SAVE_LIST)), Qt::LeftButton);
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
    }

    int RowCount() const { return m_dialog->TimeList().GetItemCount(); }
    int BoxesSaying(const std::string& text) const {
        return static_cast<int>(std::count_if(
            m_boxes.begin(), m_boxes.end(), [&](const MessageBoxRequest& box) { return box.text == text; }));
    }
    std::string Text(int id) const {
        const QWidget* control = ToWidget(m_dialog->GetDlgItem(id));
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
            return label->text().toStdString();
        }
        return qobject_cast<const QPushButton*>(control)->text().toStdString();
    }
    QColor PictureColor() const {
        const QPixmap picture =
            qobject_cast<QLabel*>(ToWidget(m_dialog->GetDlgItem(res::IDC_STATUS_PICTURE)))->pixmap();
        return picture.isNull() ? QColor() : picture.toImage().pixelColor(24, 24);
    }
    bool InfoEnabled() const { return m_dialog->GetMenu()->GetMenuState(res::ID_MENU_INFO) == MF_ENABLED; }

    void ExpectConnected() const {
        EXPECT_EQ(Text(res::IDC_STATUS_TEXT), "aktiv");
        EXPECT_EQ(Text(res::IDC_CONNECT), "Verbindung trennen");
        EXPECT_EQ(PictureColor(), QColor(76, 255, 0));
        EXPECT_FALSE(InfoEnabled());
        EXPECT_TRUE(m_dialog->IsPolling());
    }
    void ExpectDisconnected() const {
        EXPECT_EQ(Text(res::IDC_STATUS_TEXT), "inaktiv");
        EXPECT_EQ(Text(res::IDC_CONNECT), "Verbindung herstellen");
        EXPECT_EQ(PictureColor(), QColor(255, 0, 0));
        EXPECT_TRUE(InfoEnabled());
        EXPECT_FALSE(m_dialog->IsPolling());
    }

    EmulatedBridge m_bridge;
    std::unique_ptr<CDIZUravavedVKX260Dlg> m_dialog;
    std::vector<MessageBoxRequest> m_boxes;

private:
    QTemporaryDir m_folder;
    std::optional<std::string> m_chosen;
    MessageBoxPresenter m_previousPresenter;
    FileChooser m_previousChooser;
};

TEST_F(InProcessTest, RowsReachTheFileAndSurviveAnUnplug) {
    const Event lapWithEscapes{3, 2, 0, 16, 0x1002};  // 0x10 and 0x02 inside the payload
    const Event stop{2, 1, 2, 3, 4};
    const Event error{4, 12, 34, 56, 999};
    const Event kindZero{0, 100, 0, 0, 7};
    const Event kindHigh{200, 255, 255, 255, 65535};
    const Event start{1, 0, 0, 0, 0};
    const std::vector<uint8_t> noise = {0x55, 0x10, 0x03, 0xFF, 0x00, 0x90, 0x7E};
    const std::vector<uint8_t> wrongCrc = {0x02, 0x00, 0x01, 0x00, 0x41, 0x00, 0x00};

    std::vector<Step> first = {
        // The stopwatch's own example frame: start at 00:01:02.345.
        {{0x02, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x02, 0x01, 0x59, 0x81, 0x6D}, {{1, 0, 1, 2, 345}}},
        {Joined({noise, Frame(lapWithEscapes, 0x10), noise}),
         {lapWithEscapes},
         std::chrono::milliseconds(30)},
        {Joined({wrongCrc, Frame(stop)}), {stop}},
        {Joined({Frame(error), Frame(kindZero)}), {error, kindZero}},
        {Joined({noise, Frame(kindHigh)}), {kindHigh}, std::chrono::milliseconds(50)},
    };
    for (int i = 0; i < 50; ++i) {
        const Event lap{3, 0, 1, i / 100, i * 10};
        first.push_back({Frame(lap), {lap}, std::chrono::milliseconds(10)});
    }
    std::vector<Event> events = EventsOf(first);
    ASSERT_EQ(events.size(), 56u);

    ASSERT_NO_FATAL_FAILURE(Connect());
    ExpectConnected();
    ASSERT_NO_FATAL_FAILURE(Play(first, static_cast<int>(events.size())));
    EXPECT_EQ(RowCount(), static_cast<int>(events.size()));
    EXPECT_EQ(SaveAs("first.csv"), ExpectedCsv(events));
    EXPECT_EQ(BoxesSaying(kSavedText), 1);
    EXPECT_FALSE(m_dialog->HasUnsavedRows());
    EXPECT_TRUE(m_dialog->IsPolling());

    m_bridge.Unplug();
    ASSERT_TRUE(WaitUntil([this] { return BoxesSaying(kConnectionLostText) > 0; }))
        << "the window did not notice the unplug";
    ExpectDisconnected();
    ASSERT_EQ(BoxesSaying(kConnectionLostText), 1);
    const auto lost = std::find_if(m_boxes.begin(), m_boxes.end(), [](const MessageBoxRequest& box) {
        return box.text == kConnectionLostText;
    });
    EXPECT_EQ(lost->caption, "Verbindungsfehler");
    EXPECT_EQ(lost->style, static_cast<UINT>(MB_ICONINFORMATION));

    // Plugged in again, the bridge is connected without the operator.
    std::string plugError;
    ASSERT_TRUE(m_bridge.Plug(plugError)) << plugError;
    EXPECT_EQ(m_bridge.Name(), "ttyUSB1");
    ASSERT_TRUE(WaitUntil([this] { return m_bridge.IsPortOpen() && m_bridge.IsLineSet(); }))
        << "the dialog did not connect " << m_bridge.Name() << " by itself";
    ExpectConnected();
    const std::vector<Step> second = {
        {Frame(start), {start}},
        {Joined({noise, Frame(lapWithEscapes), Frame(stop)}), {lapWithEscapes, stop}},
    };
    const std::vector<Event> more = EventsOf(second);
    events.insert(events.end(), more.begin(), more.end());
    ASSERT_NO_FATAL_FAILURE(Play(second, static_cast<int>(events.size())));
    // The numbering goes on after the 56 rows of the first bridge.
    EXPECT_EQ(m_dialog->TimeList().GetItemText(56, 0), "057");
    EXPECT_EQ(SaveAs("second.csv"), ExpectedCsv(events));

    // The box came once, and a disconnect by the operator says nothing.
    QTest::mouseClick(ToWidget(m_dialog->GetDlgItem(res::IDC_CONNECT)), Qt::LeftButton);
    ExpectDisconnected();
    EXPECT_EQ(BoxesSaying(kConnectionLostText), 1);
    EXPECT_EQ(m_boxes.size(), 3u);
}

}  // namespace

// umockdev works through the dynamic loader: without its library preloaded this program starts
// itself again with it, so that ctest and a developer can run the binary directly.
int main(int argc, char** argv) {
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, kPreloadLibrary) == nullptr) {
        const std::string value = preload != nullptr && *preload != '\0'
                                      ? std::string(preload) + ":" + kPreloadLibrary
                                      : kPreloadLibrary;
        if (setenv("LD_PRELOAD", value.c_str(), 1) != 0) {
            return EXIT_FAILURE;
        }
        execv("/proc/self/exe", argv);
        std::perror("execv");
        return EXIT_FAILURE;
    }
    // Offscreen, unless told otherwise: nothing under the preload may reach for a GPU.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
