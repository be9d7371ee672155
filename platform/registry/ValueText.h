// Value types and data as text, the way a command-line registry tool shows
// and takes them ("REG_DWORD", "0x1", "a\0b"). Safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reg {

// "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD", "REG_DWORD_BIG_ENDIAN",
// "REG_MULTI_SZ", "REG_NONE", "REG_LINK", "REG_QWORD"; "REG_0x1234" for others.
std::string TypeName(std::uint32_t type);

// The type for one of the names above (any case, "REG_0x..." included);
// false for an unknown name.
bool TypeFromName(std::string_view name, std::uint32_t* type);

// The bytes to store for `text` given on a command line as data of `type`:
//   REG_SZ, REG_EXPAND_SZ, REG_NONE: the text and a terminating NUL;
//   REG_MULTI_SZ: the text split at `separator` (default "\0", the two
//     characters), each part and a NUL, then a final NUL;
//   REG_DWORD, REG_DWORD_BIG_ENDIAN: a number 0..4294967295, decimal or "0x" hex;
//   REG_QWORD: a number 0..2^64-1, decimal or "0x" hex;
//   REG_BINARY and other types: pairs of hex digits.
// False with *error (a sentence to show) when the text does not fit the type.
bool DataFromArgument(std::uint32_t type, std::u16string_view text, std::u16string_view separator,
    std::vector<std::uint8_t>* data, std::string* error);

// The data as a query shows it: strings up to their first NUL; multi-strings
// joined by "\0"; DWORD and QWORD values as "0x" and lower-case hex; big-endian
// DWORDs by their value; anything else (or a number of the wrong size) as
// upper-case hex digits.
std::u16string DisplayData(std::uint32_t type, const std::vector<std::uint8_t>& data);

// One value as a query lists it: "    NAME    TYPE    DATA", the unnamed
// value as "(Default)", the data as DisplayData shows it; no line break.
std::u16string QueryLine(std::u16string_view name, std::uint32_t type, const std::vector<std::uint8_t>& data);

} // namespace reg
