#include "desktop/explorer/FileListModel.h"

#include "desktop/explorer/FileOpenRules.h"
#include "desktop/explorer/FileSizeText.h"
#include "desktop/explorer/FileTypeLookup.h"

#include <QApplication>
#include <QStyle>

namespace explorer {
namespace {

const char* const kHeadings[kColumnCount] = { "Filename", "Size", "Type", "Date", "Filesize" };

} // namespace

FileListModel::FileListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_sizeForm(ShowFilesizeAs())
{
}

bool FileListModel::SetListing(const FileRows& files, const FileRows& dirs)
{
    FileRows rows;
    rows.reserve(dirs.size() + files.size());
    rows += dirs;
    rows += files;
    SortRows(&rows, int(dirs.size()), m_sortColumn, m_sortOrder);
    if (SameRows(rows, m_rows))
        return false;
    beginResetModel();
    m_rows = std::move(rows);
    m_dirCount = int(dirs.size());
    m_fileCount = int(files.size());
    m_totalSize = 0;
    for (const FileRow& file : files)
        m_totalSize += file.size; // 32-bit, as the device's low sizes
    endResetModel();
    return true;
}

void FileListModel::RemoveNames(const QStringList& names)
{
    for (const QString& name : names) {
        const int row = RowOf(name);
        if (row < 0)
            continue;
        beginRemoveRows({}, row, row);
        if (m_rows[row].isDir) {
            --m_dirCount;
        } else {
            --m_fileCount;
            m_totalSize -= m_rows[row].size;
        }
        m_rows.removeAt(row);
        endRemoveRows();
    }
}

void FileListModel::AddFolder(const QString& name)
{
    FileRow row;
    row.isDir = true;
    row.name = name;
    row.upperName = name.toUpper();
    row.typeText = QStringLiteral("File Folder");
    beginInsertRows({}, m_dirCount, m_dirCount);
    m_rows.insert(m_dirCount, row);
    ++m_dirCount;
    endInsertRows();
}

void FileListModel::RenameRow(int row, const QString& name)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].name = name;
    m_rows[row].upperName = name.toUpper();
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

int FileListModel::RowOf(const QString& name) const
{
    for (int row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].name == name)
            return row;
    return -1;
}

QString FileListModel::totalText() const
{
    return FilesTotalText(m_fileCount, m_totalSize);
}

void FileListModel::SetSizeForm(int showAs)
{
    if (showAs == m_sizeForm)
        return;
    m_sizeForm = showAs;
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, kColumnSize), index(int(m_rows.size()) - 1, kColumnSize));
}

int FileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const FileRow& row = m_rows[index.row()];
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        // A folder shows its name only: an empty "Size" is how a folder row
        // is told apart.
        if (index.column() != kColumnName && row.isDir)
            return QString();
        switch (index.column()) {
        case kColumnName:
            return row.name;
        case kColumnSize:
            return FormatFileSize(row.size, m_sizeForm);
        case kColumnType:
            return row.typeText;
        case kColumnDate:
            return row.dateText;
        case kColumnFilesize:
            return QString::number(row.size);
        default:
            return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == kColumnName)
        return IconOf(row);
    if (role == Qt::TextAlignmentRole && index.column() == kColumnSize)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QIcon FileListModel::IconOf(const FileRow& row) const
{
    const QString key = row.isDir ? QStringLiteral("/") : FileExtension(row.name);
    const auto found = m_icons.constFind(key);
    if (found != m_icons.constEnd())
        return *found;
    const QIcon plainFile = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    QIcon icon;
    if (row.isDir) {
        icon = QIcon::fromTheme(
            QStringLiteral("folder"), QApplication::style()->standardIcon(QStyle::SP_DirIcon));
    } else if (key == QLatin1String("sdf")) {
        icon = QIcon::fromTheme(QStringLiteral("x-office-spreadsheet"), plainFile);
    } else {
        icon = LookUpFileType(key).icon;
        if (icon.isNull())
            icon = plainFile;
    }
    m_icons.insert(key, icon);
    return icon;
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(kHeadings[section]);
    if (role == Qt::TextAlignmentRole && section == kColumnSize)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags FileListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == kColumnName)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool FileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role == Qt::EditRole && index.isValid() && index.column() == kColumnName)
        emit renameRequested(index.row(), value.toString());
    return false;
}

void FileListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= kColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QStringList names;
    for (const QModelIndex& index : before)
        names.append(m_rows[index.row()].name);
    SortRows(&m_rows, m_dirCount, column, order);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(RowOf(names[i]), before[i].column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace explorer
