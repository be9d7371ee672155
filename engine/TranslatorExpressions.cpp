// Expressions: + and - by the kinds of their operands, the function forms that
// take a date part or a type, and the kinds the statement fixes for its
// operands (literals, columns of the tables it names, function results).
#include "engine/Translator.h"

#include "engine/DateMath.h"
#include "engine/DdlParser.h"
#include "engine/EngineErrors.h"
#include "engine/FunctionCatalog.h"
#include "engine/Utf.h"

#include <string>

namespace engine::detail {

namespace {

constexpr std::u16string_view kDateCollation = u" COLLATE QV_DATETIME";

std::u16string Decimal(int value)
{
    std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

} // namespace

bool Translator::RewriteChain(std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const
{
    std::size_t termEnd = m_syntax.TermEnd(i, last);
    if (termEnd == kNone || termEnd >= last || !m_syntax.IsAdditive(termEnd))
        return false;
    std::size_t end = m_syntax.ChainEnd(i, last);
    std::u16string sql = Emit(i, termEnd);
    ValueKind kind = TermKind(i, termEnd);
    // Left to right: a + b - c is (a + b) - c. Where both kinds are known and
    // SQLite's own operator means the same, it is used.
    while (termEnd < end) {
        const bool subtract = m_syntax.IsSymbol(termEnd, u"-");
        const std::size_t first = termEnd + 1;
        termEnd = m_syntax.TermEnd(first, last);
        const ValueKind right = TermKind(first, termEnd);
        std::u16string operand = Emit(first, termEnd);
        if (kind != ValueKind::Unknown && right != ValueKind::Unknown
            && Arithmetic(kind, right, subtract) == Operation::Invalid)
            Fail(InvalidOperands(subtract ? u"-" : u"+", KindTypeName(kind), KindTypeName(right)));
        if (kind == ValueKind::Number && right == ValueKind::Number)
            sql = u"(" + sql + (subtract ? u" - " : u" + ") + operand + u")";
        else if (!subtract && kind == ValueKind::Text && right == ValueKind::Text)
            sql = u"(" + sql + u" || " + operand + u")";
        else
            sql = (subtract ? u"qv_sub(" : u"qv_add(") + sql + u", " + operand + u", "
                + Decimal(KindPair(kind, right)) + u")";
        kind = ResultKind(kind, right, subtract);
    }
    if (kind == ValueKind::Date)
        sql += kDateCollation;
    out = std::move(sql);
    next = end;
    return true;
}

bool Translator::RewriteDivision(
    std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const
{
    const std::size_t end = m_syntax.TermEnd(i, last);
    if (end == kNone)
        return false;
    bool divides = false;
    for (std::size_t pos = m_syntax.FactorEnd(i, last); pos < end; pos = m_syntax.FactorEnd(pos + 1, last))
        divides = divides || m_syntax.IsSymbol(pos, u"/") || m_syntax.IsSymbol(pos, u"%");
    if (!divides)
        return false;
    // SQLite gives null for a division by zero; the dialect fails the statement.
    std::size_t pos = m_syntax.FactorEnd(i, last);
    std::u16string sql = Emit(i, pos);
    while (pos < end) {
        const std::size_t factor = m_syntax.FactorEnd(pos + 1, last);
        const std::u16string operand = Emit(pos + 1, factor);
        if (m_syntax.IsSymbol(pos, u"/"))
            sql = u"qv_div(" + sql + u", " + operand + u")";
        else if (m_syntax.IsSymbol(pos, u"%"))
            sql = u"qv_mod(" + sql + u", " + operand + u")";
        else
            sql = u"(" + sql + u" " + std::u16string(m_syntax[pos].text) + u" " + operand + u")";
        pos = factor;
    }
    out = std::move(sql);
    next = end;
    return true;
}

bool Translator::RewriteCall(std::size_t i, std::u16string& out, std::size_t& next) const
{
    const DialectFunction* f = FindFunction(m_syntax[i].text);
    const std::size_t open = i + 1;
    const std::size_t close = m_syntax.Partner(open);
    if (!f || close == kNone)
        return false;
    const std::u16string name
        = f->sqlName.empty() ? std::u16string(m_syntax[i].text) : std::u16string(f->sqlName);
    const std::vector<Range> args = SplitList(open + 1, close);
    SqlType type;
    // A date-time result compares by its meaning, also with a literal written in another form.
    const bool date = CallKind(i) == ValueKind::Date;
    switch (f->form) {
    case FunctionForm::Plain:
        if (f->sqlName.empty() && !date)
            return false;
        out = name + Emit(open, close + 1);
        break;
    case FunctionForm::DatePartFirst: {
        if (args.empty())
            return false;
        auto [a, b] = args[0];
        const Token& t = m_syntax[a];
        std::u16string part = Emit(a, b);
        if (b == a + 1 && t.kind != TokenKind::Number && t.kind != TokenKind::Parameter) {
            DatePart p;
            bool literal = t.kind == TokenKind::String || t.kind == TokenKind::NString;
            if (!LookupDatePart(literal ? t.StringValue() : t.Name(), p)) {
                Fail(InvalidArgument(1, f->name));
                return false;
            }
            part = QuoteString(DatePartName(p));
        }
        out = name + u"(" + part + Emit(b, close) + u")";
        break;
    }
    case FunctionForm::TypeFirst: {
        if (args.size() < 2 || args.size() > 3) {
            Fail(WrongArgumentCount(f->name));
            return false;
        }
        if (!ReadType(args[0].first, args[0].second, type, true))
            return false;
        out = name + u"(" + QuoteString(TypeText(type)) + u", " + Emit(args[1]) + u", "
            + (args.size() == 3 ? Emit(args[2]) : u"NULL") + u", "
            + Decimal(static_cast<int>(ExpressionKind(args[1].first, args[1].second))) + u")";
        break;
    }
    case FunctionForm::Cast: {
        // A type SQLite knows but the engine does not (CAST(x AS TEXT)) stays SQLite's.
        std::size_t as = m_syntax.Find(open + 1, close, u"AS");
        if (as == kNone || !ReadType(as + 1, close, type, false))
            return false;
        out = name + u"(" + QuoteString(TypeText(type)) + u", " + Emit(open + 1, as) + u", NULL, "
            + Decimal(static_cast<int>(ExpressionKind(open + 1, as))) + u")";
        break;
    }
    }
    if (date)
        out += kDateCollation;
    next = close + 1;
    return true;
}

bool Translator::ReadType(std::size_t pos, std::size_t end, SqlType& type, bool report) const
{
    ErrorRecord error;
    // CONVERT and CAST give a text type without a length 30 characters.
    bool ok = ParseDataType(m_text, m_syntax.Tokens(), pos, type, error, 30) && pos == end;
    if (!ok && report) {
        std::size_t first = std::min(pos, end);
        Fail(first < end && error.description.empty() ? InvalidDataType(m_syntax[first].text) : error);
    }
    return ok;
}

ValueKind Translator::TermKind(std::size_t first, std::size_t last) const
{
    // Operands joined by *, / or % make a number; by || a text.
    for (std::size_t pos = first; pos < last; pos = m_syntax.Skip(pos)) {
        if (m_syntax.IsSymbol(pos, u"*") || m_syntax.IsSymbol(pos, u"/") || m_syntax.IsSymbol(pos, u"%"))
            return ValueKind::Number;
        if (m_syntax.IsSymbol(pos, u"||"))
            return ValueKind::Text;
    }
    if (m_syntax.IsSymbol(first, u"-") || m_syntax.IsSymbol(first, u"+") || m_syntax.IsSymbol(first, u"~"))
        return ValueKind::Number;
    const Token& t = m_syntax[first];
    switch (t.kind) {
    case TokenKind::Number:
        return ValueKind::Number;
    case TokenKind::String:
    case TokenKind::NString:
        return ValueKind::Text;
    case TokenKind::Binary:
        return ValueKind::Binary;
    case TokenKind::Parameter:
        return ValueKind::Unknown;
    default:
        break;
    }
    if (t.IsSymbol(u"(")) {
        std::size_t close = m_syntax.Partner(first);
        return m_syntax.IsWord(first + 1, u"SELECT") || close == kNone ? ValueKind::Unknown
                                                                       : ExpressionKind(first + 1, close);
    }
    if (m_syntax.IsCall(first))
        return CallKind(first);
    if (t.IsWord(u"NULL"))
        return ValueKind::Null;
    if (t.IsWord(u"CURRENT_TIMESTAMP"))
        return ValueKind::Date;
    if (t.IsWord(u"@@IDENTITY"))
        return ValueKind::Number;
    return m_syntax.IsName(first) ? ColumnKind(first, last) : ValueKind::Unknown;
}

ValueKind Translator::ExpressionKind(std::size_t first, std::size_t last) const
{
    std::size_t end = m_syntax.TermEnd(first, last);
    if (end == kNone)
        return ValueKind::Unknown;
    ValueKind kind = TermKind(first, end);
    while (end < last && m_syntax.IsAdditive(end)) {
        const bool subtract = m_syntax.IsSymbol(end, u"-");
        std::size_t next = m_syntax.TermEnd(end + 1, last);
        if (next == kNone)
            return ValueKind::Unknown;
        kind = ResultKind(kind, TermKind(end + 1, next), subtract);
        end = next;
    }
    return end == last ? kind : ValueKind::Unknown;
}

ValueKind Translator::CallKind(std::size_t i) const
{
    const DialectFunction* f = FindFunction(m_syntax[i].text);
    const std::size_t close = m_syntax.Partner(i + 1);
    if (!f || close == kNone)
        return ValueKind::Unknown;
    const std::vector<Range> args = SplitList(i + 2, close);
    SqlType type;
    switch (f->result) {
    case ResultRule::Number:
        return ValueKind::Number;
    case ResultRule::Text:
        return ValueKind::Text;
    case ResultRule::Date:
        return ValueKind::Date;
    case ResultRule::Guid:
        return ValueKind::Guid;
    case ResultRule::FirstArgument:
        // ISNULL(NULL, x) and COALESCE(NULL, x) take x's kind.
        for (auto [first, last] : args) {
            ValueKind kind = ExpressionKind(first, last);
            if (kind != ValueKind::Null)
                return kind;
        }
        return args.empty() ? ValueKind::Unknown : ValueKind::Null;
    case ResultRule::TextOrBytes:
        return !args.empty() && ExpressionKind(args[0].first, args[0].second) == ValueKind::Binary
            ? ValueKind::Binary
            : ValueKind::Text;
    case ResultRule::OfType:
        if (f->form == FunctionForm::TypeFirst && !args.empty()
            && ReadType(args[0].first, args[0].second, type, false))
            return KindOfType(type.type);
        if (f->form == FunctionForm::Cast) {
            std::size_t as = m_syntax.Find(i + 2, close, u"AS");
            if (as != kNone && ReadType(as + 1, close, type, false))
                return KindOfType(type.type);
        }
        return ValueKind::Unknown;
    case ResultRule::Unknown:
        break;
    }
    return ValueKind::Unknown;
}

ValueKind Translator::ColumnKind(std::size_t first, std::size_t last) const
{
    std::vector<std::u16string> parts;
    for (std::size_t pos = first; pos < last; pos += 2) {
        if (!m_syntax.IsName(pos))
            return ValueKind::Unknown;
        parts.push_back(m_syntax[pos].Name());
        if (!m_syntax.IsSymbol(pos + 1, u".") || pos + 1 >= last)
            break;
    }
    if (!m_types || parts.empty())
        return ValueKind::Unknown;
    const std::u16string& column = parts.back();
    const std::u16string qualifier = parts.size() > 1 ? parts[parts.size() - 2] : std::u16string();
    // An unqualified name takes the kind its tables agree on.
    ValueKind found = ValueKind::Unknown;
    bool any = false;
    for (const auto& t : m_tables) {
        bool named = qualifier.empty() || EqualsNoCase(qualifier, t.alias)
            || (t.alias.empty() && EqualsNoCase(qualifier, t.table));
        SqlType type;
        if (!named || t.table.empty() || !m_types->Find(t.table, column, type)) {
            if (named && !qualifier.empty() && t.table.empty())
                return ValueKind::Unknown;
            continue;
        }
        ValueKind kind = KindOfType(type.type);
        if (any && kind != found)
            return ValueKind::Unknown;
        found = kind;
        any = true;
    }
    return found;
}

} // namespace engine::detail
