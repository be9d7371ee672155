#include "cli/RegistryCommands.h"

#include "platform/rapi/Rapi.h"

#include <cctype>
#include <vector>

namespace cli {
namespace {

QString TextOf(const QByteArray& data)
{
    QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
    int nul = s.indexOf(QChar(0));
    return nul >= 0 ? s.left(nul) : s;
}

QByteArray Utf16Bytes(const QString& s)
{
    QByteArray b(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    b.append('\0').append('\0');
    return b;
}

// A registry failure: the transport's when the connection broke, else the result code.
int RegFailure(CliContext& cx, const QString& what, LONG result)
{
    if (CeRapiGetError() != S_OK)
        return cx.DeviceFailure(what);
    return cx.Failure(what, DWORD(result));
}

int Query(CliContext& cx, const ParsedKey& key, const QString& keyText, const QStringList& args)
{
    HKEY h = 0;
    LONG r = CeRegOpenKeyEx(key.root, W(key.path), 0, 0, &h);
    if (r != 0)
        return RegFailure(cx, QStringLiteral("cannot open %1").arg(keyText), r);
    QString full = key.path.isEmpty() ? key.rootName : key.rootName + QLatin1Char('\\') + key.path;
    auto printValue = [&](const QString& name, DWORD type, const QByteArray& data) {
        cx.out() << "    " << (name.isEmpty() ? QStringLiteral("(Default)") : name) << "    "
                 << TypeName(type) << "    " << FormatValue(type, data) << Qt::endl;
    };
    int status = kOk;
    if (args.size() == 2) {
        QString name = args[1] == QLatin1String("(Default)") ? QString() : args[1];
        DWORD type = 0, size = 0;
        r = CeRegQueryValueEx(h, W(name), nullptr, &type, nullptr, &size);
        QByteArray data(int(size), '\0');
        if (r == 0 && size > 0)
            r = CeRegQueryValueEx(h, W(name), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if (r != 0) {
            status = RegFailure(cx, QStringLiteral("cannot read %1 of %2").arg(args[1], keyText), r);
        } else {
            cx.out() << full << Qt::endl;
            printValue(name, type, data);
        }
        CeRegCloseKey(h);
        return status;
    }
    cx.out() << full << Qt::endl;
    for (DWORD i = 0;; ++i) {
        WCHAR name[16384];
        DWORD nameLength = 16384, type = 0, size = 0;
        r = CeRegEnumValue(h, i, name, &nameLength, nullptr, &type, nullptr, &size);
        if (r != 0)
            break;
        QByteArray data(int(size), '\0');
        DWORD dataSize = size;
        nameLength = 16384;
        r = CeRegEnumValue(
            h, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (r != 0)
            break;
        printValue(QString::fromUtf16(name, nameLength), type, data.left(int(dataSize)));
    }
    if (r != LONG(ERROR_NO_MORE_ITEMS) && r != 0)
        status = RegFailure(cx, QStringLiteral("cannot read the values of %1").arg(keyText), r);
    for (DWORD i = 0; status == kOk; ++i) {
        WCHAR name[256];
        DWORD nameLength = 256;
        r = CeRegEnumKeyEx(h, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (r == LONG(ERROR_NO_MORE_ITEMS))
            break;
        if (r != 0) {
            status = RegFailure(cx, QStringLiteral("cannot read the sub-keys of %1").arg(keyText), r);
            break;
        }
        if (i == 0)
            cx.out() << Qt::endl;
        cx.out() << full << "\\" << QString::fromUtf16(name, nameLength) << Qt::endl;
    }
    CeRegCloseKey(h);
    return status;
}

int Set(CliContext& cx, const ParsedKey& key, const QString& keyText, const QStringList& args)
{
    DWORD type = 0;
    QByteArray data;
    QString why;
    if (!EncodeValue(args[2], args[3], &type, &data, &why))
        return cx.Usage(why);
    HKEY h = 0;
    LONG r = CeRegCreateKeyEx(key.root, W(key.path), 0, nullptr, 0, 0, nullptr, &h, nullptr);
    if (r != 0)
        return RegFailure(cx, QStringLiteral("cannot open %1").arg(keyText), r);
    QString name = args[1] == QLatin1String("(Default)") ? QString() : args[1];
    r = CeRegSetValueEx(
        h, W(name), 0, type, reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
    CeRegCloseKey(h);
    if (r != 0)
        return RegFailure(cx, QStringLiteral("cannot set %1 of %2").arg(args[1], keyText), r);
    return kOk;
}

int Delete(CliContext& cx, const ParsedKey& key, const QString& keyText, const QStringList& args)
{
    if (args.size() == 2) {
        HKEY h = 0;
        LONG r = CeRegOpenKeyEx(key.root, W(key.path), 0, 0, &h);
        if (r != 0)
            return RegFailure(cx, QStringLiteral("cannot open %1").arg(keyText), r);
        QString name = args[1] == QLatin1String("(Default)") ? QString() : args[1];
        r = CeRegDeleteValue(h, W(name));
        CeRegCloseKey(h);
        if (r != 0)
            return RegFailure(cx, QStringLiteral("cannot delete %1 of %2").arg(args[1], keyText), r);
        return kOk;
    }
    if (key.path.isEmpty())
        return cx.Usage(QStringLiteral("a root key cannot be deleted"));
    LONG r = CeRegDeleteKey(key.root, W(key.path));
    if (r != 0)
        return RegFailure(cx, QStringLiteral("cannot delete %1").arg(keyText), r);
    return kOk;
}

} // namespace

bool ParseKey(const QString& text, ParsedKey* key)
{
    static const struct {
        const char* shortName;
        const char* longName;
        HKEY root;
    } kRoots[] = {
        { "HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE },
        { "HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER },
        { "HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT },
    };
    QString t = text;
    while (t.startsWith(QLatin1Char('\\')))
        t.remove(0, 1);
    int slash = t.indexOf(QLatin1Char('\\'));
    QString first = slash < 0 ? t : t.left(slash);
    for (const auto& r : kRoots) {
        if (first.compare(QLatin1String(r.shortName), Qt::CaseInsensitive) == 0
            || first.compare(QLatin1String(r.longName), Qt::CaseInsensitive) == 0) {
            key->root = r.root;
            key->rootName = QLatin1String(r.longName);
            key->path = slash < 0 ? QString() : t.mid(slash + 1);
            while (key->path.endsWith(QLatin1Char('\\')))
                key->path.chop(1);
            return true;
        }
    }
    return false;
}

QString TypeName(DWORD type)
{
    switch (type) {
    case REG_NONE:
        return QStringLiteral("REG_NONE");
    case REG_SZ:
        return QStringLiteral("REG_SZ");
    case REG_EXPAND_SZ:
        return QStringLiteral("REG_EXPAND_SZ");
    case REG_BINARY:
        return QStringLiteral("REG_BINARY");
    case REG_DWORD:
        return QStringLiteral("REG_DWORD");
    case REG_DWORD_BIG_ENDIAN:
        return QStringLiteral("REG_DWORD_BIG_ENDIAN");
    case REG_MULTI_SZ:
        return QStringLiteral("REG_MULTI_SZ");
    default:
        return QStringLiteral("REG_0x%1").arg(type, 0, 16);
    }
}

QString FormatValue(DWORD type, const QByteArray& data)
{
    auto byte = [&](int i) { return quint32(quint8(data[i])); };
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return TextOf(data);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        if (data.size() == 4) {
            quint32 v = type == REG_DWORD ? byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24
                                          : byte(3) | byte(2) << 8 | byte(1) << 16 | byte(0) << 24;
            return QStringLiteral("0x%1 (%2)").arg(v, 8, 16, QLatin1Char('0')).arg(v);
        }
        break;
    case REG_MULTI_SZ: {
        QString all
            = QString::fromUtf16(reinterpret_cast<const char16_t*>(data.constData()), data.size() / 2);
        QStringList items = all.split(QChar(0));
        while (!items.isEmpty() && items.last().isEmpty())
            items.removeLast();
        return items.join(QStringLiteral("\\0"));
    }
    default:
        break;
    }
    QStringList hex;
    for (int i = 0; i < data.size(); ++i)
        hex << QStringLiteral("%1").arg(byte(i), 2, 16, QLatin1Char('0'));
    return hex.join(QLatin1Char(' '));
}

bool EncodeValue(const QString& typeText, const QString& text, DWORD* type, QByteArray* data, QString* why)
{
    QString t = typeText.toLower();
    if (t == QLatin1String("sz") || t == QLatin1String("expand_sz")) {
        *type = t == QLatin1String("sz") ? REG_SZ : REG_EXPAND_SZ;
        *data = Utf16Bytes(text);
        return true;
    }
    if (t == QLatin1String("dword")) {
        bool ok = false;
        qulonglong v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
            ? text.mid(2).toULongLong(&ok, 16)
            : text.toULongLong(&ok, 10);
        if (!ok || v > 0xFFFFFFFFull) {
            *why = QStringLiteral("\"%1\" is not a DWORD (0 to 4294967295, or 0x0 to 0xffffffff)").arg(text);
            return false;
        }
        *type = REG_DWORD;
        data->resize(4);
        for (int i = 0; i < 4; ++i)
            (*data)[i] = char(v >> (8 * i));
        return true;
    }
    if (t == QLatin1String("binary")) {
        QString digits = text;
        digits.remove(QLatin1Char(' '));
        QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
        bool valid = digits.size() % 2 == 0;
        for (QChar c : digits)
            valid = valid && c.unicode() < 128 && std::isxdigit(c.unicode());
        if (!valid) {
            *why = QStringLiteral("\"%1\" is not binary data (hex digit pairs)").arg(text);
            return false;
        }
        *type = REG_BINARY;
        *data = bytes;
        return true;
    }
    if (t == QLatin1String("multi_sz")) {
        *type = REG_MULTI_SZ;
        data->clear();
        for (const QString& item : text.split(QStringLiteral("\\0")))
            if (!item.isEmpty())
                data->append(Utf16Bytes(item));
        data->append('\0').append('\0');
        return true;
    }
    *why = QStringLiteral("unknown value type \"%1\" (sz, expand_sz, dword, binary, multi_sz)").arg(typeText);
    return false;
}

int Registry(CliContext& cx, const QStringList& args)
{
    if (args.isEmpty())
        return cx.Usage(QStringLiteral("reg takes query, set or delete"));
    QString verb = args[0];
    QStringList rest = args.mid(1);
    bool shapeOk = (verb == QLatin1String("query") && (rest.size() == 1 || rest.size() == 2))
        || (verb == QLatin1String("set") && rest.size() == 4)
        || (verb == QLatin1String("delete") && (rest.size() == 1 || rest.size() == 2));
    if (!shapeOk)
        return cx.Usage(QStringLiteral(
            "usage: reg query KEY [NAME] | reg set KEY NAME TYPE DATA | reg delete KEY [NAME]"));
    ParsedKey key;
    if (!ParseKey(rest[0], &key))
        return cx.Usage(
            QStringLiteral("\"%1\" does not start with HKLM, HKCU, HKCR or a full root name").arg(rest[0]));
    if (verb == QLatin1String("query"))
        return Query(cx, key, rest[0], rest);
    if (verb == QLatin1String("set"))
        return Set(cx, key, rest[0], rest);
    return Delete(cx, key, rest[0], rest);
}

} // namespace cli
