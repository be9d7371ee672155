#include "cli/RegistryCommands.h"

#include "desktop/link/DeviceRegistryTree.h"
#include "desktop/link/NonInteractivePrompter.h"
#include "platform/rapi/Rapi.h"
#include "platform/registry/Hive.h"
#include "platform/registry/ValueText.h"

#include <algorithm>
#include <vector>

namespace cli {
namespace {

const QString kUsage = QStringLiteral(
    "reg takes query KEY [NAME | /v NAME | /ve] [/s], set KEY NAME TYPE DATA,\n"
    "add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f], delete KEY [NAME | /v NAME | /ve] [/f],\n"
    "export KEY FILE or import FILE");

// The words after the verb: plain words, and the switches reg.exe spells
// with a slash ("/v NAME", "/s"), in any case.
struct Words {
    QStringList plain;
    QMap<QString, QString> switches;

    bool Has(const char* name) const { return switches.contains(QLatin1String(name)); }
    QString Get(const char* name) const { return switches.value(QLatin1String(name)); }
};

// False when a switch repeats or lacks its value; unknown "/x" words stay plain.
bool SplitWords(const QStringList& words, const QStringList& flags, const QStringList& withValue, Words* out)
{
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString lower = words[i].toLower();
        const bool flag = flags.contains(lower), valued = withValue.contains(lower);
        if (!flag && !valued) {
            out->plain << words[i];
            continue;
        }
        if (out->switches.contains(lower) || (valued && i + 1 >= words.size()))
            return false;
        out->switches.insert(lower, valued ? words[++i] : QString());
    }
    return true;
}

using Value = devlink::DeviceRegValue;

QString Line(const Value& value)
{
    const std::vector<std::uint8_t> bytes(value.data.begin(), value.data.end());
    return QString::fromStdU16String(reg::QueryLine(value.name.toStdU16String(), value.type, bytes));
}

// A registry failure: the transport's when the connection broke, else the result code.
int RegFailure(CliContext& cx, const QString& what, LONG result)
{
    if (CeRapiGetError() != S_OK)
        return cx.DeviceFailure(what);
    return cx.Failure(what, DWORD(result));
}

class RegistryRun {
public:
    RegistryRun(CliContext& cx, const ParsedKey& key, const QString& keyText)
        : m_cx(cx)
        , m_key(key)
        , m_keyText(keyText)
    {
    }

    int Query(const Words& w);
    int Set(const QString& name, DWORD type, const QString& data);
    int CreateKey();
    int Delete(const Words& w, bool confirmed);

private:
    QString FullName(const QString& path) const
    {
        return path.isEmpty() ? m_key.rootName : m_key.rootName + QLatin1Char('\\') + path;
    }
    // Prints the key below the root at `path` with its values, and then its
    // sub-keys: as paths, or (`recursive`) each printed the same way.
    int PrintKey(const QString& path, bool recursive);
    int PrintValue(HKEY key, const QString& name);

    CliContext& m_cx;
    ParsedKey m_key;
    QString m_keyText;
};

int RegistryRun::PrintKey(const QString& path, bool recursive)
{
    HKEY key = 0;
    LONG result = CeRegOpenKeyEx(m_key.root, W(path), 0, 0, &key);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot open %1").arg(FullName(path)), result);
    QVector<Value> values;
    QStringList subKeys;
    result = devlink::ReadRegValues(key, &values);
    if (result == 0)
        result = devlink::ReadRegSubKeys(key, &subKeys);
    CeRegCloseKey(key);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot read %1").arg(FullName(path)), result);
    m_cx.out() << '\n' << FullName(path) << '\n';
    for (const Value& value : values)
        m_cx.out() << Line(value) << '\n';
    if (!recursive) {
        m_cx.out() << '\n';
        for (const QString& sub : subKeys)
            m_cx.out() << FullName(path) << '\\' << sub << '\n';
        return kOk;
    }
    for (const QString& sub : subKeys) {
        const int status = PrintKey(path.isEmpty() ? sub : path + QLatin1Char('\\') + sub, true);
        if (status != kOk)
            return status;
    }
    return kOk;
}

int RegistryRun::PrintValue(HKEY key, const QString& name)
{
    Value value;
    value.name = name;
    const LONG result = devlink::ReadSizedValue(
        [&](BYTE* data, DWORD* size) {
            return CeRegQueryValueEx(key, W(name), nullptr, &value.type, data, size);
        },
        &value.data);
    if (result != 0)
        return RegFailure(m_cx,
            QStringLiteral("cannot read %1 of %2")
                .arg(name.isEmpty() ? QStringLiteral("(Default)") : name, m_keyText),
            result);
    // The name as stored, not as typed.
    for (DWORD index = 0;; ++index) {
        Value stored;
        if (devlink::ReadRegValueAt(key, index, &stored) != 0)
            break;
        if (reg::NamesEqual(stored.name.toStdU16String(), name.toStdU16String())) {
            value.name = stored.name;
            break;
        }
    }
    m_cx.out() << '\n' << FullName(m_key.path) << '\n' << Line(value) << "\n\n";
    return kOk;
}

int RegistryRun::Query(const Words& w)
{
    const bool named = w.Has("/v") || w.Has("/ve") || w.plain.size() == 2;
    if (!named) {
        const int status = PrintKey(m_key.path, w.Has("/s"));
        if (status == kOk && w.Has("/s"))
            m_cx.out() << '\n';
        return status;
    }
    HKEY key = 0;
    const LONG result = CeRegOpenKeyEx(m_key.root, W(m_key.path), 0, 0, &key);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot open %1").arg(m_keyText), result);
    const QString name = w.Has("/v") ? w.Get("/v") : w.Has("/ve") ? QString() : w.plain[1];
    const int status = PrintValue(key, name == QLatin1String("(Default)") ? QString() : name);
    CeRegCloseKey(key);
    return status;
}

int RegistryRun::Set(const QString& name, DWORD type, const QString& text)
{
    QByteArray data;
    QString why;
    if (!EncodeValue(type, text, &data, &why))
        return m_cx.Usage(QStringLiteral("reg: ") + why);
    HKEY key = 0;
    LONG result = CeRegCreateKeyEx(m_key.root, W(m_key.path), 0, nullptr, 0, 0, nullptr, &key, nullptr);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot open %1").arg(m_keyText), result);
    const QString stored = name == QLatin1String("(Default)") ? QString() : name;
    result = CeRegSetValueEx(
        key, W(stored), 0, type, reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
    CeRegCloseKey(key);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot set %1 of %2").arg(name, m_keyText), result);
    return kOk;
}

int RegistryRun::CreateKey()
{
    HKEY key = 0;
    const LONG result = CeRegCreateKeyEx(m_key.root, W(m_key.path), 0, nullptr, 0, 0, nullptr, &key, nullptr);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot create %1").arg(m_keyText), result);
    CeRegCloseKey(key);
    return kOk;
}

int RegistryRun::Delete(const Words& w, bool confirmed)
{
    HKEY key = 0;
    LONG result = CeRegOpenKeyEx(m_key.root, W(m_key.path), 0, 0, &key);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot open %1").arg(m_keyText), result);
    if (w.Has("/v") || w.Has("/ve") || w.plain.size() == 2) {
        const QString name = w.Has("/v") ? w.Get("/v") : w.Has("/ve") ? QString() : w.plain[1];
        result = CeRegDeleteValue(key, W(name == QLatin1String("(Default)") ? QString() : name));
        CeRegCloseKey(key);
        if (result != 0)
            return RegFailure(m_cx, QStringLiteral("cannot delete %1 of %2").arg(name, m_keyText), result);
        return kOk;
    }
    DWORD subKeys = 0;
    result = CeRegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
        nullptr, nullptr, nullptr);
    CeRegCloseKey(key);
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot read %1").arg(m_keyText), result);
    if (m_key.path.isEmpty())
        return m_cx.Usage(QStringLiteral("a root key cannot be deleted"));
    // The registry editor's question; a whole subtree goes with the key.
    if (subKeys > 0) {
        devlink::NonInteractivePrompter prompter(confirmed
                ? devlink::NonInteractivePrompter::Mode::AnswerYes
                : devlink::NonInteractivePrompter::Mode::SafeAnswers);
        devlink::PromptRequest question;
        question.caption = QStringLiteral("Quorvane");
        question.text
            = QStringLiteral("This will delete the following registry key, and any subkeys.\r\n\r\n%1\r\n\r\n"
                             "Are you sure ?\r\n")
                  .arg(FullName(m_key.path));
        question.icon = devlink::PromptIcon::Question;
        question.buttons = devlink::PromptButtons::YesNoCancel;
        m_cx.out().flush();
        m_cx.err().flush();
        if (prompter.Ask(question) != devlink::PromptAnswer::Yes)
            return m_cx.Fail(
                QStringLiteral("reg delete: not confirmed; nothing was deleted (use --yes or /f)"));
    }
    result = CeRegDeleteKey(m_key.root, W(m_key.path));
    if (result != 0)
        return RegFailure(m_cx, QStringLiteral("cannot delete %1").arg(m_keyText), result);
    return kOk;
}

int ExportKey(CliContext& cx, const ParsedKey& key, const QString& fileName)
{
    QString why;
    if (!devlink::ExportDeviceRegKey(key.root, key.path, fileName, &why))
        return cx.Fail(why);
    return kOk;
}

// The whole file is checked before the device is touched, and a failure part
// way is undone: a script never leaves half a file applied.
int ImportFile(CliContext& cx, const QString& fileName)
{
    devlink::RegImportReport report;
    QString why;
    if (!devlink::ImportDeviceRegFile(fileName, &report, &why))
        return cx.Fail(why);
    return kOk;
}

int Registry(CliContext& cx, const ParsedCommand& p)
{
    const QString verb = p.arguments[0].toLower();
    const QStringList rest = p.arguments.mid(1);
    Words w;
    bool shapeOk = false;
    if (verb == QLatin1String("query"))
        shapeOk
            = SplitWords(rest, { QStringLiteral("/ve"), QStringLiteral("/s") }, { QStringLiteral("/v") }, &w)
            && (w.plain.size() == 1 || (w.plain.size() == 2 && !w.Has("/v") && !w.Has("/ve")))
            && !(w.Has("/v") && w.Has("/ve"));
    else if (verb == QLatin1String("set")) {
        // Positional only: DATA may look like a switch ("/s").
        w.plain = rest;
        shapeOk = rest.size() == 4;
    } else if (verb == QLatin1String("add"))
        shapeOk = SplitWords(rest, { QStringLiteral("/ve"), QStringLiteral("/f") },
                      { QStringLiteral("/v"), QStringLiteral("/t"), QStringLiteral("/d") }, &w)
            && w.plain.size() == 1 && !(w.Has("/v") && w.Has("/ve"));
    else if (verb == QLatin1String("delete"))
        shapeOk
            = SplitWords(rest, { QStringLiteral("/ve"), QStringLiteral("/f") }, { QStringLiteral("/v") }, &w)
            && (w.plain.size() == 1 || (w.plain.size() == 2 && !w.Has("/v") && !w.Has("/ve")))
            && !(w.Has("/v") && w.Has("/ve"));
    else if (verb == QLatin1String("export") || verb == QLatin1String("import")) {
        // Positional only: a file name may look like a switch.
        w.plain = rest;
        shapeOk = rest.size() == (verb == QLatin1String("export") ? 2 : 1);
    }
    if (!shapeOk)
        return cx.Usage(kUsage);
    if (verb == QLatin1String("import"))
        return ImportFile(cx, w.plain[0]);
    ParsedKey key;
    if (!ParseKey(w.plain[0], &key))
        return cx.Usage(QStringLiteral("\"%1\" does not start with HKLM, HKCU, HKCR or a full root name")
                            .arg(w.plain[0]));
    RegistryRun run(cx, key, w.plain[0]);
    if (verb == QLatin1String("query"))
        return run.Query(w);
    if (verb == QLatin1String("export"))
        return ExportKey(cx, key, w.plain[1]);
    if (verb == QLatin1String("delete"))
        return run.Delete(w, p.Has(QStringLiteral("yes")) || w.Has("/f"));
    const QString typeName = verb == QLatin1String("set") ? w.plain[2] : w.Get("/t");
    DWORD type = REG_SZ;
    if (!typeName.isEmpty() && !ParseValueType(typeName, &type))
        return cx.Usage(
            QStringLiteral("unknown value type \"%1\" (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, "
                           "REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ, REG_QWORD, REG_NONE; or sz, dword, ...)")
                .arg(typeName));
    if (verb == QLatin1String("set"))
        return run.Set(w.plain[1], type, w.plain[3]);
    if (!w.Has("/v") && !w.Has("/ve") && !w.Has("/t") && !w.Has("/d"))
        return run.CreateKey();
    return run.Set(w.Has("/ve") ? QStringLiteral("(Default)") : w.Get("/v"), type, w.Get("/d"));
}

} // namespace

bool ParseKey(const QString& text, ParsedKey* key)
{
    if (!devlink::SplitRegKeyPath(text, &key->root, &key->path))
        return false;
    key->rootName = devlink::RegRootName(key->root);
    return true;
}

bool ParseValueType(const QString& name, DWORD* type)
{
    std::uint32_t found = 0;
    const std::string text = name.toStdString();
    if (!reg::TypeFromName(text, &found) && !reg::TypeFromName("REG_" + text, &found))
        return false;
    *type = found;
    return true;
}

bool EncodeValue(DWORD type, const QString& text, QByteArray* data, QString* why)
{
    // Every type without a text or number form takes hex digit pairs.
    static const QVector<DWORD> kNotHex
        = { REG_SZ, REG_EXPAND_SZ, REG_NONE, REG_MULTI_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, reg::REG_QWORD };
    QString argument = text;
    if (!kNotHex.contains(type))
        argument.remove(QLatin1Char(' '));
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!reg::DataFromArgument(type, argument.toStdU16String(), u"", &bytes, &error)) {
        *why = QString::fromStdString(error);
        return false;
    }
    *data = QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    return true;
}

Command RegistryCommand()
{
    Command command;
    command.syntax.name = QStringLiteral("reg");
    command.syntax.arguments = QStringLiteral("query|set|add|delete|export KEY ... | import FILE");
    command.syntax.summary
        = QStringLiteral("show, set, delete, export or import device registry keys and values (as reg.exe)");
    command.syntax.description
        = QStringLiteral("  reg query  KEY [NAME | /v NAME | /ve] [/s]\n"
                         "  reg set    KEY NAME TYPE DATA\n"
                         "  reg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
                         "  reg delete KEY [NAME | /v NAME | /ve] [/f]\n"
                         "  reg export KEY FILE\n"
                         "  reg import FILE\n"
                         "\n"
                         "KEY starts with HKLM, HKCU, HKCR or a full root name. TYPE is a name as query\n"
                         "prints it (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,\n"
                         "REG_MULTI_SZ, REG_QWORD, REG_NONE) or its short form (sz, dword, ...); add\n"
                         "defaults to REG_SZ. DATA: a DWORD in decimal or 0x hex, binary data as hex\n"
                         "digit pairs, a multi-string as strings separated by \\0. query prints as cereg\n"
                         "does; /s lists every key below KEY, /v one value, /ve the unnamed value.\n"
                         "Deleting a key that has sub-keys asks first; the answer is No unless --yes or /f.\n"
                         "export writes KEY with its sub-keys as a .reg file, as cereg does; import\n"
                         "applies such a file all or nothing: a file with an error changes nothing and\n"
                         "says on which line.\n"
                         "A DATA that begins with \"-\" and a letter goes after \"--\".\n");
    command.syntax.options = { { QStringLiteral("yes"), QString(),
        QStringLiteral("Delete a key with its sub-keys without asking (as /f)."), QStringLiteral("y") } };
    command.syntax.minArguments = 2;
    command.syntax.maxArguments = -1;
    command.run = Registry;
    return command;
}

} // namespace cli
