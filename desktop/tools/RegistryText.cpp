#include "desktop/tools/RegistryText.h"

#include "platform/registry/Hive.h"
#include "platform/registry/ValueText.h"

#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>

#include <cstring>
#include <vector>

namespace tools {
namespace {

bool IsText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

bool IsNumber(DWORD type)
{
    return type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN;
}

quint32 NumberOf(DWORD type, const QByteArray& data)
{
    quint32 value = 0;
    std::memcpy(&value, data.constData(), 4);
    if (type == REG_DWORD_BIG_ENDIAN)
        value = (value >> 24) | ((value >> 8) & 0xff00u) | ((value << 8) & 0xff0000u) | (value << 24);
    return value;
}

// The UTF-16 units of `data`; an odd last byte is dropped.
QString Units(const QByteArray& data)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
}

} // namespace

int ValueImage(DWORD type)
{
    switch (type) {
    case REG_SZ:
        return 3;
    case REG_EXPAND_SZ:
        return 7;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        return 4;
    case REG_MULTI_SZ:
        return 6;
    default:
        return 5;
    }
}

QIcon ValueIcon(int image)
{
    // Texts read "ab", numbers and bytes "01", as in the desktop's own editor.
    const bool text = image == 3 || image == 6 || image == 7;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
    painter.setBrush(image == 7 ? QColor(0xff, 0xf4, 0xd0)
            : image == 6        ? QColor(0xe0, 0xf0, 0xff)
                                : Qt::white);
    painter.drawRect(0, 1, 15, 13);
    QFont font = painter.font();
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(text ? QColor(0xb0, 0x20, 0x20) : QColor(0x20, 0x40, 0xb0));
    painter.drawText(
        QRect(0, 1, 16, 13), Qt::AlignCenter, text ? QStringLiteral("ab") : QStringLiteral("01"));
    painter.end();
    return QIcon(pixmap);
}

QString RegTypeText(DWORD type)
{
    return QString::fromStdString(reg::TypeName(type));
}

QString RegDataText(DWORD type, const QByteArray& data)
{
    if (IsText(type))
        return Units(data).section(QChar(u'\0'), 0, 0);
    if (IsNumber(type) && data.size() == 4)
        return QStringLiteral("0x%1").arg(NumberOf(type, data), 8, 16, QLatin1Char('0'));
    if (type == REG_MULTI_SZ) {
        // The strings separated by CRs; the list's closing terminators end it.
        QString text = Units(data);
        while (text.endsWith(QChar(u'\0')))
            text.chop(1);
        text.replace(QChar(u'\0'), QChar(u'\r'));
        return text;
    }
    return QString::fromLatin1(data.toHex());
}

QString EditText(DWORD type, const QByteArray& data, bool hexadecimal)
{
    if (IsNumber(type) && data.size() == 4) {
        const quint32 value = NumberOf(type, data);
        return hexadecimal ? QString::number(value, 16) : QString::number(value);
    }
    if (type == REG_MULTI_SZ) {
        QString text = Units(data);
        while (text.endsWith(QChar(u'\0')))
            text.chop(1);
        return text.split(QChar(u'\0')).join(QLatin1Char('\n'));
    }
    if (IsText(type))
        return RegDataText(type, data);
    return QString::fromLatin1(data.toHex(' '));
}

bool EditedData(DWORD type, const QString& text, bool hexadecimal, QByteArray* data, QString* why)
{
    QString argument = text;
    std::u16string_view separator;
    if (IsNumber(type)) {
        argument = argument.trimmed();
        if (hexadecimal && !argument.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            argument.prepend(QLatin1String("0x"));
        if (!hexadecimal && argument.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
            *why = QStringLiteral("\"%1\" is not a decimal number.").arg(text);
            return false;
        }
    } else if (type == REG_MULTI_SZ) {
        argument.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        separator = u"\n";
    } else if (!IsText(type)) {
        argument.remove(QRegularExpression(QStringLiteral("\\s")));
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    // Unknown types take bytes as binary does.
    const DWORD parseType = IsText(type) || IsNumber(type) || type == REG_MULTI_SZ ? type : REG_BINARY;
    if (!reg::DataFromArgument(parseType, argument.toStdU16String(), separator, &bytes, &error)) {
        *why = QString::fromStdString(error);
        return false;
    }
    *data = QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return true;
}

QString NewKeyName(const QStringList& existing)
{
    const auto taken
        = [&existing](const QString& name) { return existing.contains(name, Qt::CaseInsensitive); };
    const QString base = QStringLiteral("New key");
    if (!taken(base))
        return base;
    for (int number = 2; number <= 999; ++number) {
        const QString name = QStringLiteral("%1 %2").arg(base).arg(number);
        if (!taken(name))
            return name;
    }
    return QString();
}

} // namespace tools
