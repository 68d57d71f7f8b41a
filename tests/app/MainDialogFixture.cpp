#include "tests/app/MainDialogFixture.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>

#include "framework/CMenu.h"
#include "framework/qt/QtHandles.h"
#include "sim/FrameEncoder.h"

void MainDialogFixture::SetUp() {
    m_previousPresenter = SetMessageBoxPresenter([this](const MessageBoxRequest& request) {
        boxes.push_back(request);
        if (whileBoxShown) {
            whileBoxShown(request);
        }
        return answer;
    });
    if (qEnvironmentVariableIsSet("XDG_STATE_HOME")) {
        m_previousStateHome = qgetenv("XDG_STATE_HOME");
    }
    ASSERT_TRUE(stateHome.isValid());
    qputenv("XDG_STATE_HOME", stateHome.path().toUtf8());
    m_previousCloser = SetMessageBoxCloser([this](const std::string& text) { closedBoxes.push_back(text); });
    dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver, journalFiles);
    ASSERT_TRUE(dialog->Create());
}

void MainDialogFixture::TearDown() {
    dialog.reset();
    SetMessageBoxPresenter(std::move(m_previousPresenter));
    if (m_previousStateHome) {
        qputenv("XDG_STATE_HOME", *m_previousStateHome);
    } else {
        qunsetenv("XDG_STATE_HOME");
    }
    SetMessageBoxCloser(std::move(m_previousCloser));
}

std::vector<uint8_t> MainDialogFixture::EventFrame(uint8_t kind, uint8_t hours, uint8_t minutes,
                                                   uint8_t seconds, uint16_t milliseconds) {
    return FrameEncoder().Encode(FrameEncoder::EventPayload(kind, hours, minutes, seconds, milliseconds));
}

QDialog* MainDialogFixture::Window() const { return qobject_cast<QDialog*>(ToWidget(dialog->GetSafeHwnd())); }

QWidget* MainDialogFixture::Control(int id) const { return ToWidget(dialog->GetDlgItem(id)); }

std::string MainDialogFixture::StatusText() const {
    return qobject_cast<QLabel*>(Control(res::IDC_STATUS_TEXT))->text().toStdString();
}

std::string MainDialogFixture::ButtonCaption() const {
    return qobject_cast<QPushButton*>(Control(res::IDC_CONNECT))->text().toStdString();
}

QColor MainDialogFixture::PictureColor() const {
    const QPixmap pixmap = qobject_cast<QLabel*>(Control(res::IDC_STATUS_PICTURE))->pixmap();
    return pixmap.isNull() ? QColor() : pixmap.toImage().pixelColor(24, 24);
}

bool MainDialogFixture::InfoEnabled() const {
    return dialog->GetMenu()->GetMenuState(res::ID_MENU_INFO) == MF_ENABLED;
}

std::vector<MainDialogFixture::Row> MainDialogFixture::Rows() const {
    std::vector<Row> rows;
    const CListCtrl& list = dialog->TimeList();
    for (int row = 0; row < list.GetItemCount(); ++row) {
        rows.push_back({list.GetItemText(row, 0), list.GetItemText(row, 1), list.GetItemText(row, 2)});
    }
    return rows;
}

void MainDialogFixture::ExpectDisconnectedState() const {
    EXPECT_EQ(StatusText(), "inaktiv");
    EXPECT_EQ(ButtonCaption(), "Verbindung herstellen");
    EXPECT_EQ(PictureColor(), kRed);
    EXPECT_TRUE(InfoEnabled());
    EXPECT_FALSE(dialog->IsPolling());
}

void MainDialogFixture::ExpectConnectedState() const {
    EXPECT_EQ(StatusText(), "aktiv");
    EXPECT_EQ(ButtonCaption(), "Verbindung trennen");
    EXPECT_EQ(PictureColor(), kGreen);
    EXPECT_FALSE(InfoEnabled());
    EXPECT_TRUE(dialog->IsPolling());
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}
