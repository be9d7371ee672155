// The provider's boundary with SQLite, which speaks UTF-8 in its messages
// and file names and compares names ASCII case-insensitively: the shared
// conversions of exchange/Text.h under the names the engine uses.
#pragma once

#include "exchange/Text.h"

#include <string>
#include <string_view>

namespace engine::detail {

// Malformed input becomes U+FFFD either way.
inline std::u16string ToUtf16(std::string_view utf8)
{
    return exchange::FromUtf8(utf8);
}
using exchange::ToUtf8;

// ASCII-only case folding, the way SQLite compares names.
inline char16_t FoldAscii(char16_t c)
{
    return exchange::ToUpperAscii(c);
}
inline bool EqualsNoCase(std::u16string_view a, std::u16string_view b)
{
    return exchange::EqualsIgnoreAsciiCase(a, b);
}
inline std::u16string UpperAscii(std::u16string_view text)
{
    return exchange::ToUpperAscii(text);
}

} // namespace engine::detail
