// How the registry editor shows and takes registry data: the type text, the
// data text of the value list, the list's images, the number of a new key,
// and the data that the edit dialog's text becomes. Pure functions; the
// icons need a QGuiApplication.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QByteArray>
#include <QIcon>
#include <QString>
#include <QStringList>

namespace tools {

// Image numbers of the value list: text 3, expandable text 7, binary 5,
// DWORD 4, multi-string 6.
int ValueImage(DWORD type);
QIcon ValueIcon(int image);

// "REG_SZ" ... "REG_MULTI_SZ"; other numbers as the registry library names
// them ("REG_0x1234").
QString RegTypeText(DWORD type);

// The "Data" column: texts as they are (up to their terminator), binary as
// "%02x" per byte without separators, DWORDs as "0x%08x" (big-endian ones by
// their value), multi-strings with each terminator shown as a CR. Data of a
// number type that is not 4 bytes long, and unknown types, show as binary.
QString RegDataText(DWORD type, const QByteArray& data);

// The text the edit dialog starts with: texts and DWORDs (decimal or hex,
// without "0x") as above, multi-strings one per line, binary as hex pairs
// separated by blanks.
QString EditText(DWORD type, const QByteArray& data, bool hexadecimal);

// The bytes of the edit dialog's text for `type`: text with a terminator; a
// DWORD in decimal or (`hexadecimal`) hex digits, 4 bytes; multi-string: each
// line with a terminator and a final one; binary and unknown types: pairs of
// hex digits, blanks and line breaks allowed between them. False with a
// sentence for the user when the text does not fit the type.
bool EditedData(DWORD type, const QString& text, bool hexadecimal, QByteArray* data, QString* why);

// "New key", or "New key %d" with the first number from 2 to 999 that no
// name in `existing` holds (names compared without case); empty when all
// are taken.
QString NewKeyName(const QStringList& existing);

} // namespace tools
