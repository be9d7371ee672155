#include "desktop/explorer/FileTypeLookup.h"

#include "desktop/explorer/FileTypes.h"

#include <QHash>

namespace explorer {

FileType LookUpFileType(const QString& extension)
{
    static QHash<QString, QIcon> icons;
    const FileTypeDetails details = FileTypeDetailsOf(extension);
    auto found = icons.constFind(details.extension);
    if (found == icons.constEnd()) {
        QIcon icon;
        for (const QString& name : { details.iconName, details.genericIconName }) {
            if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
                icon = QIcon::fromTheme(name);
                break;
            }
        }
        found = icons.insert(details.extension, icon);
    }
    return { details.description, *found };
}

} // namespace explorer
