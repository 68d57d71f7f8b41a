#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "app/CDIZUravavedVKX260Dlg.h"
#include "framework/CMenu.h"
#include "framework/qt/DialogUnits.h"
#include "framework/qt/QtHandles.h"
#include "framework/qt/ReportView.h"
#include "tests/app/MainDialogFixture.h"

namespace {

constexpr const char* kConnectionErrorText =
    "Es konnte keine Datenverbindung zur VKX260 aufgebaut werden.\n\n"
    "Vergewissern Sie sich, dass die VKX260 angeschlossen,\n"
    "die Treiber installiert sind und die PC-Software nicht\n"
    "unter einem anderen Benutzerkonto gestartet wurde.";
constexpr const char* kConnectionLostText =
    "Die Verbindung zur VKX260 wurde unterbrochen.\n\n"
    "Sobald die VKX260 wieder angeschlossen ist, verbindet sich das Programm von selbst.";

using MainDialogTest = MainDialogFixture;

TEST_F(MainDialogTest, StartsDisconnectedWithAnEmptyListInAFixedWindow) {
    ExpectDisconnectedState();
    EXPECT_EQ(Window()->windowTitle(), "DIZ Uravaved VKX260");
    EXPECT_EQ(Window()->minimumSize(), Window()->maximumSize());
    EXPECT_FALSE(Window()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Window()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(Control(IDOK)->isHidden());
    EXPECT_EQ(Window()->focusWidget(), Control(IDCANCEL));
    EXPECT_FALSE(dialog->HasUnsavedRows());

    auto* view = qobject_cast<ReportView*>(Control(res::IDC_TIME_LIST));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->model()->rowCount(), 0);
    // Widths at 96 dpi, grown with the screen's; the last column takes what the others leave.
    const int dpi = view->logicalDpiX();
    const std::array<std::pair<const char*, int>, 3> columns{
        {{"Index", 60 * dpi / 96}, {"Event", 80 * dpi / 96}, {"Zeitpunkt", 0}}};
    ASSERT_EQ(view->model()->columnCount(), 3);
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(view->model()->headerData(column, Qt::Horizontal).toString(), columns[column].first);
        if (columns[column].second != 0) {
            EXPECT_EQ(view->horizontalHeader()->sectionSize(column), columns[column].second);
        }
    }
    // Once the shown window's layout has run.
    EXPECT_TRUE(
        WaitUntil([view] { return view->horizontalHeader()->length() == view->viewport()->width(); }));
}

TEST_F(MainDialogTest, ControlsSitWhereTheTemplatePutsThem) {
    struct Placement {
        int id;
        int x, y, width, height;
        const char* text;
    };
    const Placement placements[] = {
        {IDOK, 192, 227, 50, 16, "OK"},
        {IDCANCEL, 327, 227, 50, 16, "Beenden"},
        {res::IDC_CONNECT, 314, 22, 80, 20, "Verbindung herstellen"},
        {res::IDC_SAVE_LIST, 177, 61, 80, 20, "Liste speichern"},
        {res::IDC_TIME_LIST, 7, 7, 160, 236, nullptr},
        {res::IDC_CLEAR_LIST, 177, 22, 80, 20, "Liste löschen"},
        {res::IDC_STATUS_TEXT, 341, 97, 22, 8, "inaktiv"},
    };
    const DialogUnits units(Window()->font());
    for (const Placement& placement : placements) {
        SCOPED_TRACE(placement.id);
        QWidget* control = Control(placement.id);
        ASSERT_NE(control, nullptr);
        // A control may have grown sideways for its text, never away from its place.
        const QRect place = units.ToPixels(placement.x, placement.y, placement.width, placement.height);
        EXPECT_EQ(control->y(), place.y());
        EXPECT_EQ(control->height(), place.height());
        EXPECT_LE(control->geometry().left(), place.left());
        EXPECT_GE(control->geometry().right(), place.right());
        if (auto* button = qobject_cast<QPushButton*>(control); button && placement.text) {
            EXPECT_EQ(button->text(), QString::fromUtf8(placement.text));
        }
    }
    // The picture takes its bitmap's size at the template's position.
    QWidget* picture = Control(res::IDC_STATUS_PICTURE);
    EXPECT_EQ(picture->pos(), units.ToPixels(337, 65, 15, 13).topLeft());
    EXPECT_EQ(picture->size(), QSize(48, 48));
}

// Every text shows whole in its widget's font and style (grown widgets overlapping nothing is
// checked under Wine, where they grow).
void ExpectTextsFit(QWidget* clientArea) {
    for (QWidget* child : clientArea->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (auto* label = qobject_cast<QLabel*>(child); label && label->pixmap().isNull()) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width())
                << label->text().toStdString();
        }
        if (auto* button = qobject_cast<QPushButton*>(child)) {
            QStyleOptionButton option;
            option.initFrom(button);
            const QRect contents =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), contents.width())
                << button->text().toStdString();
        }
    }
}

// Idle and connected, with a list that scrolls: every text fits, and so does the longest time, or
// its cell gives it as a tip. Run again with QT_FONT_DPI=144 (tests/app/CMakeLists.txt).
TEST_F(MainDialogTest, TextsFitTheirControlsAndTimesTheirList) {
    // Qt scales its logical pixels by the device pixel ratio that QT_FONT_DPI sets.
    if (const QByteArray dpi = qgetenv("QT_FONT_DPI"); !dpi.isEmpty()) {
        ASSERT_EQ(qRound(Window()->logicalDpiX() * Window()->devicePixelRatioF()), dpi.toInt());
    }
    QWidget* clientArea = Control(res::IDC_CONNECT)->parentWidget();
    ExpectTextsFit(clientArea);
    Connect();
    for (int i = 0; i < 40; ++i) {
        driver.Deliver(i == 30 ? EventFrame(200, 255, 255, 255, 65535) : EventFrame(3, 0, 0, 1, 0));
        Tick();
    }
    ExpectTextsFit(clientArea);
    Connect();
    ExpectTextsFit(clientArea);

    auto* view = qobject_cast<ReportView*>(Control(res::IDC_TIME_LIST));
    ASSERT_TRUE(WaitUntil([view] {
        return view->verticalScrollBar()->isVisible() &&
               view->horizontalHeader()->length() == view->viewport()->width();
    }));
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
    const QModelIndex longest = view->model()->index(30, 2);
    ASSERT_EQ(longest.data().toString(), "255:255:255:65535");
    view->scrollTo(longest);
    const QRect cell = view->visualRect(longest);
    QHelpEvent hover(QEvent::ToolTip, cell.center(), view->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(view->viewport(), &hover);
    // Shown whole between the cell's margins, or given as the cell's tip.
    if (QToolTip::text().isEmpty()) {
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        EXPECT_LE(view->fontMetrics().horizontalAdvance(longest.data().toString()) + 2 * margin,
                  cell.width());
    } else {
        EXPECT_EQ(QToolTip::text(), "255:255:255:65535");
    }
}

TEST_F(MainDialogTest, MenuItemsCarryTheirCommands) {
    CMenu* menu = dialog->GetMenu();
    ASSERT_NE(menu, nullptr);
    for (UINT command : {res::ID_MENU_SAVE_LIST, res::ID_MENU_CLEAR_LIST, res::ID_MENU_EXIT,
                         res::ID_MENU_INFO, res::ID_MENU_MANUAL_NOTE}) {
        EXPECT_EQ(menu->GetMenuState(command), MF_ENABLED) << command;
    }
    EXPECT_EQ(menu->GetMenuState(12345), static_cast<UINT>(-1));
    // The manual's information line does nothing when chosen.
    dialog->SendCommand(res::ID_MENU_MANUAL_NOTE);
    EXPECT_TRUE(Window()->isVisible());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, ConnectAndDisconnectSwitchAllFourIndicators) {
    Connect();
    ExpectConnectedState();
    EXPECT_TRUE(driver.IsDeviceOpen());
    EXPECT_TRUE(boxes.empty());

    Connect();
    ExpectDisconnectedState();
    EXPECT_FALSE(driver.IsDeviceOpen());
    EXPECT_TRUE(boxes.empty());
    // The operator's own disconnect never waits for the bridge.
    EXPECT_FALSE(driver.IsWatching());
}

TEST_F(MainDialogTest, ConnectFailureShowsTheConnectionErrorAndStaysDisconnected) {
    const std::function<void(FakeBridgeDriver&)> failures[] = {
        [](FakeBridgeDriver& d) { d.devices.clear(); },
        [](FakeBridgeDriver& d) { d.devices[0].vendorId = "5F3A"; },
        [](FakeBridgeDriver& d) { d.refuseOpen = true; },
    };
    for (const auto& fail : failures) {
        driver.Reset();
        boxes.clear();
        fail(driver);
        whileBoxShown = [this](const MessageBoxRequest&) { EXPECT_FALSE(dialog->IsPolling()); };
        Connect();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, kConnectionErrorText);
        EXPECT_EQ(boxes[0].caption, "Verbindungsfehler");
        EXPECT_EQ(boxes[0].style, MB_ICONINFORMATION);
        ExpectDisconnectedState();
    }
}

TEST_F(MainDialogTest, FrameBecomesARowScrolledIntoView) {
    Connect();
    driver.Deliver({0x02, 0x00, 0x06, 0x00, 0x01, 0x00, 0x01, 0x02, 0x01, 0x59, 0x81, 0x6D});
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Start", "00:01:02:345"}}));
    EXPECT_TRUE(dialog->HasUnsavedRows());
    EXPECT_EQ(PictureColor(), kGreen);
}

TEST_F(MainDialogTest, BackToBackFramesAreTakenOnePerTickNoneLost) {
    Connect();
    const int flushesAfterConnect = driver.flushCalls;
    auto frames = EventFrame(1, 0, 0, 1, 0);
    for (auto frame : {EventFrame(3, 0, 0, 2, 500), EventFrame(2, 0, 0, 3, 999)}) {
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    driver.Deliver(frames);
    Tick();
    EXPECT_EQ(Rows().size(), 1u);
    Tick();
    Tick();
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Start", "00:00:01:000"},
                                        {"002", "Lap", "00:00:02:500"},
                                        {"003", "Stopp", "00:00:03:999"}}));
    EXPECT_EQ(driver.flushCalls, flushesAfterConnect);
}

TEST_F(MainDialogTest, WrongCrcAddsNothingAndTheNextFrameIsReceived) {
    Connect();
    auto broken = EventFrame(1, 0, 0, 1, 0);
    broken.back() ^= 0x01;
    driver.Deliver(broken);
    Tick();
    EXPECT_TRUE(Rows().empty());
    EXPECT_FALSE(dialog->HasUnsavedRows());
    driver.Deliver(EventFrame(7, 12, 34, 56, 999));
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Fehler", "12:34:56:999"}}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, SilentStopwatchCostsNoReceive) {
    Connect();
    for (int i = 0; i < 100; ++i) {
        Tick();
    }
    EXPECT_EQ(driver.readCalls, 0);
    EXPECT_TRUE(dialog->IsPolling());
}

TEST_F(MainDialogTest, TickReturnsWhileTheLineNeverFallsSilentAndTakesTheFrameAfter) {
    Connect();
    // Far more noise than one tick may read: a tick that read until the line fell silent would take
    // it all.
    constexpr long kNoise = 100'000'000;
    driver.noiseBytes = kNoise;
    Tick();
    EXPECT_GT(driver.noiseBytes, 0);
    EXPECT_LT(driver.noiseBytes, kNoise);
    uint32_t readMs = 0;
    uint32_t writeMs = 0;
    driver.GetTimeouts(readMs, writeMs);
    EXPECT_EQ(readMs, CDIZUravavedVKX260Dlg::kPortTimeoutMs);
    driver.noiseBytes = 0;
    driver.Deliver(EventFrame(1, 0, 0, 1, 0));
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Start", "00:00:01:000"}}));
    EXPECT_TRUE(dialog->IsPolling());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, RealTimerTicksListFramesAsTheyArrive) {
    Connect();
    driver.Deliver(EventFrame(1, 0, 0, 0, 0));
    driver.Deliver(EventFrame(3, 0, 1, 23, 456));
    ASSERT_TRUE(WaitUntil([this] { return Rows().size() == 2; }));
    EXPECT_EQ(Rows()[1], (Row{"002", "Lap", "00:01:23:456"}));
}

TEST_F(MainDialogTest, UnplugDisconnectsAndSaysSoOnce) {
    Connect();
    driver.Deliver(EventFrame(1, 0, 0, 1, 0));
    Tick();
    driver.Unplug();
    // With polling stopped while the box is up, no tick can stack a second box on it.
    whileBoxShown = [this](const MessageBoxRequest&) { EXPECT_FALSE(dialog->IsPolling()); };
    Tick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, kConnectionLostText);
    EXPECT_EQ(boxes[0].caption, "Verbindungsfehler");
    EXPECT_EQ(boxes[0].style, MB_ICONINFORMATION);
    whileBoxShown = nullptr;
    ExpectDisconnectedState();
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_FALSE(driver.IsDeviceOpen());

    // Plugged in again, the stopwatch is connected afresh and numbering goes on; the operator's
    // connect ends the waiting.
    EXPECT_TRUE(driver.IsWatching());
    driver.Reset();
    Connect();
    ExpectConnectedState();
    EXPECT_FALSE(driver.IsWatching());
    driver.Deliver(EventFrame(2, 0, 0, 9, 0));
    Tick();
    EXPECT_EQ(Rows().back(), (Row{"002", "Stopp", "00:00:09:000"}));
}

TEST_F(MainDialogTest, BridgePluggedInAfterAnUnplugConnectsByItselfAndClosesTheBox) {
    Connect();
    driver.Unplug();
    // It comes back while the box is up, at first as a bridge that cannot be opened: no box for that.
    // Once it can be opened, the retry connects it without another arrival.
    whileBoxShown = [this](const MessageBoxRequest&) {
        driver.Reset();
        driver.refuseOpen = true;
        ASSERT_TRUE(driver.RaiseArrival());
        ASSERT_TRUE(WaitUntil([this] { return driver.openCalls == 1; }));
        EXPECT_FALSE(dialog->IsPolling());
        driver.refuseOpen = false;
        ASSERT_TRUE(WaitUntil([this] { return driver.IsDeviceOpen(); }));
    };
    Tick();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(closedBoxes, std::vector<std::string>{kConnectionLostText});
    ExpectConnectedState();
    EXPECT_FALSE(driver.IsWatching());
    EXPECT_EQ(driver.flushCalls, 1);
    driver.Deliver(EventFrame(2, 0, 0, 9, 0));
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Stopp", "00:00:09:000"}}));
}

TEST_F(MainDialogTest, AfterAnUnplugOnlyTheLostBridgeConnectsByItself) {
    // Two stopwatches on one PC: the bridge that this window lost and another lane's, same IDs.
    const FakeBridgeDriver::Device lost = driver.devices[0];
    FakeBridgeDriver::Device other = lost;
    other.serialNumber = "0002";
    struct Case {
        const char* name;
        std::vector<FakeBridgeDriver::Device> pluggedIn;
        bool operatorConnects;
        int connected;  // index of the bridge connected, -1 for none
    };
    const Case cases[] = {
        {"the lost bridge comes back behind another one", {other, lost}, false, 1},
        {"only another stopwatch is plugged in", {other}, false, -1},
        {"the operator's own connect takes the first", {other, lost}, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (dialog->IsPolling()) {
            Connect();
        }
        driver.Reset();
        Connect();
        driver.Unplug();
        Tick();
        driver.Reset();
        driver.devices = c.pluggedIn;
        const int listed = driver.listCalls;
        if (c.operatorConnects) {
            Connect();
        } else {
            // The window has looked at the bridges once the arrival made it list them.
            ASSERT_TRUE(driver.RaiseArrival());
            ASSERT_TRUE(WaitUntil([&] { return driver.listCalls > listed; }));
        }
        EXPECT_EQ(driver.IsDeviceOpen() ? driver.openedIndex : -1, c.connected);
        EXPECT_EQ(dialog->IsPolling(), c.connected >= 0);
        EXPECT_EQ(driver.IsWatching(), c.connected < 0);
    }
}

TEST_F(MainDialogTest, ReconnectingKeepsRowsAndNumbering) {
    Connect();
    driver.Deliver(EventFrame(1, 0, 0, 1, 0));
    Tick();
    Connect();
    Connect();
    ExpectConnectedState();
    driver.Deliver(EventFrame(3, 0, 0, 2, 0));
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Start", "00:00:01:000"}, {"002", "Lap", "00:00:02:000"}}));
}

TEST_F(MainDialogTest, ClearingRestartsNumberingAndKeepsPollingOnlyWhileConnected) {
    for (bool connected : {true, false}) {
        SCOPED_TRACE(connected);
        if (!driver.IsDeviceOpen()) {
            Connect();
        }
        driver.Deliver(EventFrame(1, 0, 0, 1, 0));
        Tick();
        if (!connected) {
            Connect();
        }
        for (int command : {res::IDC_CLEAR_LIST, res::ID_MENU_CLEAR_LIST}) {
            dialog->SendCommand(command);
            EXPECT_TRUE(Rows().empty());
            EXPECT_FALSE(dialog->HasUnsavedRows());
            EXPECT_EQ(dialog->IsPolling(), connected);
        }
        EXPECT_TRUE(boxes.empty());
    }
    Connect();
    driver.Deliver(EventFrame(2, 1, 0, 0, 0));
    Tick();
    EXPECT_EQ(Rows(), (std::vector<Row>{{"001", "Stopp", "01:00:00:000"}}));
}

TEST_F(MainDialogTest, TickOnAClosedPortOpensItAndTurnsOnlyThePictureGreen) {
    dialog->StartPolling();
    Tick();
    EXPECT_TRUE(driver.IsDeviceOpen());
    EXPECT_EQ(PictureColor(), kGreen);
    EXPECT_EQ(StatusText(), "inaktiv");
    EXPECT_EQ(ButtonCaption(), "Verbindung herstellen");
    // The button then takes the disconnect branch.
    Connect();
    ExpectDisconnectedState();
    EXPECT_FALSE(driver.IsDeviceOpen());
}

// Closes the modal window that the command opens, recording whether polling ran meanwhile.
bool PollingWhileModal(CDIZUravavedVKX260Dlg& dialog, const std::function<void()>& command, bool& opened) {
    bool polling = true;
    bool checked = false;
    opened = false;
    QTimer::singleShot(0, [&] {
        checked = true;
        QWidget* modal = QApplication::activeModalWidget();
        opened = modal != nullptr && modal != ToWidget(dialog.GetSafeHwnd());
        polling = dialog.IsPolling();
        if (opened) {
            QTest::keyClick(modal, Qt::Key_Escape);
        }
    });
    command();
    // Where no modal loop ran, the check is still due: run it before its locals go away.
    WaitUntil([&] { return checked; });
    return polling;
}

TEST_F(MainDialogTest, AboutBoxPausesPollingAndIsOfferedOnlyWhileDisconnected) {
    Connect();
    bool opened = false;
    EXPECT_FALSE(PollingWhileModal(
        *dialog, [this] { dialog->SendCommand(res::ID_MENU_INFO); }, opened));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(dialog->IsPolling());

    // The system-menu route does nothing while connected.
    PollingWhileModal(
        *dialog, [this] { dialog->OnSystemCommand(res::IDM_ABOUTBOX, 0); }, opened);
    EXPECT_FALSE(opened);

    Connect();
    PollingWhileModal(
        *dialog, [this] { dialog->OnSystemCommand(res::IDM_ABOUTBOX, 0); }, opened);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(dialog->IsPolling());
}

TEST_F(MainDialogTest, EveryExitRouteEndsAtOnceWithNothingUnsaved) {
    const std::function<void(CDIZUravavedVKX260Dlg&)> routes[] = {
        [](CDIZUravavedVKX260Dlg& d) { QTest::keyClick(ToWidget(d.GetSafeHwnd()), Qt::Key_Escape); },
        [](CDIZUravavedVKX260Dlg& d) { ToWidget(d.GetSafeHwnd())->close(); },
        [](CDIZUravavedVKX260Dlg& d) { d.SendCommand(res::ID_MENU_EXIT); },
        [](CDIZUravavedVKX260Dlg& d) {
            qobject_cast<QPushButton*>(ToWidget(d.GetDlgItem(IDCANCEL)))->click();
        },
    };
    for (const auto& route : routes) {
        driver.Reset();
        dialog = std::make_unique<CDIZUravavedVKX260Dlg>(driver);
        ASSERT_TRUE(dialog->Create());
        Connect();
        driver.Deliver(EventFrame(1, 0, 0, 1, 0));
        Tick();
        dialog->SendCommand(res::IDC_CLEAR_LIST);
        const QString journal = QString::fromStdString(dialog->JournalPath());
        ASSERT_TRUE(QFile::exists(journal));
        route(*dialog);
        EXPECT_FALSE(QFile::exists(journal)) << "a normal end leaves the journal behind";
        EXPECT_FALSE(Window()->isVisible());
        EXPECT_EQ(Window()->result(), IDCANCEL);
        EXPECT_FALSE(dialog->IsPolling());
        EXPECT_FALSE(driver.IsDeviceOpen());
        EXPECT_TRUE(boxes.empty());
    }
}

TEST_F(MainDialogTest, JournalThatCannotBeWrittenIsToldOnceAndCatchesUpOnceItCan) {
    Connect();
    journalFiles.failing = true;
    whileBoxShown = [this](const MessageBoxRequest&) { EXPECT_FALSE(dialog->IsPolling()); };
    for (uint8_t second = 1; second <= 4; ++second) {
        journalFiles.failing = second < 4;
        driver.Deliver(EventFrame(3, 0, 0, second, 0));
        Tick();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Sicherung");
    EXPECT_EQ(boxes[0].style, MB_ICONINFORMATION);
    EXPECT_EQ(boxes[0].text,
              "Die empfangenen Zeiten können nicht auf dem Datenträger gesichert werden und gingen bei "
              "einem Absturz verloren.\n\nBitte speichern Sie die Liste regelmäßig.");
    EXPECT_TRUE(dialog->IsPolling());
    EXPECT_EQ(Rows().size(), 4u);
    QFile journal(QString::fromStdString(dialog->JournalPath()));
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(),
              "Index,Event,Zeit\r\n001,Lap,00:00:01.000\r\n002,Lap,00:00:02.000\r\n003,Lap,00:00:03.000\r\n"
              "004,Lap,00:00:04.000\r\n");
}

TEST_F(MainDialogTest, FailedSyncOfTheLastRowIsToldWithoutAnotherRow) {
    Connect();
    journalFiles.failingSyncs = 1;
    driver.Deliver(EventFrame(3, 0, 0, 1, 0));
    Tick();
    // The operator disconnects: no tick, no row follows.
    Connect();
    ASSERT_TRUE(boxes.empty());
    ASSERT_TRUE(WaitUntil([&] { return !boxes.empty(); })) << "the failed sync is never told";
    EXPECT_EQ(boxes[0].caption, "Sicherung");
    // The whole list went to a new file, which the next sync brings to the disk.
    EXPECT_TRUE(WaitUntil([&] { return journalFiles.syncs >= 2; })) << "the list is not written anew";
    EXPECT_EQ(boxes.size(), 1u);
    QFile journal(QString::fromStdString(dialog->JournalPath()));
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    EXPECT_EQ(journal.readAll(), "Index,Event,Zeit\r\n001,Lap,00:00:01.000\r\n");
}

TEST_F(MainDialogTest, EnterInTheListDoesNothing) {
    Control(res::IDC_TIME_LIST)->setFocus();
    QTest::keyClick(Control(res::IDC_TIME_LIST), Qt::Key_Return);
    EXPECT_TRUE(Window()->isVisible());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDialogTest, NewRowIsScrolledIntoViewAfterTheOperatorScrolledAway) {
    Connect();
    auto* view = qobject_cast<ReportView*>(Control(res::IDC_TIME_LIST));
    for (int i = 0; i < 200; ++i) {
        driver.Deliver(EventFrame(3, 0, 0, static_cast<uint8_t>(i % 60), 0));
        Tick();
    }
    view->scrollToTop();
    driver.Deliver(EventFrame(2, 0, 0, 0, 0));
    Tick();
    const QRect last = view->visualRect(view->model()->index(200, 0));
    EXPECT_TRUE(view->viewport()->rect().contains(last)) << last.y() << " in " << view->viewport()->height();

    // The keyboard leaves the filled list both ways, and End and Home go to its last and first row.
    for (const auto& [key, next] :
         {std::pair{Qt::Key_Tab, res::IDC_CLEAR_LIST}, {Qt::Key_Backtab, res::IDC_SAVE_LIST}}) {
        view->setFocus();
        QTest::keyClick(view, key);
        EXPECT_EQ(Window()->focusWidget(), Control(next)) << key;
    }
    for (const auto& [key, row] : {std::pair{Qt::Key_End, 200}, {Qt::Key_Home, 0}, {Qt::Key_Down, 1}}) {
        QTest::keyClick(view, key);
        EXPECT_EQ(view->currentIndex().row(), row) << key;
    }
}

TEST_F(MainDialogTest, ScreenshotOfTheWindow) {
    Connect();
    // The events of the Windows edition's end-to-end run, whose screenshot sits beside this one.
    for (auto frame : {EventFrame(1, 0, 0, 0, 0), EventFrame(3, 0, 0, 16, 500), EventFrame(3, 0, 1, 2, 345),
                       EventFrame(2, 0, 1, 30, 7), EventFrame(4, 12, 34, 56, 999),
                       EventFrame(200, 255, 255, 255, 65535), EventFrame(2, 0, 0, 4, 0)}) {
        driver.Deliver(frame);
        Tick();
    }
    const QPixmap shot = Window()->grab();
    const QString path = QStringLiteral(VKX_SCREENSHOT_DIR "/main-window.png");
    ASSERT_TRUE(shot.save(path)) << path.toStdString();
    EXPECT_EQ(shot.size(), Window()->size());
}

}  // namespace
