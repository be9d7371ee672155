#include "desktop/ui/LocalFolders.h"

#include "exchange/Home.h"

#include <QDir>

namespace ui {

QString LocalTempFolder()
{
    const QString folder
        = QDir(QString::fromStdString(home::DesktopCacheDir().string())).filePath(QStringLiteral("Temp"));
    return QDir().mkpath(folder) ? folder : QString();
}

} // namespace ui
