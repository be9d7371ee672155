#include "engine/GuidText.h"

#include <cstdio>

namespace engine::detail {

namespace {

int HexValue(int c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

template <typename Char> std::basic_string_view<Char> Trim(std::basic_string_view<Char> t)
{
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t'))
        t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t'))
        t.remove_suffix(1);
    return t;
}

template <typename Char> bool Guid(std::basic_string_view<Char> t, GuidBytes& out)
{
    t = Trim(t);
    if (t.size() >= 2 && t.front() == '{' && t.back() == '}')
        t = t.substr(1, t.size() - 2);
    bool dashed = t.size() == 36;
    if (!dashed && t.size() != 32)
        return false;
    std::size_t digit = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (dashed && (i == 8 || i == 13 || i == 18 || i == 23)) {
            if (t[i] != '-')
                return false;
            continue;
        }
        int v = HexValue(static_cast<int>(t[i]));
        if (v < 0)
            return false;
        if (digit % 2 == 0)
            out[digit / 2] = static_cast<std::uint8_t>(v << 4);
        else
            out[digit / 2] = static_cast<std::uint8_t>(out[digit / 2] | v);
        ++digit;
    }
    return digit == 32;
}

template <typename Char> bool EqualsWordNoCase(std::basic_string_view<Char> t, const char* word)
{
    std::size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= t.size())
            return false;
        Char c = t[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<Char>(c + 32);
        if (c != Char(word[i]))
            return false;
    }
    return i == t.size();
}

template <typename Char> bool Bit(std::basic_string_view<Char> t, bool& out)
{
    t = Trim(t);
    if (EqualsWordNoCase(t, "true")) {
        out = true;
        return true;
    }
    if (EqualsWordNoCase(t, "false")) {
        out = false;
        return true;
    }
    std::size_t i = 0;
    if (!t.empty() && (t[0] == '-' || t[0] == '+'))
        i = 1;
    if (i >= t.size())
        return false;
    bool nonZero = false;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        nonZero = nonZero || t[i] != '0';
    }
    out = nonZero;
    return true;
}

} // namespace

bool ParseGuid(std::u16string_view text, GuidBytes& out)
{
    return Guid(text, out);
}
bool ParseGuid(std::string_view text, GuidBytes& out)
{
    return Guid(text, out);
}

std::string FormatGuid(const GuidBytes& b)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X",
        b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return buf;
}

bool ParseBit(std::u16string_view text, bool& out)
{
    return Bit(text, out);
}
bool ParseBit(std::string_view text, bool& out)
{
    return Bit(text, out);
}

} // namespace engine::detail
