#include "framework/CDialog.h"

#include <set>
#include <vector>

#include "framework/ResourceIcon.h"
#include "framework/win32/DialogTemplateEx.h"
#include "framework/win32/ListRows.h"
#include "framework/win32/MenuBar.h"
#include "framework/win32/ModalOwner.h"
#include "framework/win32/SmallIcon.h"
#include "framework/win32/TextFit.h"
#include "framework/win32/WindowsApi.h"
#include "res/Templates.h"

#include <dbt.h>

namespace {

// Posted while the window is initialised, so it arrives once the window is shown.
constexpr UINT kShownMessage = WM_APP + 1;

// The COM-port device interface: a serial port that appears raises WM_DEVICECHANGE.
constexpr GUID kComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

}  // namespace

// The dialog's window and what the framework keeps for it.
struct CDialog::Window {
    explicit Window(CDialog& dialog) : owner(dialog) {}

    static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL Initialise();
    void AddMenuBar();
    void SetUpControls();
    void StopWatching();

    CDialog& owner;
    const res::DialogTemplate* dialogTemplate = nullptr;
    HWND hwnd = nullptr;
    bool modal = false;
    HMENU menuBar = nullptr;
    CMenu menu;
    CMenu systemMenu;
    std::set<UINT_PTR> timers;
    HDEVNOTIFY arrivals = nullptr;
    std::vector<std::unique_ptr<ListRows>> lists;
};

INT_PTR CALLBACK CDialog::Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<Window*>(lParam)->hwnd = hwnd;
    }
    // Messages before WM_INITDIALOG (the font, the frame) are the dialog manager's alone.
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    return window ? window->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return Initialise();
        case WM_COMMAND:
            // Clicks, menu items and accelerators; other notifications of the controls mean nothing here.
            if (HIWORD(wParam) > 1) {
                return FALSE;
            }
            owner.SendCommand(LOWORD(wParam));
            return TRUE;
        case WM_TIMER:
            if (timers.count(wParam) != 0) {
                owner.OnTimer(wParam);
            }
            return TRUE;
        case WM_SYSCOMMAND:
            owner.OnSystemCommand(static_cast<UINT>(wParam), lParam);
            return TRUE;
        case WM_CLOSE:
            owner.OnSystemCommand(SC_CLOSE, 0);
            return TRUE;
        case WM_DEVICECHANGE:
            // A bridge bound to its maker's direct-access driver is no COM port: its arrival shows
            // only as DBT_DEVNODES_CHANGED, which reaches every top-level window unasked.
            if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVNODES_CHANGED) && arrivals) {
                owner.OnDeviceArrival();
            }
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            const ListRows* rows = ListRows::Of(header->hwndFrom);
            if (rows && header->code == LVN_GETDISPINFOW) {
                rows->FillDisplayInfo(*reinterpret_cast<NMLVDISPINFOW*>(lParam));
                return TRUE;
            }
            if (rows && header->code == LVN_GETINFOTIPW) {
                rows->FillInfoTip(*reinterpret_cast<NMLVGETINFOTIPW*>(lParam));
                return TRUE;
            }
            return FALSE;
        }
        case kShownMessage:
            owner.OnShown();
            return TRUE;
        case WM_DESTROY:
            StopWatching();
            timers.clear();
            return FALSE;
        case WM_NCDESTROY:
            // The controls are gone, and their rows with them.
            lists.clear();
            hwnd = nullptr;
            menuBar = nullptr;
            menu.Attach(nullptr);
            systemMenu.Attach(nullptr);
            return FALSE;
        default:
            return FALSE;
    }
}

BOOL CDialog::Window::Initialise() {
    AddMenuBar();
    SetUpControls();
    PostMessageW(hwnd, kShownMessage, 0, 0);
    // TRUE lets the dialog manager put the focus on the first tab stop.
    return owner.InitWindow() ? TRUE : FALSE;
}

void CDialog::Window::AddMenuBar() {
    const res::MenuTemplate* menuTemplate = res::FindMenuTemplate(dialogTemplate->menu);
    if (!menuTemplate || !(menuBar = CreateMenuBar(*menuTemplate))) {
        return;
    }
    if (!SetMenu(hwnd, menuBar)) {
        DestroyMenu(menuBar);
        menuBar = nullptr;
        return;
    }
    menu.Attach(menuBar);
    // The bar takes its height from the client area: the window grows by what the client area
    // lost, so the controls keep the room that the template gives them, at any DPI.
    RECT wanted{0, 0, dialogTemplate->width, dialogTemplate->height};
    MapDialogRect(hwnd, &wanted);
    RECT client{};
    RECT frame{};
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &frame);
    const int growX = wanted.right - client.right;
    const int growY = wanted.bottom - client.bottom;
    // Centred again, as the template's window was.
    SetWindowPos(hwnd, nullptr, frame.left - growX / 2, frame.top - growY / 2,
                 frame.right - frame.left + growX, frame.bottom - frame.top + growY,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialog::Window::SetUpControls() {
    for (const res::ControlTemplate& control : dialogTemplate->controls) {
        if (control.kind == res::ControlKind::ListView) {
            HWND list = ::GetDlgItem(hwnd, control.id);
            // A cell too narrow for its text gives the text as the row's tip.
            ListView_SetExtendedListViewStyle(list,
                                              LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
            lists.push_back(std::make_unique<ListRows>());
            ListRows::Tie(list, lists.back().get());
        }
    }
    // Icon controls have no ID to find them by: they are the dialog's children in template order.
    HWND child = GetWindow(hwnd, GW_CHILD);
    for (const res::ControlTemplate& control : dialogTemplate->controls) {
        if (control.kind == res::ControlKind::StaticIcon && child) {
            SendMessageW(child, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconResource(control.resource)), 0);
        }
        FitTextToControl(child);
        child = child ? GetWindow(child, GW_HWNDNEXT) : nullptr;
    }
}

void CDialog::Window::StopWatching() {
    if (arrivals) {
        UnregisterDeviceNotification(arrivals);
        arrivals = nullptr;
    }
}

CDialog::CDialog(int templateId) : m_templateId(templateId), m_window(std::make_unique<Window>(*this)) {}

CDialog::~CDialog() {
    if (m_window->hwnd) {
        DestroyWindow(m_window->hwnd);
    }
}

bool CDialog::Create() {
    if (m_window->hwnd) {
        return true;
    }
    m_window->dialogTemplate = res::FindDialogTemplate(m_templateId);
    if (!m_window->dialogTemplate) {
        return false;
    }
    const std::vector<uint32_t> bytes = BuildDialogTemplateEx(*m_window->dialogTemplate);
    m_window->modal = false;
    return CreateDialogIndirectParamW(
               GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
               &Window::Procedure, reinterpret_cast<LPARAM>(m_window.get())) != nullptr;
}

int CDialog::DoModal() {
    m_window->dialogTemplate = res::FindDialogTemplate(m_templateId);
    if (!m_window->dialogTemplate || m_window->hwnd) {
        return -1;
    }
    const std::vector<uint32_t> bytes = BuildDialogTemplateEx(*m_window->dialogTemplate);
    m_window->modal = true;
    // Owned by the program's window, which stays disabled until this one ends.
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                ModalOwner(), &Window::Procedure, reinterpret_cast<LPARAM>(m_window.get()));
    m_window->modal = false;
    return static_cast<int>(result);
}

void CDialog::EndDialog(int result) {
    if (!m_window->hwnd) {
        return;
    }
    if (m_window->modal) {
        ::EndDialog(m_window->hwnd, result);
    } else {
        ShowWindow(m_window->hwnd, SW_HIDE);
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

HWND CDialog::GetDlgItem(int id) const { return m_window->hwnd ? ::GetDlgItem(m_window->hwnd, id) : nullptr; }

HWND CDialog::GetSafeHwnd() const { return m_window->hwnd; }

CMenu* CDialog::GetMenu() { return m_window->menuBar ? &m_window->menu : nullptr; }

CMenu* CDialog::GetSystemMenu(bool revert) {
    HMENU systemMenu = m_window->hwnd ? ::GetSystemMenu(m_window->hwnd, revert) : nullptr;
    if (!systemMenu) {
        return nullptr;
    }
    m_window->systemMenu.Attach(systemMenu);
    return &m_window->systemMenu;
}

UINT_PTR CDialog::SetTimer(UINT_PTR id, UINT elapseMs) {
    if (!m_window->hwnd || ::SetTimer(m_window->hwnd, id, elapseMs, nullptr) == 0) {
        return 0;
    }
    m_window->timers.insert(id);
    return id;
}

bool CDialog::KillTimer(UINT_PTR id) {
    if (m_window->timers.erase(id) == 0) {
        return false;
    }
    ::KillTimer(m_window->hwnd, id);
    return true;
}

bool CDialog::IsTimerRunning(UINT_PTR id) const { return m_window->timers.count(id) != 0; }

bool CDialog::WatchDeviceArrivals(intptr_t) {
    if (m_window->arrivals) {
        return true;
    }
    if (!m_window->hwnd) {
        return false;
    }
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kComPortInterface;
    m_window->arrivals = RegisterDeviceNotificationW(m_window->hwnd, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return m_window->arrivals != nullptr;
}

void CDialog::StopWatchingDeviceArrivals() { m_window->StopWatching(); }

std::span<const CDialog::CommandEntry> CDialog::GetCommandTable() const { return {}; }

void CDialog::BindControls() {}

bool CDialog::InitWindow() {
    BindControls();
    return true;
}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnSystemCommand(UINT command, intptr_t parameter) {
    // The close box, Alt+F4 and the system menu's Close end in the cancel command; the handler
    // decides whether the window really ends. The rest is the system's.
    if ((command & 0xFFF0) == SC_CLOSE) {
        SendCommand(IDCANCEL);
    } else if (m_window->hwnd) {
        DefWindowProcW(m_window->hwnd, WM_SYSCOMMAND, command, parameter);
    }
}

void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnShown() {}

void CDialog::OnDeviceArrival() {}

void CDialog::SetIcon(HICON icon) {
    if (m_window->hwnd) {
        SendMessageW(m_window->hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(m_window->hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(SmallIconOf(icon)));
    }
}
