#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "framework/CBitmap.h"
#include "framework/CButton.h"
#include "framework/CDialog.h"
#include "framework/CListCtrl.h"
#include "framework/CMenu.h"
#include "framework/CStatic.h"
#include "link/ArrivalWatch.h"
#include "link/ComCP2102.h"
#include "link/SystemBridgeDriver.h"
#include "protocol/ComProtocol.h"
#include "timelist/Journal.h"
#include "timelist/JournalFiles.h"

// The main window: the time list, the connect button with the connection status, and the commands
// to save and clear the list. It owns the link port and the frame receiver for its whole life.
class CDIZUravavedVKX260Dlg : public CDialog {
public:
    static constexpr const char* kVendorId = "5f3a";
    static constexpr const char* kProductId = "b7c4";
    static constexpr uint32_t kBaudRate = 115200;
    static constexpr uint32_t kPortTimeoutMs = 500;
    static constexpr UINT_PTR kPollTimerId = 1;
    static constexpr UINT kPollPeriodMs = 10;
    static constexpr uint32_t kReceiveCapacity = 80;
    // While waiting for a bridge after an unplug, the bridge is also tried this often.
    static constexpr UINT_PTR kBridgeRetryTimerId = 2;
    static constexpr UINT kBridgeRetryMs = 1000;
    // The journal is asked this often whether a sync failed, connected or not.
    static constexpr UINT_PTR kJournalCheckTimerId = 3;
    static constexpr UINT kJournalCheckMs = 500;

    explicit CDIZUravavedVKX260Dlg(BridgeDriver& driver = SystemBridgeDriver(),
                                   JournalFiles& journalFiles = JournalFiles::System());
    ~CDIZUravavedVKX260Dlg() override;

    // Command handlers.
    void ToggleConnection();
    void SaveListCommand();
    void ClearListCommand();
    void ShowAbout();
    void ExitProgram();
    void OnSystemCommand(UINT command, intptr_t parameter) override;
    // Offers back, one by one, the unsaved rows of programs that ended without their normal end.
    void OfferUnsavedJournals();
    // The program's own window does so once it is shown; a window that a test or a benchmark makes
    // offers nothing by itself.
    void OfferUnsavedJournalsOnceShown() { m_offerJournalsOnceShown = true; }

    // One poll: takes at most one frame from the stopwatch; or, while waiting for a bridge, one try.
    void OnTimer(UINT_PTR id) override;

    void StartPolling();
    void StopPolling();
    bool IsPolling() const { return IsTimerRunning(kPollTimerId); }

    // Read access for whoever checks the window's state.
    const CListCtrl& TimeList() const { return m_list; }
    bool HasUnsavedRows() const { return m_unsaved; }
    const std::string& LastSaveDirectory() const { return m_lastSaveDir; }
    const std::string& JournalPath() const { return m_journal.Path(); }

protected:
    std::span<const CommandEntry> GetCommandTable() const override;
    void BindControls() override;
    bool InitWindow() override;
    // Enter outside a button does nothing.
    void OnOK() override;
    void OnShown() override;
    void OnDeviceArrival() override;

private:
    // True once the file was written completely.
    bool SaveList();
    bool WriteListFile(const std::string& path);
    // Asks about unsaved rows at exit; true when the exit may go on.
    bool ConfirmUnsavedData();
    void AddEventRow();
    // Lists the row and writes it to the journal; a journal that cannot take it is told once.
    void AppendRow(const std::string& index, const std::string& event, const std::string& time);
    // Tells the operator once per run that the rows are not being secured.
    void ReportJournalFailure();
    void CheckJournal();
    void ClearList();
    // Writes the rows that the operator did not restore as a new time-list file in the folder of
    // the last save, and gives its path; the journal then goes.
    bool KeepUnrestoredList(UnsavedJournal& left, std::string& keptPath);
    void ShowConnectedState();
    void ShowDisconnectedState();
    void ShowConnectionError();
    void HandleLostConnection();
    // Opens the stopwatch's bridge and polls it, as the connect button does: the first one, or the one
    // with the serial number given. False when it cannot be opened, and then the window is left as
    // it was.
    bool ConnectPort(const char* serialNumber = nullptr);
    // After an unplug, until the operator connects: the bridge that was lost, plugged in again, is
    // connected by itself. Another stopwatch's bridge is left to the operator.
    void WaitForBridge();
    void StopWaitingForBridge();
    // Connects a bridge that is back and ends the waiting; the window keeps waiting when it cannot.
    void TryBridge();

    HICON m_icon = nullptr;
    ComCP2102 m_port;
    ComProtocol m_receiver;
    int32_t m_rxCount = 0;
    uint8_t m_rxBuffer[kReceiveCapacity] = {};
    CStatic m_statusPicture;
    CBitmap m_statusBitmaps[2];
    UINT_PTR m_timerId = 0;
    CListCtrl m_list;
    int32_t m_rowCount = 0;
    CButton m_connectButton;
    std::string m_lastSaveDir;
    CStatic m_statusText;
    CMenu* m_menu = nullptr;
    bool m_unsaved = false;
    bool m_offerJournalsOnceShown = false;
    JournalFiles& m_journalFiles;
    Journal m_journal;
    bool m_journalFailureReported = false;
    BridgeDriver& m_driver;
    // The serial number of the bridge that an unplug took away.
    std::string m_lostBridge;
    std::unique_ptr<ArrivalWatch> m_arrivalWatch;
    // Commands that stop polling for a modal window and start it again when it closes.
    int m_pollingHeld = 0;
};
