// The "Windows Registry Editor Version 5.00" text format (.reg files): writing
// a subtree, reading a file into changes. Safe from any thread.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_LOCAL_MACHINE\Software\Quorvane]
//   @="default"
//   "Status"="Row 1 of 3"
//   "Cancel"=dword:00000001
//   "Font"=hex:01,02,ff
//   "Lines"=hex(7):61,00,00,00,00,00
//   "Old"=-
//
//   [-HKEY_LOCAL_MACHINE\Software\Gone]
//
// Strings escape "\" and '"' with a backslash. Hex lists may continue on the
// next line after a trailing "\". Files are written as UTF-16LE with a
// byte-order mark and CR LF line ends; reading takes UTF-16 (either byte
// order with a mark, or little-endian without one) or UTF-8 (with or without a mark; bytes that are not
// UTF-8 are read as Latin-1), and the older "REGEDIT4" heading.
#pragma once

#include "platform/registry/Hive.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reg {

// The text of a .reg file holding the subtree `tree` (as Hive::ReadTree gives
// it) of key `keyPath` below `root`, keyPath spelled as stored. Strings that
// are whole texts (even length, one terminating NUL, no line breaks) are
// written as "text", 4-byte DWORDs as dword:, all else as hex lists, so the
// bytes come back exactly. False with *error when a name holds a line break,
// which the format cannot carry.
bool FormatRegFile(Root root, std::u16string_view keyPath, const std::vector<KeyEntry>& tree,
    std::u16string* text, std::string* error);

// UTF-16LE bytes with a byte-order mark.
std::vector<std::uint8_t> EncodeRegFile(std::u16string_view text);

// The text of a .reg file's bytes, whatever the encoding (see above).
std::u16string DecodeRegFile(const std::vector<std::uint8_t>& bytes);

// Reads a .reg file's text into the changes that importing it makes, in file
// order: each [key] creates the key, each value is set ("name"=- deletes it),
// each [-key] deletes the key. False with *error ("line N: why") when the
// text is not a registry file; nothing is to be applied then.
bool ParseRegFile(std::u16string_view text, std::vector<Change>* changes, std::string* error);

} // namespace reg
