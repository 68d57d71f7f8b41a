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

    // A cell's text keeps about 6 pixels from each side of its column.
    static constexpr int kCellMargins = 12;

    // The column's width as the program asked for it, and the width its heading needs, in the
    // screen's pixels.
    void InsertColumn(int column, int width, int headingNeeds);
    int Columns() const { return m_columns; }
    int Width(int column) const { return m_layout[static_cast<size_t>(column)].width; }
    // The width that the column's widest text since the last Clear needs, its heading included.
    int Needs(int column) const { return m_layout[static_cast<size_t>(column)].needs; }
    // Records that a text of the column needs this width; true when that is more than any before.
    bool Need(int column, int width);
    bool InsertRow(int row, const char* firstCell);
    bool SetCell(int row, int column, const char* text);
    std::string Cell(int row, int column) const;
    int Count() const { return static_cast<int>(m_rows.size()); }
    void Clear();

    // Answers the control's LVN_GETDISPINFOW: the cell's text, as much as its buffer takes.
    void FillDisplayInfo(NMLVDISPINFOW& info) const;
    // Answers LVN_GETINFOTIPW: the row's cells that are wider than their columns, in full.
    void FillInfoTip(NMLVGETINFOTIPW& info) const;

private:
    struct ColumnLayout {
        int width;
        int headingNeeds;
        int needs;
    };

    int m_columns = 0;
    std::vector<ColumnLayout> m_layout;
    std::vector<std::vector<std::string>> m_rows;
};
