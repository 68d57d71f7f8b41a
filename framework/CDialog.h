#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "framework/CMenu.h"
#include "framework/WinTypes.h"

// A dialog window built from a dialog template. Button clicks and menu commands go through the
// derived class's static command table; window timers arrive in OnTimer, also while a modal box or
// dialog of the program is open.
class CDialog {
public:
    using Handler = void (CDialog::*)();
    struct CommandEntry {
        int id;
        Handler handler;
    };
    // One row of a command table: {id, &Derived::Handler}.
    template <typename Derived>
    static constexpr CommandEntry On(int id, void (Derived::*handler)()) {
        return {id, static_cast<Handler>(handler)};
    }

    // The platform's window behind the dialog; each implementation of the framework defines it.
    struct Window;

    explicit CDialog(int templateId);
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog();

    // Builds the window, initialises it and shows it without a modal loop of its own.
    bool Create();
    // Builds, initialises and shows the window, and returns once EndDialog ends it: the result given
    // there, or -1 when the window could not be built.
    int DoModal();
    void EndDialog(int result);

    // Runs the command as if its button had been clicked or its menu item chosen.
    void SendCommand(int id);

    // The control with this ID; nullptr when the dialog has none.
    HWND GetDlgItem(int id) const;
    // The dialog's own window; nullptr until the window is built.
    HWND GetSafeHwnd() const;
    // The window's menu bar; nullptr when its template names no menu.
    CMenu* GetMenu();
    // The window's system menu; nullptr where the window manager offers programs none.
    CMenu* GetSystemMenu(bool revert);

    // Starts (or restarts) the window timer with this identifier; returns the identifier, or 0.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    bool IsTimerRunning(UINT_PTR id) const;

    // Calls OnDeviceArrival whenever the system reports a device plugged in, until
    // StopWatchingDeviceArrivals. The descriptor is the arrival watch's (ArrivalWatch::Descriptor),
    // where the system reports through one; elsewhere the window registers for serial ports itself
    // and the descriptor is ignored. False when the reports cannot be watched.
    bool WatchDeviceArrivals(intptr_t descriptor);
    // Also allowed from inside OnDeviceArrival and OnTimer.
    void StopWatchingDeviceArrivals();

protected:
    virtual std::span<const CommandEntry> GetCommandTable() const;
    // Attaches the members to their controls; runs once as the window is built.
    virtual void BindControls();
    // Runs once the window and its controls exist. True puts the focus on the first tab stop.
    virtual bool InitWindow();
    // Runs once, from the event loop, right after the window is first shown.
    virtual void OnShown();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnDeviceArrival();
    virtual void OnSystemCommand(UINT command, intptr_t parameter);
    virtual void OnOK();
    virtual void OnCancel();

    // The icon stays the caller's (LoadIconResource keeps it for the program's life).
    void SetIcon(HICON icon);

private:
    int m_templateId;
    std::unique_ptr<Window> m_window;
};
