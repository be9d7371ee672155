// Where the parts of a statement begin and end in its token list: bracket
// partners, reserved words, the terms of an expression (what + and - join:
// operands with their *, / and % and unary signs), a FROM clause's table
// references and a SELECT's clauses. Nothing here changes text.
#pragma once

#include "engine/SqlTokenizer.h"

#include <cstddef>
#include <vector>

namespace engine::detail {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

class SqlSyntax {
public:
    explicit SqlSyntax(const std::vector<Token>& tokens);

    const std::vector<Token>& Tokens() const { return m_tokens; }
    std::size_t Size() const { return m_tokens.size(); }
    const Token& operator[](std::size_t i) const { return m_tokens[i]; }

    // The partner of a "(" or ")", CASE or END; kNone for other tokens and unmatched ones.
    std::size_t Partner(std::size_t i) const { return i < m_partner.size() ? m_partner[i] : kNone; }
    // The index after the bracket that opens at i (or i + 1 for any other token).
    std::size_t Skip(std::size_t i) const;

    bool IsWord(std::size_t i, std::u16string_view upperWord) const
    {
        return i < m_tokens.size() && m_tokens[i].IsWord(upperWord);
    }
    bool IsSymbol(std::size_t i, std::u16string_view symbol) const
    {
        return i < m_tokens.size() && m_tokens[i].IsSymbol(symbol);
    }
    // A word that cannot name a column or table where an operand may stand.
    bool IsReserved(std::size_t i) const;
    // A plain or bracketed name that is not a reserved word.
    bool IsName(std::size_t i) const;
    // A name followed by "(": a function call.
    bool IsCall(std::size_t i) const;
    // A binary + or - at i (one that follows an operand).
    bool IsAdditive(std::size_t i) const;
    // *, /, % or || at i.
    bool IsMultiplicative(std::size_t i) const;

    // The end of the factor that starts at i (an operand with its unary signs),
    // or kNone when none starts there.
    std::size_t FactorEnd(std::size_t i, std::size_t last) const;
    // The end of the term that starts at i and stays before `last` (factors
    // joined by *, /, % and ||), or kNone when no term starts there.
    std::size_t TermEnd(std::size_t i, std::size_t last) const;
    // The end of a chain of terms joined by + and - from i, with no more than
    // one term when there is no + or -; kNone when no term starts there.
    std::size_t ChainEnd(std::size_t i, std::size_t last) const;

    // The end of the SELECT that starts at i: an unmatched ")", a UNION,
    // EXCEPT or INTERSECT, a ";" or the end of the statement.
    std::size_t SelectEnd(std::size_t i) const;
    // The first token of `word` at the bracket depth of `first` in [first, last); kNone when absent.
    std::size_t Find(std::size_t first, std::size_t last, std::u16string_view word) const;

    // A table reference from i: a name or a bracketed subquery or join, with
    // an optional alias, and, when `withJoins`, the joins that follow it with
    // their ON conditions. `joined` tells whether a join belongs to it.
    std::size_t TableReferenceEnd(std::size_t i, bool withJoins, bool& joined) const;
    // The end of the join operator that starts at i (INNER JOIN, LEFT OUTER JOIN,
    // CROSS APPLY, ...); kNone when none starts there.
    std::size_t JoinOperatorEnd(std::size_t i) const;
    // The end of the ON condition that starts at i.
    std::size_t ConditionEnd(std::size_t i) const;

private:
    const std::vector<Token>& m_tokens;
    std::vector<std::size_t> m_partner;
    std::vector<bool> m_reserved; // looked up once per token, as every walk asks again
};

} // namespace engine::detail
