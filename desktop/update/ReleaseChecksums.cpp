#include "desktop/update/ReleaseChecksums.h"

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QRegularExpression>

namespace update {
namespace {

// Bigger than any list a release needs; a longer file is not one.
constexpr qint64 kMaxChecksumsBytes = 64 * 1024;

bool IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

} // namespace

QString MissingFileText(const QString& name)
{
    return QStringLiteral("\"%1\" is missing from the update.").arg(name);
}

QString MismatchText(const QString& name)
{
    return QStringLiteral("\"%1\" does not match its checksum: it was damaged on the way.").arg(name);
}

bool ParseChecksums(const QByteArray& text, Checksums* sums, QString* error)
{
    static const QRegularExpression line(QStringLiteral("^([0-9A-Fa-f]{64}) [ *](.+)$"));
    *sums = {};
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray bytes = lines[i];
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        if (bytes.trimmed().isEmpty())
            continue;
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(bytes));
        const QString name = match.hasMatch() ? match.captured(2) : QString();
        if (!IsPlainFileName(name) || sums->digests.contains(name)) {
            *error = QStringLiteral("Line %1 of %2 is not a checksum of one file.")
                         .arg(i + 1)
                         .arg(QLatin1String(kChecksumsFile));
            *sums = {};
            return false;
        }
        sums->names.append(name);
        sums->digests.insert(name, QByteArray::fromHex(match.captured(1).toLatin1()));
    }
    if (sums->names.isEmpty()) {
        *error = QStringLiteral("%1 names no files.").arg(QLatin1String(kChecksumsFile));
        return false;
    }
    return true;
}

QByteArray FormatChecksums(const Checksums& sums)
{
    QByteArray text;
    for (const QString& name : sums.names)
        text += sums.digests.value(name).toHex() + "  " + name.toUtf8() + '\n';
    return text;
}

QByteArray FileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

bool VerifyReleaseSet(const QString& folder, QStringList* names, QString* error)
{
    names->clear();
    QFile list(folder + QLatin1Char('/') + QLatin1String(kChecksumsFile));
    if (!list.open(QIODevice::ReadOnly) || list.size() > kMaxChecksumsBytes) {
        *error = QStringLiteral("%1 is missing from %2.").arg(QLatin1String(kChecksumsFile), folder);
        return false;
    }
    Checksums sums;
    if (!ParseChecksums(list.readAll(), &sums, error))
        return false;
    for (const QString& name : sums.names) {
        const QString path = folder + QLatin1Char('/') + name;
        if (!QFile::exists(path)) {
            *error = MissingFileText(name);
            return false;
        }
        if (FileDigest(path) != sums.digests.value(name)) {
            *error = MismatchText(name);
            return false;
        }
    }
    *names = sums.names;
    return true;
}

} // namespace update
