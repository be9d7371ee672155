// Splits statement text of the engine's dialect into tokens, keeping where each
// token stands, so that statements can be classified, translated for SQLite and
// errors can name the line, offset and text of the token in error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace engine::detail {

enum class TokenKind {
    Word, // keyword or plain name: letters, digits, _, @, #, $
    QuotedName, // [name] or "name"
    String, // 'text' with '' for a quote
    NString, // N'text'
    Number, // 12, 1.5, .5, 1e10
    Binary, // 0x1F2E
    Parameter, // ?
    Symbol, // punctuation and operators: ( ) , ; . = <> <= >= != || + - * / % ...
};

struct Token {
    TokenKind kind;
    std::size_t begin; // offset in the statement text (UTF-16 units)
    std::size_t end;
    std::u16string_view text; // the token as written

    bool IsWord(std::u16string_view upperWord) const; // a Word equal to it without regard to case
    bool IsSymbol(std::u16string_view symbol) const;
    bool IsName() const { return kind == TokenKind::Word || kind == TokenKind::QuotedName; }
    // The name a Word or QuotedName stands for (quotes removed, doubled quotes undone).
    std::u16string Name() const;
    // The value of a String or NString literal.
    std::u16string StringValue() const;
};

struct TokenizeResult {
    std::vector<Token> tokens;
    bool ok = true;
    std::size_t errorOffset = 0; // where an unterminated literal, name or comment starts
};

// Comments (-- to line end, /* */) and white space are skipped.
TokenizeResult Tokenize(std::u16string_view text);

// 1-based line number and offset within the line of a text position.
void LineAndOffset(std::u16string_view text, std::size_t position, std::size_t& line, std::size_t& offset);

// A name quoted for SQLite: "na""me".
std::u16string QuoteName(std::u16string_view name);

// A text quoted as an SQL literal: 'it''s'.
std::u16string QuoteString(std::u16string_view text);

} // namespace engine::detail
