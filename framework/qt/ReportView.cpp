#include "framework/qt/ReportView.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

ReportView::ReportView(QWidget* parent) : QTableView(parent) {
    setModel(&m_model);
    setShowGrid(false);
    setSortingEnabled(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab and Shift+Tab move the focus on to the dialog's next control, never from cell to cell;
    // the arrow and page keys move through the rows.
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    // The last column takes what the others leave, so no horizontal scroll bar appears while they fit.
    horizontalHeader()->setStretchLastSection(true);
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

bool ReportView::viewportEvent(QEvent* event) {
    // A cell too narrow for its text gives the text as its tip.
    if (event->type() != QEvent::ToolTip) {
        return QTableView::viewportEvent(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data().toString();
    const QRect cell = visualRect(index);
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    if (index.isValid() && fontMetrics().horizontalAdvance(text) + margins > cell.width()) {
        QToolTip::showText(help->globalPos(), text, viewport(), cell);
    } else {
        QToolTip::hideText();
    }
    return true;
}

QModelIndex ReportView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // Home and End go to the first and last row, as in a list, not to the ends of the current row;
    // also when no row is current yet.
    if (action == MoveHome || action == MoveEnd) {
        return m_model.index(action == MoveHome ? 0 : m_model.rowCount() - 1, 0);
    }
    return QTableView::moveCursor(action, modifiers);
}
