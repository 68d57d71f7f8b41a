#include "app/CDIZUravavedVKX260Dlg.h"

#include <chrono>
#include <string>

#include "app/CAboutDlg.h"
#include "framework/CFileDialog.h"
#include "framework/CFileException.h"
#include "framework/CStdioFile.h"
#include "framework/MessageBox.h"
#include "framework/NewTextFile.h"
#include "framework/ResourceIcon.h"
#include "framework/ShellFolders.h"
#include "link/TimeBoundedCom.h"
#include "res/ResourceIds.h"
#include "res/Templates.h"
#include "timelist/CellText.h"
#include "timelist/CsvFormat.h"
#include "timelist/PayloadReader.h"
#include "timelist/UnsavedJournal.h"

namespace {

constexpr const char* kConnectionErrorCaption = "Verbindungsfehler";
constexpr const char* kConnectionErrorText =
    "Es konnte keine Datenverbindung zur VKX260 aufgebaut werden.\n\n"
    "Vergewissern Sie sich, dass die VKX260 angeschlossen,\n"
    "die Treiber installiert sind und die PC-Software nicht\n"
    "unter einem anderen Benutzerkonto gestartet wurde.";
constexpr const char* kConnectionLostText =
    "Die Verbindung zur VKX260 wurde unterbrochen.\n\n"
    "Sobald die VKX260 wieder angeschlossen ist, verbindet sich das Programm von selbst.";
constexpr const char* kCloseFailedText = "Datenverbindung konnte nicht geschlossen werden.";
constexpr const char* kUnsavedCaption = "Nicht gespeicherte Daten?";
constexpr const char* kUnsavedText =
    "Es liegen noch ungesicherte Daten vor.\n\nSollen diese vor dem Beenden gespeichert werden?";
constexpr const char* kRestoreCaption = "Wiederherstellung";
constexpr const char* kRestoreIntro = "Das Programm wurde zuletzt nicht ordnungsgemäß beendet.\n\n";
constexpr const char* kRestoreQuestion = " Soll die Liste wiederhergestellt werden?";
constexpr const char* kKeptText =
    "Die Liste wurde nicht wiederhergestellt. Sie ist gespeichert in der Datei\n\n";
// A name that is taken gets "-2", "-3" and so on, up to this many tries.
constexpr int kKeptNameTries = 100;
constexpr const char* kJournalCaption = "Sicherung";
constexpr const char* kJournalFailedText =
    "Die empfangenen Zeiten können nicht auf dem Datenträger gesichert werden und gingen bei einem "
    "Absturz verloren.\n\nBitte speichern Sie die Liste regelmäßig.";
constexpr const char* kSaveFilter = "VKX260 Zeitlisten (.csv)|*.csv|Alle Dateien (*.*)|*.*|";

constexpr int kRedBitmap = 0;
constexpr int kGreenBitmap = 1;

// A tick hands the window back within about the budget plus one read's wait, whatever the line
// carries: a frame's bytes follow each other within about 1 ms at 115200 baud, so a wait of a few
// ms ends a cut-off frame, and the budget ends noise that never falls silent. The budget holds an
// event frame (12 to 23 bytes, at most 2 ms on the line) many times over, and a frame that fills
// the buffer unescaped (81 bytes, 7 ms).
constexpr std::chrono::milliseconds kTickReadBudget{10};
constexpr uint32_t kByteGapTimeoutMs = 5;
// Past the budget, a frame whose start byte was taken may still finish, so a tick can last one frame's
// time on the line longer. The longest frame is its start byte and every stored byte escaped.
constexpr uint32_t kLongestFrameBytes = 1 + 2 * CDIZUravavedVKX260Dlg::kReceiveCapacity;
// Those bytes take 14 ms at 115200 baud; a USB bridge hands them over in packets a few ms apart.
constexpr std::chrono::milliseconds kLongestFrameTime{20};

// How many rows were not saved; and, when a save had written some, how many the list held.
std::string RestoreText(std::size_t rows, std::size_t saved) {
    const std::size_t unsaved = rows - saved;
    std::string text = kRestoreIntro;
    if (saved == 0) {
        text += unsaved == 1
                    ? "Es liegt 1 Zeit vor, die nicht gespeichert wurde."
                    : "Es liegen " + std::to_string(unsaved) + " Zeiten vor, die nicht gespeichert wurden.";
    } else {
        text += "Von den " + std::to_string(rows) + " Zeiten der Liste " +
                (unsaved == 1 ? std::string("wurde 1") : "wurden " + std::to_string(unsaved)) +
                " nicht gespeichert.";
    }
    return text + kRestoreQuestion;
}

}  // namespace

CDIZUravavedVKX260Dlg::CDIZUravavedVKX260Dlg(BridgeDriver& driver, JournalFiles& journalFiles)
    : CDialog(res::IDD_MAIN_DIALOG),
      m_port(driver),
      m_journalFiles(journalFiles),
      m_journal(JournalFolder(), journalFiles),
      m_driver(driver) {
    m_icon = LoadIconResource(res::IDR_MAINFRAME);
}

CDIZUravavedVKX260Dlg::~CDIZUravavedVKX260Dlg() { StopWaitingForBridge(); }

std::span<const CDialog::CommandEntry> CDIZUravavedVKX260Dlg::GetCommandTable() const {
    using Dlg = CDIZUravavedVKX260Dlg;
    static const CommandEntry kCommands[] = {
        On(res::IDC_CONNECT, &Dlg::ToggleConnection),
        On(res::IDC_SAVE_LIST, &Dlg::SaveListCommand),
        On(IDOK, &Dlg::OnOK),
        On(IDCANCEL, &Dlg::ExitProgram),
        On(res::IDC_CLEAR_LIST, &Dlg::ClearListCommand),
        On(res::ID_MENU_EXIT, &Dlg::ExitProgram),
        On(res::ID_MENU_CLEAR_LIST, &Dlg::ClearListCommand),
        On(res::ID_MENU_SAVE_LIST, &Dlg::SaveListCommand),
        On(res::ID_MENU_INFO, &Dlg::ShowAbout),
    };
    return kCommands;
}

void CDIZUravavedVKX260Dlg::BindControls() {
    CDialog::BindControls();
    m_statusPicture.Attach(GetDlgItem(res::IDC_STATUS_PICTURE));
    m_list.Attach(GetDlgItem(res::IDC_TIME_LIST));
    m_connectButton.Attach(GetDlgItem(res::IDC_CONNECT));
    m_statusText.Attach(GetDlgItem(res::IDC_STATUS_TEXT));
}

bool CDIZUravavedVKX260Dlg::InitWindow() {
    CDialog::InitWindow();

    if (CMenu* systemMenu = GetSystemMenu(false)) {
        const char* aboutItem = res::LoadResourceString(res::IDS_ABOUTBOX);
        if (*aboutItem != '\0') {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, res::IDM_ABOUTBOX, aboutItem);
        }
    }
    SetIcon(m_icon);
    m_statusBitmaps[kRedBitmap].LoadBitmap(res::IDB_STATUS_RED);
    m_statusBitmaps[kGreenBitmap].LoadBitmap(res::IDB_STATUS_GREEN);
    m_lastSaveDir = GetDocumentsFolder();
    m_list.InsertColumn(0, "Index", LVCFMT_LEFT, 60);
    m_list.InsertColumn(1, "Event", LVCFMT_LEFT, 80);
    m_list.InsertColumn(2, "Zeitpunkt", LVCFMT_LEFT, 96);
    m_rowCount = 0;
    m_statusPicture.SetBitmap(m_statusBitmaps[kRedBitmap]);
    m_menu = GetMenu();
    if (m_menu) {
        m_menu->EnableMenuItem(res::ID_MENU_INFO, MF_ENABLED);
    }
    m_unsaved = false;
    SetTimer(kJournalCheckTimerId, kJournalCheckMs);
    return true;
}

void CDIZUravavedVKX260Dlg::OnOK() {}

void CDIZUravavedVKX260Dlg::OnShown() {
    if (m_offerJournalsOnceShown) {
        OfferUnsavedJournals();
    }
}

void CDIZUravavedVKX260Dlg::OnSystemCommand(UINT command, intptr_t parameter) {
    if ((command & 0xFFF0) == res::IDM_ABOUTBOX) {
        if (!m_port.IsOpen()) {
            CAboutDlg about;
            about.DoModal();
        }
        return;
    }
    CDialog::OnSystemCommand(command, parameter);
}

void CDIZUravavedVKX260Dlg::ShowAbout() {
    StopPolling();
    ++m_pollingHeld;
    CAboutDlg about;
    about.DoModal();
    --m_pollingHeld;
    if (m_port.IsOpen()) {
        StartPolling();
    }
}

void CDIZUravavedVKX260Dlg::ExitProgram() {
    if (m_unsaved && !ConfirmUnsavedData()) {
        return;
    }
    StopPolling();
    if (m_port.IsOpen() && !m_port.Close()) {
        MessageBox(kCloseFailedText, nullptr, MB_OK);
    }
    // A normal end leaves nothing behind: the rows were saved, or the operator let them go. No check
    // may write the list anew after that.
    KillTimer(kJournalCheckTimerId);
    m_journal.Remove();
    EndDialog(IDCANCEL);
}

void CDIZUravavedVKX260Dlg::StartPolling() { m_timerId = SetTimer(kPollTimerId, kPollPeriodMs); }

void CDIZUravavedVKX260Dlg::StopPolling() { KillTimer(m_timerId); }

void CDIZUravavedVKX260Dlg::ShowConnectedState() {
    if (m_menu) {
        m_menu->EnableMenuItem(res::ID_MENU_INFO, MF_GRAYED);
    }
    m_statusText.SetWindowText("aktiv");
    m_connectButton.SetWindowText("Verbindung trennen");
    m_statusPicture.SetBitmap(m_statusBitmaps[kGreenBitmap]);
}

void CDIZUravavedVKX260Dlg::ShowDisconnectedState() {
    if (m_menu) {
        m_menu->EnableMenuItem(res::ID_MENU_INFO, MF_ENABLED);
    }
    m_statusText.SetWindowText("inaktiv");
    m_connectButton.SetWindowText("Verbindung herstellen");
    m_statusPicture.SetBitmap(m_statusBitmaps[kRedBitmap]);
}

void CDIZUravavedVKX260Dlg::ShowConnectionError() {
    MessageBox(kConnectionErrorText, kConnectionErrorCaption, MB_ICONINFORMATION);
}

void CDIZUravavedVKX260Dlg::ToggleConnection() {
    // Every box below is shown with polling stopped, so that ticks cannot pile boxes on boxes.
    if (m_port.IsOpen()) {
        StopPolling();
        if (m_port.Close()) {
            ShowDisconnectedState();
        } else {
            MessageBox(kCloseFailedText, nullptr, MB_OK);
        }
        return;
    }
    // The operator's own connect ends any waiting for a bridge, whatever it brings.
    StopWaitingForBridge();
    if (!ConnectPort()) {
        StopPolling();
        ShowConnectionError();
    }
}

bool CDIZUravavedVKX260Dlg::ConnectPort(const char* serialNumber) {
    if (!m_port.OpenByIds(kVendorId, kProductId, kBaudRate, kPortTimeoutMs, serialNumber)) {
        return false;
    }
    ShowConnectedState();
    m_receiver.SetCom(&m_port);
    m_port.Flush();
    // A bridge back while a command holds polling stopped is polled once the command ends: its
    // bytes wait in the driver's queue, and the list cannot change under a file being saved.
    if (m_pollingHeld == 0) {
        StartPolling();
    }
    return true;
}

void CDIZUravavedVKX260Dlg::HandleLostConnection() {
    StopPolling();
    m_lostBridge = m_port.SerialNumber();
    m_port.Close();
    ShowDisconnectedState();
    WaitForBridge();
    // A bridge plugged in while the box is up connects and closes it; nothing here may follow the
    // box, since the window may be connected again when it returns.
    MessageBox(kConnectionLostText, kConnectionErrorCaption, MB_ICONINFORMATION);
}

void CDIZUravavedVKX260Dlg::WaitForBridge() {
    if (IsTimerRunning(kBridgeRetryTimerId)) {
        return;
    }
    // Also once a second: a bridge that was busy when it arrived, or a system whose udev daemon
    // announces nothing, is connected as soon as it can be opened.
    SetTimer(kBridgeRetryTimerId, kBridgeRetryMs);
    // A driver that cannot watch leaves the retries alone to find the bridge.
    if (m_driver.WatchArrivals(m_arrivalWatch) != BridgeResult::kSuccess || !m_arrivalWatch ||
        !WatchDeviceArrivals(m_arrivalWatch->Descriptor())) {
        m_arrivalWatch.reset();
    }
}

void CDIZUravavedVKX260Dlg::StopWaitingForBridge() {
    StopWatchingDeviceArrivals();
    KillTimer(kBridgeRetryTimerId);
    m_arrivalWatch.reset();
}

void CDIZUravavedVKX260Dlg::OnDeviceArrival() {
    if (m_arrivalWatch && m_arrivalWatch->TakeArrival()) {
        TryBridge();
    }
}

void CDIZUravavedVKX260Dlg::TryBridge() {
    // A bridge that cannot be opened (busy, no permission) leaves the window waiting, without a box.
    // Only the lost one is taken: another stopwatch's would join its times to this list.
    if (!ConnectPort(m_lostBridge.c_str())) {
        return;
    }
    StopWaitingForBridge();
    CloseMessageBox(kConnectionLostText);
}

void CDIZUravavedVKX260Dlg::OnTimer(UINT_PTR id) {
    if (id == kBridgeRetryTimerId) {
        TryBridge();
        return;
    }
    if (id == kJournalCheckTimerId) {
        CheckJournal();
        return;
    }
    if (!m_port.IsOpen()) {
        if (!m_port.OpenByIds(kVendorId, kProductId, kBaudRate, kPortTimeoutMs)) {
            StopPolling();
            ShowConnectionError();
            StartPolling();
            return;
        }
        m_statusPicture.SetBitmap(m_statusBitmaps[kGreenBitmap]);
        m_receiver.SetCom(&m_port);
        m_port.Flush();
    }
    // The tick leaves the driver's queue alone: frames that arrived back to back are taken one per
    // tick. It receives only when bytes are waiting, so a silent stopwatch never holds the window
    // for the read timeout; a failed query means that the stopwatch is gone.
    uint32_t waiting = 0;
    if (!m_port.BytesWaiting(waiting)) {
        HandleLostConnection();
        return;
    }
    if (waiting == 0) {
        return;
    }
    m_rxCount = 0;
    // The receiver reads through a view that ends its reads once the tick's budget is spent.
    TimeBoundedCom tickPort(m_port, kTickReadBudget, kLongestFrameBytes, kLongestFrameTime);
    m_receiver.SetCom(&tickPort);
    const bool received = m_receiver.Receive(m_rxBuffer, kReceiveCapacity, m_rxCount, kByteGapTimeoutMs);
    m_receiver.SetCom(&m_port);
    if (received) {
        m_statusPicture.SetBitmap(m_statusBitmaps[kGreenBitmap]);
        AddEventRow();
    }
}

void CDIZUravavedVKX260Dlg::AddEventRow() {
    m_unsaved = true;
    const TimeEvent event = DecodeTimeEvent(m_rxBuffer, sizeof m_rxBuffer);
    AppendRow(IndexText(m_rowCount + 1), EventText(event.kind), TimeText(event));
}

void CDIZUravavedVKX260Dlg::AppendRow(const std::string& index, const std::string& event,
                                      const std::string& time) {
    m_list.InsertItem(m_rowCount, index.c_str());
    m_list.SetItemText(m_rowCount, 1, event.c_str());
    m_list.SetItemText(m_rowCount, 2, time.c_str());
    m_list.EnsureVisible(m_rowCount);
    ++m_rowCount;
    // The row is in the file before the tick returns, so that a crash an instant later loses nothing.
    if (!m_journal.Append(index, event, time)) {
        ReportJournalFailure();
    }
}

void CDIZUravavedVKX260Dlg::ReportJournalFailure() {
    if (m_journalFailureReported) {
        return;
    }
    m_journalFailureReported = true;
    StopPolling();
    MessageBox(kJournalFailedText, kJournalCaption, MB_ICONINFORMATION);
    if (m_port.IsOpen()) {
        StartPolling();
    }
}

void CDIZUravavedVKX260Dlg::CheckJournal() {
    // A failed sync of the last row would otherwise be told only with the next row, which may never
    // come. While a command holds the window (a save, the About box), it waits for the command's end.
    if (m_pollingHeld == 0 && !m_journal.Check()) {
        ReportJournalFailure();
    }
}

void CDIZUravavedVKX260Dlg::OfferUnsavedJournals() {
    for (UnsavedJournal& left : FindUnsavedJournals(m_journal.Folder(), m_journalFiles)) {
        StopPolling();
        const std::string question = RestoreText(left.Rows().size(), left.SavedRows());
        if (MessageBox(question, kRestoreCaption, MB_YESNO | MB_ICONQUESTION) == IDYES) {
            for (const UnsavedJournal::Row& row : left.Rows()) {
                AppendRow(row.index, row.event, row.time);
            }
            m_unsaved = true;
            // Until this run's journal holds the rows on stable storage, the old one stays a journal.
            m_journal.DropOnceSynced(std::move(left));
        } else if (std::string kept; KeepUnrestoredList(left, kept)) {
            MessageBox(kKeptText + kept, kRestoreCaption, MB_ICONINFORMATION);
        }
        if (m_port.IsOpen()) {
            StartPolling();
        }
    }
}

bool CDIZUravavedVKX260Dlg::KeepUnrestoredList(UnsavedJournal& left, std::string& keptPath) {
    std::string bytes = CsvHeaderLine();
    for (const UnsavedJournal::Row& row : left.Rows()) {
        bytes += CsvRowLine(row.index, row.event, row.time);
    }
    // Where the operator looks for lists: the folder of the last save, else the documents folder.
    std::string name;
    for (int attempt = 1; attempt <= kKeptNameTries && left.DatedFileName(attempt, name); ++attempt) {
        const NewTextFileResult result = WriteNewTextFile(m_lastSaveDir, name, bytes, keptPath);
        if (result == NewTextFileResult::Written) {
            left.Drop();
            return true;
        }
        if (result == NewTextFileResult::Failed) {
            break;
        }
    }
    // A folder that cannot take it leaves the file beside the journals, where the box names it.
    return left.KeepAsPlainFile(keptPath);
}

void CDIZUravavedVKX260Dlg::ClearList() {
    m_list.DeleteAllItems();
    m_rowCount = 0;
    m_unsaved = false;
    if (!m_journal.Clear()) {
        ReportJournalFailure();
    }
}

void CDIZUravavedVKX260Dlg::ClearListCommand() {
    StopPolling();
    ClearList();
    if (m_port.IsOpen()) {
        StartPolling();
    }
}

void CDIZUravavedVKX260Dlg::SaveListCommand() { SaveList(); }

bool CDIZUravavedVKX260Dlg::SaveList() {
    // No tick runs while the file is chosen and written, so the file holds exactly the rows shown.
    StopPolling();
    ++m_pollingHeld;
    CFileDialog fileDialog("csv", nullptr, OFN_OVERWRITEPROMPT, kSaveFilter, this);
    fileDialog.SetInitialDir(m_lastSaveDir);
    fileDialog.SetTitle("Speichern unter");
    bool saved = false;
    if (fileDialog.DoModal() == IDOK) {
        m_lastSaveDir = fileDialog.GetFolderPath();
        saved = WriteListFile(fileDialog.GetPathName());
        if (saved) {
            m_unsaved = false;
            m_journal.MarkSaved();
        }
    }
    --m_pollingHeld;
    if (m_port.IsOpen()) {
        StartPolling();
    }
    return saved;
}

bool CDIZUravavedVKX260Dlg::WriteListFile(const std::string& path) {
    CStdioFile file;
    if (!file.Open(path)) {
        MessageBox("Fehler beim Öffnen der Datei - Speichern wurde abgebrochen", "Fehler",
                   MB_ICONINFORMATION);
        return false;
    }
    try {
        const int rows = m_list.GetItemCount();
        file.WriteString(CsvHeaderLine());
        for (int row = 0; row < rows; ++row) {
            file.WriteString(CsvRowLine(m_list.GetItemText(row, 0), m_list.GetItemText(row, 1),
                                        m_list.GetItemText(row, 2)));
        }
        file.Close();
    } catch (const CFileException& error) {
        error.ReportError();
        return false;
    }
    MessageBox("Daten wurden gespeichert", "Daten gespeichert", MB_ICONINFORMATION);
    return true;
}

bool CDIZUravavedVKX260Dlg::ConfirmUnsavedData() {
    // Polling goes on while the question is shown.
    switch (MessageBox(kUnsavedText, kUnsavedCaption, MB_YESNOCANCEL)) {
        case IDYES:
            // Only a file written completely lets the exit go on: the rows are never lost.
            return SaveList();
        case IDNO:
            return true;
        default:
            return false;
    }
}
