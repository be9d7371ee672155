#include "desktop/editor/EditorText.h"

#include "exchange/Text.h"

namespace editor {

DeviceText DecodeDeviceText(const QByteArray& bytes)
{
    DeviceText decoded;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    decoded.hasMark = size >= 2 && b[0] == 0xff && b[1] == 0xfe;
    const qsizetype start = decoded.hasMark ? 2 : 0;
    // An odd byte count cannot be UTF-16: its last byte would be lost.
    bool utf16 = size % 2 == 0;
    const qsizetype limit = qMin<qsizetype>(size - 2, 300);
    for (qsizetype i = start; utf16 && !decoded.hasMark && i < limit; i += 2)
        utf16 = b[i] != 0 && b[i + 1] == 0;
    QString text;
    if (utf16 || (decoded.hasMark && size % 2 == 0)) {
        text = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(bytes.constData() + start), (size - start) / 2);
    } else {
        decoded.hasMark = false;
        decoded.isAnsi = true;
        text = QString::fromLatin1(bytes);
    }
    decoded.crlf = text.contains(QLatin1String("\r\n"));
    if (decoded.crlf)
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    decoded.text = text;
    return decoded;
}

bool EncodeDeviceText(const QString& text, const DeviceText& like, QByteArray* bytes)
{
    bytes->clear();
    QString file = text;
    if (like.crlf)
        file.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    if (like.isAnsi) {
        for (QChar c : file)
            if (c.unicode() > 0xff)
                return false;
        *bytes = file.toLatin1();
        return true;
    }
    if (like.hasMark)
        bytes->append("\xff\xfe", 2);
    bytes->append(QByteArray::fromStdString(exchange::ToUtf16LeBytes(
        std::u16string_view(reinterpret_cast<const char16_t*>(file.utf16()), std::size_t(file.size())))));
    return true;
}

QString BackupName(const QString& path, const std::function<bool(const QString&)>& exists)
{
    for (int n = 2; n < 99; ++n) {
        const QString name = path + QString::asprintf("%02d", n);
        if (!exists(name))
            return name;
    }
    return path + QStringLiteral("99");
}

} // namespace editor
