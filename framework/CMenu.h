#pragma once

#include "framework/WinTypes.h"

// A window's menu bar or system menu, its items addressed by command ID. The framework attaches it
// to the menu of a dialog's window (CDialog::GetMenu, CDialog::GetSystemMenu); the menu belongs to
// the window. Choosing an item sends its command to the window.
class CMenu {
public:
    CMenu() = default;
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Used by the framework as it builds a window.
    void Attach(HMENU menu) { m_menu = menu; }
    HMENU GetSafeHmenu() const { return m_menu; }

    // Searches submenus too. Returns the item's previous state, or (UINT)-1 when no item has the ID.
    UINT EnableMenuItem(UINT command, UINT flags);
    UINT GetMenuState(UINT command) const;
    bool AppendMenu(UINT flags, UINT_PTR command = 0, const char* text = nullptr);

private:
    HMENU m_menu = nullptr;
};
