#include "exchange/CaseFold.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace exchange {
namespace {

locale_t UnicodeLocale()
{
    // C.UTF-8 carries the full Unicode case tables and is built into glibc,
    // so the folding never depends on the user's locale settings.
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (!l)
            l = newlocale(LC_CTYPE_MASK, "C.utf8", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

} // namespace

char32_t FoldCase(char32_t c)
{
    if (c < 0x80)
        return c >= 'a' && c <= 'z' ? c - 32 : c;
    if (c >= 0xD800 && c < 0xE000)
        return c;
    locale_t l = UnicodeLocale();
    if (!l)
        return c;
    auto upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), l));
    if ((upper < 0x10000) != (c < 0x10000))
        return c;
    return upper;
}

std::u32string FoldCase(std::u16string_view name)
{
    std::u32string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        char32_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00
            && name[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
        out.push_back(FoldCase(c));
    }
    return out;
}

} // namespace exchange
