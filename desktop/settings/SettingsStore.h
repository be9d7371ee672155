// The settings store: every persistent setting of the desktop program, as
// typed values in the desktop hive (home::DesktopHiveDir(), moved by
// QUORVANE_HOME) below the base key HKEY_LOCAL_MACHINE
// "SOFTWARE\Brackenloft\Quorvane". There is no cache: each read goes to the
// hive, each write is on disk when it returns.
//
// Every operation reports success as a boolean and never shows a message;
// failures are silent (a failed read leaves the caller's default in place).
// Reads open their key with create semantics, so reading a setting creates
// the key when it is missing. Key paths are "\"-separated, below the root.
//
// All functions are safe from any thread. The hive is opened at the first use
// and stays open; CloseSettingsHive() closes it (tests use it to move to
// another QUORVANE_HOME).
#pragma once

#include "platform/registry/Hive.h"

#include <QByteArray>
#include <QString>

namespace settings {

using Root = reg::Root;

// "SOFTWARE\Brackenloft\Quorvane", built once from its two parts.
const QString& BaseKey();
// BaseKey() + "\Extensions": how device files of each extension are opened.
const QString& ExtensionsKey();
// BaseKey() + "\SDFs": remembered database passwords.
const QString& SdfsKey();
// BaseKey() + "\Tooltips": which one-time tips have been shown.
const QString& TooltipsKey();

// The desktop hive, opened when needed; null when it cannot be opened (the
// reason is traced). For code that needs more than the typed values below.
reg::Hive* SettingsHive();
// Closes the hive; the next use opens it again at the then current place.
void CloseSettingsHive();

// Stores a REG_DWORD, opening or creating the key. True when stored.
bool WriteDword(const QString& name, quint32 value);
bool WriteDword(Root root, const QString& keyPath, const QString& name, quint32 value);

// Stores a REG_SZ holding the text's characters (no terminating NUL), under
// HKEY_LOCAL_MACHINE unless told otherwise. True when stored.
bool WriteString(const QString& name, const QString& text);
bool WriteString(const QString& keyPath, const QString& name, const QString& text);
bool WriteString(Root root, const QString& keyPath, const QString& name, const QString& text);

// Stores `length` bytes at `bytes` as REG_BINARY under HKEY_LOCAL_MACHINE.
bool WriteBinary(const QString& name, const void* bytes, quint32 length);
bool WriteBinary(const QString& keyPath, const QString& name, const void* bytes, quint32 length);

// Reads a 4-byte value into *value; true when read. *value is untouched when
// the value is missing or is not 4 bytes long, so callers preset their default.
bool ReadDword(const QString& name, quint32* value);
bool ReadDword(Root root, const QString& keyPath, const QString& name, quint32* value);

// Reads a text value: at most 3000 bytes (1500 characters), up to the first
// NUL. *text is empty when the value is missing; true when read.
bool ReadString(const QString& name, QString* text);
bool ReadString(Root root, const QString& keyPath, const QString& name, QString* text);

// Reads a binary value of at most `length` bytes into `buffer`; true when
// read. A missing or longer value reads nothing and leaves the buffer as it
// was. *readBytes (when not null) receives the number of bytes read.
bool ReadBinary(const QString& name, void* buffer, quint32 length, quint32* readBytes = nullptr);
bool ReadBinary(Root root, const QString& keyPath, const QString& name, void* buffer, quint32 length,
    quint32* readBytes = nullptr);

// Removes one value under HKEY_LOCAL_MACHINE; true when it was removed.
bool DeleteValue(const QString& name);
bool DeleteValue(const QString& keyPath, const QString& name);

// The name under "\SDFs" of a device database path: every "\" becomes "_"
// ("\My Documents\orders.sdf" -> "_My Documents_orders.sdf").
QString RememberedPasswordName(const QString& devicePath);

// The remembered password of a device database, unscrambled; empty when none.
QString GetRememberedPassword(const QString& devicePath);
// Scrambles and stores the password of a device database; true when stored.
bool SetRememberedPassword(const QString& devicePath, const QString& password);

// Moves plain-text passwords that older releases kept directly under the
// base key (values whose name contains ".sdf") into "\SDFs", scrambled, and
// deletes them from the base key. Engine-version settings ("SQLCE_..." names,
// which contain ".sdf" too) are left alone. Run once per start. Returns the
// number of passwords moved.
int MigrateRememberedPasswords();

} // namespace settings
