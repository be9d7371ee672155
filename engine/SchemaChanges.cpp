#include "engine/SchemaChanges.h"

#include "engine/Catalog.h"
#include "engine/Database.h"
#include "engine/EngineErrors.h"
#include "engine/RowVersions.h"
#include "engine/StatementText.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <algorithm>
#include <set>

namespace engine::detail {

namespace {

constexpr std::u16string_view kRebuildName = u"__qv_rebuild";

std::u16string Number(std::int64_t v)
{
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

HRESULT Sqlite(Database& db, int rc)
{
    return detail::SetError(FromSqlite(db, rc));
}

// A failure while copying rows into the rebuilt table names the table itself.
HRESULT RebuildFailure(Database& db, int rc, const std::u16string& table)
{
    ErrorRecord record = FromSqlite(db, rc);
    for (auto& p : record.parameters) {
        if (p == kRebuildName)
            p = table;
    }
    return detail::SetError(std::move(record));
}

HRESULT Invalid(std::u16string_view reason, std::vector<std::u16string> params = {})
{
    return detail::SetError(InvalidDefinition(reason, std::move(params)));
}

std::u16string QuotedList(const std::vector<std::u16string>& names)
{
    std::u16string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i)
            out += u", ";
        out += QuoteName(names[i]);
    }
    return out;
}

std::u16string DefaultSql(const ColumnModel& c)
{
    if (c.identity)
        return u"qv_identity(" + Number(c.identityId) + u")";
    if (c.type.type == EngineType::RowVersion)
        return u"qv_next_rowversion()";
    auto tokens = Tokenize(c.defaultText);
    return TranslateForSqlite(c.defaultText, tokens.tokens);
}

bool IsLongType(const SqlType& t)
{
    return t.type == EngineType::NText || t.type == EngineType::Image;
}

bool SameNames(std::vector<std::u16string> a, std::vector<std::u16string> b)
{
    if (a.size() != b.size())
        return false;
    for (auto& s : a)
        s = UpperAscii(s);
    for (auto& s : b)
        s = UpperAscii(s);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

bool Uses(const std::vector<std::u16string>& columns, std::u16string_view column)
{
    return std::any_of(
        columns.begin(), columns.end(), [&](const auto& c) { return EqualsNoCase(c, column); });
}

// Temporarily turns foreign keys off around a table rebuild (SQLite can only
// switch them outside a transaction).
class ForeignKeysOff {
public:
    explicit ForeignKeysOff(Database& db)
        : m_db(db)
    {
        m_db.Exec(u"PRAGMA foreign_keys = OFF");
    }
    ~ForeignKeysOff() { m_db.Exec(u"PRAGMA foreign_keys = ON"); }

private:
    Database& m_db;
};

// Gives names to unnamed constraints and checks that names are not used twice.
HRESULT NameConstraints(Database& db, TableModel& m, const std::set<std::u16string>& ownNames)
{
    std::set<std::u16string> taken;
    auto usedElsewhere = [&](const std::u16string& name, bool& used) {
        used = false;
        if (ownNames.count(UpperAscii(name)))
            return SQLITE_OK;
        return catalog::ConstraintNameUsed(db, name, used);
    };
    for (auto& k : m.constraints) {
        if (k.name.empty())
            continue;
        bool used = false;
        int rc = usedElsewhere(k.name, used);
        if (rc != SQLITE_OK)
            return Sqlite(db, rc);
        if (used || !taken.insert(UpperAscii(k.name)).second)
            return Invalid(u"The constraint name is already in use. [ Constraint name ]", { k.name });
    }
    for (auto& k : m.constraints) {
        if (!k.name.empty())
            continue;
        std::u16string base = k.kind == ConstraintKind::PrimaryKey ? u"PK_" + m.name
            : k.kind == ConstraintKind::Unique ? u"UQ_" + m.name + u"_" + k.columns.front()
                                               : u"FK_" + m.name + u"_" + k.refTable;
        std::u16string name = base;
        for (int n = 2;; ++n) {
            bool used = false;
            int rc = usedElsewhere(name, used);
            if (rc != SQLITE_OK)
                return Sqlite(db, rc);
            if (!used && !taken.count(UpperAscii(name)))
                break;
            name = base + u"_" + Number(n);
        }
        taken.insert(UpperAscii(name));
        k.name = name;
    }
    return S_OK;
}

HRESULT CheckForeignKey(Database& db, const TableModel& m, ConstraintModel& k)
{
    TableModel parent;
    if (EqualsNoCase(k.refTable, m.name)) {
        parent = m;
    } else {
        bool found = false;
        int rc = catalog::Load(db, k.refTable, parent, found);
        if (rc != SQLITE_OK)
            return Sqlite(db, rc);
        if (!found)
            return detail::SetError(TableNotFound(k.refTable));
    }
    k.refTable = parent.name;
    if (k.refColumns.empty()) {
        const ConstraintModel* pk = parent.PrimaryKey();
        if (!pk)
            return Invalid(
                u"The referenced table must have a primary key or a unique constraint on the referenced "
                u"columns. [ Referenced table name ]",
                { parent.name });
        k.refColumns = pk->columns;
    }
    if (k.refColumns.size() != k.columns.size())
        return Invalid(
            u"The number of columns in a foreign key must match the referenced columns. [ Foreign key "
            u"constraint name ]",
            { k.name });
    bool keyed = false;
    for (const auto& pc : parent.constraints) {
        if (pc.kind != ConstraintKind::ForeignKey && SameNames(pc.columns, k.refColumns))
            keyed = true;
    }
    if (!keyed)
        return Invalid(
            u"The referenced table must have a primary key or a unique constraint on the referenced "
            u"columns. [ Referenced table name ]",
            { parent.name });
    for (std::size_t i = 0; i < k.columns.size(); ++i) {
        int child = m.FindColumn(k.columns[i]);
        int ref = parent.FindColumn(k.refColumns[i]);
        if (ref < 0)
            return detail::SetError(ColumnNotFound(parent.name, k.refColumns[i]));
        k.refColumns[i] = parent.columns[static_cast<std::size_t>(ref)].name;
        if (m.columns[static_cast<std::size_t>(child)].type.type
            != parent.columns[static_cast<std::size_t>(ref)].type.type)
            return Invalid(
                u"The data types of a foreign key column and the column it refers to must match. [ Column "
                u"name ]",
                { k.columns[i] });
    }
    return S_OK;
}

// Checks a table model and completes it: key columns become NOT NULL, column
// names in constraints take the columns' spelling, constraints get names.
HRESULT Validate(Database& db, TableModel& m, const std::set<std::u16string>& ownConstraintNames)
{
    if (m.columns.empty())
        return Invalid(u"A table must have at least one column. [ Table name ]", { m.name });
    std::set<std::u16string> names;
    int identities = 0;
    int rowVersions = 0;
    for (auto& c : m.columns) {
        if (!names.insert(UpperAscii(c.name)).second)
            return Invalid(u"The column name is already in use in this table. [ Column name ]", { c.name });
        if (c.identity) {
            ++identities;
            if (c.type.type != EngineType::Int && c.type.type != EngineType::BigInt)
                return Invalid(
                    u"An identity column must be of type int or bigint. [ Column name ]", { c.name });
            if (c.hasDefault)
                return Invalid(u"An identity column cannot have a default. [ Column name ]", { c.name });
        }
        if (c.type.type == EngineType::RowVersion) {
            if (++rowVersions > 1)
                return Invalid(u"A table can have only one rowversion column. [ Table name ]", { m.name });
            if (c.hasDefault)
                return Invalid(u"A rowversion column cannot have a default. [ Column name ]", { c.name });
            c.nullable = false; // the engine always gives it a value
        }
        if (c.hasDefault) {
            auto t = Tokenize(c.defaultText);
            if (!t.ok)
                return detail::SetError(ParseErrorAtOffset(c.defaultText, t.errorOffset));
        }
    }
    if (identities > 1)
        return Invalid(u"A table can have only one identity column. [ Table name ]", { m.name });
    int keys = 0;
    for (auto& k : m.constraints) {
        if (k.kind == ConstraintKind::PrimaryKey && ++keys > 1)
            return Invalid(u"A table can have only one primary key. [ Table name ]", { m.name });
        std::set<std::u16string> seen;
        for (auto& col : k.columns) {
            int index = m.FindColumn(col);
            if (index < 0)
                return detail::SetError(ColumnNotFound(m.name, col));
            ColumnModel& c = m.columns[static_cast<std::size_t>(index)];
            col = c.name;
            if (!seen.insert(UpperAscii(col)).second)
                return Invalid(u"A column appears twice in a constraint. [ Column name ]", { col });
            if (IsLongType(c.type))
                return Invalid(
                    u"ntext and image columns cannot be part of a key or constraint. [ Column name ]",
                    { col });
            if (k.kind == ConstraintKind::PrimaryKey)
                c.nullable = false;
        }
    }
    HRESULT hr = NameConstraints(db, m, ownConstraintNames);
    if (Failed(hr))
        return hr;
    for (auto& k : m.constraints) {
        if (k.kind == ConstraintKind::ForeignKey) {
            hr = CheckForeignKey(db, m, k);
            if (Failed(hr))
                return hr;
        }
    }
    // The counter the column's values come from, made with the first such column.
    if (rowVersions) {
        int rc = EnsureRowVersionCounter(db);
        if (rc != SQLITE_OK)
            return Sqlite(db, rc);
    }
    return S_OK;
}

std::set<std::u16string> ConstraintNames(const TableModel& m)
{
    std::set<std::u16string> out;
    for (const auto& k : m.constraints)
        out.insert(UpperAscii(k.name));
    return out;
}

HRESULT CreateTable(Database& db, CreateTableCommand& cmd)
{
    TableModel& m = cmd.table;
    std::u16string existing = catalog::FindTable(db, m.name);
    if (!existing.empty())
        return detail::SetError(TableExists(existing));
    Transaction tx(db);
    int rc = tx.Begin();
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    HRESULT hr = Validate(db, m, {});
    if (Failed(hr))
        return hr;
    rc = catalog::Save(db, m);
    if (rc == SQLITE_OK)
        rc = db.Exec(CreateTableSql(m, m.name));
    if (rc == SQLITE_OK)
        rc = tx.Commit();
    return rc == SQLITE_OK ? S_OK : Sqlite(db, rc);
}

HRESULT DropTable(Database& db, const DropTableCommand& cmd)
{
    std::u16string name = catalog::FindTable(db, cmd.table);
    if (name.empty())
        return detail::SetError(TableNotFound(cmd.table));
    std::vector<std::pair<std::u16string, ConstraintModel>> refs;
    int rc = catalog::ReferencesTo(db, name, refs);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    for (const auto& [child, k] : refs) {
        if (!EqualsNoCase(child, name))
            return Invalid(
                u"The table cannot be dropped because a foreign key constraint refers to it. [ Table "
                u"name,Constraint name ]",
                { name, k.name });
    }
    Transaction tx(db);
    rc = tx.Begin();
    if (rc == SQLITE_OK)
        rc = db.Exec(u"DROP TABLE " + QuoteName(name));
    if (rc == SQLITE_OK)
        rc = catalog::Remove(db, name);
    if (rc == SQLITE_OK)
        rc = tx.Commit();
    return rc == SQLITE_OK ? S_OK : Sqlite(db, rc);
}

HRESULT CreateIndex(Database& db, const CreateIndexCommand& cmd)
{
    TableModel m;
    bool found = false;
    int rc = catalog::Load(db, cmd.table, m, found);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    if (!found)
        return detail::SetError(TableNotFound(cmd.table));
    std::u16string sql = cmd.unique ? u"CREATE UNIQUE INDEX " : u"CREATE INDEX ";
    sql += QuoteName(cmd.name) + u" ON " + QuoteName(m.name) + u" (";
    for (std::size_t i = 0; i < cmd.columns.size(); ++i) {
        int index = m.FindColumn(cmd.columns[i].name);
        if (index < 0)
            return detail::SetError(ColumnNotFound(m.name, cmd.columns[i].name));
        const ColumnModel& c = m.columns[static_cast<std::size_t>(index)];
        if (IsLongType(c.type))
            return Invalid(u"ntext and image columns cannot be indexed. [ Column name ]", { c.name });
        if (i)
            sql += u", ";
        sql += QuoteName(c.name) + (cmd.columns[i].descending ? u" DESC" : u"");
    }
    sql += u")";
    rc = db.Exec(sql);
    if (rc == SQLITE_OK)
        return S_OK;
    std::u16string message = ToUtf16(sqlite3_errmsg(db.Handle()));
    if (message.find(u"already exists") != std::u16string::npos)
        return Invalid(u"The specified index already exists. [ Index name ]", { cmd.name });
    return Sqlite(db, rc);
}

HRESULT DropIndex(Database& db, const DropIndexCommand& cmd)
{
    Statement s;
    int rc = db.Prepare(u"SELECT name, tbl_name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL"
                        u" AND name = ? COLLATE NOCASE",
        s);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    s.Bind(1, cmd.name);
    if (s.Step() != SQLITE_ROW || IsInternalName(s.Text(1))
        || (!cmd.table.empty() && !EqualsNoCase(cmd.table, s.Text(1))))
        return Invalid(u"The specified index does not exist. [ Index name ]", { cmd.name });
    std::u16string name = s.Text(0);
    s = Statement();
    rc = db.Exec(u"DROP INDEX " + QuoteName(name));
    return rc == SQLITE_OK ? S_OK : Sqlite(db, rc);
}

// Columns that a user index of the table covers.
int IndexedColumns(
    Database& db, std::u16string_view table, std::vector<std::pair<std::u16string, std::u16string>>& out)
{
    Statement list;
    int rc = db.Prepare(
        u"SELECT name FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL AND tbl_name = ?", list);
    if (rc != SQLITE_OK)
        return rc;
    list.Bind(1, table);
    std::vector<std::u16string> indexes;
    while ((rc = list.Step()) == SQLITE_ROW)
        indexes.push_back(list.Text(0));
    for (const auto& index : indexes) {
        Statement info;
        rc = db.Prepare(u"PRAGMA index_info(" + QuoteName(index) + u")", info);
        if (rc != SQLITE_OK)
            return rc;
        while ((rc = info.Step()) == SQLITE_ROW)
            out.emplace_back(index, info.Text(2));
    }
    return SQLITE_OK;
}

HRESULT Rebuild(Database& db, TableModel& oldModel, TableModel& newModel)
{
    Statement s;
    int rc = db.Prepare(
        u"SELECT sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL AND tbl_name = ?", s);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    s.Bind(1, oldModel.name);
    std::vector<std::u16string> indexSql;
    while ((rc = s.Step()) == SQLITE_ROW)
        indexSql.push_back(s.Text(0));
    s = Statement();

    std::u16string targets;
    std::u16string sources;
    for (const auto& c : newModel.columns) {
        int old = oldModel.FindColumn(c.name);
        if (old < 0)
            continue;
        if (!targets.empty()) {
            targets += u", ";
            sources += u", ";
        }
        targets += QuoteName(c.name);
        sources += QuoteName(oldModel.columns[static_cast<std::size_t>(old)].name);
    }
    rc = catalog::Save(db, newModel);
    if (rc == SQLITE_OK)
        rc = db.Exec(CreateTableSql(newModel, kRebuildName));
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    if (!targets.empty()) {
        rc = db.Exec(u"INSERT INTO " + QuoteName(kRebuildName) + u" (" + targets + u") SELECT " + sources
            + u" FROM " + QuoteName(oldModel.name));
        if (rc != SQLITE_OK)
            return RebuildFailure(db, rc, newModel.name);
    }
    rc = db.Exec(u"DROP TABLE " + QuoteName(oldModel.name));
    if (rc == SQLITE_OK)
        rc = db.Exec(u"ALTER TABLE " + QuoteName(kRebuildName) + u" RENAME TO " + QuoteName(newModel.name));
    for (std::size_t i = 0; rc == SQLITE_OK && i < indexSql.size(); ++i)
        rc = db.Exec(indexSql[i]);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    Statement check;
    rc = db.Prepare(u"PRAGMA foreign_key_check", check);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    if (check.Step() == SQLITE_ROW) {
        return detail::SetError(MakeError(DB_E_INTEGRITYVIOLATION,
            u"A foreign key value cannot be inserted because a corresponding primary key value does not "
            u"exist. [ "
            u"Foreign key constraint name ]",
            { check.Text(0) }));
    }
    return S_OK;
}

HRESULT AlterTable(Database& db, AlterTableCommand& cmd)
{
    TableModel oldModel;
    bool found = false;
    int rc = catalog::Load(db, cmd.table, oldModel, found);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    if (!found)
        return detail::SetError(TableNotFound(cmd.table));
    TableModel m = oldModel;
    std::vector<std::pair<std::u16string, ConstraintModel>> refs;
    rc = catalog::ReferencesTo(db, m.name, refs);
    std::vector<std::pair<std::u16string, std::u16string>> indexed;
    if (rc == SQLITE_OK)
        rc = IndexedColumns(db, m.name, indexed);
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    auto inUse = [&](std::u16string_view column) -> HRESULT {
        for (const auto& k : m.constraints) {
            if (Uses(k.columns, column))
                return Invalid(u"The column is used by a constraint. [ Column name,Constraint name ]",
                    { std::u16string(column), k.name });
        }
        for (const auto& [child, k] : refs) {
            if (Uses(k.refColumns, column))
                return Invalid(u"The column is used by a constraint. [ Column name,Constraint name ]",
                    { std::u16string(column), k.name });
        }
        for (const auto& [index, col] : indexed) {
            if (EqualsNoCase(col, column))
                return Invalid(u"The column is used by an index. [ Column name,Index name ]",
                    { std::u16string(column), index });
        }
        return S_OK;
    };

    for (auto& c : cmd.addColumns) {
        if (m.FindColumn(c.name) >= 0)
            return Invalid(u"The column name is already in use in this table. [ Column name ]", { c.name });
        m.columns.push_back(c);
    }
    for (auto& k : cmd.addConstraints)
        m.constraints.push_back(k);
    for (const auto& name : cmd.dropColumns) {
        int index = m.FindColumn(name);
        if (index < 0)
            return detail::SetError(ColumnNotFound(m.name, name));
        HRESULT hr = inUse(name);
        if (Failed(hr))
            return hr;
        m.columns.erase(m.columns.begin() + index);
    }
    for (const auto& name : cmd.dropConstraints) {
        int index = m.FindConstraint(name);
        if (index < 0)
            return Invalid(u"The specified constraint does not exist. [ Constraint name ]", { name });
        const ConstraintModel& k = m.constraints[static_cast<std::size_t>(index)];
        for (const auto& [child, ref] : refs) {
            if (k.kind != ConstraintKind::ForeignKey && SameNames(ref.refColumns, k.columns)
                && !EqualsNoCase(child, m.name))
                return Invalid(
                    u"The constraint is referenced by a foreign key. [ Constraint name,Foreign key "
                    u"constraint name ]",
                    { k.name, ref.name });
        }
        m.constraints.erase(m.constraints.begin() + index);
    }
    if (cmd.alter != AlterColumnAction::None) {
        int index = m.FindColumn(cmd.alterColumn);
        if (index < 0)
            return detail::SetError(ColumnNotFound(m.name, cmd.alterColumn));
        ColumnModel& c = m.columns[static_cast<std::size_t>(index)];
        if (cmd.alter == AlterColumnAction::SetDefault) {
            c.hasDefault = true;
            c.defaultText = cmd.defaultText;
        } else if (cmd.alter == AlterColumnAction::DropDefault) {
            c.hasDefault = false;
            c.defaultText.clear();
        } else {
            const ColumnModel& r = cmd.redefinition;
            if (r.identity != c.identity)
                return Invalid(
                    u"The identity of an existing column cannot be changed. [ Column name ]", { c.name });
            if (TypeText(r.type) != TypeText(c.type)) {
                HRESULT hr = inUse(c.name);
                if (Failed(hr))
                    return hr;
            }
            c.type = r.type;
            c.nullable = r.nullable;
        }
    }
    ForeignKeysOff fkOff(db);
    Transaction tx(db);
    rc = tx.Begin();
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    HRESULT hr = Validate(db, m, ConstraintNames(oldModel));
    if (Failed(hr))
        return hr;
    hr = Rebuild(db, oldModel, m);
    if (Failed(hr))
        return hr;
    rc = tx.Commit();
    return rc == SQLITE_OK ? S_OK : Sqlite(db, rc);
}

} // namespace

std::u16string CreateTableSql(const TableModel& m, std::u16string_view physicalName)
{
    std::u16string sql = u"CREATE TABLE " + QuoteName(physicalName) + u" (";
    for (std::size_t i = 0; i < m.columns.size(); ++i) {
        const ColumnModel& c = m.columns[i];
        std::u16string name = QuoteName(c.name);
        if (i)
            sql += u", ";
        sql += name + u" " + SqliteDeclaration(c.type);
        std::u16string_view collation = Collation(c.type.type);
        if (!collation.empty())
            sql += u" COLLATE " + std::u16string(collation);
        if (!c.nullable)
            sql += u" NOT NULL";
        if (c.hasDefault || c.identity || c.type.type == EngineType::RowVersion)
            sql += u" DEFAULT (" + DefaultSql(c) + u")";
        sql += u" CONSTRAINT " + QuoteName(u"qv:" + c.name) + u" CHECK (" + CheckExpression(c.type, name)
            + u")";
    }
    for (const auto& k : m.constraints) {
        sql += u", CONSTRAINT " + QuoteName(k.name);
        switch (k.kind) {
        case ConstraintKind::PrimaryKey:
            sql += u" PRIMARY KEY (" + QuotedList(k.columns) + u")";
            break;
        case ConstraintKind::Unique:
            sql += u" UNIQUE (" + QuotedList(k.columns) + u")";
            break;
        case ConstraintKind::ForeignKey:
            sql += u" FOREIGN KEY (" + QuotedList(k.columns) + u") REFERENCES " + QuoteName(k.refTable)
                + u" (" + QuotedList(k.refColumns) + u") ON DELETE " + k.onDelete + u" ON UPDATE "
                + k.onUpdate;
            break;
        }
    }
    sql += u")";
    return sql;
}

HRESULT ApplyDefinition(Database& db, DdlCommand& command)
{
    return std::visit(
        [&](auto& cmd) -> HRESULT {
            using T = std::decay_t<decltype(cmd)>;
            if constexpr (std::is_same_v<T, CreateTableCommand>)
                return CreateTable(db, cmd);
            else if constexpr (std::is_same_v<T, DropTableCommand>)
                return DropTable(db, cmd);
            else if constexpr (std::is_same_v<T, CreateIndexCommand>)
                return CreateIndex(db, cmd);
            else if constexpr (std::is_same_v<T, DropIndexCommand>)
                return DropIndex(db, cmd);
            else
                return AlterTable(db, cmd);
        },
        command);
}

HRESULT RenameTable(Database& db, std::u16string_view from, std::u16string_view to)
{
    std::u16string name = catalog::FindTable(db, from);
    if (name.empty())
        return detail::SetError(TableNotFound(from));
    if (to.empty() || IsInternalName(to) || (to.size() >= 7 && EqualsNoCase(to.substr(0, 7), u"sqlite_")))
        return Invalid(u"The table name is not valid. [ Table name ]", { std::u16string(to) });
    std::u16string existing = catalog::FindTable(db, to);
    bool caseOnly = EqualsNoCase(name, to);
    if (!existing.empty() && !caseOnly)
        return detail::SetError(TableExists(existing));
    Transaction tx(db);
    int rc = tx.Begin();
    if (rc != SQLITE_OK)
        return Sqlite(db, rc);
    if (caseOnly) {
        // SQLite sees a name that differs only in case as taken: go through a free name.
        rc = db.Exec(u"ALTER TABLE " + QuoteName(name) + u" RENAME TO " + QuoteName(kRebuildName));
        if (rc == SQLITE_OK)
            rc = db.Exec(u"ALTER TABLE " + QuoteName(kRebuildName) + u" RENAME TO " + QuoteName(to));
    } else {
        rc = db.Exec(u"ALTER TABLE " + QuoteName(name) + u" RENAME TO " + QuoteName(to));
    }
    if (rc == SQLITE_OK)
        rc = catalog::Rename(db, name, to);
    if (rc == SQLITE_OK)
        rc = tx.Commit();
    return rc == SQLITE_OK ? S_OK : Sqlite(db, rc);
}

} // namespace engine::detail
