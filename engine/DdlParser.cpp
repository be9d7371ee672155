#include "engine/DdlParser.h"

#include "engine/Database.h"
#include "engine/EngineErrors.h"
#include "engine/Utf.h"

namespace engine::detail {

namespace {

class Parser {
public:
    Parser(std::u16string_view text, const std::vector<Token>& tokens, ErrorRecord& error)
        : m_text(text)
        , m_tokens(tokens)
        , m_error(error)
    {
    }

    bool Statement(DdlCommand& out);
    // A data type from `pos`; a text or binary type without a length gets `defaultLength`.
    bool DataType(std::size_t& pos, SqlType& type, std::uint32_t defaultLength)
    {
        m_pos = pos;
        m_defaultLength = defaultLength;
        if (!Type(type))
            return false;
        pos = m_pos;
        return true;
    }

private:
    const Token* Current() const { return m_pos < m_tokens.size() ? &m_tokens[m_pos] : nullptr; }
    const Token* Next() const { return m_pos + 1 < m_tokens.size() ? &m_tokens[m_pos + 1] : nullptr; }
    bool AtWord(std::u16string_view w) const { return Current() && Current()->IsWord(w); }
    bool AtSymbol(std::u16string_view s) const { return Current() && Current()->IsSymbol(s); }
    bool AcceptWord(std::u16string_view w)
    {
        if (!AtWord(w))
            return false;
        ++m_pos;
        return true;
    }
    bool AcceptSymbol(std::u16string_view s)
    {
        if (!AtSymbol(s))
            return false;
        ++m_pos;
        return true;
    }
    bool Fail()
    {
        if (!m_failed)
            m_error = ParseErrorAt(m_text, m_tokens, m_pos);
        m_failed = true;
        return false;
    }
    bool FailWith(ErrorRecord record)
    {
        if (!m_failed)
            m_error = std::move(record);
        m_failed = true;
        return false;
    }
    bool ExpectWord(std::u16string_view w) { return AcceptWord(w) || Fail(); }
    bool ExpectSymbol(std::u16string_view s) { return AcceptSymbol(s) || Fail(); }

    bool Name(std::u16string& out);
    bool NameList(std::vector<std::u16string>& out);
    bool SignedInteger(std::int64_t& out);
    bool SmallNumber(std::uint32_t& out);
    bool End();

    bool CreateTable(DdlCommand& out);
    bool CreateIndex(DdlCommand& out, bool unique);
    bool Drop(DdlCommand& out);
    bool Alter(DdlCommand& out);

    bool StartsTableConstraint() const
    {
        return AtWord(u"CONSTRAINT") || AtWord(u"PRIMARY") || AtWord(u"UNIQUE") || AtWord(u"FOREIGN");
    }
    bool Item(std::vector<ColumnModel>& columns, std::vector<ConstraintModel>& constraints);
    bool Column(ColumnModel& column, std::vector<ConstraintModel>& constraints, bool withName);
    bool Type(SqlType& type);
    bool TableConstraint(ConstraintModel& constraint);
    bool References(ConstraintModel& constraint);
    bool Rule(std::u16string& rule);
    bool Identity(ColumnModel& column);
    bool DefaultExpression(std::u16string& text);
    bool Operand();
    bool SkipParentheses();
    void SkipClustering() { AcceptWord(u"CLUSTERED") || AcceptWord(u"NONCLUSTERED"); }

    std::u16string_view m_text;
    const std::vector<Token>& m_tokens;
    ErrorRecord& m_error;
    std::size_t m_pos = 0;
    bool m_failed = false;
    std::uint32_t m_defaultLength = 1;
};

bool Parser::Name(std::u16string& out)
{
    const Token* t = Current();
    if (!t || !t->IsName())
        return Fail();
    out = t->Name();
    if (out.empty())
        return Fail();
    if (IsInternalName(out))
        return FailWith(
            InvalidDefinition(u"The name is reserved for the engine's own use. [ Name ]", { out }));
    ++m_pos;
    return true;
}

bool Parser::NameList(std::vector<std::u16string>& out)
{
    out.clear();
    if (!ExpectSymbol(u"("))
        return false;
    do {
        std::u16string name;
        if (!Name(name))
            return false;
        out.push_back(std::move(name));
    } while (AcceptSymbol(u","));
    return ExpectSymbol(u")");
}

bool Parser::SignedInteger(std::int64_t& out)
{
    bool negative = false;
    if (AcceptSymbol(u"-"))
        negative = true;
    else
        AcceptSymbol(u"+");
    const Token* t = Current();
    if (!t || t->kind != TokenKind::Number)
        return Fail();
    std::int64_t v = 0;
    for (char16_t c : t->text) {
        if (c < u'0' || c > u'9' || v > (INT64_MAX - 9) / 10)
            return Fail();
        v = v * 10 + (c - u'0');
    }
    ++m_pos;
    out = negative ? -v : v;
    return true;
}

bool Parser::SmallNumber(std::uint32_t& out)
{
    std::int64_t v = 0;
    std::size_t at = m_pos;
    if (!SignedInteger(v))
        return false;
    if (v < 0 || v > 1000000) {
        m_pos = at;
        return Fail();
    }
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool Parser::End()
{
    while (AcceptSymbol(u";")) { }
    return Current() == nullptr || Fail();
}

bool Parser::Statement(DdlCommand& out)
{
    if (AcceptWord(u"CREATE")) {
        if (AcceptWord(u"TABLE"))
            return CreateTable(out);
        bool unique = AcceptWord(u"UNIQUE");
        SkipClustering();
        if (AcceptWord(u"INDEX"))
            return CreateIndex(out, unique);
        return Fail();
    }
    if (AcceptWord(u"DROP"))
        return Drop(out);
    if (AcceptWord(u"ALTER")) {
        if (!ExpectWord(u"TABLE"))
            return false;
        return Alter(out);
    }
    return Fail();
}

bool Parser::CreateTable(DdlCommand& out)
{
    CreateTableCommand cmd;
    if (!Name(cmd.table.name) || !ExpectSymbol(u"("))
        return false;
    do {
        if (!Item(cmd.table.columns, cmd.table.constraints))
            return false;
    } while (AcceptSymbol(u","));
    if (!ExpectSymbol(u")") || !End())
        return false;
    out = std::move(cmd);
    return true;
}

bool Parser::Item(std::vector<ColumnModel>& columns, std::vector<ConstraintModel>& constraints)
{
    if (StartsTableConstraint()) {
        ConstraintModel k;
        if (!TableConstraint(k))
            return false;
        constraints.push_back(std::move(k));
        return true;
    }
    ColumnModel c;
    if (!Column(c, constraints, true))
        return false;
    columns.push_back(std::move(c));
    return true;
}

bool Parser::Type(SqlType& type)
{
    const Token* t = Current();
    if (!t || t->kind != TokenKind::Word)
        return Fail();
    EngineType engineType;
    bool isFloat = false;
    if (t->IsWord(u"NATIONAL")) {
        ++m_pos;
        if (AcceptWord(u"TEXT")) {
            engineType = EngineType::NText;
        } else if (AcceptWord(u"CHAR") || AcceptWord(u"CHARACTER")) {
            engineType = AcceptWord(u"VARYING") ? EngineType::NVarChar : EngineType::NChar;
        } else {
            return Fail();
        }
    } else if (t->IsWord(u"DOUBLE")) {
        ++m_pos;
        if (!ExpectWord(u"PRECISION"))
            return false;
        engineType = EngineType::Float;
    } else if (LookupTypeName(t->text, engineType)) {
        isFloat = t->IsWord(u"FLOAT");
        ++m_pos;
    } else {
        return FailWith(InvalidDataType(t->text));
    }
    type = SqlType {};
    type.type = engineType;
    bool lengthGiven = false;
    bool precisionGiven = false;
    bool scaleGiven = false;
    std::size_t argsAt = m_pos;
    if (AcceptSymbol(u"(")) {
        std::uint32_t first = 0;
        if (!SmallNumber(first))
            return false;
        if (isFloat) {
            // float(n): up to 24 bits of mantissa is a real, beyond a float.
            if (first < 1 || first > 53)
                return FailWith(InvalidDefinition(u"The precision of a float must be between 1 and 53"));
            type.type = first <= 24 ? EngineType::Real : EngineType::Float;
        } else if (TakesPrecision(engineType)) {
            type.precision = static_cast<std::uint8_t>(first > 255 ? 255 : first);
            precisionGiven = true;
            if (AcceptSymbol(u",")) {
                std::uint32_t second = 0;
                if (!SmallNumber(second))
                    return false;
                type.scale = static_cast<std::uint8_t>(second > 255 ? 255 : second);
                scaleGiven = true;
            }
        } else {
            type.length = first;
            lengthGiven = true;
        }
        if (!ExpectSymbol(u")"))
            return false;
    }
    std::u16string problem = CompleteType(type, lengthGiven, precisionGiven, scaleGiven);
    if (!problem.empty()) {
        m_pos = argsAt;
        return FailWith(
            InvalidDefinition(problem + u". [ Data type ]", { std::u16string(TypeName(type.type)) }));
    }
    if (!lengthGiven && TakesLength(type.type))
        type.length = m_defaultLength;
    return true;
}

bool Parser::Column(ColumnModel& c, std::vector<ConstraintModel>& constraints, bool withName)
{
    if (withName && !Name(c.name))
        return false;
    if (!Type(c.type))
        return false;
    bool explicitNull = false;
    bool explicitNotNull = false;
    while (Current() && !AtSymbol(u",") && !AtSymbol(u")") && !AtSymbol(u";")) {
        std::u16string constraintName;
        if (AcceptWord(u"CONSTRAINT")) {
            if (!Name(constraintName))
                return false;
        }
        if (AcceptWord(u"NOT")) {
            if (!ExpectWord(u"NULL"))
                return false;
            explicitNotNull = true;
        } else if (AcceptWord(u"NULL")) {
            explicitNull = true;
        } else if (AcceptWord(u"PRIMARY")) {
            if (!ExpectWord(u"KEY"))
                return false;
            SkipClustering();
            constraints.push_back(ConstraintModel { constraintName, ConstraintKind::PrimaryKey, { c.name } });
        } else if (AcceptWord(u"UNIQUE")) {
            SkipClustering();
            constraints.push_back(ConstraintModel { constraintName, ConstraintKind::Unique, { c.name } });
        } else if (AtWord(u"REFERENCES") || AtWord(u"FOREIGN")) {
            if (AcceptWord(u"FOREIGN") && !ExpectWord(u"KEY"))
                return false;
            ConstraintModel k { constraintName, ConstraintKind::ForeignKey, { c.name } };
            if (!References(k))
                return false;
            constraints.push_back(std::move(k));
        } else if (AcceptWord(u"DEFAULT")) {
            if (c.hasDefault)
                return Fail();
            if (!DefaultExpression(c.defaultText))
                return false;
            c.hasDefault = true;
        } else if (AtWord(u"IDENTITY")) {
            if (!Identity(c))
                return false;
        } else if (AcceptWord(u"ROWGUIDCOL")) {
            if (c.type.type != EngineType::UniqueIdentifier)
                return FailWith(InvalidDefinition(
                    u"ROWGUIDCOL needs a uniqueidentifier column. [ Column name ]", { c.name }));
        } else {
            return Fail();
        }
    }
    if (explicitNull && explicitNotNull)
        return FailWith(
            InvalidDefinition(u"A column cannot be both NULL and NOT NULL. [ Column name ]", { c.name }));
    c.nullable = !explicitNotNull;
    if (c.identity) {
        if (explicitNull)
            return FailWith(
                InvalidDefinition(u"An identity column cannot allow nulls. [ Column name ]", { c.name }));
        c.nullable = false;
    }
    if (explicitNull)
        c.nullable = true;
    return true;
}

bool Parser::Identity(ColumnModel& c)
{
    ++m_pos; // IDENTITY
    if (c.identity)
        return Fail();
    c.identity = true;
    c.seed = 1;
    c.increment = 1;
    if (AcceptSymbol(u"(")) {
        if (!SignedInteger(c.seed) || !ExpectSymbol(u",") || !SignedInteger(c.increment)
            || !ExpectSymbol(u")"))
            return false;
        if (c.increment == 0)
            return FailWith(
                InvalidDefinition(u"The identity increment must not be 0. [ Column name ]", { c.name }));
    }
    return true;
}

bool Parser::TableConstraint(ConstraintModel& k)
{
    if (AcceptWord(u"CONSTRAINT")) {
        if (!Name(k.name))
            return false;
    }
    if (AcceptWord(u"PRIMARY")) {
        if (!ExpectWord(u"KEY"))
            return false;
        SkipClustering();
        k.kind = ConstraintKind::PrimaryKey;
        return NameList(k.columns);
    }
    if (AcceptWord(u"UNIQUE")) {
        SkipClustering();
        k.kind = ConstraintKind::Unique;
        return NameList(k.columns);
    }
    if (AcceptWord(u"FOREIGN")) {
        if (!ExpectWord(u"KEY"))
            return false;
        k.kind = ConstraintKind::ForeignKey;
        return NameList(k.columns) && References(k);
    }
    return Fail();
}

bool Parser::References(ConstraintModel& k)
{
    if (!ExpectWord(u"REFERENCES") || !Name(k.refTable))
        return false;
    if (AtSymbol(u"(") && !NameList(k.refColumns))
        return false;
    while (AcceptWord(u"ON")) {
        if (AcceptWord(u"DELETE")) {
            if (!Rule(k.onDelete))
                return false;
        } else if (AcceptWord(u"UPDATE")) {
            if (!Rule(k.onUpdate))
                return false;
        } else {
            return Fail();
        }
    }
    return true;
}

bool Parser::Rule(std::u16string& rule)
{
    if (AcceptWord(u"CASCADE")) {
        rule = u"CASCADE";
    } else if (AcceptWord(u"NO")) {
        if (!ExpectWord(u"ACTION"))
            return false;
        rule = u"NO ACTION";
    } else if (AcceptWord(u"SET")) {
        if (AcceptWord(u"NULL"))
            rule = u"SET NULL";
        else if (AcceptWord(u"DEFAULT"))
            rule = u"SET DEFAULT";
        else
            return Fail();
    } else {
        return Fail();
    }
    return true;
}

bool Parser::SkipParentheses()
{
    int depth = 0;
    do {
        if (!Current())
            return Fail();
        if (AtSymbol(u"("))
            ++depth;
        else if (AtSymbol(u")"))
            --depth;
        ++m_pos;
    } while (depth > 0);
    return true;
}

bool Parser::Operand()
{
    while (AcceptSymbol(u"-") || AcceptSymbol(u"+")) { }
    const Token* t = Current();
    if (!t)
        return Fail();
    if (t->IsSymbol(u"("))
        return SkipParentheses();
    switch (t->kind) {
    case TokenKind::Number:
    case TokenKind::String:
    case TokenKind::NString:
    case TokenKind::Binary:
        ++m_pos;
        return true;
    case TokenKind::Word:
        if (Next() && Next()->IsSymbol(u"(")) {
            ++m_pos;
            return SkipParentheses();
        }
        if (t->IsWord(u"NULL") || t->IsWord(u"CURRENT_TIMESTAMP")) {
            ++m_pos;
            return true;
        }
        return Fail();
    default:
        return Fail();
    }
}

bool Parser::DefaultExpression(std::u16string& text)
{
    std::size_t first = m_pos;
    if (!Operand())
        return false;
    static const std::u16string_view operators[] = { u"+", u"-", u"*", u"/", u"%", u"||" };
    while (Current()) {
        bool isOperator = false;
        for (auto op : operators)
            isOperator = isOperator || AtSymbol(op);
        if (!isOperator)
            break;
        ++m_pos;
        if (!Operand())
            return false;
    }
    std::size_t begin = m_tokens[first].begin;
    std::size_t end = m_tokens[m_pos - 1].end;
    text = std::u16string(m_text.substr(begin, end - begin));
    return true;
}

bool Parser::CreateIndex(DdlCommand& out, bool unique)
{
    CreateIndexCommand cmd;
    cmd.unique = unique;
    if (!Name(cmd.name) || !ExpectWord(u"ON") || !Name(cmd.table) || !ExpectSymbol(u"("))
        return false;
    do {
        IndexColumn c;
        if (!Name(c.name))
            return false;
        if (AcceptWord(u"DESC"))
            c.descending = true;
        else
            AcceptWord(u"ASC");
        cmd.columns.push_back(std::move(c));
    } while (AcceptSymbol(u","));
    if (!ExpectSymbol(u")") || !End())
        return false;
    out = std::move(cmd);
    return true;
}

bool Parser::Drop(DdlCommand& out)
{
    if (AcceptWord(u"TABLE")) {
        DropTableCommand cmd;
        if (!Name(cmd.table) || !End())
            return false;
        out = std::move(cmd);
        return true;
    }
    if (!ExpectWord(u"INDEX"))
        return false;
    DropIndexCommand cmd;
    if (!Name(cmd.name))
        return false;
    if (AcceptSymbol(u".")) {
        // table.index
        cmd.table = cmd.name;
        if (!Name(cmd.name))
            return false;
    } else if (AcceptWord(u"ON")) {
        if (!Name(cmd.table))
            return false;
    }
    if (!End())
        return false;
    out = std::move(cmd);
    return true;
}

bool Parser::Alter(DdlCommand& out)
{
    AlterTableCommand cmd;
    if (!Name(cmd.table))
        return false;
    if (AcceptWord(u"ADD")) {
        AcceptWord(u"COLUMN");
        do {
            if (!Item(cmd.addColumns, cmd.addConstraints))
                return false;
        } while (AcceptSymbol(u","));
    } else if (AcceptWord(u"DROP")) {
        if (AcceptWord(u"COLUMN")) {
            do {
                std::u16string name;
                if (!Name(name))
                    return false;
                cmd.dropColumns.push_back(std::move(name));
            } while (AcceptSymbol(u","));
        } else {
            AcceptWord(u"CONSTRAINT");
            do {
                std::u16string name;
                if (!Name(name))
                    return false;
                cmd.dropConstraints.push_back(std::move(name));
            } while (AcceptSymbol(u","));
        }
    } else if (AcceptWord(u"ALTER")) {
        if (!ExpectWord(u"COLUMN") || !Name(cmd.alterColumn))
            return false;
        if (AcceptWord(u"SET")) {
            if (!ExpectWord(u"DEFAULT") || !DefaultExpression(cmd.defaultText))
                return false;
            cmd.alter = AlterColumnAction::SetDefault;
        } else if (AcceptWord(u"DROP")) {
            if (!ExpectWord(u"DEFAULT"))
                return false;
            cmd.alter = AlterColumnAction::DropDefault;
        } else {
            std::vector<ConstraintModel> inlineConstraints;
            cmd.redefinition.name = cmd.alterColumn;
            if (!Column(cmd.redefinition, inlineConstraints, false))
                return false;
            if (!inlineConstraints.empty() || cmd.redefinition.hasDefault)
                return FailWith(InvalidDefinition(u"ALTER COLUMN changes only the type, nullability and "
                                                  u"identity of a column. [ Column name ]",
                    { cmd.alterColumn }));
            cmd.alter = AlterColumnAction::Redefine;
        }
    } else {
        return Fail();
    }
    if (!End())
        return false;
    out = std::move(cmd);
    return true;
}

} // namespace

bool IsDdl(const std::vector<Token>& tokens)
{
    return !tokens.empty()
        && (tokens[0].IsWord(u"CREATE") || tokens[0].IsWord(u"DROP") || tokens[0].IsWord(u"ALTER"));
}

bool ParseDdl(std::u16string_view text, const std::vector<Token>& tokens, DdlCommand& out, ErrorRecord& error)
{
    Parser parser(text, tokens, error);
    return parser.Statement(out);
}

bool ParseDataType(std::u16string_view text, const std::vector<Token>& tokens, std::size_t& pos,
    SqlType& type, ErrorRecord& error, std::uint32_t defaultLength)
{
    Parser parser(text, tokens, error);
    return parser.DataType(pos, type, defaultLength);
}

} // namespace engine::detail
