#include "framework/CListCtrl.h"

#include <QHeaderView>

#include "framework/ReportView.h"

void CListCtrl::Attach(QWidget* control) { m_view = qobject_cast<ReportView*>(control); }

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width) {
    if (!m_view) {
        return -1;
    }
    const Qt::Alignment alignment = format == LVCFMT_LEFT ? Qt::AlignLeft : Qt::AlignRight;
    m_view->Model().InsertColumn(column, QString::fromUtf8(heading), alignment);
    m_view->horizontalHeader()->resizeSection(column, width);
    return column;
}

int CListCtrl::InsertItem(int row, const char* text) {
    if (!m_view || !m_view->Model().InsertRow(row, QString::fromUtf8(text))) {
        return -1;
    }
    return row;
}

bool CListCtrl::SetItemText(int row, int column, const char* text) {
    return m_view && m_view->Model().SetCell(row, column, QString::fromUtf8(text));
}

bool CListCtrl::EnsureVisible(int row) {
    if (!m_view || row < 0 || row >= GetItemCount()) {
        return false;
    }
    m_view->EnsureRowVisible(row);
    return true;
}

bool CListCtrl::DeleteAllItems() {
    if (!m_view) {
        return false;
    }
    m_view->Model().Clear();
    return true;
}

int CListCtrl::GetItemCount() const { return m_view ? m_view->Model().rowCount() : 0; }

std::string CListCtrl::GetItemText(int row, int column) const {
    return m_view ? m_view->Model().Cell(row, column).toStdString() : std::string();
}
