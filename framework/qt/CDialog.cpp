#include "framework/CDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QTimerEvent>

#include "framework/qt/ControlFactory.h"
#include "framework/qt/DialogUnits.h"
#include "framework/qt/DialogWindow.h"
#include "framework/qt/MenuBuilder.h"
#include "framework/qt/QtHandles.h"
#include "framework/qt/TextFit.h"
#include "res/Templates.h"

namespace {

constexpr Qt::WindowFlags kCaptionFlags =
    Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

}  // namespace

CDialog::Window::Window(CDialog& dialog) : QDialog(nullptr), owner(dialog) {}

CDialog::Window* CDialog::Window::Of(QWidget* widget) {
    // A popup menu is a window of its own; its parents lead to the dialog.
    for (; widget; widget = widget->parentWidget()) {
        if (auto* window = dynamic_cast<Window*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

void CDialog::Window::FocusFirstTabStop() {
    for (QWidget* widget : tabOrder) {
        if (!widget->isHidden() && widget->isEnabled()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void CDialog::Window::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shown) {
        shown = true;
        QTimer::singleShot(0, this, [this] { owner.OnShown(); });
    }
}

void CDialog::Window::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtTimer] : timers) {
        if (qtTimer == event->timerId()) {
            owner.OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void CDialog::Window::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 become the close system command, which ends in the cancel command;
    // the handler decides whether the window really ends.
    event->ignore();
    owner.OnSystemCommand(SC_CLOSE, 0);
}

void CDialog::Window::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Enter pushes the focused button; anywhere else it is the OK command, hidden button or not.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isVisible() && button->isEnabled()) {
            button->click();
        } else {
            owner.SendCommand(IDOK);
        }
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        owner.SendCommand(IDCANCEL);
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::Window::reject() { owner.SendCommand(IDCANCEL); }

CDialog::CDialog(int templateId) : m_templateId(templateId) {}

CDialog::~CDialog() = default;

bool CDialog::Window::Build(CDialog& dialog) {
    if (dialog.m_window) {
        return true;
    }
    const res::DialogTemplate* dialogTemplate = res::FindDialogTemplate(dialog.m_templateId);
    if (!dialogTemplate) {
        return false;
    }
    dialog.m_window = std::make_unique<Window>(dialog);
    Window& window = *dialog.m_window;
    // A fixed-size window: a minimise box where the template asks for one, never a maximise box.
    window.setWindowFlags(dialogTemplate->minimizeBox
                              ? Qt::Window | kCaptionFlags | Qt::WindowMinimizeButtonHint
                              : Qt::Dialog | kCaptionFlags);
    window.setWindowTitle(QString::fromUtf8(dialogTemplate->caption));
    const QFont dialogFont(QString::fromUtf8(dialogTemplate->fontFamily), dialogTemplate->fontPointSize);
    window.setFont(dialogFont);
    const DialogUnits units(window.font());
    const QRect client = units.ToPixels(0, 0, dialogTemplate->width, dialogTemplate->height);

    int menuHeight = 0;
    if (const res::MenuTemplate* menuTemplate = res::FindMenuTemplate(dialogTemplate->menu)) {
        window.menuBar = new QMenuBar(&window);
        BuildMenu(window.menuBar, *menuTemplate);
        window.menu.Attach(ToMenuHandle(window.menuBar));
        menuHeight = window.menuBar->sizeHint().height();
        window.menuBar->setGeometry(0, 0, client.width(), menuHeight);
    }

    auto* clientArea = new QWidget(&window);
    clientArea->setGeometry(0, menuHeight, client.width(), client.height());
    for (const res::ControlTemplate& control : dialogTemplate->controls) {
        QWidget* widget = CreateControl(control, units, clientArea);
        if (control.id != -1) {
            window.controls[control.id] = widget;
        }
        if (control.styles & res::style::kTabStop) {
            window.tabOrder.push_back(widget);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            QObject::connect(button, &QPushButton::clicked, &window,
                             [&dialog, id = control.id] { dialog.SendCommand(id); });
        }
    }
    for (QWidget* control : clientArea->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        FitTextToControl(control);
    }
    for (size_t i = 1; i < window.tabOrder.size(); ++i) {
        QWidget::setTabOrder(window.tabOrder[i - 1], window.tabOrder[i]);
    }
    window.setFixedSize(client.width(), client.height() + menuHeight);
    if (dialog.InitWindow()) {
        window.FocusFirstTabStop();
    }
    return true;
}

bool CDialog::Create() {
    if (!Window::Build(*this)) {
        return false;
    }
    m_window->show();
    return true;
}

int CDialog::DoModal() {
    if (!Window::Build(*this)) {
        return -1;
    }
    return m_window->exec();
}

void CDialog::EndDialog(int result) {
    if (m_window) {
        m_window->done(result);
    }
}

void CDialog::SendCommand(int id) {
    for (const CommandEntry& entry : GetCommandTable()) {
        if (entry.id == id) {
            (this->*entry.handler)();
            return;
        }
    }
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

HWND CDialog::GetDlgItem(int id) const {
    if (!m_window) {
        return nullptr;
    }
    const auto found = m_window->controls.find(id);
    return found == m_window->controls.end() ? nullptr : ToHandle(found->second);
}

HWND CDialog::GetSafeHwnd() const { return m_window ? ToHandle(m_window.get()) : nullptr; }

CMenu* CDialog::GetMenu() { return m_window && m_window->menuBar ? &m_window->menu : nullptr; }

// Window managers here offer programs no system menu.
CMenu* CDialog::GetSystemMenu(bool) { return nullptr; }

UINT_PTR CDialog::SetTimer(UINT_PTR id, UINT elapseMs) {
    if (!m_window) {
        return 0;
    }
    KillTimer(id);
    const int qtTimer = m_window->startTimer(static_cast<int>(elapseMs));
    if (qtTimer == 0) {
        return 0;
    }
    m_window->timers[id] = qtTimer;
    return id;
}

bool CDialog::KillTimer(UINT_PTR id) {
    if (!m_window) {
        return false;
    }
    const auto found = m_window->timers.find(id);
    if (found == m_window->timers.end()) {
        return false;
    }
    m_window->killTimer(found->second);
    m_window->timers.erase(found);
    return true;
}

bool CDialog::IsTimerRunning(UINT_PTR id) const { return m_window && m_window->timers.count(id) != 0; }

bool CDialog::WatchDeviceArrivals(intptr_t descriptor) {
    if (!m_window || descriptor < 0) {
        return false;
    }
    StopWatchingDeviceArrivals();
    m_window->arrivals =
        new QSocketNotifier(static_cast<qintptr>(descriptor), QSocketNotifier::Read, m_window.get());
    QObject::connect(m_window->arrivals, &QSocketNotifier::activated, m_window.get(),
                     [this] { OnDeviceArrival(); });
    return true;
}

void CDialog::StopWatchingDeviceArrivals() {
    // This may run inside the notifier's own signal: it goes once control is back in the loop.
    if (m_window && m_window->arrivals) {
        m_window->arrivals->setEnabled(false);
        m_window->arrivals->deleteLater();
        m_window->arrivals = nullptr;
    }
}

std::span<const CDialog::CommandEntry> CDialog::GetCommandTable() const { return {}; }

void CDialog::BindControls() {}

bool CDialog::InitWindow() {
    BindControls();
    return true;
}

void CDialog::OnShown() {}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnDeviceArrival() {}

void CDialog::OnSystemCommand(UINT command, intptr_t) {
    switch (command & 0xFFF0) {
        case SC_CLOSE:
            SendCommand(IDCANCEL);
            break;
        case SC_MINIMIZE:
            if (m_window) {
                m_window->showMinimized();
            }
            break;
        default:
            break;
    }
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::SetIcon(HICON icon) {
    if (m_window && icon) {
        m_window->setWindowIcon(*ToIcon(icon));
    }
}
