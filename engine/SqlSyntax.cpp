#include "engine/SqlSyntax.h"

#include "engine/Utf.h"

#include <span>

namespace engine::detail {

namespace {

constexpr std::u16string_view kReserved[] = { u"ALL", u"AND", u"APPLY", u"AS", u"ASC", u"BETWEEN", u"BY",
    u"CASE", u"COLLATE", u"CROSS", u"DEFAULT", u"DELETE", u"DESC", u"DISTINCT", u"ELSE", u"END", u"ESCAPE",
    u"EXCEPT", u"EXISTS", u"FROM", u"FULL", u"GROUP", u"HAVING", u"IN", u"INNER", u"INSERT", u"INTERSECT",
    u"INTO", u"IS", u"JOIN", u"LEFT", u"LIKE", u"LIMIT", u"NOT", u"OFFSET", u"ON", u"OR", u"ORDER", u"OUTER",
    u"PERCENT", u"RIGHT", u"SELECT", u"SET", u"THEN", u"TIES", u"TOP", u"UNION", u"UPDATE", u"VALUES",
    u"WHEN", u"WHERE", u"WITH" };

// Words that end an ON condition (besides the join operators).
constexpr std::u16string_view kClauseWords[]
    = { u"ON", u"WHERE", u"GROUP", u"ORDER", u"HAVING", u"UNION", u"EXCEPT", u"INTERSECT" };

bool IsOneOf(const Token& t, std::span<const std::u16string_view> words)
{
    if (t.kind != TokenKind::Word)
        return false;
    for (auto w : words) {
        if (w.size() == t.text.size() && FoldAscii(w[0]) == FoldAscii(t.text[0]) && EqualsNoCase(t.text, w))
            return true;
    }
    return false;
}

} // namespace

SqlSyntax::SqlSyntax(const std::vector<Token>& tokens)
    : m_tokens(tokens)
    , m_partner(tokens.size(), kNone)
    , m_reserved(tokens.size(), false)
{
    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        m_reserved[i] = IsOneOf(t, kReserved);
        if (t.IsSymbol(u"(") || t.IsWord(u"CASE")) {
            open.push_back(i);
        } else if (!open.empty()
            && ((t.IsSymbol(u")") && tokens[open.back()].IsSymbol(u"("))
                || (t.IsWord(u"END") && tokens[open.back()].IsWord(u"CASE")))) {
            m_partner[i] = open.back();
            m_partner[open.back()] = i;
            open.pop_back();
        }
    }
}

std::size_t SqlSyntax::Skip(std::size_t i) const
{
    std::size_t p = Partner(i);
    return p != kNone && p > i ? p + 1 : i + 1;
}

bool SqlSyntax::IsReserved(std::size_t i) const
{
    return i < m_tokens.size() && m_reserved[i];
}

bool SqlSyntax::IsName(std::size_t i) const
{
    if (i >= m_tokens.size())
        return false;
    const Token& t = m_tokens[i];
    return t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && !IsReserved(i));
}

bool SqlSyntax::IsCall(std::size_t i) const
{
    if (!IsSymbol(i + 1, u"(") || m_tokens[i].kind != TokenKind::Word)
        return false;
    // INSERT INTO T (a, b) lists columns.
    if (i > 0 && (IsWord(i - 1, u"INTO") || IsWord(i - 1, u"TABLE")))
        return false;
    return !IsReserved(i) || IsWord(i, u"LEFT") || IsWord(i, u"RIGHT");
}

bool SqlSyntax::IsAdditive(std::size_t i) const
{
    if (i == 0 || !(IsSymbol(i, u"+") || IsSymbol(i, u"-")))
        return false;
    const Token& before = m_tokens[i - 1];
    switch (before.kind) {
    case TokenKind::Symbol:
        return before.IsSymbol(u")");
    case TokenKind::Word:
        return before.IsWord(u"END") || !IsReserved(i - 1);
    default:
        return true;
    }
}

std::size_t SqlSyntax::FactorEnd(std::size_t i, std::size_t last) const
{
    std::size_t pos = i;
    while (pos < last && (IsSymbol(pos, u"-") || IsSymbol(pos, u"+") || IsSymbol(pos, u"~")))
        ++pos;
    if (pos >= last)
        return kNone;
    const Token& t = m_tokens[pos];
    if (t.kind == TokenKind::Number || t.kind == TokenKind::String || t.kind == TokenKind::NString
        || t.kind == TokenKind::Binary || t.kind == TokenKind::Parameter) {
        ++pos;
    } else if (t.IsSymbol(u"(") || t.IsWord(u"CASE") || IsCall(pos)) {
        std::size_t open = t.IsSymbol(u"(") || t.IsWord(u"CASE") ? pos : pos + 1;
        std::size_t close = m_partner[open];
        if (close == kNone || close >= last)
            return kNone;
        pos = close + 1;
    } else if (IsName(pos)) {
        ++pos;
        while (pos + 1 < last && IsSymbol(pos, u".") && (IsName(pos + 1) || IsSymbol(pos + 1, u"*")))
            pos += 2;
    } else {
        return kNone;
    }
    if (pos + 1 < last && IsWord(pos, u"COLLATE"))
        pos += 2;
    return pos;
}

bool SqlSyntax::IsMultiplicative(std::size_t i) const
{
    return IsSymbol(i, u"*") || IsSymbol(i, u"/") || IsSymbol(i, u"%") || IsSymbol(i, u"||");
}

std::size_t SqlSyntax::TermEnd(std::size_t i, std::size_t last) const
{
    std::size_t pos = FactorEnd(i, last);
    while (pos != kNone && pos + 1 < last && IsMultiplicative(pos)) {
        std::size_t next = FactorEnd(pos + 1, last);
        if (next == kNone)
            break;
        pos = next;
    }
    return pos;
}

std::size_t SqlSyntax::ChainEnd(std::size_t i, std::size_t last) const
{
    std::size_t end = TermEnd(i, last);
    while (end != kNone && end < last && IsAdditive(end)) {
        std::size_t next = TermEnd(end + 1, last);
        if (next == kNone)
            break;
        end = next;
    }
    return end;
}

std::size_t SqlSyntax::SelectEnd(std::size_t i) const
{
    std::size_t pos = i + 1;
    while (pos < m_tokens.size()) {
        const Token& t = m_tokens[pos];
        if (t.IsSymbol(u")") || t.IsSymbol(u";") || t.IsWord(u"UNION") || t.IsWord(u"EXCEPT")
            || t.IsWord(u"INTERSECT"))
            return pos;
        pos = Skip(pos);
    }
    return m_tokens.size();
}

std::size_t SqlSyntax::Find(std::size_t first, std::size_t last, std::u16string_view word) const
{
    for (std::size_t pos = first; pos < last; pos = Skip(pos)) {
        if (m_tokens[pos].IsWord(word))
            return pos;
    }
    return kNone;
}

std::size_t SqlSyntax::JoinOperatorEnd(std::size_t i) const
{
    if (IsWord(i, u"JOIN"))
        return i + 1;
    if (IsWord(i, u"INNER") && IsWord(i + 1, u"JOIN"))
        return i + 2;
    if (IsWord(i, u"CROSS") && (IsWord(i + 1, u"JOIN") || IsWord(i + 1, u"APPLY")))
        return i + 2;
    if (IsWord(i, u"OUTER") && IsWord(i + 1, u"APPLY"))
        return i + 2;
    if (IsWord(i, u"LEFT") || IsWord(i, u"RIGHT") || IsWord(i, u"FULL")) {
        std::size_t at = IsWord(i + 1, u"OUTER") ? i + 2 : i + 1;
        return IsWord(at, u"JOIN") ? at + 1 : kNone;
    }
    return kNone;
}

std::size_t SqlSyntax::ConditionEnd(std::size_t i) const
{
    std::size_t pos = i;
    while (pos < m_tokens.size()) {
        const Token& t = m_tokens[pos];
        if (t.IsSymbol(u")") || t.IsSymbol(u",") || t.IsSymbol(u";") || IsOneOf(t, kClauseWords)
            || JoinOperatorEnd(pos) != kNone)
            return pos;
        pos = Skip(pos);
    }
    return pos;
}

std::size_t SqlSyntax::TableReferenceEnd(std::size_t i, bool withJoins, bool& joined) const
{
    joined = false;
    std::size_t pos = i;
    if (IsSymbol(pos, u"(")) {
        if (m_partner[pos] == kNone)
            return kNone;
        pos = m_partner[pos] + 1;
    } else if (IsName(pos)) {
        ++pos;
        while (IsSymbol(pos, u".") && IsName(pos + 1))
            pos += 2;
    } else {
        return kNone;
    }
    if (IsWord(pos, u"AS"))
        ++pos;
    if (IsName(pos))
        ++pos;
    while (withJoins) {
        std::size_t op = JoinOperatorEnd(pos);
        if (op == kNone)
            break;
        bool single = IsWord(pos, u"CROSS") || IsWord(pos, u"OUTER");
        bool inner = false;
        std::size_t right = TableReferenceEnd(op, !single, inner);
        if (right == kNone)
            break;
        joined = true;
        pos = !single && IsWord(right, u"ON") ? ConditionEnd(right + 1) : right;
    }
    return pos;
}

} // namespace engine::detail
