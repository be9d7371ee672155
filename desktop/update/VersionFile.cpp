#include "desktop/update/VersionFile.h"

#include <QStringDecoder>

namespace update {
namespace {

// UTF-16 as the update's authoring tools save plain English text without a
// mark: every byte pair a non-zero byte followed by a zero byte.
bool LooksLikeUtf16(const QByteArray& bytes)
{
    if (bytes.isEmpty() || bytes.size() % 2 != 0)
        return false;
    for (qsizetype i = 0; i < bytes.size(); i += 2)
        if (bytes[i] == 0 || bytes[i + 1] != 0)
            return false;
    return true;
}

QString DecodeText(QByteArray bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE).decode(bytes.mid(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (LooksLikeUtf16(bytes))
        return QStringDecoder(QStringDecoder::Utf16LE).decode(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

bool ParseVersionText(const QString& text, ReleaseVersion* version)
{
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == text.size() - 1)
        return false;
    bool majorOk = false;
    bool minorOk = false;
    const int major = text.left(dot).toInt(&majorOk, 10);
    const int minor = text.mid(dot + 1).toInt(&minorOk, 10);
    // toInt accepts signs and surrounding blanks; a version has digits only.
    for (const QChar c : text)
        if (!c.isDigit() && c != QLatin1Char('.'))
            return false;
    if (!majorOk || !minorOk)
        return false;
    *version = { major, minor };
    return true;
}

VersionFile ParseVersionFile(const QByteArray& bytes)
{
    QString text = DecodeText(bytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    const QString firstLine = end < 0 ? text : text.left(end);

    VersionFile file;
    file.versionText = firstLine.mid(1).trimmed();
    file.featuresText = end < 0 ? QString() : text.mid(end + 1);
    file.valid = firstLine.size() > 1 && ParseVersionText(file.versionText, &file.version);
    return file;
}

bool IsNewerRelease(const ReleaseVersion& release, const ReleaseVersion& own)
{
    return release.major > own.major || (release.major == own.major && release.minor > own.minor);
}

ReleaseVersion ProgramVersion()
{
    ReleaseVersion own;
    ParseVersionText(QStringLiteral(QUORVANE_VERSION), &own);
    return own;
}

} // namespace update
