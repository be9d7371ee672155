#include "device/store/Names.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace store {
namespace {

locale_t Utf8Locale()
{
    // C.UTF-8 is always present with glibc; its tables hold the Unicode
    // simple case mappings.
    static locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return loc;
}

char32_t Upper(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') ? c - 32 : c;
    locale_t loc = Utf8Locale();
    if (!loc)
        return c;
    return char32_t(towupper_l(wint_t(c), loc));
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Decodes one code point of well-formed UTF-8 at s[*i]; false when malformed.
bool NextUtf8(std::string_view s, std::size_t* i, char32_t* out)
{
    auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    std::size_t at = *i;
    unsigned char lead = b(at);
    int extra;
    char32_t c;
    if (lead < 0x80) {
        *out = lead;
        *i = at + 1;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        c = lead & 0x07;
    } else {
        return false;
    }
    if (s.size() - at <= std::size_t(extra))
        return false;
    for (int k = 1; k <= extra; ++k) {
        unsigned char cont = b(at + k);
        if ((cont & 0xC0) != 0x80)
            return false;
        c = (c << 6) | (cont & 0x3F);
    }
    if ((extra == 2 && c < 0x800) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF))
        || (c >= 0xD800 && c <= 0xDFFF))
        return false;
    *out = c;
    *i = at + 1 + extra;
    return true;
}

} // namespace

std::optional<std::string> HostName(std::u16string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        char32_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= name.size() || name[i + 1] < 0xDC00 || name[i + 1] > 0xDFFF)
                return std::nullopt;
            c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            return std::nullopt;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::u16string> DeviceName(std::string_view hostName)
{
    std::u16string out;
    out.reserve(hostName.size());
    for (std::size_t i = 0; i < hostName.size();) {
        char32_t c;
        if (!NextUtf8(hostName, &i, &c))
            return std::nullopt;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(char16_t(0xD800 + (c >> 10)));
            out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(char16_t(c));
        }
    }
    return out;
}

std::u32string Fold(std::u16string_view name)
{
    std::u32string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        char32_t c = name[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00
            && name[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (name[++i] - 0xDC00);
        out.push_back(Upper(c));
    }
    return out;
}

std::u32string FoldUtf8(std::string_view hostName)
{
    std::u32string out;
    out.reserve(hostName.size());
    for (std::size_t i = 0; i < hostName.size();) {
        char32_t c;
        if (!NextUtf8(hostName, &i, &c))
            return {};
        out.push_back(Upper(c));
    }
    return out;
}

bool SameName(std::u16string_view a, std::u16string_view b)
{
    return Fold(a) == Fold(b);
}

} // namespace store
