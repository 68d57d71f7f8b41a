#include "framework/CListCtrl.h"

#include <QHeaderView>

#include "framework/qt/QtHandles.h"
#include "framework/qt/ReportView.h"

namespace {

ReportView* ViewOf(HWND control) { return static_cast<ReportView*>(ToWidget(control)); }

}  // namespace

void CListCtrl::Attach(HWND control) {
    m_control = qobject_cast<ReportView*>(ToWidget(control)) ? control : nullptr;
}

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width) {
    if (!m_control) {
        return -1;
    }
    const Qt::Alignment alignment = format == LVCFMT_LEFT ? Qt::AlignLeft : Qt::AlignRight;
    ViewOf(m_control)->Model().InsertColumn(column, QString::fromUtf8(heading), alignment);
    // Widths are given in pixels at 96 dpi, and grow with the screen's dots per inch as the fonts do.
    ViewOf(m_control)->horizontalHeader()->resizeSection(column,
                                                         width * ViewOf(m_control)->logicalDpiX() / 96);
    return column;
}

int CListCtrl::InsertItem(int row, const char* text) {
    if (!m_control || !ViewOf(m_control)->Model().InsertRow(row, QString::fromUtf8(text))) {
        return -1;
    }
    return row;
}

bool CListCtrl::SetItemText(int row, int column, const char* text) {
    return m_control && ViewOf(m_control)->Model().SetCell(row, column, QString::fromUtf8(text));
}

bool CListCtrl::EnsureVisible(int row) {
    if (!m_control || row < 0 || row >= GetItemCount()) {
        return false;
    }
    ViewOf(m_control)->EnsureRowVisible(row);
    return true;
}

bool CListCtrl::DeleteAllItems() {
    if (!m_control) {
        return false;
    }
    ViewOf(m_control)->Model().Clear();
    return true;
}

int CListCtrl::GetItemCount() const { return m_control ? ViewOf(m_control)->Model().rowCount() : 0; }

std::string CListCtrl::GetItemText(int row, int column) const {
    return m_control ? ViewOf(m_control)->Model().Cell(row, column).toStdString() : std::string();
}
