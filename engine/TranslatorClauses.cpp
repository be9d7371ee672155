// Clauses: TOP as LIMIT, a join written inside another join, and CROSS and
// OUTER APPLY as a join or as subqueries where one can stand for them.
#include "engine/Translator.h"

#include "engine/EngineErrors.h"
#include "engine/Utf.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace engine::detail {

namespace {

bool IsAggregate(std::u16string_view name)
{
    for (auto a : { u"COUNT", u"SUM", u"AVG", u"MIN", u"MAX" }) {
        if (EqualsNoCase(name, a))
            return true;
    }
    return false;
}

} // namespace

bool Translator::RewriteTop(std::size_t i, std::u16string& out, std::size_t& next) const
{
    const bool quantifier = m_syntax.IsWord(i + 1, u"ALL") || m_syntax.IsWord(i + 1, u"DISTINCT");
    const std::size_t top = quantifier ? i + 2 : i + 1;
    if (!m_syntax.IsWord(top, u"TOP"))
        return false;
    std::size_t count = top + 1;
    std::size_t countEnd = kNone;
    if (m_syntax.IsSymbol(count, u"(") && m_syntax.Partner(count) != kNone) {
        countEnd = m_syntax.Partner(count) + 1;
    } else if (count < m_syntax.Size() && m_syntax[count].kind == TokenKind::Number) {
        countEnd = count + 1;
    } else {
        Fail(ParseErrorAt(m_text, m_syntax.Tokens(), count));
        return false;
    }
    std::size_t after = countEnd;
    const bool percent = m_syntax.IsWord(after, u"PERCENT");
    if (percent)
        ++after;
    if (m_syntax.IsWord(after, u"WITH")) {
        Fail(Unsupported(u"TOP WITH TIES"));
        return false;
    }
    // A written count must be a whole number not below 0; a percentage at most
    // 100. (SQLite would take a negative LIMIT for no limit at all.)
    const bool bracketed = m_syntax.IsSymbol(count, u"(");
    const std::size_t literal = bracketed ? count + 1 : count;
    const std::size_t literalEnd = bracketed ? countEnd - 1 : countEnd;
    const bool negative = m_syntax.IsSymbol(literal, u"-") && literal + 2 == literalEnd;
    const std::size_t digits = negative ? literal + 1 : literal;
    if (digits + 1 == literalEnd && m_syntax[digits].kind == TokenKind::Number) {
        double v = std::stod(ToUtf8(m_syntax[digits].text));
        if (negative || (percent ? v > 100 : v != std::floor(v))) {
            Fail(InvalidArgument(1, u"TOP"));
            return false;
        }
    }
    const std::size_t end = m_syntax.SelectEnd(i);
    auto compoundWord = [&](std::size_t at) {
        return m_syntax.IsWord(at, u"UNION") || m_syntax.IsWord(at, u"EXCEPT")
            || m_syntax.IsWord(at, u"INTERSECT");
    };
    const bool lastMember = !compoundWord(end);
    const bool compound = !lastMember || (i > 0 && (compoundWord(i - 1) || m_syntax.IsWord(i - 1, u"ALL")));
    const std::size_t order = m_syntax.Find(after, end, u"ORDER");
    // In a compound the ORDER BY after its last member sorts the whole result.
    const std::size_t memberEnd = compound && lastMember && order != kNone ? order : end;
    const std::size_t coreEnd = order != kNone && order < memberEnd ? order : memberEnd;

    const std::u16string head = Leaf(i) + (quantifier ? u" " + Leaf(i + 1) : u"") + u" ";
    const std::u16string core = Emit(after, coreEnd);
    std::u16string limit = Emit(count, countEnd);
    if (percent)
        limit = u"(SELECT CAST(ceiling(count(*) * " + limit + u" / 100.0) AS INTEGER) FROM (" + head + core
            + u"))";
    std::u16string select = head + core;
    if (coreEnd < memberEnd)
        select += u" " + Emit(coreEnd, memberEnd);
    select += u" LIMIT " + limit;
    out = compound ? u"SELECT * FROM (" + select + u")" : select;
    next = memberEnd;
    return true;
}

bool Translator::RewriteNestedJoin(std::size_t i, std::u16string& out, std::size_t& next) const
{
    if (i > 0 && m_syntax.IsWord(i - 1, u"CROSS"))
        return false;
    // A JOIN B JOIN C ON c1 ON c2: B's join with C is what A joins; SQLite
    // wants it in brackets.
    bool joined = false;
    std::size_t end = m_syntax.TableReferenceEnd(i + 1, true, joined);
    if (end == kNone || !joined || !m_syntax.IsWord(end, u"ON"))
        return false;
    out = Leaf(i) + u" (" + Emit(i + 1, end) + u")";
    next = end;
    return true;
}

bool Translator::RewriteApply(std::size_t i, std::u16string& out, std::size_t& next) const
{
    for (const auto& plan : m_applies) {
        if (plan.begin == i) {
            out = plan.replacement;
            next = plan.end;
            return true;
        }
    }
    return false;
}

bool Translator::RewriteApplyColumn(
    std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const
{
    if (m_applies.empty() || i + 2 >= last || !m_syntax.IsName(i) || !m_syntax.IsSymbol(i + 1, u"."))
        return false;
    const std::u16string alias = m_syntax[i].Name();
    for (const auto& plan : m_applies) {
        if (!EqualsNoCase(plan.alias, alias))
            continue;
        if (m_syntax.IsSymbol(i + 2, u"*")) {
            out.clear();
            for (const auto& [name, value] : plan.columns)
                out += (out.empty() ? u"" : u", ") + value + u" AS " + QuoteName(name);
        } else {
            const std::u16string column = m_syntax[i + 2].Name();
            auto it = std::find_if(plan.columns.begin(), plan.columns.end(),
                [&](const auto& c) { return EqualsNoCase(c.first, column); });
            if (it == plan.columns.end())
                return false;
            out = it->second;
        }
        next = i + 3;
        return true;
    }
    return false;
}

void Translator::PlanApplies()
{
    for (std::size_t i = 0; i + 1 < m_syntax.Size(); ++i) {
        const bool cross = m_syntax.IsWord(i, u"CROSS");
        if (!(cross || m_syntax.IsWord(i, u"OUTER")) || !m_syntax.IsWord(i + 1, u"APPLY"))
            continue;
        ApplyPlan plan;
        if (!PlanApply(i, plan))
            return Fail(Unsupported(cross ? u"CROSS APPLY" : u"OUTER APPLY"));
        m_applies.push_back(std::move(plan));
    }
}

bool Translator::PlanApply(std::size_t i, ApplyPlan& plan)
{
    const std::size_t open = i + 2;
    const std::size_t close = m_syntax.Partner(open);
    if (!m_syntax.IsSymbol(open, u"(") || close == kNone || !m_syntax.IsWord(open + 1, u"SELECT")
        || m_syntax.SelectEnd(open + 1) != close)
        return false;
    std::size_t pos = close + 1;
    if (m_syntax.IsWord(pos, u"AS"))
        ++pos;
    if (!m_syntax.IsName(pos))
        return false;
    plan.begin = i;
    plan.end = pos + 1;
    plan.alias = m_syntax[pos].Name();

    std::size_t body = open + 2;
    if (m_syntax.IsWord(body, u"DISTINCT"))
        return false;
    if (m_syntax.IsWord(body, u"ALL"))
        ++body;
    Range count { kNone, kNone };
    if (m_syntax.IsWord(body, u"TOP")) {
        if (m_syntax.IsSymbol(body + 1, u"(") && m_syntax.Partner(body + 1) != kNone)
            count = { body + 1, m_syntax.Partner(body + 1) + 1 };
        else if (body + 1 < close && m_syntax[body + 1].kind == TokenKind::Number)
            count = { body + 1, body + 2 };
        else
            return false;
        body = count.second;
        if (m_syntax.IsWord(body, u"PERCENT") || m_syntax.IsWord(body, u"WITH"))
            return false;
    }
    const std::size_t from = m_syntax.Find(body, close, u"FROM");
    if (from == kNone || m_syntax.Find(from, close, u"GROUP") != kNone
        || m_syntax.Find(from, close, u"HAVING") != kNone)
        return false;
    const std::size_t where = m_syntax.Find(from, close, u"WHERE");
    const std::size_t order = m_syntax.Find(from, close, u"ORDER");
    const std::size_t fromEnd = where != kNone ? where : (order != kNone ? order : close);
    const std::size_t conditionEnd = order != kNone ? order : close;

    // Each item needs a name: its alias, or the column it reads.
    bool aggregates = true;
    for (auto [a, b] : SplitList(body, from)) {
        std::size_t e = m_syntax.ChainEnd(a, b);
        if (e == kNone)
            return false;
        std::u16string name;
        if (m_syntax.IsWord(e, u"AS") && e + 2 == b && m_syntax.IsName(e + 1))
            name = m_syntax[e + 1].Name();
        else if (e + 1 == b && m_syntax.IsName(e))
            name = m_syntax[e].Name();
        else if (e == b && m_syntax.IsName(a) && !m_syntax.IsCall(a) && m_syntax.TermEnd(a, b) == b
            && m_syntax.IsName(b - 1))
            name = m_syntax[b - 1].Name();
        else
            return false;
        aggregates = aggregates && m_syntax.IsCall(a) && m_syntax.Partner(a + 1) + 1 == e
            && IsAggregate(m_syntax[a].text);
        plan.columns.emplace_back(std::move(name), Emit(a, e));
    }
    const std::u16string source = Emit(from + 1, fromEnd);
    const std::u16string filter = where != kNone ? u" WHERE " + Emit(where + 1, conditionEnd) : u"";
    if (aggregates && count.first == kNone) {
        // Aggregates without GROUP BY give one row for every outer row: each
        // column is a subquery of its own and the APPLY goes.
        for (auto& column : plan.columns)
            column.second = u"(SELECT " + column.second + u" FROM " + source + filter + u")";
        return true;
    }
    bool joined = false;
    const bool oneTable = m_syntax.IsName(from + 1)
        && m_syntax.TableReferenceEnd(from + 1, true, joined) == fromEnd && !joined;
    const std::u16string join = m_syntax.IsWord(i, u"CROSS") ? u" INNER JOIN " : u" LEFT JOIN ";
    if (count.first == kNone) {
        std::u16string on = where != kNone ? u"(" + Emit(where + 1, conditionEnd) + u")" : u"1";
        plan.replacement = join + (oneTable ? source : u"(" + source + u")") + u" ON " + on;
    } else {
        if (!oneTable)
            return false;
        // The first rows in the subquery's order, picked by their row ids; in
        // the subquery the table's name stands for its own rows.
        std::size_t last = fromEnd - 1;
        const std::u16string ref = QuoteName(m_syntax[last].Name());
        plan.replacement = join + source + u" ON " + ref + u".rowid IN (SELECT " + ref + u".rowid FROM "
            + source + filter + (order != kNone ? u" " + Emit(order, close) : u"") + u" LIMIT " + Emit(count)
            + u")";
    }
    for (auto& column : plan.columns)
        column.second = u"(" + column.second + u")";
    return true;
}

} // namespace engine::detail
