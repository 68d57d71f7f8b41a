#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "framework/MessageBox.h"
#include "res/ResourceIds.h"
#include "tests/support/FakeBridgeDriver.h"
#include "timelist/JournalFiles.h"

// The real file system for the journal, except that writing fails while `failing` is set, and the
// next `failingSyncs` syncs fail; it counts the syncs.
class SwitchedJournalFiles : public JournalFiles {
public:
    std::ptrdiff_t Write(Handle file, const char* data, std::size_t size) override {
        return failing ? -ENOSPC : JournalFiles::Write(file, data, size);
    }
    int SyncData(Handle file) override {
        ++syncs;
        int left = failingSyncs;
        while (left > 0 && !failingSyncs.compare_exchange_weak(left, left - 1)) {
        }
        return left > 0 ? -EIO : JournalFiles::SyncData(file);
    }
    bool failing = false;
    std::atomic<int> failingSyncs{0};
    std::atomic<int> syncs{0};
};

// The real main dialog, shown offscreen, on a fake bridge driver; message boxes are answered here
// and recorded.
class MainDialogFixture : public ::testing::Test {
protected:
    using Row = std::array<std::string, 3>;

    void SetUp() override;
    void TearDown() override;

    void Connect() { dialog->SendCommand(res::IDC_CONNECT); }
    void Tick() { dialog->OnTimer(CDIZUravavedVKX260Dlg::kPollTimerId); }
    // A frame as the stopwatch sends it.
    static std::vector<uint8_t> EventFrame(uint8_t kind, uint8_t hours, uint8_t minutes, uint8_t seconds,
                                           uint16_t milliseconds);

    // The dialog's window and controls as the widgets they are here.
    QDialog* Window() const;
    QWidget* Control(int id) const;
    std::string StatusText() const;
    std::string ButtonCaption() const;
    QColor PictureColor() const;
    bool InfoEnabled() const;
    std::vector<Row> Rows() const;
    // The four indicators of the disconnected state, and no polling.
    void ExpectDisconnectedState() const;
    void ExpectConnectedState() const;

    FakeBridgeDriver driver;
    // The journals go to a folder of the test's own, never to the user's.
    QTemporaryDir stateHome;
    SwitchedJournalFiles journalFiles;
    std::unique_ptr<CDIZUravavedVKX260Dlg> dialog;
    std::vector<MessageBoxRequest> boxes;
    int answer = IDOK;
    std::function<void(const MessageBoxRequest&)> whileBoxShown;
    // Texts of the boxes that the window closed by itself.
    std::vector<std::string> closedBoxes;

private:
    MessageBoxPresenter m_previousPresenter;
    std::optional<QByteArray> m_previousStateHome;
    MessageBoxCloser m_previousCloser;
};

inline const QColor kRed(255, 0, 0);
inline const QColor kGreen(76, 255, 0);

// Runs the event loop until the condition holds or the deadline passes; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
