// Password scrambling, shared by the query file's password line and the
// desktop's remembered passwords.
//
// A scrambled password is "_" followed by the password's characters, each
// with bits 0-2 and bits 3-5 exchanged (all higher bits kept). The exchange
// is its own inverse. A stored or received value that does not begin with
// "_" is a plain password and is used unchanged.
//
// Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace exchange {

// Exchanges bits 0-2 with bits 3-5 of `c`; bits 6-15 stay.
constexpr char16_t ScrambleChar(char16_t c)
{
    return static_cast<char16_t>(((c << 3) & 0x38) | ((c >> 3) & 0x07) | (c & 0xFFC0));
}

// "_" followed by every character of `password` scrambled; an empty password
// gives "_".
std::u16string ScramblePassword(std::u16string_view password);

// The password held by a scrambled or plain value: empty for an empty value,
// `value` unchanged when it does not begin with "_", else every character
// after the leading "_" unscrambled ("_" alone gives the empty password).
std::u16string UnscramblePassword(std::u16string_view value);

} // namespace exchange
