#include "engine/Translator.h"

#include <algorithm>

namespace engine::detail {

Translator::Translator(std::u16string_view text, const std::vector<Token>& tokens, ColumnTypes* types)
    : m_text(text)
    , m_syntax(tokens)
    , m_types(types)
{
    CollectTables();
    PlanApplies();
    NameChangedItems();
}

std::u16string Translator::Translate()
{
    const auto& tokens = m_syntax.Tokens();
    if (tokens.empty())
        return std::u16string(m_text);
    std::u16string out(m_text.substr(0, tokens.front().begin));
    out += Emit(0, tokens.size());
    out.append(m_text.substr(tokens.back().end));
    return out;
}

std::u16string Translator::Emit(std::size_t first, std::size_t last) const
{
    std::u16string out;
    std::size_t i = first;
    while (i < last) {
        if (i > first)
            out.append(m_text.substr(m_syntax[i - 1].end, m_syntax[i].begin - m_syntax[i - 1].end));
        std::size_t next = i + 1;
        std::u16string piece;
        if (Rewrite(i, last, piece, next))
            out += piece;
        else
            out += Leaf(i);
        for (const auto& alias : m_aliases) {
            if (alias.item.second == next && alias.item.first >= first)
                out += u" AS " + QuoteName(alias.name);
        }
        i = next;
    }
    return out;
}

bool Translator::Rewrite(std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const
{
    if (m_syntax.IsWord(i, u"SELECT") && RewriteTop(i, out, next))
        return true;
    if (m_syntax.IsWord(i, u"JOIN") && RewriteNestedJoin(i, out, next))
        return true;
    if (RewriteApply(i, out, next) || RewriteApplyColumn(i, last, out, next))
        return true;
    if (RewriteChain(i, last, out, next) || RewriteDivision(i, last, out, next))
        return true;
    return m_syntax.IsCall(i) && RewriteCall(i, out, next);
}

std::u16string Translator::Leaf(std::size_t i) const
{
    const Token& t = m_syntax[i];
    switch (t.kind) {
    case TokenKind::NString:
        return std::u16string(t.text.substr(1));
    case TokenKind::Binary: {
        std::u16string_view digits = t.text.substr(2);
        std::u16string out = u"X'";
        if (digits.size() % 2)
            out += u'0';
        out += digits;
        out += u'\'';
        return out;
    }
    case TokenKind::QuotedName:
        return t.text.front() == u'[' ? QuoteName(t.Name()) : std::u16string(t.text);
    case TokenKind::Word:
        if (t.IsWord(u"CURRENT_TIMESTAMP"))
            return u"getdate()";
        if (t.IsWord(u"@@IDENTITY"))
            return u"qv_last_identity()";
        if (t.IsWord(u"@@DBTS"))
            return u"qv_dbts()";
        return std::u16string(t.text);
    default:
        return std::u16string(t.text);
    }
}

std::vector<Translator::Range> Translator::SplitList(std::size_t first, std::size_t last) const
{
    std::vector<Range> items;
    std::size_t start = first;
    for (std::size_t pos = first; pos < last; pos = m_syntax.Skip(pos)) {
        if (m_syntax.IsSymbol(pos, u",")) {
            items.emplace_back(start, pos);
            start = pos + 1;
        }
    }
    if (start < last)
        items.emplace_back(start, last);
    return items;
}

void Translator::CollectTables()
{
    for (std::size_t i = 0; i < m_syntax.Size(); ++i) {
        bool list = m_syntax.IsWord(i, u"FROM");
        if (!list && !m_syntax.IsWord(i, u"JOIN") && !m_syntax.IsWord(i, u"UPDATE")
            && !m_syntax.IsWord(i, u"INTO") && !m_syntax.IsWord(i, u"APPLY"))
            continue;
        std::size_t pos = i + 1;
        while (true) {
            TableName name;
            if (m_syntax.IsSymbol(pos, u"(")) {
                pos = m_syntax.Skip(pos);
            } else if (m_syntax.IsName(pos)) {
                name.table = m_syntax[pos++].Name();
                while (m_syntax.IsSymbol(pos, u".") && m_syntax.IsName(pos + 1)) {
                    name.table = m_syntax[pos + 1].Name();
                    pos += 2;
                }
            } else {
                break;
            }
            if (m_syntax.IsWord(pos, u"AS"))
                ++pos;
            if (m_syntax.IsName(pos))
                name.alias = m_syntax[pos++].Name();
            m_tables.push_back(std::move(name));
            if (!list || !m_syntax.IsSymbol(pos, u","))
                break;
            ++pos;
        }
    }
}

void Translator::Fail(ErrorRecord record) const
{
    if (!m_error)
        m_error = std::move(record);
}

std::vector<Translator::SelectItem> Translator::SelectItems() const
{
    std::size_t pos = 0;
    if (!m_syntax.IsWord(pos++, u"SELECT"))
        return {};
    if (m_syntax.IsWord(pos, u"ALL") || m_syntax.IsWord(pos, u"DISTINCT"))
        ++pos;
    if (m_syntax.IsWord(pos, u"TOP")) {
        pos = m_syntax.Skip(pos + 1);
        if (m_syntax.IsWord(pos, u"PERCENT"))
            ++pos;
    }
    // The list ends at the first clause that follows it.
    std::size_t end = m_syntax.SelectEnd(0);
    for (auto clause : { u"FROM", u"WHERE", u"GROUP", u"HAVING", u"ORDER" })
        end = std::min(end, m_syntax.Find(pos, end, clause));
    std::vector<SelectItem> items;
    for (auto [first, last] : SplitList(pos, end)) {
        std::size_t chain = m_syntax.ChainEnd(first, last);
        if (chain == kNone || m_syntax.IsSymbol(chain - 1, u"*"))
            return {};
        // An expression, then nothing, an alias, or AS and an alias.
        bool aliased = chain + 1 == last || (m_syntax.IsWord(chain, u"AS") && chain + 2 == last);
        items.push_back({ { first, chain }, aliased, chain == last || aliased });
    }
    return items;
}

void Translator::NameChangedItems()
{
    for (const auto& item : SelectItems()) {
        auto [first, last] = item.expression;
        if (item.aliased || !item.plain)
            continue;
        // A column read through a join or an APPLY keeps its own name; an
        // expression the translation rewrote keeps the text the user wrote.
        std::u16string_view written
            = m_text.substr(m_syntax[first].begin, m_syntax[last - 1].end - m_syntax[first].begin);
        if (last - first >= 3 && m_syntax.IsName(last - 1) && m_syntax.IsSymbol(last - 2, u".")
            && m_syntax.TermEnd(first, last) == last && !m_syntax.IsCall(first))
            m_aliases.push_back({ item.expression, m_syntax[last - 1].Name() });
        else if (Emit(first, last) != written)
            m_aliases.push_back({ item.expression, std::u16string(written) });
    }
}

std::vector<ValueKind> Translator::ResultKinds() const
{
    std::vector<ValueKind> kinds;
    for (const auto& item : SelectItems()) {
        auto [first, last] = item.expression;
        kinds.push_back(item.plain ? ExpressionKind(first, last) : ValueKind::Unknown);
    }
    return kinds;
}

bool TranslateStatement(std::u16string_view text, const std::vector<Token>& tokens, ColumnTypes* types,
    Translation& out, ErrorRecord& error)
{
    Translator translator(text, tokens, types);
    out.sql = translator.Translate();
    if (translator.Error()) {
        error = *translator.Error();
        return false;
    }
    out.columnKinds = translator.ResultKinds();
    return true;
}

std::u16string TranslateForSqlite(std::u16string_view text, const std::vector<Token>& tokens)
{
    return Translator(text, tokens, nullptr).Translate();
}

} // namespace engine::detail
