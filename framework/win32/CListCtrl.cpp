#include "framework/CListCtrl.h"

#include "framework/win32/ListRows.h"
#include "link/Utf16.h"

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
    header.cx = width;
    header.pszText = text.data();
    header.iSubItem = column;
    const int inserted = ListView_InsertColumn(m_control, column, &header);
    if (inserted >= 0) {
        rows->InsertColumn(inserted);
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
    return ListView_DeleteAllItems(m_control) != FALSE;
}

int CListCtrl::GetItemCount() const {
    const ListRows* rows = ListRows::Of(m_control);
    return rows ? rows->Count() : 0;
}

std::string CListCtrl::GetItemText(int row, int column) const {
    const ListRows* rows = ListRows::Of(m_control);
    return rows ? rows->Cell(row, column) : std::string();
}
