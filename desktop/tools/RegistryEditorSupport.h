// What the registry editor's reading and its commands share on the device
// side: opening a key with one reconnect, the device's error text, reading a
// key's branch and values, and the tree's key items.
//
// Threads: the Read/Open functions run on the device session's worker; the
// item functions on the window thread.
#pragma once

#include "desktop/link/DeviceRegistryTree.h"

#include <QStandardItem>
#include <QString>
#include <QStringList>
#include <QVector>

#include <string>

namespace tools::regedit {

inline const QString kPlaceholder = QStringLiteral("HIDDEN_TEXT");
inline const QString kDefaultRow = QStringLiteral("(Default)");

QString Join(const QString& path, const QString& name);
std::u16string U(const QString& text);

// Opens a device key for the editor. A failure while the device no longer
// answers at all is a lost connection: one reconnect, then the open again.
// *lost tells that the reconnect failed.
LONG OpenEditorKey(HKEY root, const QString& path, HKEY* key, bool* lost);

// The device's text for a registry result; the transport's when it broke.
QString ErrorText(LONG result);

// The sub-keys of an open key, each with whether it has sub-keys itself
// (so that the tree can offer to expand it).
LONG ReadBranch(HKEY root, const QString& path, HKEY key, QStringList* names, QVector<bool>* hasSubKeys);

// A tree item for a key; one that has sub-keys gets the placeholder child.
QStandardItem* MakeKeyItem(const QString& name, HKEY root, bool hasSubKeys);

// What one read of a key brought back.
struct KeyRead {
    LONG result = 0;
    bool lost = false;
    bool branch = false; // the sub-keys were asked for
    bool values = false; // the values were asked for
    QString path; // full path
    QStringList subKeys;
    QVector<bool> hasSubKeys;
    QVector<devlink::DeviceRegValue> valueList;
};

// Opens key `path` below `root` and reads what `read` asks for.
void ReadKey(HKEY root, const QString& path, KeyRead* read);

} // namespace tools::regedit
