#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <vector>

// Rows of text cells for a report view; rows keep the order in which they were inserted.
class ListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Column headings and alignments, one per column.
    void InsertColumn(int column, const QString& heading, Qt::Alignment alignment);
    bool InsertRow(int row, const QString& firstCell);
    bool SetCell(int row, int column, const QString& text);
    QString Cell(int row, int column) const;
    void Clear();

private:
    QStringList m_headings;
    std::vector<Qt::Alignment> m_alignments;
    std::vector<QStringList> m_rows;
};
