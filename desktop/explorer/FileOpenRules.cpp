#include "desktop/explorer/FileOpenRules.h"

#include "desktop/settings/PathText.h"
#include "desktop/settings/SettingsStore.h"

namespace explorer {
namespace {

const QString kExe = QStringLiteral(".exe");

QString ReadExtensionValue(const QString& name, bool* found)
{
    QString text;
    *found = settings::ReadString(reg::HKEY_LOCAL_MACHINE, settings::ExtensionsKey(), name, &text);
    return text;
}

} // namespace

QString FileExtension(const QString& name)
{
    return settings::ExtensionPart(name).toLower();
}

std::optional<OpenMethod> StoredOpenMethod(const QString& extension)
{
    bool found = false;
    const QString value = ReadExtensionValue(extension, &found);
    if (!found || value.isEmpty() || value[0] < u'0' || value[0] > u'3')
        return std::nullopt;
    return OpenMethod(value[0].unicode() - u'0');
}

void StoreOpenMethod(const QString& extension, OpenMethod method)
{
    settings::WriteString(settings::ExtensionsKey(), extension, QString::number(int(method)));
}

std::optional<QString> StoredApplication(const QString& extension)
{
    bool found = false;
    const QString value = ReadExtensionValue(extension + QStringLiteral("_app"), &found);
    if (!found)
        return std::nullopt;
    return value;
}

void StoreApplication(const QString& extension, const QString& application)
{
    settings::WriteString(settings::ExtensionsKey(), extension + QStringLiteral("_app"), application);
}

bool StoredSeparateProcess(const QString& extension)
{
    bool found = false;
    return ReadExtensionValue(extension + QStringLiteral("_process"), &found) == QLatin1String("1");
}

void StoreSeparateProcess(const QString& extension, bool separate)
{
    settings::WriteString(settings::ExtensionsKey(), extension + QStringLiteral("_process"),
        separate ? QStringLiteral("1") : QStringLiteral("0"));
}

QString ProgramFileOf(const QString& application)
{
    const QString text = application.toLower();
    const qsizetype exe = text.indexOf(kExe);
    return exe < 0 ? text : text.left(exe + kExe.size());
}

DeviceCommand DeviceCommandFor(const QString& application, const QString& devicePath)
{
    const QString text = application.toLower();
    if (!text.contains(QLatin1String("%1")))
        return { ProgramFileOf(text), QLatin1Char('"') + devicePath + QLatin1Char('"') };
    const QString command = QString(text).replace(QLatin1String("%1"), devicePath);
    qsizetype end = command.indexOf(kExe);
    if (end < 0)
        return { command, QString() };
    end += kExe.size();
    if (end < command.size() && command[end] == u'"')
        ++end;
    QString arguments = command.mid(end);
    qsizetype first = 0, last = arguments.size();
    const auto trimmed = [](QChar c) { return c == u' ' || c == u'\t' || c == u'"'; };
    while (first < last && trimmed(arguments[first]))
        ++first;
    while (last > first && trimmed(arguments[last - 1]))
        --last;
    // A program quoted as a whole starts with its quote, which is no part of its path.
    QString program = command.left(end);
    if (program.startsWith(u'"'))
        program.remove(0, 1);
    if (program.endsWith(u'"'))
        program.chop(1);
    return { program, arguments.mid(first, last - first) };
}

QStringList SeparateDatabaseArguments(const QString& devicePath)
{
    return { devicePath };
}

} // namespace explorer
