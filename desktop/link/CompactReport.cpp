#include "desktop/link/CompactReport.h"

namespace devlink {

bool CompactSucceeded(bool answerSucceeded, bool valueRead, quint32 compactSuccessful)
{
    return answerSucceeded && valueRead && compactSuccessful == 1;
}

QString CompactReport(quint32 sizeBefore, quint32 sizeAfter)
{
    if (sizeBefore == 0 || sizeAfter == 0)
        return QStringLiteral("Compact was successful.\r\n");
    const QString sizes = QStringLiteral("\r\n\r\nFilesize before:\t%1\r\nFilesize after:\t%2\r\n\r\n")
                              .arg(sizeBefore)
                              .arg(sizeAfter);
    if (sizeBefore == sizeAfter)
        return QStringLiteral("Compact was successful, but your database file is still the same size.")
            + sizes;
    return QStringLiteral("Compact was successful.") + sizes;
}

} // namespace devlink
