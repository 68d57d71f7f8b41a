#include "framework/win32/MenuBar.h"

#include <vector>

#include "link/Utf16.h"
#include "res/Templates.h"

HMENU CreateMenuBar(const res::MenuTemplate& menuTemplate) {
    HMENU bar = CreateMenu();
    if (!bar) {
        return nullptr;
    }
    // The open popup at each depth; depth 0 items go onto the bar itself.
    std::vector<HMENU> parents{bar};
    for (const res::MenuItemTemplate& item : menuTemplate.items) {
        parents.resize(static_cast<size_t>(item.depth) + 1);
        HMENU parent = parents.back();
        const std::wstring text = Utf8ToWide(item.text ? item.text : "");
        bool added = false;
        if (item.popup) {
            HMENU popup = CreatePopupMenu();
            added = popup && AppendMenuW(parent, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                                         text.c_str());
            parents.push_back(popup);
        } else if (!item.text) {
            added = AppendMenuW(parent, MF_SEPARATOR, 0, nullptr);
        } else {
            added = AppendMenuW(parent, MF_STRING, static_cast<UINT_PTR>(item.command), text.c_str());
        }
        if (!added) {
            DestroyMenu(bar);
            return nullptr;
        }
    }
    return bar;
}
