#include "framework/CListCtrl.h"

#include <algorithm>

#include "framework/win32/ListRows.h"
#include "link/Utf16.h"

namespace {

// Every column as wide as the program asked, but the last, which takes what the others leave of
// the list's width, so that no horizontal scroll bar appears while they fit. The list's width
// changes when its vertical scroll bar comes or goes.
void FitColumns(HWND list, const ListRows& rows) {
    RECT client{};
    GetClientRect(list, &client);
    int left = client.right;
    for (int column = 0; column < rows.Columns(); ++column) {
        const int width = column + 1 < rows.Columns() ? rows.Width(column) : std::max(left, 0);
        if (ListView_GetColumnWidth(list, column) != width) {
            ListView_SetColumnWidth(list, column, width);
        }
        left -= width;
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
        rows->InsertColumn(inserted, header.cx);
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
    return row;
}

bool CListCtrl::SetItemText(int row, int column, const char* text) {
    ListRows* rows = ListRows::Of(m_control);
    if (!rows || !rows->SetCell(row, column, text)) {
        return false;
    }
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
