#include "framework/qt/ListModel.h"

#include <algorithm>

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_headings.size());
}

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return Cell(index.row(), index.column());
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(m_alignments[static_cast<size_t>(index.column())] | Qt::AlignVCenter);
    }
    return {};
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= m_headings.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_headings[section];
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(m_alignments[static_cast<size_t>(section)] | Qt::AlignVCenter);
    }
    return {};
}

void ListModel::InsertColumn(int column, const QString& heading, Qt::Alignment alignment) {
    column = std::clamp(column, 0, static_cast<int>(m_headings.size()));
    beginInsertColumns({}, column, column);
    m_headings.insert(column, heading);
    m_alignments.insert(m_alignments.begin() + column, alignment);
    for (QStringList& row : m_rows) {
        if (column <= row.size()) {
            row.insert(column, QString());
        }
    }
    endInsertColumns();
}

bool ListModel::InsertRow(int row, const QString& firstCell) {
    if (row < 0 || row > static_cast<int>(m_rows.size())) {
        return false;
    }
    beginInsertRows({}, row, row);
    QStringList cells;
    cells.reserve(m_headings.size());
    cells.append(firstCell);
    for (qsizetype column = 1; column < m_headings.size(); ++column) {
        cells.append(QString());
    }
    m_rows.insert(m_rows.begin() + row, std::move(cells));
    endInsertRows();
    return true;
}

bool ListModel::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()) || column < 0 ||
        column >= m_rows[static_cast<size_t>(row)].size()) {
        return false;
    }
    m_rows[static_cast<size_t>(row)][column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole});
    return true;
}

QString ListModel::Cell(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) {
        return {};
    }
    const QStringList& cells = m_rows[static_cast<size_t>(row)];
    return column >= 0 && column < cells.size() ? cells[column] : QString();
}

void ListModel::Clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
