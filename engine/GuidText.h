// Unique identifiers and bits as texts. A uniqueidentifier column keeps the
// text written into it ('{12345678-9ABC-DEF0-1234-56789ABCDEF0}', with or
// without braces and dashes); its 16 bytes are the hex pairs in the order
// they are written, so printing the bytes in storage order gives the text back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace engine::detail {

using GuidBytes = std::array<std::uint8_t, 16>;

// 32 hex digits, either plain or grouped 8-4-4-4-12 with dashes, optionally in
// braces; spaces around the text are allowed.
bool ParseGuid(std::u16string_view text, GuidBytes& out);
bool ParseGuid(std::string_view text, GuidBytes& out);

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX" in upper case.
std::string FormatGuid(const GuidBytes& bytes);

// A bit written as text: "1"/"0" or any other integer (not 0 = true), or
// "true"/"false" in any case; spaces around are allowed.
bool ParseBit(std::u16string_view text, bool& out);
bool ParseBit(std::string_view text, bool& out);

} // namespace engine::detail
