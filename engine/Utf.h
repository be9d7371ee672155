// UTF-8 <-> UTF-16 conversion for the provider's boundary with SQLite, which
// speaks UTF-8 in its messages and file names.
#pragma once

#include <string>
#include <string_view>

namespace engine::detail {

// Invalid sequences become U+FFFD; unpaired surrogates are encoded as they stand.
std::u16string ToUtf16(std::string_view utf8);
std::string ToUtf8(std::u16string_view utf16);

// ASCII-only case folding, the way SQLite compares names.
char16_t FoldAscii(char16_t c);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
std::u16string UpperAscii(std::u16string_view text);

} // namespace engine::detail
