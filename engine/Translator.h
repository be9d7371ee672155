// The statement translation behind TranslateStatement: one walk over the
// tokens that copies them with what SQLite needs instead. Token replacements
// and the walk are in Translator.cpp, expressions (+, -, / and %, functions, the
// kinds of operands) in TranslatorExpressions.cpp, clauses (TOP, nested joins,
// APPLY) in TranslatorClauses.cpp.
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/SqlSyntax.h"
#include "engine/StatementText.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace engine::detail {

class Translator {
public:
    Translator(std::u16string_view text, const std::vector<Token>& tokens, ColumnTypes* types);

    // The whole statement in SQLite's dialect.
    std::u16string Translate();
    // The first problem met while translating.
    const std::optional<ErrorRecord>& Error() const { return m_error; }
    // Translation::columnKinds of the statement.
    std::vector<ValueKind> ResultKinds() const;

private:
    // A table the statement names, under its alias when it has one.
    struct TableName {
        std::u16string table; // empty for a subquery
        std::u16string alias;
    };
    // What stands for a CROSS or OUTER APPLY.
    struct ApplyPlan {
        std::size_t begin = 0; // CROSS or OUTER
        std::size_t end = 0; // after the alias
        std::u16string alias;
        std::u16string replacement; // for the tokens [begin, end)
        std::vector<std::pair<std::u16string, std::u16string>> columns; // name, SQL of its value
    };
    // A list item as its range of tokens.
    using Range = std::pair<std::size_t, std::size_t>;
    // An item of the statement's own select list.
    struct SelectItem {
        Range expression;
        bool aliased = false;
        bool plain = false; // an expression, with or without an alias
    };
    // A name given to a result column whose text the translation changes.
    struct ItemAlias {
        Range item;
        std::u16string name;
    };

    // Translator.cpp
    std::u16string Emit(std::size_t first, std::size_t last) const;
    std::u16string Emit(Range range) const { return Emit(range.first, range.second); }
    bool Rewrite(std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const;
    std::u16string Leaf(std::size_t i) const;
    std::vector<Range> SplitList(std::size_t first, std::size_t last) const;
    // Empty when the statement is no SELECT or its list holds a "*".
    std::vector<SelectItem> SelectItems() const;
    void NameChangedItems();
    void CollectTables();
    void Fail(ErrorRecord record) const;

    // TranslatorExpressions.cpp
    bool RewriteChain(std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const;
    bool RewriteDivision(std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const;
    bool RewriteCall(std::size_t i, std::u16string& out, std::size_t& next) const;
    bool ReadType(std::size_t pos, std::size_t end, SqlType& type, bool report) const;
    ValueKind TermKind(std::size_t first, std::size_t last) const;
    ValueKind ExpressionKind(std::size_t first, std::size_t last) const;
    ValueKind CallKind(std::size_t i) const;
    ValueKind ColumnKind(std::size_t first, std::size_t last) const;

    // TranslatorClauses.cpp
    bool RewriteTop(std::size_t i, std::u16string& out, std::size_t& next) const;
    bool RewriteNestedJoin(std::size_t i, std::u16string& out, std::size_t& next) const;
    bool RewriteApply(std::size_t i, std::u16string& out, std::size_t& next) const;
    bool RewriteApplyColumn(std::size_t i, std::size_t last, std::u16string& out, std::size_t& next) const;
    void PlanApplies();
    bool PlanApply(std::size_t i, ApplyPlan& plan);

    std::u16string_view m_text;
    SqlSyntax m_syntax;
    ColumnTypes* m_types;
    std::vector<TableName> m_tables;
    std::vector<ApplyPlan> m_applies;
    std::vector<ItemAlias> m_aliases;
    mutable std::optional<ErrorRecord> m_error;
};

} // namespace engine::detail
