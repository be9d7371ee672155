// quorvane-cli's registry commands: reg query KEY [NAME], reg set KEY NAME
// TYPE DATA, reg delete KEY [NAME]. Keys are written with their root first:
// "HKLM\Software\...", "HKCU\...", "HKCR\..." or the full root names.
//
// Data of reg set, by TYPE:
//   sz, expand_sz   the text
//   dword           a number, decimal or 0x-prefixed hexadecimal
//   binary          hex digit pairs, blanks allowed ("01 ff")
//   multi_sz        the strings separated by "\0" ("one\0two")
// reg query prints values as "    NAME    TYPE    DATA" lines (the unnamed
// value as "(Default)"); binary data as hex pairs, DWORDs as 0x%08x, multi
// strings joined by "\0"; then the full paths of the sub-keys.
#pragma once

#include "cli/CliContext.h"

namespace cli {

int Registry(CliContext& cx, const QStringList& args);

struct ParsedKey {
    HKEY root = 0;
    QString rootName; // "HKEY_LOCAL_MACHINE" etc.
    QString path; // below the root, without a leading "\"
};

// False when the key does not start with a known root.
bool ParseKey(const QString& text, ParsedKey* key);

// The bytes REG_* data of `type` takes for `text`; false (with a reason)
// when the text does not fit the type.
bool EncodeValue(const QString& type, const QString& text, DWORD* regType, QByteArray* data, QString* why);
// The data as reg query prints it.
QString FormatValue(DWORD type, const QByteArray& data);
QString TypeName(DWORD type);

} // namespace cli
