// quorvane-cli's registry command, in the manner of reg.exe and cereg and
// through the registry library's own names and texts (platform/registry:
// the type names, the data as typed and as shown, the query's lines):
//
//   reg query  KEY [NAME | /v NAME | /ve] [/s]
//   reg set    KEY NAME TYPE DATA
//   reg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
//   reg delete KEY [NAME | /v NAME | /ve] [/f]
//   reg export KEY FILE
//   reg import FILE
//
// KEY starts with its root: HKLM, HKCU, HKCR or the full "HKEY_..." names.
// TYPE is a name as a query prints it (REG_SZ, REG_DWORD, ...) or its short
// form (sz, dword, ...). A query prints what cereg prints: a blank line, the
// key, its values ("    NAME    TYPE    DATA"), a blank line and the full
// paths of its sub-keys; with /s every key below it with its values. Deleting
// a key that has sub-keys asks first; the answer is No unless --yes or /f.
// export and import use the ".reg" files of cereg (DeviceRegistryTree.h); an
// import changes all or nothing.
//
// The command uses the program's device connection (main thread); the
// helpers below are pure and safe from any thread.
#pragma once

#include "cli/Command.h"

#include <QByteArray>

namespace cli {

Command RegistryCommand();

struct ParsedKey {
    HKEY root = 0;
    QString rootName; // "HKEY_LOCAL_MACHINE" etc.
    QString path; // below the root, without a leading "\"
};

// False when the key does not start with a known root.
bool ParseKey(const QString& text, ParsedKey* key);

// The registry type a name stands for: as printed ("REG_DWORD", any case) or
// the short form ("dword"). False for an unknown name.
bool ParseValueType(const QString& name, DWORD* type);

// The bytes of `text` as data of `type`, as cereg takes it (blanks between
// the hex pairs of binary data are allowed); false with the reason.
bool EncodeValue(DWORD type, const QString& text, QByteArray* data, QString* why);

} // namespace cli
