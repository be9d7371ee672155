#include "exchange/Text.h"

#include <charconv>
#include <cmath>

namespace exchange {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (cp >> 10));
        out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    }
}

bool IsHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// One parsed conversion of a format text.
struct Directive {
    bool left = false;
    bool zero = false;
    bool plus = false;
    int width = 0;
    int precision = -1;
    char16_t conversion = 0;
};

void Pad(std::u16string& out, std::u16string_view body, const Directive& directive, bool numeric)
{
    const std::size_t width = directive.width > 0 ? static_cast<std::size_t>(directive.width) : 0;
    if (body.size() >= width) {
        out += body;
        return;
    }
    const std::size_t fill = width - body.size();
    if (directive.left) {
        out += body;
        out.append(fill, u' ');
    } else if (directive.zero && numeric) {
        // Zeros go after the sign, as printf puts them.
        std::size_t signLength = (!body.empty() && (body[0] == u'-' || body[0] == u'+')) ? 1 : 0;
        out += body.substr(0, signLength);
        out.append(fill, u'0');
        out += body.substr(signLength);
    } else {
        out.append(fill, u' ');
        out += body;
    }
}

std::u16string IntegerBody(const FormatArg& arg, const Directive& directive)
{
    char digits[80];
    bool negative = false;
    unsigned long long magnitude = 0;
    const bool hex = directive.conversion == u'x' || directive.conversion == u'X';
    if (directive.conversion == u'u' || hex) {
        magnitude = arg.asUnsigned();
    } else {
        long long value = arg.asSigned();
        negative = value < 0;
        magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                             : static_cast<unsigned long long>(value);
    }
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, magnitude, hex ? 16 : 10);
    std::string text(digits, end);
    if (directive.conversion == u'X') {
        for (char& c : text)
            if (c >= 'a' && c <= 'f')
                c = static_cast<char>(c - 'a' + 'A');
    }
    if (directive.precision >= 0 && text.size() < static_cast<std::size_t>(directive.precision))
        text.insert(0, static_cast<std::size_t>(directive.precision) - text.size(), '0');
    if (directive.precision == 0 && magnitude == 0)
        text.clear();
    if (negative)
        text.insert(0, 1, '-');
    else if (directive.plus && !hex && directive.conversion != u'u')
        text.insert(0, 1, '+');
    return WidenLatin1(text);
}

std::u16string RealBody(double value, const Directive& directive)
{
    const int precision = directive.precision >= 0 ? directive.precision : 6;
    std::string text;
    if (std::isnan(value)) {
        text = std::signbit(value) ? "-nan" : "nan";
    } else if (std::isinf(value)) {
        text = value < 0 ? "-inf" : "inf";
    } else {
        // 309 integer digits at most for a double, plus the fraction.
        std::string buffer(340 + static_cast<std::size_t>(precision), '\0');
        auto [end, ec] = std::to_chars(
            buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, precision);
        text.assign(buffer.data(), ec == std::errc() ? end : buffer.data());
    }
    if (directive.plus && !text.empty() && text[0] != '-')
        text.insert(0, 1, '+');
    return WidenLatin1(text);
}

std::u16string TextBody(const FormatArg& arg, const Directive& directive)
{
    std::u16string text;
    switch (arg.kind()) {
    case FormatArg::Kind::Text:
        text = arg.text();
        break;
    case FormatArg::Kind::Narrow:
        text = WidenLatin1(arg.narrow());
        break;
    case FormatArg::Kind::Char:
        text = std::u16string(1, static_cast<char16_t>(arg.asUnsigned()));
        break;
    case FormatArg::Kind::Real: {
        Directive real;
        text = RealBody(arg.asReal(), real);
        break;
    }
    case FormatArg::Kind::Signed:
    case FormatArg::Kind::Unsigned: {
        Directive integer;
        integer.conversion = arg.kind() == FormatArg::Kind::Signed ? u'd' : u'u';
        text = IntegerBody(arg, integer);
        break;
    }
    }
    if (directive.precision >= 0 && text.size() > static_cast<std::size_t>(directive.precision))
        text.resize(static_cast<std::size_t>(directive.precision));
    return text;
}

} // namespace

namespace {

// UTF-16 -> UTF-8; a lone surrogate becomes U+FFFD, or ends the conversion
// with nothing when `strict`.
std::optional<std::string> EncodeUtf8(std::u16string_view text, bool strict)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
            if (strict)
                return std::nullopt;
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

// UTF-8 -> UTF-16; each malformed sequence becomes one U+FFFD, or ends the
// conversion with nothing when `strict`.
std::optional<std::u16string> DecodeUtf8(std::string_view text, bool strict)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        int length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
            minimum = 0x10000;
        } else {
            if (strict)
                return std::nullopt;
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        std::size_t j = 1;
        for (; j < static_cast<std::size_t>(length) && i + j < text.size(); ++j) {
            const auto next = static_cast<unsigned char>(text[i + j]);
            if ((next & 0xC0) != 0x80)
                break;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (j < static_cast<std::size_t>(length) || cp < minimum || cp > 0x10FFFF
            || (cp >= 0xD800 && cp <= 0xDFFF)) {
            if (strict)
                return std::nullopt;
            // Skip the lead and the continuation bytes that belonged to it.
            out += static_cast<char16_t>(kReplacement);
            i += j;
            continue;
        }
        AppendUtf16(out, cp);
        i += j;
    }
    return out;
}

} // namespace

std::string ToUtf8(std::u16string_view text)
{
    return *EncodeUtf8(text, false);
}

std::u16string FromUtf8(std::string_view text)
{
    return *DecodeUtf8(text, false);
}

std::optional<std::string> ToUtf8Strict(std::u16string_view text)
{
    return EncodeUtf8(text, true);
}

std::optional<std::u16string> FromUtf8Strict(std::string_view text)
{
    return DecodeUtf8(text, true);
}

std::u16string WidenLatin1(std::string_view bytes)
{
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = static_cast<unsigned char>(bytes[i]);
    return out;
}

std::string ToUtf16LeBytes(std::u16string_view text)
{
    std::string out(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<char>(text[i] & 0xFF);
        out[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return out;
}

std::u16string FromUtf16LeBytes(std::span<const std::uint8_t> bytes)
{
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

std::u16string FromUtf16LeBytes(std::string_view bytes)
{
    return FromUtf16LeBytes(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

char16_t ToUpperAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

std::u16string ToUpperAscii(std::u16string_view text)
{
    std::u16string out(text);
    for (char16_t& c : out)
        c = ToUpperAscii(c);
    return out;
}

bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ToUpperAscii(a[i]) != ToUpperAscii(b[i]))
            return false;
    return true;
}

bool Contains(std::u16string_view text, std::u16string_view needle)
{
    return text.find(needle) != std::u16string_view::npos;
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view from, std::u16string_view to)
{
    if (from.empty())
        return std::u16string(text);
    std::u16string out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (true) {
        std::size_t hit = text.find(from, start);
        if (hit == std::u16string_view::npos)
            break;
        out += text.substr(start, hit - start);
        out += to;
        start = hit + from.size();
    }
    out += text.substr(start);
    return out;
}

long long FormatArg::asSigned() const
{
    switch (m_kind) {
    case Kind::Signed:
        return m_signed;
    case Kind::Unsigned:
    case Kind::Char:
        return static_cast<long long>(m_unsigned);
    case Kind::Real:
        // Out-of-range doubles would be undefined to convert; clamp them.
        if (std::isnan(m_real))
            return 0;
        if (m_real >= 9.2e18)
            return 9223372036854775807LL;
        if (m_real <= -9.2e18)
            return -9223372036854775807LL - 1;
        return static_cast<long long>(m_real);
    default:
        return 0;
    }
}

unsigned long long FormatArg::asUnsigned() const
{
    switch (m_kind) {
    case Kind::Unsigned:
    case Kind::Char:
        return m_unsigned;
    case Kind::Signed:
        return static_cast<unsigned long long>(m_signed);
    case Kind::Real:
        return static_cast<unsigned long long>(asSigned());
    default:
        return 0;
    }
}

double FormatArg::asReal() const
{
    switch (m_kind) {
    case Kind::Real:
        return m_real;
    case Kind::Signed:
        return static_cast<double>(m_signed);
    case Kind::Unsigned:
    case Kind::Char:
        return static_cast<double>(m_unsigned);
    default:
        return 0;
    }
}

std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args)
{
    std::u16string out;
    out.reserve(format.size() + 16);
    auto nextArg = args.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        char16_t c = format[i];
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        const std::size_t start = i++;
        Directive directive;
        for (; i < format.size(); ++i) {
            if (format[i] == u'-')
                directive.left = true;
            else if (format[i] == u'0')
                directive.zero = true;
            else if (format[i] == u'+')
                directive.plus = true;
            else
                break;
        }
        for (; i < format.size() && format[i] >= u'0' && format[i] <= u'9'; ++i)
            directive.width
                = directive.width < 100000 ? directive.width * 10 + (format[i] - u'0') : directive.width;
        if (i < format.size() && format[i] == u'.') {
            directive.precision = 0;
            for (++i; i < format.size() && format[i] >= u'0' && format[i] <= u'9'; ++i)
                directive.precision = directive.precision < 100000
                    ? directive.precision * 10 + (format[i] - u'0')
                    : directive.precision;
        }
        while (i < format.size() && (format[i] == u'h' || format[i] == u'l' || format[i] == u'z'))
            ++i;
        if (i >= format.size()) {
            out += format.substr(start);
            break;
        }
        directive.conversion = format[i++];
        if (directive.conversion == u'%') {
            out += u'%';
            continue;
        }
        const bool known = directive.conversion == u'd' || directive.conversion == u'i'
            || directive.conversion == u'u' || directive.conversion == u'x' || directive.conversion == u'X'
            || directive.conversion == u'c' || directive.conversion == u's' || directive.conversion == u'f';
        if (!known) {
            out += format.substr(start, i - start);
            continue;
        }
        if (nextArg == args.end())
            continue;
        const FormatArg& arg = *nextArg++;
        switch (directive.conversion) {
        case u'c':
            Pad(out, std::u16string(1, static_cast<char16_t>(arg.asUnsigned())), directive, false);
            break;
        case u's':
            Pad(out, TextBody(arg, directive), directive, false);
            break;
        case u'f':
            Pad(out, RealBody(arg.asReal(), directive), directive, true);
            break;
        default:
            if (directive.conversion == u'i')
                directive.conversion = u'd';
            Pad(out, IntegerBody(arg, directive), directive, directive.precision < 0);
            break;
        }
    }
    return out;
}

} // namespace exchange
