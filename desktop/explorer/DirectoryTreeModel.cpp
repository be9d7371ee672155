#include "desktop/explorer/DirectoryTreeModel.h"

#include <QApplication>
#include <QStyle>

namespace explorer {
namespace {

QIcon FolderIcon(bool volume)
{
    if (volume)
        return QIcon::fromTheme(QStringLiteral("media-flash"),
            QIcon::fromTheme(QStringLiteral("drive-removable-media"),
                QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon)));
    return QIcon::fromTheme(
        QStringLiteral("folder"), QApplication::style()->standardIcon(QStyle::SP_DirIcon));
}

} // namespace

DirectoryTreeModel::DirectoryTreeModel(QObject* parent)
    : QStandardItemModel(parent)
{
}

QStandardItem* DirectoryTreeModel::MakeItem(const TreeNode& node) const
{
    auto* item = new QStandardItem(FolderIcon(node.volume), node.name);
    item->setData(node.volume, kVolumeRole);
    item->setData(node.placeholder, kPlaceholderRole);
    for (const TreeNode& child : node.children)
        item->appendRow(MakeItem(child));
    return item;
}

void DirectoryTreeModel::SetTree(const TreeNode& root)
{
    clear();
    auto* item = new QStandardItem(QIcon::fromTheme(QStringLiteral("phone"),
                                       QApplication::style()->standardIcon(QStyle::SP_ComputerIcon)),
        kRootItemText);
    for (const TreeNode& child : root.children)
        item->appendRow(MakeItem(child));
    appendRow(item);
}

void DirectoryTreeModel::SetChildren(QStandardItem* item, const TreeNode& node)
{
    if (item->rowCount() > 0)
        item->removeRows(0, item->rowCount());
    QList<QStandardItem*> children;
    for (const TreeNode& child : node.children)
        children.append(MakeItem(child));
    for (QStandardItem* child : children)
        item->appendRow(child);
}

QStandardItem* DirectoryTreeModel::rootItem() const
{
    return invisibleRootItem()->rowCount() > 0 ? invisibleRootItem()->child(0) : nullptr;
}

QString DirectoryTreeModel::PathOf(const QStandardItem* item)
{
    QStringList parts;
    for (; item && item->parent(); item = item->parent())
        parts.prepend(item->text());
    return QStringLiteral("\\") + parts.join(QLatin1Char('\\'));
}

QStandardItem* DirectoryTreeModel::ChildNamed(const QStandardItem* parent, const QString& name)
{
    if (!parent)
        return nullptr;
    for (int row = 0; row < parent->rowCount(); ++row) {
        QStandardItem* child = parent->child(row);
        if (!child->data(kPlaceholderRole).toBool() && child->text().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    }
    return nullptr;
}

QStandardItem* DirectoryTreeModel::ItemOf(const QString& path, QString* matched) const
{
    QStandardItem* item = rootItem();
    QString reached = QStringLiteral("\\");
    const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QStandardItem* child = ChildNamed(item, part);
        if (!child)
            break;
        item = child;
        reached = PathOf(item);
    }
    if (matched)
        *matched = reached;
    return item;
}

QStringList DirectoryTreeModel::ChildNames(const QStandardItem* item)
{
    QStringList names;
    if (!item)
        return names;
    for (int row = 0; row < item->rowCount(); ++row)
        if (!item->child(row)->data(kPlaceholderRole).toBool())
            names.append(item->child(row)->text());
    return names;
}

int DirectoryTreeModel::SortedRow(const QStandardItem* parent, const QString& name)
{
    const QString upper = name.toUpper();
    int row = 0;
    while (row < parent->rowCount() && parent->child(row)->text().toUpper() <= upper)
        ++row;
    return row;
}

QStandardItem* DirectoryTreeModel::InsertFolder(QStandardItem* parent, const QString& name)
{
    TreeNode node;
    node.name = name;
    QStandardItem* item = MakeItem(node);
    parent->insertRow(SortedRow(parent, name), item);
    return item;
}

QStandardItem* DirectoryTreeModel::RenameFolder(QStandardItem* item, const QString& name)
{
    QStandardItem* parent = item->parent();
    if (!parent)
        return item;
    const QList<QStandardItem*> taken = parent->takeRow(item->row());
    item->setText(name);
    parent->insertRow(SortedRow(parent, name), taken);
    return item;
}

Qt::ItemFlags DirectoryTreeModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QStandardItemModel::flags(index);
    // The root item cannot be renamed.
    if (index.isValid() && !index.parent().isValid())
        flags &= ~Qt::ItemIsEditable;
    return flags;
}

bool DirectoryTreeModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role == Qt::EditRole) {
        emit renameRequested(index, value.toString());
        return false;
    }
    return QStandardItemModel::setData(index, value, role);
}

} // namespace explorer
