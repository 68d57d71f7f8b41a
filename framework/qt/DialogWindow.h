#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "framework/CDialog.h"

class QMenuBar;
class QSocketNotifier;

// A CDialog's Qt window: it holds the dialog's controls, menu, timers and arrival notifier, and
// passes the window's events on to the dialog's handlers.
struct CDialog::Window : public QDialog {
    explicit Window(CDialog& dialog);

    // Builds the dialog's window from its template and initialises it; true when it exists.
    static bool Build(CDialog& dialog);
    // The window that holds this widget, or nullptr when it belongs to no CDialog.
    static Window* Of(QWidget* widget);

    void FocusFirstTabStop();

    CDialog& owner;
    QMenuBar* menuBar = nullptr;
    CMenu menu;
    std::map<int, QWidget*> controls;
    std::vector<QWidget*> tabOrder;
    std::map<UINT_PTR, int> timers;  // window timer identifier -> Qt timer
    QSocketNotifier* arrivals = nullptr;
    bool shown = false;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;
};
