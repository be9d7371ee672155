#include "desktop/link/SchemaTreeModel.h"

namespace devlink {

struct SchemaTreeModel::Node {
    ItemKind kind = ItemKind::Database;
    QString label;
    QString tableName;
    ColumnSchema column;
    Node* parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;

    Node* Add(ItemKind childKind, const QString& childLabel)
    {
        auto child = std::make_unique<Node>();
        child->kind = childKind;
        child->label = childLabel;
        child->parent = this;
        children.push_back(std::move(child));
        return children.back().get();
    }
};

SchemaTreeModel::SchemaTreeModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_root(std::make_unique<Node>())
{
}

SchemaTreeModel::~SchemaTreeModel() = default;

QString SchemaTreeModel::ColumnLabel(const QString& name, const QString& type)
{
    return name + QStringLiteral("  [") + type + QLatin1Char(']');
}

void SchemaTreeModel::Clear()
{
    beginResetModel();
    m_root = std::make_unique<Node>();
    endResetModel();
}

void SchemaTreeModel::SetRootOnly(const QString& databasePath)
{
    beginResetModel();
    m_root = std::make_unique<Node>();
    m_root->Add(ItemKind::Database, databasePath);
    endResetModel();
}

void SchemaTreeModel::SetSchema(const QString& databasePath, const QVector<TableSchema>& tables)
{
    beginResetModel();
    m_root = std::make_unique<Node>();
    Node* database = m_root->Add(ItemKind::Database, databasePath);
    database->Add(ItemKind::BlankTable, kBlankTableName);
    for (const TableSchema& table : tables) {
        Node* tableNode = database->Add(ItemKind::Table, table.name);
        tableNode->tableName = table.name;
        for (const ColumnSchema& column : table.columns) {
            Node* columnNode = tableNode->Add(ItemKind::Column, ColumnLabel(column.name, column.typeText));
            columnNode->tableName = table.name;
            columnNode->column = column;
        }
    }
    endResetModel();
}

QString SchemaTreeModel::DatabasePath() const
{
    return m_root->children.empty() ? QString() : m_root->children.front()->label;
}

QVector<TableSchema> SchemaTreeModel::Tables() const
{
    QVector<TableSchema> tables;
    if (m_root->children.empty())
        return tables;
    for (const auto& node : m_root->children.front()->children) {
        if (node->kind != ItemKind::Table)
            continue;
        TableSchema table;
        table.name = node->tableName;
        for (const auto& column : node->children)
            table.columns.append(column->column);
        tables.append(table);
    }
    return tables;
}

QModelIndex SchemaTreeModel::RootIndex() const
{
    return m_root->children.empty() ? QModelIndex() : createIndex(0, 0, m_root->children.front().get());
}

QModelIndex SchemaTreeModel::TableIndex(const QString& name) const
{
    if (m_root->children.empty())
        return {};
    const Node* database = m_root->children.front().get();
    for (std::size_t i = 0; i < database->children.size(); ++i) {
        Node* node = database->children[i].get();
        if (node->kind == ItemKind::Table && node->tableName == name)
            return createIndex(int(i), 0, node);
    }
    return {};
}

bool SchemaTreeModel::RemoveTable(const QString& name)
{
    const QModelIndex table = TableIndex(name);
    if (!table.isValid())
        return false;
    Node* database = m_root->children.front().get();
    beginRemoveRows(RootIndex(), table.row(), table.row());
    database->children.erase(database->children.begin() + table.row());
    endRemoveRows();
    return true;
}

bool SchemaTreeModel::RenameTable(const QString& oldName, const QString& newName)
{
    const QModelIndex table = TableIndex(oldName);
    if (!table.isValid())
        return false;
    Node* node = NodeOf(table);
    node->label = newName;
    node->tableName = newName;
    for (auto& column : node->children)
        column->tableName = newName;
    emit dataChanged(table, table);
    if (!node->children.empty())
        emit dataChanged(index(0, 0, table), index(int(node->children.size()) - 1, 0, table));
    return true;
}

SchemaTreeModel::Node* SchemaTreeModel::NodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : m_root.get();
}

int SchemaTreeModel::RowOf(const Node* node) const
{
    const Node* parent = node->parent;
    for (std::size_t i = 0; parent && i < parent->children.size(); ++i)
        if (parent->children[i].get() == node)
            return int(i);
    return 0;
}

QModelIndex SchemaTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const Node* node = NodeOf(parent);
    if (std::size_t(row) >= node->children.size())
        return {};
    return createIndex(row, 0, node->children[std::size_t(row)].get());
}

QModelIndex SchemaTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    const Node* node = NodeOf(child);
    Node* parent = node->parent;
    if (!parent || parent == m_root.get())
        return {};
    return createIndex(RowOf(parent), 0, parent);
}

int SchemaTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(NodeOf(parent)->children.size());
}

int SchemaTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant SchemaTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const Node* node = NodeOf(index);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return node->label;
    case ItemKindRole:
        return int(node->kind);
    case PrimaryKeyRole:
        return node->kind == ItemKind::Column && node->column.isPrimaryKey;
    case TableNameRole:
        return node->tableName.isEmpty() ? QVariant() : QVariant(node->tableName);
    case ColumnNameRole:
        return node->kind == ItemKind::Column ? QVariant(node->column.name) : QVariant();
    case ColumnTypeRole:
        return node->kind == ItemKind::Column ? QVariant(node->column.typeText) : QVariant();
    default:
        return {};
    }
}

QHash<int, QByteArray> SchemaTreeModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractItemModel::roleNames();
    names.insert(ItemKindRole, "itemKind");
    names.insert(PrimaryKeyRole, "primaryKey");
    names.insert(TableNameRole, "tableName");
    names.insert(ColumnNameRole, "columnName");
    names.insert(ColumnTypeRole, "columnType");
    return names;
}

} // namespace devlink
