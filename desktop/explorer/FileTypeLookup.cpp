#include "desktop/explorer/FileTypeLookup.h"

#include "desktop/explorer/FileTypes.h"

namespace explorer {

FileType LookUpFileType(const QString& extension)
{
    // The list keeps the icon of each extension it has shown: no cache here.
    const FileTypeDetails details = FileTypeDetailsOf(extension);
    for (const QString& name : { details.iconName, details.genericIconName })
        if (!name.isEmpty() && QIcon::hasThemeIcon(name))
            return { details.description, QIcon::fromTheme(name) };
    return { details.description, QIcon() };
}

} // namespace explorer
