// The explorer's folder tree without its window: the root item "Mobile
// Device" and the device's folders below it as far as they were read
// (DirectoryTree.h), with the path of every item, the lookup of an item by
// path, sorted insertion, and in-place renames handed to the owner.
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/DirectoryTree.h"

#include <QStandardItemModel>

namespace explorer {

class DirectoryTreeModel : public QStandardItemModel {
    Q_OBJECT
public:
    // Item data: the folder is a mounted storage card; the item is the
    // placeholder of folders not read.
    static constexpr int kVolumeRole = Qt::UserRole + 1;
    static constexpr int kPlaceholderRole = Qt::UserRole + 2;

    explicit DirectoryTreeModel(QObject* parent = nullptr);

    // Replaces everything with `root`.
    void SetTree(const TreeNode& root);
    // Replaces the children of `item` with those of `node`.
    void SetChildren(QStandardItem* item, const TreeNode& node);

    QStandardItem* rootItem() const;
    // The device path of an item: its texts joined by "\" below the root.
    static QString PathOf(const QStandardItem* item);
    // The child of `parent` with that text, or null.
    static QStandardItem* ChildNamed(const QStandardItem* parent, const QString& name);
    // The item of `path` as far as it can be followed; *matched (when set)
    // gets the path of the item returned.
    QStandardItem* ItemOf(const QString& path, QString* matched = nullptr) const;
    // The folder names below `item` (the placeholder left out).
    static QStringList ChildNames(const QStandardItem* item);

    // Inserts a folder child in its sorted place; returns it.
    QStandardItem* InsertFolder(QStandardItem* parent, const QString& name);
    // Renames `item` and moves it to its sorted place; returns it.
    QStandardItem* RenameFolder(QStandardItem* item, const QString& name);

    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An in-place rename: asks the owner (renameRequested) and refuses the
    // edit itself.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void renameRequested(const QModelIndex& index, const QString& newName);

private:
    QStandardItem* MakeItem(const TreeNode& node) const;
    static int SortedRow(const QStandardItem* parent, const QString& name);
};

} // namespace explorer
