#include "desktop/shell/Preferences.h"

#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/ExplorerFont.h"

namespace shell {
namespace {

const QString kActiveSyncKey = QStringLiteral("Software\\Microsoft\\Windows CE Services");
const QString kHideTips = QStringLiteral("HideTips");

// A stored choice of a list of `count` items; `fallback` when missing or
// outside the list.
quint32 ReadChoice(const QString& name, quint32 count, quint32 fallback)
{
    quint32 value = fallback;
    settings::ReadDword(name, &value);
    return value < count ? value : fallback;
}

bool ReadFlag(settings::Root root, const QString& key, const QString& name, bool fallback)
{
    quint32 value = fallback ? 1 : 0;
    settings::ReadDword(root, key, name, &value);
    return value == 1;
}

} // namespace

QStringList CopyFilesWhenItems()
{
    return { QStringLiteral("Prompt"), QStringLiteral("When file is newer"), QStringLiteral("Always"),
        QStringLiteral("Never") };
}

QStringList AutoInstallCabsItems()
{
    return { QStringLiteral("Just copy it"), QStringLiteral("Copy & install it") };
}

QStringList ShowFilesizeAsItems()
{
    return { QStringLiteral("1234567"), QStringLiteral("1,234,567"), QStringLiteral("1.2 Mb") };
}

bool TipsSwitchedOn()
{
    quint32 hidden = 0;
    settings::ReadDword(reg::HKEY_LOCAL_MACHINE, settings::TooltipsKey(), kHideTips, &hidden);
    return hidden == 0;
}

Preferences LoadPreferences()
{
    const auto machine = reg::HKEY_LOCAL_MACHINE;
    Preferences p;
    p.copyFilesWhen = ReadChoice(QStringLiteral("CopyFilesWhen"), 4, 0);
    p.autoInstallCabs = ReadChoice(QStringLiteral("AutoInstallCABs"), 2, 0);
    p.showFilesizeAs = ReadChoice(QStringLiteral("ShowFilesizeAs"), 3, 1);
    p.guestOnly = ReadFlag(machine, kActiveSyncKey, QStringLiteral("GuestOnly"), false);
    p.checkForUpdates = ReadFlag(machine, settings::BaseKey(), QStringLiteral("CheckForUpdates"), true);
    p.tellMeAboutUpdates = ReadFlag(machine, settings::BaseKey(), QStringLiteral("TellMeAboutUpdates"), true);
    p.showTips = TipsSwitchedOn();
    p.font = ReadExplorerFont();
    return p;
}

bool SavePreferences(const Preferences& p)
{
    const auto machine = reg::HKEY_LOCAL_MACHINE;
    bool ok = settings::WriteDword(QStringLiteral("CopyFilesWhen"), p.copyFilesWhen);
    ok = settings::WriteDword(QStringLiteral("ShowFilesizeAs"), p.showFilesizeAs) && ok;
    ok = settings::WriteDword(QStringLiteral("AutoInstallCABs"), p.autoInstallCabs) && ok;
    ok = settings::WriteDword(machine, kActiveSyncKey, QStringLiteral("GuestOnly"), p.guestOnly ? 1 : 0)
        && ok;
    ok = settings::WriteDword(QStringLiteral("CheckForUpdates"), p.checkForUpdates ? 1 : 0) && ok;
    ok = settings::WriteDword(QStringLiteral("TellMeAboutUpdates"), p.tellMeAboutUpdates ? 1 : 0) && ok;
    ok = settings::WriteDword(machine, settings::TooltipsKey(), kHideTips, p.showTips ? 0 : 1) && ok;
    if (p.font)
        ok = StoreExplorerFont(*p.font) && ok;
    return ok;
}

} // namespace shell
