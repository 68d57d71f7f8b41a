#include "framework/CMenu.h"

#include "framework/win32/WindowsApi.h"
#include "link/Utf16.h"

namespace {

constexpr UINT kNoSuchItem = static_cast<UINT>(-1);

// Windows reports a greyed item as grey and disabled; the program knows only enabled or grey.
UINT EnabledOrGrayed(UINT state) {
    if (state == kNoSuchItem) {
        return kNoSuchItem;
    }
    return (state & (MF_GRAYED | MF_DISABLED)) ? MF_GRAYED : MF_ENABLED;
}

}  // namespace

UINT CMenu::EnableMenuItem(UINT command, UINT flags) {
    if (!m_menu) {
        return kNoSuchItem;
    }
    const UINT enable = (flags & MF_GRAYED) ? MF_GRAYED : MF_ENABLED;
    return EnabledOrGrayed(::EnableMenuItem(m_menu, command, MF_BYCOMMAND | enable));
}

UINT CMenu::GetMenuState(UINT command) const {
    return m_menu ? EnabledOrGrayed(::GetMenuState(m_menu, command, MF_BYCOMMAND)) : kNoSuchItem;
}

bool CMenu::AppendMenu(UINT flags, UINT_PTR command, const char* text) {
    if (!m_menu) {
        return false;
    }
    if (flags & MF_SEPARATOR) {
        return AppendMenuW(m_menu, flags, 0, nullptr) != FALSE;
    }
    const std::wstring wide = Utf8ToWide(text ? text : "");
    return AppendMenuW(m_menu, flags, command, wide.c_str()) != FALSE;
}
