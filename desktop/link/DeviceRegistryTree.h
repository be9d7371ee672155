// Whole keys of the device registry through the remote-access client: the
// values and sub-keys of one key, a subtree read for export, and the
// ".reg" export and import that the registry editor and quorvane-cli share.
// The file format is the registry library's own (platform/registry/RegFile.h,
// as cereg writes and reads it); nothing here parses or writes it.
//
// Results are the device's codes (0 = success). An import is all or
// nothing: the whole file is read and checked before the device is
// touched, and when applying it fails part way the changes already made are
// undone before the failure is reported.
//
// Threads: any thread that may use the remote-access client (a request's
// worker, a command-line program's main thread); never wait on the window
// thread with these.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <vector>

namespace reg {
struct KeyEntry;
}

namespace devlink {

struct DeviceRegValue {
    QString name; // as stored; empty for the unnamed value
    DWORD type = 0;
    QByteArray data;
};

// One read of a value whose size must be asked first: `read` is called with
// no buffer for the size, then with a buffer of that size. A value that grew
// in between (ERROR_MORE_DATA: "Status" while an agent writes it) is read
// again with room to spare, a few times. Returns the result of the last call.
LONG ReadSizedValue(const std::function<LONG(BYTE* data, DWORD* size)>& read, QByteArray* data);

// The value at `index` of an open key (ERROR_NO_MORE_ITEMS past the last).
LONG ReadRegValueAt(HKEY key, DWORD index, DeviceRegValue* value);
// Every value of an open key, in the device's order.
LONG ReadRegValues(HKEY key, QVector<DeviceRegValue>* values);
// The names of the direct sub-keys of an open key, in the device's order.
LONG ReadRegSubKeys(HKEY key, QStringList* names);
// The number of direct sub-keys of `path` below `root`.
LONG CountRegSubKeys(HKEY root, const QString& path, DWORD* count);

// Key `path` below `root` and everything beneath it, pre-order, each entry's
// path relative to `path` (the key itself first, path ""), as
// reg::FormatRegFile takes it.
LONG ReadDeviceRegTree(HKEY root, const QString& path, std::vector<reg::KeyEntry>* keys);

// Renames key `path` below `root` to `newName` (its last component), with
// its sub-keys and values: the device has no rename, so the subtree is
// copied under the new name and the old one deleted; when either step fails
// the copy is removed again and the old key stays as it was.
// ERROR_ALREADY_EXISTS when a sibling has that name, ERROR_INVALID_PARAMETER
// for an empty name, one with "\", or a change of case only.
LONG RenameDeviceRegKey(HKEY root, const QString& path, const QString& newName);

// Writes key `path` below `root` with its sub-keys and values to `fileName`
// as a ".reg" file (UTF-16, written to a temporary name and renamed into
// place). False with *why, a sentence for the user.
bool ExportDeviceRegKey(HKEY root, const QString& path, const QString& fileName, QString* why);

// What an import did.
struct RegImportReport {
    int changes = 0; // changes the file asked for
    bool undone = false; // applying failed part way and what was done was undone
    bool undoFailed = false; // ...and undoing failed too: `applied` changes remain
    int applied = 0; // changes left on the device
};

// Reads `fileName` and applies it to the device. A file that cannot be read
// or is not a registry file changes nothing (*why names the line). A device
// failure part way undoes what was applied (the report says whether that
// worked). False with *why on any failure.
bool ImportDeviceRegFile(const QString& fileName, RegImportReport* report, QString* why);

// The registry root of a name ("HKLM", "HKEY_LOCAL_MACHINE", ...; any case)
// and the path below it of "ROOT\path"; false for an unknown root.
bool SplitRegKeyPath(const QString& text, HKEY* root, QString* path);

// "HKEY_LOCAL_MACHINE" etc.
QString RegRootName(HKEY root);

// Whether a key, or a value of a key, exists. The key is opened, never
// created: a look that leaves a key behind would change what it looks at.
bool DeviceRegKeyExists(HKEY root, const QString& path);
bool DeviceRegValueExists(HKEY root, const QString& path, const QString& name);

} // namespace devlink
