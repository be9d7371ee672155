// Small helpers for the exchange tests: exact UTF-16LE bytes and readable
// failure output.
#pragma once

#include "exchange/Text.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace exchange::test {

// The UTF-16LE bytes of `text`, as the exchanged files hold them.
inline std::string Bytes16(std::u16string_view text)
{
    return ToUtf16LeBytes(text);
}

inline std::span<const std::uint8_t> AsSpan(const std::string& bytes)
{
    return { reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() };
}

// UTF-8 with control characters shown as \xNN, for failure messages.
inline std::string Show(std::u16string_view text)
{
    std::string out;
    constexpr std::size_t kShown = 120;
    if (text.size() > kShown)
        return Show(text.substr(0, kShown)) + "... (" + std::to_string(text.size()) + " characters)";
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += ToUtf8(std::u16string_view(&c, 1));
        }
    }
    return out;
}

} // namespace exchange::test
