#include "platform/registry/ValueText.h"

#include "platform/registry/Hive.h"

#include <cstdio>

namespace reg {
namespace {

struct NamedType {
    const char* name;
    std::uint32_t type;
};

constexpr NamedType kTypes[] = {
    { "REG_NONE", REG_NONE },
    { "REG_SZ", REG_SZ },
    { "REG_EXPAND_SZ", REG_EXPAND_SZ },
    { "REG_BINARY", REG_BINARY },
    { "REG_DWORD", REG_DWORD },
    { "REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN },
    { "REG_LINK", REG_LINK },
    { "REG_MULTI_SZ", REG_MULTI_SZ },
    { "REG_QWORD", REG_QWORD },
};

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

int HexDigit(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// A decimal or "0x" hex number no larger than `max`.
bool ParseNumber(std::u16string_view text, std::uint64_t max, std::uint64_t* out)
{
    unsigned base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return false;
    std::uint64_t value = 0;
    for (char16_t c : text) {
        int digit = HexDigit(c);
        if (digit < 0 || static_cast<unsigned>(digit) >= base)
            return false;
        if (value > (max - static_cast<unsigned>(digit)) / base)
            return false;
        value = value * base + static_cast<unsigned>(digit);
    }
    *out = value;
    return true;
}

void AppendText(std::vector<std::uint8_t>* data, std::u16string_view text)
{
    for (char16_t c : text) {
        data->push_back(static_cast<std::uint8_t>(c & 0xFF));
        data->push_back(static_cast<std::uint8_t>(c >> 8));
    }
    data->push_back(0);
    data->push_back(0);
}

std::u16string Hex(const std::vector<std::uint8_t>& data)
{
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string out;
    for (std::uint8_t b : data) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

std::u16string Units(const std::vector<std::uint8_t>& data)
{
    std::u16string out;
    for (std::size_t i = 0; i + 1 < data.size(); i += 2)
        out.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    return out;
}

std::u16string Narrow(const char* text)
{
    std::u16string out;
    while (*text)
        out.push_back(static_cast<char16_t>(*text++));
    return out;
}

} // namespace

std::string TypeName(std::uint32_t type)
{
    for (const NamedType& t : kTypes) {
        if (t.type == type)
            return t.name;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "REG_0x%X", type);
    return buffer;
}

bool TypeFromName(std::string_view name, std::uint32_t* type)
{
    for (const NamedType& t : kTypes) {
        if (EqualNoCase(name, t.name)) {
            *type = t.type;
            return true;
        }
    }
    if (name.size() > 6 && EqualNoCase(name.substr(0, 6), "REG_0x")) {
        std::uint64_t value = 0;
        std::u16string digits(name.begin() + 6, name.end());
        if (ParseNumber(u"0x" + digits, UINT32_MAX, &value)) {
            *type = static_cast<std::uint32_t>(value);
            return true;
        }
    }
    return false;
}

bool DataFromArgument(std::uint32_t type, std::u16string_view text, std::u16string_view separator,
    std::vector<std::uint8_t>* data, std::string* error)
{
    data->clear();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_NONE:
        AppendText(data, text);
        return true;
    case REG_MULTI_SZ: {
        if (separator.empty())
            separator = u"\\0";
        while (!text.empty()) {
            std::size_t cut = text.find(separator);
            std::u16string_view part = text.substr(0, cut);
            if (part.empty()) {
                *error = "Invalid syntax: an empty string inside REG_MULTI_SZ data.";
                return false;
            }
            AppendText(data, part);
            if (cut == std::u16string_view::npos)
                break;
            text.remove_prefix(cut + separator.size());
        }
        data->push_back(0);
        data->push_back(0);
        return true;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: {
        std::uint64_t value = 0;
        std::uint64_t max = type == REG_QWORD ? UINT64_MAX : UINT32_MAX;
        if (!ParseNumber(text, max, &value)) {
            *error = "Invalid syntax. Specify valid numeric value for '/d'.";
            return false;
        }
        int bytes = type == REG_QWORD ? 8 : 4;
        for (int i = 0; i < bytes; ++i) {
            int shift = type == REG_DWORD_BIG_ENDIAN ? 8 * (bytes - 1 - i) : 8 * i;
            data->push_back(static_cast<std::uint8_t>(value >> shift));
        }
        return true;
    }
    default:
        if (text.size() % 2) {
            *error = "Invalid syntax. Binary data needs pairs of hex digits for '/d'.";
            return false;
        }
        for (std::size_t i = 0; i < text.size(); i += 2) {
            int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
            if (high < 0 || low < 0) {
                *error = "Invalid syntax. Binary data needs pairs of hex digits for '/d'.";
                return false;
            }
            data->push_back(static_cast<std::uint8_t>(high * 16 + low));
        }
        return true;
    }
}

std::u16string DisplayData(std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    char buffer[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::u16string text = Units(data);
        return text.substr(0, text.find(u'\0'));
    }
    case REG_MULTI_SZ: {
        std::u16string text = Units(data);
        while (!text.empty() && text.back() == u'\0')
            text.pop_back();
        std::u16string out;
        for (char16_t c : text) {
            if (c == u'\0')
                out += u"\\0";
            else
                out.push_back(c);
        }
        return out;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        if (data.size() == 4) {
            std::uint32_t v = type == REG_DWORD
                ? data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24
                : data[3] | data[2] << 8 | data[1] << 16 | std::uint32_t(data[0]) << 24;
            std::snprintf(buffer, sizeof buffer, "0x%x", v);
            return Narrow(buffer);
        }
        break;
    case REG_QWORD:
        if (data.size() == 8) {
            std::uint64_t v = 0;
            for (int i = 7; i >= 0; --i)
                v = v << 8 | data[static_cast<std::size_t>(i)];
            std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(v));
            return Narrow(buffer);
        }
        break;
    default:
        break;
    }
    return Hex(data);
}

std::u16string QueryLine(std::u16string_view name, std::uint32_t type, const std::vector<std::uint8_t>& data)
{
    std::u16string line = u"    ";
    line += name.empty() ? std::u16string_view(u"(Default)") : name;
    line += u"    ";
    line += Narrow(TypeName(type).c_str());
    line += u"    ";
    line += DisplayData(type, data);
    return line;
}

} // namespace reg
