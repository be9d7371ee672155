// The table tree of a database window in database mode, as a Qt item model:
// one root item (the database path) whose children are "<Blank table>" and
// one item per table; each table has one child per column, shown as
// "name  [type]" (two spaces), with a key flag for primary-key columns.
//
// Lives on the thread that owns it (the window thread); fill it there.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QAbstractItemModel>

#include <memory>
#include <vector>

namespace devlink {

inline const QString kBlankTableName = QStringLiteral("<Blank table>");

class SchemaTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum class ItemKind { Database = 0, BlankTable = 1, Table = 2, Column = 3 };
    enum Role {
        ItemKindRole = Qt::UserRole + 1, // int(ItemKind)
        PrimaryKeyRole, // bool: a primary-key column (the key image)
        TableNameRole, // the table an item belongs to (tables and columns)
        ColumnNameRole, // a column's name
        ColumnTypeRole, // a column's type-and-attributes text
    };

    explicit SchemaTreeModel(QObject* parent = nullptr);
    ~SchemaTreeModel() override;

    // Empties the tree.
    void Clear();
    // The root item alone (no schema could be read).
    void SetRootOnly(const QString& databasePath);
    // The root, "<Blank table>" and the tables with their columns.
    void SetSchema(const QString& databasePath, const QVector<TableSchema>& tables);

    QString DatabasePath() const;
    QVector<TableSchema> Tables() const;
    QModelIndex RootIndex() const;
    QModelIndex TableIndex(const QString& name) const;

    // Maintenance of the tree after a successful drop or rename.
    bool RemoveTable(const QString& name);
    bool RenameTable(const QString& oldName, const QString& newName);

    // "%s  [%s]" of a column.
    static QString ColumnLabel(const QString& name, const QString& type);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    struct Node;
    Node* NodeOf(const QModelIndex& index) const;
    int RowOf(const Node* node) const;

    std::unique_ptr<Node> m_root; // an invisible holder of the one root item
};

} // namespace devlink
