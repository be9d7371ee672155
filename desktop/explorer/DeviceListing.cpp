#include "desktop/explorer/DeviceListing.h"

#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/FileTypes.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"

#include <algorithm>

namespace explorer {
namespace {

const QChar kSeparator = QLatin1Char('\\');

} // namespace

QString SearchPattern(const QString& path)
{
    if (path == QLatin1String("\\") || path.isEmpty())
        return QStringLiteral("\\*");
    if (path.endsWith(kSeparator))
        return path + QLatin1Char('*');
    return path + QStringLiteral("\\*");
}

QString JoinDevicePath(const QString& directory, const QString& name)
{
    if (directory.isEmpty() || directory.endsWith(kSeparator))
        return (directory.isEmpty() ? QStringLiteral("\\") : directory) + name;
    return directory + kSeparator + name;
}

QString ParentDevicePath(const QString& path)
{
    const qsizetype cut = path.lastIndexOf(kSeparator);
    if (cut <= 0)
        return QStringLiteral("\\");
    return path.left(cut);
}

QString LastComponent(const QString& path)
{
    return path.mid(path.lastIndexOf(kSeparator) + 1);
}

QString FileTypeText(const QString& name, const QString& fullPath)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1);
    if (extension == QLatin1String("sdf")) {
        switch (devlink::GetDatabaseEngineVersion(fullPath)) {
        case 2:
            return QStringLiteral("SQLCE v2.0 database");
        case 3:
            return QStringLiteral("SQL Server Mobile database");
        default:
            return QStringLiteral("SQLCE database");
        }
    }
    return FileTypeDetailsOf(extension).description;
}

FileRow MakeFileRow(const CE_FIND_DATA& found, const QString& directory)
{
    FileRow row;
    row.name = QString::fromUtf16(found.cFileName);
    row.upperName = row.name.toUpper();
    row.isDir = (found.dwFileAttributes & kAttributeDirectory) != 0;
    if (row.isDir) {
        row.typeText = QStringLiteral("File Folder");
        return row;
    }
    const QDateTime shown = ClampListYear(DeviceFileTime(found.ftLastWriteTime));
    row.writeTime = shown.toMSecsSinceEpoch();
    row.dateText = DeviceDateText(shown, DesktopDatePattern());
    row.size = found.nFileSizeLow;
    row.typeText = FileTypeText(row.name, JoinDevicePath(directory, row.name));
    return row;
}

bool ReadListing(const QString& pattern, const QString& directory, FileRows* files, FileRows* dirs)
{
    devlink::TraceLine(QStringLiteral("RAPI: Searching for files and folders in %1...\r\n").arg(directory));
    QVector<CE_FIND_DATA> found;
    if (!devlink::RapiCeFindAllFiles(pattern, kListingFields, &found))
        return false;
    FileRows newFiles, newDirs;
    for (const CE_FIND_DATA& record : std::as_const(found)) {
        FileRow row = MakeFileRow(record, directory);
        (row.isDir ? newDirs : newFiles).append(std::move(row));
    }
    const auto byUpperName = [](const FileRow& a, const FileRow& b) { return a.upperName < b.upperName; };
    std::stable_sort(newFiles.begin(), newFiles.end(), byUpperName);
    std::stable_sort(newDirs.begin(), newDirs.end(), byUpperName);
    *files = std::move(newFiles);
    *dirs = std::move(newDirs);
    return true;
}

bool ReadDirectory(const QString& path, FileRows* files, FileRows* dirs)
{
    const QString directory = path.isEmpty() ? QStringLiteral("\\") : path;
    return ReadListing(SearchPattern(directory), directory, files, dirs);
}

bool RowLess(const FileRow& a, const FileRow& b, int column)
{
    switch (column) {
    case kColumnSize:
    case kColumnFilesize:
        return a.size < b.size;
    case kColumnType:
        return a.typeText.toLower() < b.typeText.toLower();
    case kColumnDate:
        return a.writeTime < b.writeTime;
    default:
        return a.name.toLower() < b.name.toLower();
    }
}

void SortRows(FileRows* rows, int dirCount, int column, Qt::SortOrder order)
{
    dirCount = std::clamp(dirCount, 0, int(rows->size()));
    const auto less = [column, order](const FileRow& a, const FileRow& b) {
        return order == Qt::AscendingOrder ? RowLess(a, b, column) : RowLess(b, a, column);
    };
    // Folders first is decided before the direction: each kind is sorted
    // on its own.
    std::stable_sort(rows->begin(), rows->begin() + dirCount, less);
    std::stable_sort(rows->begin() + dirCount, rows->end(), less);
}

bool DefaultListLess(bool aIsDir, const QString& a, bool bIsDir, const QString& b)
{
    if (aIsDir != bIsDir)
        return aIsDir;
    return a.toLower() < b.toLower();
}

QStringList NamesOf(const FileRows& rows)
{
    QStringList names;
    for (const FileRow& row : rows)
        names.append(row.name);
    return names;
}

bool SameRows(const FileRows& a, const FileRows& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const FileRow& x = a[i];
        const FileRow& y = b[i];
        if (x.isDir != y.isDir || x.size != y.size || x.name != y.name || x.typeText != y.typeText
            || x.dateText != y.dateText)
            return false;
    }
    return true;
}

} // namespace explorer
