// The file list of the explorer without its window: the folders and then
// the files of the current directory, five columns ("Filename", "Size",
// "Type", "Date" and the hidden "Filesize" that "Size" sorts by), the
// total line, and sorting with folders above files in both directions.
//
// SetListing keeps the model as it is when the listing did not change, so
// that a refresh of an unchanged directory loses neither the selection nor
// the scroll position.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/DeviceListing.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QIcon>

namespace explorer {

class FileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit FileListModel(QObject* parent = nullptr);

    // Shows `dirs` then `files`, sorted by the current column and direction.
    // False when nothing changed (the model was left alone).
    bool SetListing(const FileRows& files, const FileRows& dirs);
    // Removes the rows of these names (entries deleted on the device).
    void RemoveNames(const QStringList& names);
    // Adds one folder row (a folder just created).
    void AddFolder(const QString& name);
    // Renames one row.
    void RenameRow(int row, const QString& name);

    const FileRow& rowAt(int row) const { return m_rows[row]; }
    int dirCount() const { return m_dirCount; }
    // The row of `name`, or -1.
    int RowOf(const QString& name) const;
    // "1 file  10 bytes", "%d files.  1.5 Mb".
    QString totalText() const;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    // The size form shown ("ShowFilesizeAs"); read again on Refresh.
    void SetSizeForm(int showAs);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An in-place rename: asks the owner (renameRequested) and always
    // refuses the edit itself; the owner sets the name once the device
    // agreed.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    void renameRequested(int row, const QString& newName);

private:
    QIcon IconOf(const FileRow& row) const;

    FileRows m_rows; // folders first
    int m_dirCount = 0;
    int m_fileCount = 0;
    quint32 m_totalSize = 0;
    int m_sortColumn = kColumnName;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_sizeForm = 1;
    mutable QHash<QString, QIcon> m_icons;
};

} // namespace explorer
