#pragma once

#include <string>
#include <vector>

#include "framework/win32/WindowsApi.h"

// The rows of a virtual list view (LVS_OWNERDATA): the control holds only their count and asks for
// each cell it draws, so a row costs its text alone and appending stays cheap at any length. The
// dialog that creates the control owns its rows; CListCtrl finds them through the control.
class ListRows {
public:
    // Ties the rows to their control, so that Of finds them from the control.
    static void Tie(HWND list, ListRows* rows);
    static ListRows* Of(HWND list);

    // The column's width as the program asked for it, in the screen's pixels.
    void InsertColumn(int column, int width);
    int Columns() const { return m_columns; }
    int Width(int column) const { return m_widths[static_cast<size_t>(column)]; }
    bool InsertRow(int row, const char* firstCell);
    bool SetCell(int row, int column, const char* text);
    std::string Cell(int row, int column) const;
    int Count() const { return static_cast<int>(m_rows.size()); }
    void Clear() { m_rows.clear(); }

    // Answers the control's LVN_GETDISPINFOW: the cell's text, as much as its buffer takes.
    void FillDisplayInfo(NMLVDISPINFOW& info) const;
    // Answers LVN_GETINFOTIPW: the row's cells that are wider than their columns, in full.
    void FillInfoTip(NMLVGETINFOTIPW& info) const;

private:
    int m_columns = 0;
    std::vector<int> m_widths;
    std::vector<std::vector<std::string>> m_rows;
};
