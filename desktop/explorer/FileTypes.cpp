#include "desktop/explorer/FileTypes.h"

#include "desktop/link/DeviceLink.h"

#include <QHash>
#include <QMimeDatabase>

#include <mutex>

namespace explorer {

FileTypeDetails FileTypeDetailsOf(const QString& extension)
{
    // A listing of thousands of files has few extensions: each is looked up once.
    static std::mutex mutex;
    static QHash<QString, FileTypeDetails> table;
    const QString key = extension.toLower();
    {
        const std::lock_guard lock(mutex);
        const auto found = table.constFind(key);
        if (found != table.constEnd())
            return *found;
    }
    FileTypeDetails details;
    details.extension = key;
    // "x." + extension asks by the name's ending only, never by content.
    const QList<QMimeType> types = key.isEmpty()
        ? QList<QMimeType>()
        : QMimeDatabase().mimeTypesForFileName(QStringLiteral("x.") + key);
    if (!types.isEmpty() && !types.first().comment().isEmpty()) {
        details.description = types.first().comment();
        details.iconName = types.first().iconName();
        details.genericIconName = types.first().genericIconName();
    } else {
        details.description = key.isEmpty() ? QStringLiteral("File") : key + QStringLiteral(" file");
    }
    const std::lock_guard lock(mutex);
    // Two threads may have looked the same extension up at once: the first
    // entry stays, and is traced once.
    const auto found = table.constFind(key);
    if (found != table.constEnd())
        return *found;
    table.insert(key, details);
    devlink::TraceLine(QStringLiteral("Added Extension details for ") + key);
    return details;
}

} // namespace explorer
