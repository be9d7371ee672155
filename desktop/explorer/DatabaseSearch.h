// The search for databases on the device, without a window: walks a device
// folder tree for ".sdf" files and reports each as a row, with the summary
// texts the search window and quorvane-cli show.
//
// SearchDatabases uses the program's device connection: call it from the
// device session's worker or a command-line program's main thread. The
// rest are pure functions, safe from any thread.
#pragma once

#include <QString>
#include <QVector>

#include <functional>

namespace explorer {

inline const QString kWindowsFolder = QStringLiteral("\\Windows");

struct FoundDatabase {
    QString name;
    QString directory;
    quint32 size = 0; // low 32 bits of the device's size
    qint64 writeTime = 0; // last write time, ms since the epoch, as the device keeps it (UTC)
    QString dateText; // "%d/%m/%y  %H:%M"

    QString fullPath() const;
};

struct DatabaseSearchHooks {
    std::function<bool()> cancelled; // asked before each folder and each entry
    std::function<void(const QString& folder)> searching; // a folder is about to be listed
    std::function<void(const FoundDatabase&)> found; // one row, in the order found
};

// Searches `folder` and everything below it: each folder's entries in the
// device's order, a sub-folder searched where it comes, a file whose name
// ends in "sdf" (any case) reported as a row. With `skipWindows` the folder "\Windows"
// (any case) is left out. A folder that cannot be listed is skipped
// silently. False when the search was cancelled.
bool SearchDatabases(const QString& folder, bool skipWindows, const DatabaseSearchHooks& hooks);

// "Search cancelled.", "1 SQLCE database found." or "%d SQLCE databases found.".
QString DatabaseSearchSummary(int found, bool cancelled);
// "Searching %s...".
QString DatabaseSearchProgress(const QString& folder);

} // namespace explorer
