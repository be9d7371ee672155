// The database window's view of its table tree: the five pictures
// (database, blank table, table, column, key column) and in-place editing
// of a table's name. An edit changes nothing by itself: it is handed on as
// renameRequested, and the tree takes the new name only when the device
// has renamed the table.
//
// Threads: window thread only.
#pragma once

#include <QIdentityProxyModel>

namespace database {

class TableTreeProxy : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void renameRequested(const QString& oldName, const QString& newName);
};

} // namespace database
