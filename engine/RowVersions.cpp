#include "engine/RowVersions.h"

#include "engine/Catalog.h"
#include "engine/Database.h"
#include "engine/EngineErrors.h"
#include "engine/FunctionSupport.h"
#include "engine/SqlSyntax.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <array>

namespace engine::detail {

namespace {

void ResultRowVersion(sqlite3_context* ctx, std::int64_t value)
{
    std::array<unsigned char, 8> bytes {};
    for (int i = 7; i >= 0; --i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void NextRowVersion(sqlite3_context* ctx, int, sqlite3_value**)
{
    std::int64_t value = static_cast<Database*>(sqlite3_user_data(ctx))->NextRowVersion();
    if (value < 0)
        return sqlite3_result_error(ctx, "the rowversion counter of this database cannot be read", -1);
    ResultRowVersion(ctx, value);
}

void LastRowVersion(sqlite3_context* ctx, int, sqlite3_value**)
{
    // A database that never had a rowversion column has given no value yet.
    std::int64_t value = static_cast<Database*>(sqlite3_user_data(ctx))->LastRowVersion();
    ResultRowVersion(ctx, value < 0 ? 0 : value);
}

ErrorRecord NotWritable(const ColumnModel& column)
{
    return MakeError(DB_E_ERRORSINCOMMAND, u"A rowversion column cannot be given a value. [ Column name ]",
        { column.name });
}

// Whether a name of the list that starts at `first` (items separated by
// commas, each starting with a name) is the column's.
bool ListNames(const SqlSyntax& syntax, std::size_t first, std::size_t last, const ColumnModel& column)
{
    bool itemStart = true;
    for (std::size_t pos = first; pos < last; pos = syntax.Skip(pos)) {
        if (itemStart && syntax.IsName(pos) && EqualsNoCase(syntax[pos].Name(), column.name))
            return true;
        itemStart = syntax.IsSymbol(pos, u",");
    }
    return false;
}

} // namespace

int EnsureRowVersionCounter(Database& db)
{
    return db.Exec(u"CREATE TABLE IF NOT EXISTS __qv_rowversion (value INTEGER NOT NULL);"
                   u"INSERT INTO __qv_rowversion SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM __qv_rowversion);");
}

const ColumnModel* RowVersionColumn(const TableModel& model)
{
    for (const auto& c : model.columns) {
        if (c.type.type == EngineType::RowVersion)
            return &c;
    }
    return nullptr;
}

int RegisterRowVersionFunctions(Database& db)
{
    int rc = sqlite3_create_function(
        db.Handle(), "qv_next_rowversion", 0, SQLITE_UTF8, &db, NextRowVersion, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function(
            db.Handle(), "qv_dbts", 0, SQLITE_UTF8, &db, LastRowVersion, nullptr, nullptr);
    return rc;
}

bool StampRowVersion(Database& db, StatementKind kind, std::u16string& text, ErrorRecord& error)
{
    if (kind != StatementKind::Insert && kind != StatementKind::Update)
        return true;
    TokenizeResult t = Tokenize(text);
    TableModel model;
    bool found = false;
    std::u16string table = TargetTable(t.tokens, kind);
    if (table.empty() || catalog::Load(db, table, model, found) != SQLITE_OK || !found)
        return true;
    const ColumnModel* column = RowVersionColumn(model);
    if (!column)
        return true;
    SqlSyntax syntax(t.tokens);
    if (kind == StatementKind::Insert) {
        // INSERT INTO t (columns) ...
        const std::size_t list = 3;
        if (syntax.IsSymbol(list, u"(") && syntax.Partner(list) != kNone
            && ListNames(syntax, list + 1, syntax.Partner(list), *column)) {
            error = NotWritable(*column);
            return false;
        }
        return true;
    }
    std::size_t set = syntax.Find(0, syntax.Size(), u"SET");
    if (set == kNone)
        return true;
    std::size_t where = syntax.Find(set + 1, syntax.Size(), u"WHERE");
    std::size_t end = where == kNone ? syntax.Size() : where;
    if (ListNames(syntax, set + 1, end, *column)) {
        error = NotWritable(*column);
        return false;
    }
    if (end > set + 1)
        text.insert(syntax[end - 1].end, u", " + QuoteName(column->name) + u" = qv_next_rowversion()");
    return true;
}

} // namespace engine::detail
