#include "framework/win32/ListRows.h"

#include <algorithm>

#include "link/Utf16.h"

namespace {

constexpr wchar_t kRowsProperty[] = L"vkx.ListRows";

}  // namespace

void ListRows::Tie(HWND list, ListRows* rows) { SetPropW(list, kRowsProperty, rows); }

ListRows* ListRows::Of(HWND list) {
    return list ? static_cast<ListRows*>(GetPropW(list, kRowsProperty)) : nullptr;
}

void ListRows::InsertColumn(int column, int width, int headingNeeds) {
    column = std::clamp(column, 0, m_columns);
    ++m_columns;
    m_layout.insert(m_layout.begin() + column, ColumnLayout{width, headingNeeds, headingNeeds});
    for (std::vector<std::string>& cells : m_rows) {
        if (static_cast<size_t>(column) <= cells.size()) {
            cells.insert(cells.begin() + column, std::string());
        }
    }
}

bool ListRows::Need(int column, int width) {
    if (column < 0 || column >= m_columns || width <= m_layout[static_cast<size_t>(column)].needs) {
        return false;
    }
    m_layout[static_cast<size_t>(column)].needs = width;
    return true;
}

void ListRows::Clear() {
    m_rows.clear();
    for (ColumnLayout& layout : m_layout) {
        layout.needs = layout.headingNeeds;
    }
}

bool ListRows::InsertRow(int row, const char* firstCell) {
    if (row < 0 || row > Count()) {
        return false;
    }
    std::vector<std::string> cells(static_cast<size_t>(std::max(m_columns, 1)));
    cells[0] = firstCell ? firstCell : "";
    m_rows.insert(m_rows.begin() + row, std::move(cells));
    return true;
}

bool ListRows::SetCell(int row, int column, const char* text) {
    if (row < 0 || row >= Count() || column < 0 ||
        static_cast<size_t>(column) >= m_rows[static_cast<size_t>(row)].size()) {
        return false;
    }
    m_rows[static_cast<size_t>(row)][static_cast<size_t>(column)] = text ? text : "";
    return true;
}

std::string ListRows::Cell(int row, int column) const {
    if (row < 0 || row >= Count()) {
        return {};
    }
    const std::vector<std::string>& cells = m_rows[static_cast<size_t>(row)];
    return column >= 0 && static_cast<size_t>(column) < cells.size() ? cells[static_cast<size_t>(column)]
                                                                     : std::string();
}

void ListRows::FillDisplayInfo(NMLVDISPINFOW& info) const {
    if ((info.item.mask & LVIF_TEXT) == 0 || !info.item.pszText || info.item.cchTextMax <= 0) {
        return;
    }
    const std::wstring text = Utf8ToWide(Cell(info.item.iItem, info.item.iSubItem));
    lstrcpynW(info.item.pszText, text.c_str(), info.item.cchTextMax);
}

void ListRows::FillInfoTip(NMLVGETINFOTIPW& info) const {
    if (!info.pszText || info.cchTextMax <= 0) {
        return;
    }
    std::wstring tip;
    for (int column = 0; column < m_columns; ++column) {
        const std::wstring text = Utf8ToWide(Cell(info.iItem, column));
        if (ListView_GetStringWidth(info.hdr.hwndFrom, text.c_str()) + kCellMargins >
            ListView_GetColumnWidth(info.hdr.hwndFrom, column)) {
            tip += (tip.empty() ? L"" : L"  ") + text;
        }
    }
    lstrcpynW(info.pszText, tip.c_str(), info.cchTextMax);
}
