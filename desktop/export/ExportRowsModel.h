// A list of text rows under fixed column titles, for the export's table
// statuses ("Table name", "Status") and its log ("Time", "Description").
//
// Threads: the thread that owns it (the window thread).
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

namespace dbexport {

class ExportRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ExportRowsModel(const QStringList& titles, QObject* parent = nullptr);

    void AppendRow(const QStringList& cells);
    // Sets one cell; nothing for a row or column out of range.
    void SetCell(int row, int column, const QString& text);
    QString Cell(int row, int column) const;
    // The first row whose first cell is `key`, or -1.
    int RowOf(const QString& key) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_titles;
    QVector<QStringList> m_rows;
};

} // namespace dbexport
