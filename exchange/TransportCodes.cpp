#include "exchange/TransportCodes.h"

namespace exchange {
namespace {

// Shared pass: CR LF -> the line-break codes, and TAB -> `tabCode` when it is
// not TAB itself.
std::u16string Encode(std::u16string_view text, char16_t tabCode)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            out += kLineBreakCodes;
            ++i;
        } else if (c == u'\t') {
            out += tabCode;
        } else {
            out += c;
        }
    }
    return out;
}

std::u16string Decode(std::u16string_view text, bool unicodeTabToo)
{
    std::u16string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == kLineBreakCode1 && i + 1 < text.size() && text[i + 1] == kLineBreakCode2) {
            out += u"\r\n";
            ++i;
        } else if (c == kTabCode || (unicodeTabToo && c == kUnicodeTabCode)) {
            out += u'\t';
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::u16string EncodeLineBreaksAndTabs(std::u16string_view text)
{
    return Encode(text, kTabCode);
}

std::u16string DecodeRequestText(std::u16string_view text)
{
    return Decode(text, false);
}

std::u16string EncodeLineBreaks(std::u16string_view text)
{
    return Encode(text, u'\t');
}

std::u16string EncodeUnicodeValue(std::u16string_view text)
{
    return Encode(text, kUnicodeTabCode);
}

std::u16string DecodeResultsField(std::u16string_view text)
{
    return Decode(text, true);
}

} // namespace exchange
