#pragma once

#include <string>

#include "framework/WinTypes.h"

// Column alignment of InsertColumn.
inline constexpr int LVCFMT_LEFT = 0;

// The time list's report view, attached to a control of a dialog.
class CListCtrl {
public:
    void Attach(HWND control);

    int InsertColumn(int column, const char* heading, int format, int width);
    // Returns the new row's index, or -1.
    int InsertItem(int row, const char* text);
    bool SetItemText(int row, int column, const char* text);
    // Scrolls the row into full view, also when it is partly visible.
    bool EnsureVisible(int row);
    bool DeleteAllItems();
    int GetItemCount() const;
    std::string GetItemText(int row, int column) const;

private:
    HWND m_control = nullptr;
};
