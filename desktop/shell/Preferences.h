// The settings of the Preferences window, read and written as one record.
//
//   copyFilesWhen       "CopyFilesWhen"      0 Prompt, 1 When file is newer, 2 Always, 3 Never
//   autoInstallCabs     "AutoInstallCABs"    0 Just copy it, 1 Copy & install it
//   showFilesizeAs      "ShowFilesizeAs"     0 "1234567", 1 "1,234,567" (default), 2 "1.2 Mb"
//   guestOnly           ActiveSync's own "GuestOnly" (HKEY_LOCAL_MACHINE
//                       "Software\Microsoft\Windows CE Services"), set when 1
//   checkForUpdates     "CheckForUpdates"    default 1
//   tellMeAboutUpdates  "TellMeAboutUpdates" default 1
//   showTips            "HideTips" under the "\Tooltips" key is 0 (default)
//   font                "Font" and "FontDescription" (ExplorerFont.h)
//
// A stored choice outside its list counts as missing: the default is used.
//
// Threads: safe from any thread, except the font (window thread).
#pragma once

#include <QFont>
#include <QStringList>

#include <optional>

namespace shell {

struct Preferences {
    quint32 copyFilesWhen = 0;
    quint32 autoInstallCabs = 0;
    quint32 showFilesizeAs = 1;
    bool guestOnly = false;
    bool checkForUpdates = true;
    bool tellMeAboutUpdates = true;
    bool showTips = true;
    // None: nothing stored (LoadPreferences) or not changed (SavePreferences).
    std::optional<QFont> font;
};

// The items of the three lists, in the order of their stored numbers.
QStringList CopyFilesWhenItems();
QStringList AutoInstallCabsItems();
QStringList ShowFilesizeAsItems();

Preferences LoadPreferences();
// Writes every setting of the record; the font only when it holds one.
// True when all were stored.
bool SavePreferences(const Preferences& preferences);

// Whether the tips window may show tips.
bool TipsSwitchedOn();

} // namespace shell
