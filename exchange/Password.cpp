#include "exchange/Password.h"

namespace exchange {

std::u16string ScramblePassword(std::u16string_view password)
{
    std::u16string out;
    out.reserve(password.size() + 1);
    out += u'_';
    for (char16_t c : password)
        out += ScrambleChar(c);
    return out;
}

std::u16string UnscramblePassword(std::u16string_view value)
{
    if (value.empty() || value[0] != u'_')
        return std::u16string(value);
    std::u16string out;
    out.reserve(value.size() - 1);
    for (char16_t c : value.substr(1))
        out += ScrambleChar(c);
    return out;
}

} // namespace exchange
