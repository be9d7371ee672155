#include "desktop/explorer/DatabaseSearch.h"

#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/link/DeviceLink.h"

namespace explorer {
namespace {

bool Cancelled(const DatabaseSearchHooks& hooks)
{
    return hooks.cancelled && hooks.cancelled();
}

QString NameOf(const CE_FIND_DATA& entry)
{
    return QString::fromUtf16(entry.cFileName);
}

bool IsDatabaseName(const QString& name)
{
    return name.right(3).toLower() == QLatin1String("sdf");
}

FoundDatabase MakeFound(const CE_FIND_DATA& entry, const QString& directory)
{
    FoundDatabase row;
    row.name = NameOf(entry);
    row.directory = directory;
    row.size = entry.nFileSizeLow;
    const QDateTime time = DeviceFileTime(entry.ftLastWriteTime);
    row.writeTime = time.toMSecsSinceEpoch();
    row.dateText = time.toString(QStringLiteral("dd/MM/yy  HH:mm"));
    return row;
}

} // namespace

QString FoundDatabase::fullPath() const
{
    return JoinDevicePath(directory, name);
}

bool SearchDatabases(const QString& folder, bool skipWindows, const DatabaseSearchHooks& hooks)
{
    if (Cancelled(hooks))
        return false;
    if (skipWindows && folder.compare(kWindowsFolder, Qt::CaseInsensitive) == 0)
        return true;
    if (hooks.searching)
        hooks.searching(folder);
    QVector<CE_FIND_DATA> entries;
    if (!devlink::RapiCeFindAllFiles(SearchPattern(folder), kListingFields, &entries))
        return true;
    for (const CE_FIND_DATA& entry : entries) {
        if (Cancelled(hooks))
            return false;
        const QString name = NameOf(entry);
        // A folder is never a database, whatever its name ends in.
        if (entry.dwFileAttributes & kAttributeDirectory) {
            if (!SearchDatabases(JoinDevicePath(folder, name), skipWindows, hooks))
                return false;
        } else if (IsDatabaseName(name) && hooks.found) {
            hooks.found(MakeFound(entry, folder));
        }
    }
    return !Cancelled(hooks);
}

QString DatabaseSearchSummary(int found, bool cancelled)
{
    if (cancelled)
        return QStringLiteral("Search cancelled.");
    return found == 1 ? QStringLiteral("%1 SQLCE database found.").arg(found)
                      : QStringLiteral("%1 SQLCE databases found.").arg(found);
}

QString DatabaseSearchProgress(const QString& folder)
{
    return QStringLiteral("Searching %1...").arg(folder);
}

} // namespace explorer
