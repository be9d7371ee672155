#include "desktop/database/TableTreeProxy.h"

#include "desktop/link/SchemaTreeModel.h"

#include <QApplication>
#include <QStyle>

namespace database {
namespace {

using devlink::SchemaTreeModel;

SchemaTreeModel::ItemKind KindOf(const QModelIndex& index)
{
    return SchemaTreeModel::ItemKind(index.data(SchemaTreeModel::ItemKindRole).toInt());
}

} // namespace

QVariant TableTreeProxy::data(const QModelIndex& index, int role) const
{
    if (role == Qt::EditRole && KindOf(index) == SchemaTreeModel::ItemKind::Table)
        return index.data(SchemaTreeModel::TableNameRole);
    if (role != Qt::DecorationRole)
        return QIdentityProxyModel::data(index, role);
    QStyle* style = QApplication::style();
    switch (KindOf(index)) {
    case SchemaTreeModel::ItemKind::Database:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case SchemaTreeModel::ItemKind::BlankTable:
        return style->standardIcon(QStyle::SP_FileIcon);
    case SchemaTreeModel::ItemKind::Table:
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    case SchemaTreeModel::ItemKind::Column:
        return style->standardIcon(index.data(SchemaTreeModel::PrimaryKeyRole).toBool()
                ? QStyle::SP_DialogApplyButton
                : QStyle::SP_ArrowRight);
    }
    return {};
}

Qt::ItemFlags TableTreeProxy::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QIdentityProxyModel::flags(index);
    if (index.isValid() && KindOf(index) == SchemaTreeModel::ItemKind::Table)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool TableTreeProxy::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || KindOf(index) != SchemaTreeModel::ItemKind::Table)
        return false;
    const QString oldName = index.data(SchemaTreeModel::TableNameRole).toString();
    const QString newName = value.toString();
    // An emptied label cancels. The name unchanged is still a request: the
    // device decides whether it counts as a rename.
    if (!newName.isEmpty())
        emit renameRequested(oldName, newName);
    return false;
}

} // namespace database
