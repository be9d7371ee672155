#include "agent/ValueWriter.h"

#include "exchange/TransportCodes.h"

#include <charconv>
#include <cstdio>
#include <cstring>

namespace agent {

namespace {

// `value` with at least `width` digits (zero padded), no sign handling.
void AppendUnsigned(std::u16string& out, unsigned long long value, int width)
{
    char16_t digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < width)
        digits[n++] = u'0';
    while (n > 0)
        out.push_back(digits[--n]);
}

void AppendSigned(std::u16string& out, long long value, int width)
{
    if (value < 0) {
        out.push_back(u'-');
        AppendUnsigned(out, 0ULL - static_cast<unsigned long long>(value), width);
    } else {
        AppendUnsigned(out, static_cast<unsigned long long>(value), width);
    }
}

} // namespace

void AppendInteger(std::u16string& out, long long value)
{
    AppendSigned(out, value, 0);
    out.push_back(u'\t');
}

void AppendReal(std::u16string& out, double value, char16_t point)
{
    // Large enough for the longest "%f" of a double (309 digits and more).
    char text[400];
    // The same text as printf's "%f" in the C locale, several times faster:
    // a table of reals spent most of its formatting time here.
    const std::to_chars_result fixed = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    int size = fixed.ec == std::errc() ? static_cast<int>(fixed.ptr - text) : 0;
    if (!std::memchr(text, '.', static_cast<std::size_t>(size))) {
        size = std::snprintf(text, sizeof text, "%.0f", value);
        if (size < 0 || static_cast<std::size_t>(size) >= sizeof text)
            size = 0;
    } else {
        while (size > 0 && text[size - 1] == '0')
            --size;
        if (size > 0 && text[size - 1] == '.')
            --size;
    }
    for (int i = 0; i < size; ++i)
        out.push_back(text[i] == '.' ? point : static_cast<char16_t>(static_cast<unsigned char>(text[i])));
    out.push_back(u'\t');
}

void AppendTimestamp(std::u16string& out, const engine::DbTimestamp& v)
{
    AppendSigned(out, v.year, 0);
    out.push_back(u'/');
    AppendUnsigned(out, v.month, 2);
    out.push_back(u'/');
    AppendUnsigned(out, v.day, 2);
    out.append(u"  ");
    AppendUnsigned(out, v.hour, 2);
    out.push_back(u':');
    AppendUnsigned(out, v.minute, 2);
    out.push_back(u':');
    AppendUnsigned(out, v.second, 2);
    out.push_back(u'\t');
}

void AppendUnicodeText(std::u16string& out, std::u16string_view text)
{
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c == u'\t') {
            out.push_back(exchange::kUnicodeTabCode);
        } else if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            out.push_back(exchange::kLineBreakCode1);
            out.push_back(exchange::kLineBreakCode2);
            ++i;
        } else {
            out.push_back(c);
        }
    }
    out.push_back(u'\t');
}

void LongTextEncoder::Encode(std::u16string_view text, std::u16string& out)
{
    out.clear();
    std::size_t i = 0;
    if (m_pendingCr) {
        m_pendingCr = false;
        if (!text.empty() && text[0] == u'\n') {
            out.push_back(exchange::kLineBreakCode1);
            out.push_back(exchange::kLineBreakCode2);
            i = 1;
        } else {
            out.push_back(u'\r');
        }
    }
    const std::size_t n = text.size();
    for (; i < n; ++i) {
        const char16_t c = text[i];
        if (c == u'\t') {
            out.push_back(exchange::kTabCode);
        } else if (c == u'\r') {
            if (i + 1 == n) {
                m_pendingCr = true;
            } else if (text[i + 1] == u'\n') {
                out.push_back(exchange::kLineBreakCode1);
                out.push_back(exchange::kLineBreakCode2);
                ++i;
            } else {
                out.push_back(c);
            }
        } else {
            out.push_back(c);
        }
    }
}

void LongTextEncoder::Finish(std::u16string& out)
{
    out.clear();
    if (m_pendingCr)
        out.push_back(u'\r');
    m_pendingCr = false;
}

} // namespace agent
