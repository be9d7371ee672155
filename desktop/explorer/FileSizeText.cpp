#include "desktop/explorer/FileSizeText.h"

#include "desktop/settings/SettingsStore.h"

#include <algorithm>

namespace explorer {

int ShowFilesizeAs()
{
    quint32 value = kSizeGrouped;
    if (!settings::ReadDword(QStringLiteral("ShowFilesizeAs"), &value))
        return kSizeGrouped;
    return int(value);
}

QString FormatFileSize(quint32 size, int showAs)
{
    switch (showAs) {
    case kSizeGrouped:
        if (size < 1000)
            return QString::number(size);
        if (size < 1000000)
            return QStringLiteral("%1,%2").arg(size / 1000).arg(size % 1000, 3, 10, QLatin1Char('0'));
        return QStringLiteral("%1,%2,%3")
            .arg(size / 1000000)
            .arg((size % 1000000) / 1000, 3, 10, QLatin1Char('0'))
            .arg(size % 1000, 3, 10, QLatin1Char('0'));
    case kSizeUnits:
        if (size < 1024)
            return QStringLiteral("%1 bytes").arg(size);
        if (size < 1048576)
            return QStringLiteral("%1 Kb").arg(double(size) * (1.0 / 1024), 0, 'f', 2);
        return QStringLiteral("%1 Mb").arg(double(size) / 1048576, 0, 'f', 2);
    default:
        return QString::number(size);
    }
}

QString FormatFileSize(quint32 size)
{
    return FormatFileSize(size, ShowFilesizeAs());
}

QString FilesTotalText(int fileCount, quint32 totalSize)
{
    QString text = fileCount == 1 ? QStringLiteral("%1 file  ").arg(fileCount)
                                  : QStringLiteral("%1 files.  ").arg(fileCount);
    if (totalSize < 1024)
        return text + QStringLiteral("%1 bytes").arg(totalSize);
    if (totalSize < 1048576)
        return text + QStringLiteral("%1 Kb").arg(totalSize >> 10);
    // The tenths divide by 104448, a little less than a tenth of a
    // megabyte, so that 1.5 Mb reads 1.5; the last 4 Kb below the next
    // megabyte would then give a tenth of 10, which stays 9.
    const quint32 tenths = std::min<quint32>((totalSize & 0xFFFFF) / 104448, 9);
    return text + QStringLiteral("%1.%2 Mb").arg(totalSize >> 20).arg(tenths);
}

} // namespace explorer
