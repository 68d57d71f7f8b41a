#pragma once

#include <QDialog>
#include <map>
#include <span>

#include "framework/CMenu.h"
#include "framework/WinTypes.h"

class QMenuBar;

// A dialog window built from a dialog template. Button clicks and menu commands go through the
// derived class's static command table; window timers arrive in OnTimer, also while a modal box or
// dialog of the program is open.
class CDialog : public QDialog {
    Q_OBJECT

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

    explicit CDialog(int templateId);
    ~CDialog() override;

    // Builds the window, initialises it and shows it without a modal loop of its own.
    bool Create();
    // Builds, initialises and shows the window, and returns once EndDialog ends it: the result given
    // there, or -1 when the window could not be built.
    int DoModal();
    void EndDialog(int result);

    // Runs the command as if its button had been clicked or its menu item chosen.
    void SendCommand(int id);

    QWidget* GetDlgItem(int id) const;
    // The window's menu bar; nullptr when its template names no menu.
    CMenu* GetMenu();
    // Window managers here offer programs no system menu: always nullptr.
    CMenu* GetSystemMenu(bool revert);

    // Starts (or restarts) the window timer with this identifier; returns the identifier.
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    bool IsTimerRunning(UINT_PTR id) const;

protected:
    virtual std::span<const CommandEntry> GetCommandTable() const;
    // Attaches the members to their controls; runs once as the window is built.
    virtual void BindControls();
    // Runs once the window and its controls exist. True puts the focus on the first tab stop.
    virtual bool InitWindow();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnSystemCommand(UINT command, intptr_t parameter);
    virtual void OnOK();
    virtual void OnCancel();

    void SetIcon(const QIcon& icon);

    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    bool BuildWindow();
    void FocusFirstTabStop();

    int m_templateId;
    bool m_built = false;
    QMenuBar* m_menuBar = nullptr;
    CMenu m_menu;
    std::map<int, QWidget*> m_controls;
    std::vector<QWidget*> m_tabOrder;
    std::map<UINT_PTR, int> m_timers;  // window timer identifier -> Qt timer
};
