#include "cli/DeviceEntries.h"

#include "cli/CliContext.h"
#include "platform/rapi/Rapi.h"

#include <algorithm>

namespace cli {

bool FindDeviceEntries(const QString& pattern, QVector<DeviceEntry>* entries)
{
    entries->clear();
    DWORD count = 0;
    CE_FIND_DATA* found = nullptr;
    if (!CeFindAllFiles(W(pattern),
            FAF_NAME | FAF_ATTRIBUTES | FAF_SIZE_HIGH | FAF_SIZE_LOW | FAF_LASTWRITE_TIME, &count, &found))
        return false;
    for (DWORD i = 0; i < count; ++i) {
        const CE_FIND_DATA& e = found[i];
        entries->append({ QString::fromUtf16(e.cFileName), e.dwFileAttributes,
            (quint64(e.nFileSizeHigh) << 32) | e.nFileSizeLow, e.ftLastWriteTime });
    }
    CeRapiFreeBuffer(found);
    std::sort(entries->begin(), entries->end(), [](const DeviceEntry& a, const DeviceEntry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return true;
}

QString AttributeLetters(DWORD a)
{
    QString s;
    s += (a & FILE_ATTRIBUTE_DIRECTORY) ? QLatin1Char('d') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_READONLY) ? QLatin1Char('r') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_HIDDEN) ? QLatin1Char('h') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_SYSTEM) ? QLatin1Char('s') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_ARCHIVE) ? QLatin1Char('a') : QLatin1Char('-');
    return s;
}

} // namespace cli
