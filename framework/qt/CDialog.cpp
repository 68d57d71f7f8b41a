#include "framework/CDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPushButton>
#include <QTimerEvent>

#include "framework/ControlFactory.h"
#include "framework/DialogUnits.h"
#include "res/Templates.h"

namespace {

constexpr Qt::WindowFlags kCaptionFlags =
    Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

}  // namespace

CDialog::CDialog(int templateId) : QDialog(nullptr), m_templateId(templateId) {}

CDialog::~CDialog() = default;

bool CDialog::BuildWindow() {
    if (m_built) {
        return true;
    }
    const res::DialogTemplate* dialogTemplate = res::FindDialogTemplate(m_templateId);
    if (!dialogTemplate) {
        return false;
    }
    // A fixed-size window: a minimise box where the template asks for one, never a maximise box.
    setWindowFlags(dialogTemplate->minimizeBox ? Qt::Window | kCaptionFlags | Qt::WindowMinimizeButtonHint
                                               : Qt::Dialog | kCaptionFlags);
    setWindowTitle(QString::fromUtf8(dialogTemplate->caption));
    const QFont dialogFont(QString::fromUtf8(dialogTemplate->fontFamily), dialogTemplate->fontPointSize);
    setFont(dialogFont);
    const DialogUnits units(font());
    const QRect client = units.ToPixels(0, 0, dialogTemplate->width, dialogTemplate->height);

    int menuHeight = 0;
    if (const res::MenuTemplate* menuTemplate = res::FindMenuTemplate(dialogTemplate->menu)) {
        m_menuBar = new QMenuBar(this);
        const CMenu::CommandSink sink = [this](int command) { SendCommand(command); };
        CMenu::Build(m_menuBar, *menuTemplate, sink);
        m_menu.Attach(m_menuBar, sink);
        menuHeight = m_menuBar->sizeHint().height();
        m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
    }

    auto* clientArea = new QWidget(this);
    clientArea->setGeometry(0, menuHeight, client.width(), client.height());
    for (const res::ControlTemplate& control : dialogTemplate->controls) {
        QWidget* widget = CreateControl(control, units, clientArea);
        if (control.id != -1) {
            m_controls[control.id] = widget;
        }
        if (control.styles & res::style::kTabStop) {
            m_tabOrder.push_back(widget);
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            connect(button, &QPushButton::clicked, this, [this, id = control.id] { SendCommand(id); });
        }
    }
    for (size_t i = 1; i < m_tabOrder.size(); ++i) {
        setTabOrder(m_tabOrder[i - 1], m_tabOrder[i]);
    }
    setFixedSize(client.width(), client.height() + menuHeight);
    m_built = true;
    if (InitWindow()) {
        FocusFirstTabStop();
    }
    return true;
}

void CDialog::FocusFirstTabStop() {
    for (QWidget* widget : m_tabOrder) {
        if (!widget->isHidden() && widget->isEnabled()) {
            widget->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool CDialog::Create() {
    if (!BuildWindow()) {
        return false;
    }
    show();
    return true;
}

int CDialog::DoModal() {
    if (!BuildWindow()) {
        return -1;
    }
    return exec();
}

void CDialog::EndDialog(int result) { done(result); }

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

QWidget* CDialog::GetDlgItem(int id) const {
    const auto found = m_controls.find(id);
    return found == m_controls.end() ? nullptr : found->second;
}

CMenu* CDialog::GetMenu() { return m_menuBar ? &m_menu : nullptr; }

CMenu* CDialog::GetSystemMenu(bool) { return nullptr; }

UINT_PTR CDialog::SetTimer(UINT_PTR id, UINT elapseMs) {
    KillTimer(id);
    const int qtTimer = startTimer(static_cast<int>(elapseMs));
    if (qtTimer == 0) {
        return 0;
    }
    m_timers[id] = qtTimer;
    return id;
}

bool CDialog::KillTimer(UINT_PTR id) {
    const auto found = m_timers.find(id);
    if (found == m_timers.end()) {
        return false;
    }
    killTimer(found->second);
    m_timers.erase(found);
    return true;
}

bool CDialog::IsTimerRunning(UINT_PTR id) const { return m_timers.count(id) != 0; }

std::span<const CDialog::CommandEntry> CDialog::GetCommandTable() const { return {}; }

void CDialog::BindControls() {}

bool CDialog::InitWindow() {
    BindControls();
    return true;
}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnSystemCommand(UINT command, intptr_t) {
    switch (command & 0xFFF0) {
        case SC_CLOSE:
            SendCommand(IDCANCEL);
            break;
        case SC_MINIMIZE:
            showMinimized();
            break;
        default:
            break;
    }
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::SetIcon(const QIcon& icon) { setWindowIcon(icon); }

void CDialog::timerEvent(QTimerEvent* event) {
    for (const auto& [id, qtTimer] : m_timers) {
        if (qtTimer == event->timerId()) {
            OnTimer(id);
            return;
        }
    }
    QDialog::timerEvent(event);
}

void CDialog::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 become the close system command, which ends in the cancel command;
    // the handler decides whether the window really ends.
    event->ignore();
    OnSystemCommand(SC_CLOSE, 0);
}

void CDialog::keyPressEvent(QKeyEvent* event) {
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // Enter pushes the focused button; anywhere else it is the OK command, hidden button or not.
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button && button->isVisible() && button->isEnabled()) {
            button->click();
        } else {
            SendCommand(IDOK);
        }
        return;
    }
    if (plain && event->key() == Qt::Key_Escape) {
        SendCommand(IDCANCEL);
        return;
    }
    QDialog::keyPressEvent(event);
}

void CDialog::reject() { SendCommand(IDCANCEL); }
