#include "framework/CListCtrl.h"

#include <algorithm>
#include <vector>

#include "framework/win32/ListRows.h"
#include "link/Utf16.h"

namespace {

// Every column as wide as the program asked, but the last, which takes what the others leave of
// the list's width, so that no horizontal scroll bar appears while they fit. Where that is too
// narrow for the last column's widest text, the columns before it give up what their own texts do
// not need, the nearest first. The list's width changes when its vertical scroll bar comes or goes.
void FitColumns(HWND list, const ListRows& rows) {
    const int columns = rows.Columns();
    if (columns == 0) {
        return;
    }
    RECT client{};
    GetClientRect(list, &client);
    std::vector<int> widths(static_cast<size_t>(columns));
    int last = client.right;
    for (int column = 0; column + 1 < columns; ++column) {
        widths[static_cast<size_t>(column)] = rows.Width(column);
        last -= rows.Width(column);
    }
    for (int column = columns - 2; column >= 0 && last < rows.Needs(columns - 1); --column) {
        int& width = widths[static_cast<size_t>(column)];
        const int given = std::min(std::max(width - rows.Needs(column), 0), rows.Needs(columns - 1) - last);
        width -= given;
        last += given;
    }
    widths.back() = std::max(last, 0);
    for (int column = 0; column < columns; ++column) {
        if (ListView_GetColumnWidth(list, column) != widths[static_cast<size_t>(column)]) {
            ListView_SetColumnWidth(list, column, widths[static_cast<size_t>(column)]);
        }
    }
}

// Records what a cell's text needs, and fits the columns again when that is more than before.
void Measure(HWND list, ListRows& rows, int column, const char* text) {
    const std::wstring wide = Utf8ToWide(text ? text : "");
    if (rows.Need(column, ListView_GetStringWidth(list, wide.c_str()) + ListRows::kCellMargins)) {
        FitColumns(list, rows);
    }
}

// Widths are given in pixels at 96 dpi, and grow with the screen's pixels per inch as the fonts do.
int ScaledToScreen(HWND list, int width) {
    HDC dc = GetDC(list);
    const int pixelsPerInch = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) {
        ReleaseDC(list, dc);
    }
    return MulDiv(width, pixelsPerInch, 96);
}

}  // namespace

void CListCtrl::Attach(HWND control) { m_control = control; }

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width) {
    ListRows* rows = ListRows::Of(m_control);
    if (!rows) {
        return -1;
    }
    std::wstring text = Utf8ToWide(heading ? heading : "");
    LVCOLUMNW header{};
    header.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.fmt = format;
    header.cx = ScaledToScreen(m_control, width);
    header.pszText = text.data();
    header.iSubItem = column;
    const int inserted = ListView_InsertColumn(m_control, column, &header);
    if (inserted >= 0) {
        rows->InsertColumn(inserted, header.cx,
                           ListView_GetStringWidth(m_control, text.c_str()) + ListRows::kCellMargins);
        FitColumns(m_control, *rows);
    }
    return inserted;
}

int CListCtrl::InsertItem(int row, const char* text) {
    ListRows* rows = ListRows::Of(m_control);
    if (!rows || !rows->InsertRow(row, text)) {
        return -1;
    }
    // A row added at the end leaves the rows above it as they were drawn.
    const bool appended = row == rows->Count() - 1;
    ListView_SetItemCountEx(m_control, rows->Count(),
                            LVSICF_NOSCROLL | (appended ? LVSICF_NOINVALIDATEALL : 0));
    FitColumns(m_control, *rows);
    Measure(m_control, *rows, 0, text);
    return row;
}

bool CListCtrl::SetItemText(int row, int column, const char* text) {
    ListRows* rows = ListRows::Of(m_control);
    if (!rows || !rows->SetCell(row, column, text)) {
        return false;
    }
    Measure(m_control, *rows, column, text);
    ListView_RedrawItems(m_control, row, row);
    return true;
}

bool CListCtrl::EnsureVisible(int row) {
    if (row < 0 || row >= GetItemCount()) {
        return false;
    }
    return ListView_EnsureVisible(m_control, row, FALSE) != FALSE;
}

bool CListCtrl::DeleteAllItems() {
    ListRows* rows = ListRows::Of(m_control);
    if (!rows) {
        return false;
    }
    rows->Clear();
    const bool deleted = ListView_DeleteAllItems(m_control) != FALSE;
    FitColumns(m_control, *rows);
    return deleted;
}

int CListCtrl::GetItemCount() const {
    const ListRows* rows = ListRows::Of(m_control);
    return rows ? rows->Count() : 0;
}

std::string CListCtrl::GetItemText(int row, int column) const {
    const ListRows* rows = ListRows::Of(m_control);
    return rows ? rows->Cell(row, column) : std::string();
}
