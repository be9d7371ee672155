#include "engine/SqlTokenizer.h"

#include "engine/Utf.h"

namespace engine::detail {

namespace {

bool IsWordStart(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'@' || c == u'#'
        || c >= 0x80;
}

bool IsWordPart(char16_t c)
{
    return IsWordStart(c) || (c >= u'0' && c <= u'9') || c == u'$';
}

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

bool IsHex(char16_t c)
{
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f' || c == u'\v';
}

// Finds the end of a quoted run that starts at `pos` with `open`, where the
// closing character doubled stands for itself. Returns npos when unterminated.
std::size_t QuotedEnd(std::u16string_view t, std::size_t pos, char16_t close)
{
    std::size_t i = pos + 1;
    while (i < t.size()) {
        if (t[i] == close) {
            if (i + 1 < t.size() && t[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return std::u16string_view::npos;
}

} // namespace

bool Token::IsWord(std::u16string_view upperWord) const
{
    return kind == TokenKind::Word && EqualsNoCase(text, upperWord);
}

bool Token::IsSymbol(std::u16string_view symbol) const
{
    return kind == TokenKind::Symbol && text == symbol;
}

std::u16string Token::Name() const
{
    if (kind != TokenKind::QuotedName)
        return std::u16string(text);
    char16_t close = text.front() == u'[' ? u']' : u'"';
    std::u16string out;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        out.push_back(text[i]);
        if (text[i] == close)
            ++i;
    }
    return out;
}

std::u16string Token::StringValue() const
{
    std::size_t start = kind == TokenKind::NString ? 2 : 1;
    std::u16string out;
    for (std::size_t i = start; i + 1 < text.size(); ++i) {
        out.push_back(text[i]);
        if (text[i] == u'\'')
            ++i;
    }
    return out;
}

TokenizeResult Tokenize(std::u16string_view t)
{
    TokenizeResult result;
    std::size_t i = 0;
    auto fail = [&](std::size_t at) {
        result.ok = false;
        result.errorOffset = at;
        return result;
    };
    while (i < t.size()) {
        char16_t c = t[i];
        if (IsSpace(c)) {
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < t.size() && t[i + 1] == u'-') {
            while (i < t.size() && t[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < t.size() && t[i + 1] == u'*') {
            std::size_t close = t.find(u"*/", i + 2);
            if (close == std::u16string_view::npos)
                return fail(i);
            i = close + 2;
            continue;
        }
        std::size_t start = i;
        TokenKind kind = TokenKind::Symbol;
        if ((c == u'N' || c == u'n') && i + 1 < t.size() && t[i + 1] == u'\'') {
            std::size_t end = QuotedEnd(t, i + 1, u'\'');
            if (end == std::u16string_view::npos)
                return fail(start);
            kind = TokenKind::NString;
            i = end;
        } else if (c == u'\'') {
            std::size_t end = QuotedEnd(t, i, u'\'');
            if (end == std::u16string_view::npos)
                return fail(start);
            kind = TokenKind::String;
            i = end;
        } else if (c == u'[' || c == u'"') {
            std::size_t end = QuotedEnd(t, i, c == u'[' ? u']' : u'"');
            if (end == std::u16string_view::npos)
                return fail(start);
            kind = TokenKind::QuotedName;
            i = end;
        } else if (c == u'0' && i + 1 < t.size() && (t[i + 1] == u'x' || t[i + 1] == u'X')) {
            i += 2;
            while (i < t.size() && IsHex(t[i]))
                ++i;
            kind = TokenKind::Binary;
        } else if (IsDigit(c) || (c == u'.' && i + 1 < t.size() && IsDigit(t[i + 1]))) {
            while (i < t.size() && IsDigit(t[i]))
                ++i;
            if (i < t.size() && t[i] == u'.') {
                ++i;
                while (i < t.size() && IsDigit(t[i]))
                    ++i;
            }
            if (i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
                std::size_t e = i + 1;
                if (e < t.size() && (t[e] == u'+' || t[e] == u'-'))
                    ++e;
                if (e < t.size() && IsDigit(t[e])) {
                    i = e;
                    while (i < t.size() && IsDigit(t[i]))
                        ++i;
                }
            }
            kind = TokenKind::Number;
        } else if (IsWordStart(c)) {
            while (i < t.size() && IsWordPart(t[i]))
                ++i;
            kind = TokenKind::Word;
        } else if (c == u'?') {
            ++i;
            kind = TokenKind::Parameter;
        } else {
            static const std::u16string_view pairs[]
                = { u"<=", u">=", u"<>", u"!=", u"||", u"==", u"<<", u">>", u"!<", u"!>" };
            i += 1;
            for (auto p : pairs) {
                if (t.substr(start, 2) == p) {
                    i = start + 2;
                    break;
                }
            }
        }
        result.tokens.push_back(Token { kind, start, i, t.substr(start, i - start) });
    }
    return result;
}

void LineAndOffset(std::u16string_view text, std::size_t position, std::size_t& line, std::size_t& offset)
{
    line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < position && i < text.size(); ++i) {
        if (text[i] == u'\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    offset = position - lineStart + 1;
}

std::u16string QuoteName(std::u16string_view name)
{
    std::u16string out = u"\"";
    for (char16_t c : name) {
        out.push_back(c);
        if (c == u'"')
            out.push_back(c);
    }
    out.push_back(u'"');
    return out;
}

std::u16string QuoteString(std::u16string_view text)
{
    std::u16string out = u"'";
    for (char16_t c : text) {
        out.push_back(c);
        if (c == u'\'')
            out.push_back(c);
    }
    out.push_back(u'\'');
    return out;
}

} // namespace engine::detail
