#include "desktop/explorer/ClipboardFolder.h"

#include "desktop/link/DeviceLink.h"
#include "exchange/Home.h"

#include <QDir>
#include <QFileInfo>

namespace explorer {
namespace {

QString CacheFolder(const char* name)
{
    return QDir(QString::fromStdString(home::DesktopCacheDir().string())).filePath(QLatin1String(name));
}

bool Inside(const QString& path, const QString& dir)
{
    return path == dir || path.startsWith(dir + QLatin1Char('/'));
}

} // namespace

QString ClipboardDir()
{
    return CacheFolder("Clipboard");
}

QString DragDropDir()
{
    return CacheFolder("DragnDrop");
}

bool EmptyTempDir(const QString& dir)
{
    if (dir == ClipboardDir())
        devlink::TraceLine(
            QStringLiteral("EmptyClipboardDirectory():  Emptying our temporary Clipboard directory..\r\n"));
    QDir folder(dir);
    if (!folder.exists())
        return true;
    bool ok = true;
    const QFileInfoList entries
        = folder.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        // A link is removed itself; what it points to is left alone.
        if (entry.isDir() && !entry.isSymLink())
            ok = QDir(entry.filePath()).removeRecursively() && ok;
        else
            ok = QFile::remove(entry.filePath()) && ok;
    }
    return ok;
}

bool PrepareTempDir(const QString& dir)
{
    if (!QFileInfo(dir).isDir())
        return QDir().mkpath(dir);
    return EmptyTempDir(dir);
}

QString CopyPathText(const QString& path)
{
    if (Inside(path, ClipboardDir()))
        return QStringLiteral("Clipboard");
    if (Inside(path, DragDropDir()))
        return QStringLiteral("Drag'n'drop");
    return path;
}

} // namespace explorer
