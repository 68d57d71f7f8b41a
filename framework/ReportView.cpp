#include "framework/ReportView.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

ReportView::ReportView(QWidget* parent) : QTableView(parent) {
    setModel(&m_model);
    setShowGrid(false);
    setSortingEnabled(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void ReportView::EnsureRowVisible(int row) {
    if (row < 0 || row >= m_model.rowCount()) {
        return;
    }
    // The scroll range is computed here rather than through the view's own geometry update, whose
    // cost grows with the number of rows.
    const int rowHeight = verticalHeader()->defaultSectionSize();
    const int viewportHeight = viewport()->height();
    const int maximum = std::max(0, m_model.rowCount() * rowHeight - viewportHeight);
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, maximum);
    bar->setPageStep(viewportHeight);
    bar->setSingleStep(rowHeight);
    const int top = row * rowHeight;
    if (top < bar->value()) {
        bar->setValue(top);
    } else if (top + rowHeight > bar->value() + viewportHeight) {
        bar->setValue(std::min(maximum, top + rowHeight - viewportHeight));
    }
}
