#pragma once

#include <QTableView>

#include "framework/qt/ListModel.h"

// A list in report view: rows of text under column headings, all rows of one height, no grid, no
// sorting, no editing. Its model is its own.
class ReportView : public QTableView {
    Q_OBJECT

public:
    explicit ReportView(QWidget* parent = nullptr);

    ListModel& Model() { return m_model; }
    // Scrolls so that the row is entirely visible. Rows share one height, so this costs the same at
    // the ten-thousandth row as at the first.
    void EnsureRowVisible(int row);

protected:
    bool viewportEvent(QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    ListModel m_model;
};
