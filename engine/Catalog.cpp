#include "engine/Catalog.h"

#include "engine/Database.h"
#include "engine/Utf.h"

#include <sqlite3.h>

namespace engine::detail::catalog {

namespace {

constexpr char16_t kSeparator = u'\x1F';

std::u16string Join(const std::vector<std::u16string>& names)
{
    std::u16string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i)
            out.push_back(kSeparator);
        out += names[i];
    }
    return out;
}

std::vector<std::u16string> Split(std::u16string_view text)
{
    std::vector<std::u16string> out;
    if (text.empty())
        return out;
    std::size_t pos = 0;
    while (true) {
        std::size_t sep = text.find(kSeparator, pos);
        out.emplace_back(text.substr(pos, sep == std::u16string_view::npos ? text.size() - pos : sep - pos));
        if (sep == std::u16string_view::npos)
            break;
        pos = sep + 1;
    }
    return out;
}

int Finish(int rc)
{
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

int Run(Database& db, std::u16string_view sql, std::u16string_view a, std::u16string_view b = {})
{
    Statement s;
    int rc = db.Prepare(sql, s);
    if (rc != SQLITE_OK)
        return rc;
    s.Bind(1, a);
    if (sqlite3_bind_parameter_count(s.Get()) > 1)
        s.Bind(2, b);
    return Finish(s.Step());
}

} // namespace

int Install(Database& db)
{
    return db.Exec(
        u"CREATE TABLE __qv_columns ("
        u" tbl TEXT NOT NULL COLLATE NOCASE, ord INTEGER NOT NULL, name TEXT NOT NULL,"
        u" type TEXT NOT NULL, nullable INTEGER NOT NULL, dflt TEXT, identity INTEGER,"
        u" PRIMARY KEY (tbl, ord));"
        u"CREATE TABLE __qv_constraints ("
        u" tbl TEXT NOT NULL COLLATE NOCASE, ord INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,"
        u" kind INTEGER NOT NULL, cols TEXT NOT NULL, ref_tbl TEXT COLLATE NOCASE, ref_cols TEXT,"
        u" on_delete TEXT, on_update TEXT, PRIMARY KEY (tbl, ord));"
        u"CREATE TABLE __qv_identity ("
        u" id INTEGER PRIMARY KEY, seed INTEGER NOT NULL, step INTEGER NOT NULL, next INTEGER NOT NULL);");
}

bool IsInstalled(Database& db)
{
    Statement s;
    if (db.Prepare(u"SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                   u"('__qv_columns', '__qv_constraints', '__qv_identity')",
            s)
        != SQLITE_OK)
        return false;
    return s.Step() == SQLITE_ROW && s.Int(0) == 3;
}

int ListTables(Database& db, std::vector<std::u16string>& names)
{
    names.clear();
    Statement s;
    int rc = db.Prepare(
        u"SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'"
        u" AND name NOT LIKE '\\_\\_qv\\_%' ESCAPE '\\' ORDER BY name COLLATE NOCASE",
        s);
    if (rc != SQLITE_OK)
        return rc;
    while ((rc = s.Step()) == SQLITE_ROW)
        names.push_back(s.Text(0));
    return Finish(rc);
}

std::u16string FindTable(Database& db, std::u16string_view name)
{
    if (IsInternalName(name))
        return {};
    Statement s;
    if (db.Prepare(u"SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE", s)
        != SQLITE_OK)
        return {};
    s.Bind(1, name);
    return s.Step() == SQLITE_ROW ? s.Text(0) : std::u16string();
}

int Load(Database& db, std::u16string_view name, TableModel& model, bool& found)
{
    model = TableModel {};
    found = false;
    Statement cols;
    int rc = db.Prepare(u"SELECT c.name, c.type, c.nullable, c.dflt, c.identity, i.seed, i.step"
                        u" FROM __qv_columns c LEFT JOIN __qv_identity i ON i.id = c.identity"
                        u" WHERE c.tbl = ? ORDER BY c.ord",
        cols);
    if (rc != SQLITE_OK)
        return rc;
    cols.Bind(1, name);
    while ((rc = cols.Step()) == SQLITE_ROW) {
        ColumnModel c;
        c.name = cols.Text(0);
        if (!ParseSqliteDeclaration(cols.Text(1), c.type))
            return SQLITE_CORRUPT;
        c.nullable = cols.Int(2) != 0;
        c.hasDefault = !cols.IsNull(3);
        c.defaultText = cols.Text(3);
        if (!cols.IsNull(4)) {
            c.identity = true;
            c.identityId = cols.Int(4);
            c.seed = cols.Int(5);
            c.increment = cols.Int(6);
        }
        model.columns.push_back(std::move(c));
    }
    if (rc != SQLITE_DONE)
        return rc;
    if (model.columns.empty())
        return SQLITE_OK;
    Statement cons;
    rc = db.Prepare(u"SELECT name, kind, cols, ref_tbl, ref_cols, on_delete, on_update FROM __qv_constraints"
                    u" WHERE tbl = ? ORDER BY ord",
        cons);
    if (rc != SQLITE_OK)
        return rc;
    cons.Bind(1, name);
    while ((rc = cons.Step()) == SQLITE_ROW) {
        ConstraintModel k;
        k.name = cons.Text(0);
        k.kind = static_cast<ConstraintKind>(cons.Int(1));
        k.columns = Split(cons.Text(2));
        k.refTable = cons.Text(3);
        k.refColumns = Split(cons.Text(4));
        k.onDelete = cons.Text(5);
        k.onUpdate = cons.Text(6);
        model.constraints.push_back(std::move(k));
    }
    if (rc != SQLITE_DONE)
        return rc;
    model.name = FindTable(db, name);
    if (model.name.empty())
        model.name = std::u16string(name);
    found = true;
    return SQLITE_OK;
}

int Save(Database& db, TableModel& model)
{
    int rc = Run(db, u"DELETE FROM __qv_columns WHERE tbl = ?", model.name);
    if (rc == SQLITE_OK)
        rc = Run(db, u"DELETE FROM __qv_constraints WHERE tbl = ?", model.name);
    if (rc != SQLITE_OK)
        return rc;
    Statement newId;
    Statement col;
    Statement con;
    rc = db.Prepare(u"INSERT INTO __qv_identity (seed, step, next) VALUES (?, ?, ?)", newId);
    if (rc == SQLITE_OK)
        rc = db.Prepare(u"INSERT INTO __qv_columns (tbl, ord, name, type, nullable, dflt, identity)"
                        u" VALUES (?, ?, ?, ?, ?, ?, ?)",
            col);
    if (rc == SQLITE_OK)
        rc = db.Prepare(
            u"INSERT INTO __qv_constraints (tbl, ord, name, kind, cols, ref_tbl, ref_cols, on_delete,"
            u" on_update) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
            con);
    if (rc != SQLITE_OK)
        return rc;
    for (std::size_t i = 0; i < model.columns.size(); ++i) {
        ColumnModel& c = model.columns[i];
        if (c.identity && c.identityId == 0) {
            newId.Bind(1, c.seed);
            newId.Bind(2, c.increment);
            newId.Bind(3, c.seed);
            rc = Finish(newId.Step());
            newId.Reset();
            if (rc != SQLITE_OK)
                return rc;
            c.identityId = sqlite3_last_insert_rowid(db.Handle());
        }
        col.Bind(1, model.name);
        col.Bind(2, static_cast<std::int64_t>(i));
        col.Bind(3, c.name);
        col.Bind(4, TypeText(c.type));
        col.Bind(5, std::int64_t { c.nullable ? 1 : 0 });
        if (c.hasDefault)
            col.Bind(6, c.defaultText);
        if (c.identity)
            col.Bind(7, c.identityId);
        rc = Finish(col.Step());
        col.Reset();
        if (rc != SQLITE_OK)
            return rc;
    }
    for (std::size_t i = 0; i < model.constraints.size(); ++i) {
        const ConstraintModel& k = model.constraints[i];
        con.Bind(1, model.name);
        con.Bind(2, static_cast<std::int64_t>(i));
        con.Bind(3, k.name);
        con.Bind(4, static_cast<std::int64_t>(k.kind));
        con.Bind(5, Join(k.columns));
        if (k.kind == ConstraintKind::ForeignKey) {
            con.Bind(6, k.refTable);
            con.Bind(7, Join(k.refColumns));
            con.Bind(8, k.onDelete);
            con.Bind(9, k.onUpdate);
        }
        rc = Finish(con.Step());
        con.Reset();
        if (rc != SQLITE_OK)
            return rc;
    }
    // Numbering rows of identity columns that were dropped or redefined.
    return db.Exec(u"DELETE FROM __qv_identity WHERE id NOT IN"
                   u" (SELECT identity FROM __qv_columns WHERE identity IS NOT NULL)");
}

int Remove(Database& db, std::u16string_view name)
{
    int rc = Run(db,
        u"DELETE FROM __qv_identity WHERE id IN (SELECT identity FROM __qv_columns WHERE tbl = ? AND "
        u"identity IS NOT NULL)",
        name);
    if (rc == SQLITE_OK)
        rc = Run(db, u"DELETE FROM __qv_columns WHERE tbl = ?", name);
    if (rc == SQLITE_OK)
        rc = Run(db, u"DELETE FROM __qv_constraints WHERE tbl = ?", name);
    return rc;
}

int Rename(Database& db, std::u16string_view from, std::u16string_view to)
{
    int rc = Run(db, u"UPDATE __qv_columns SET tbl = ?2 WHERE tbl = ?1", from, to);
    if (rc == SQLITE_OK)
        rc = Run(db, u"UPDATE __qv_constraints SET tbl = ?2 WHERE tbl = ?1", from, to);
    if (rc == SQLITE_OK)
        rc = Run(db, u"UPDATE __qv_constraints SET ref_tbl = ?2 WHERE ref_tbl = ?1", from, to);
    return rc;
}

int ConstraintNameUsed(Database& db, std::u16string_view name, bool& used)
{
    Statement s;
    int rc = db.Prepare(u"SELECT 1 FROM __qv_constraints WHERE name = ?", s);
    if (rc != SQLITE_OK)
        return rc;
    s.Bind(1, name);
    rc = s.Step();
    used = rc == SQLITE_ROW;
    return Finish(rc);
}

int ReferencesTo(
    Database& db, std::u16string_view table, std::vector<std::pair<std::u16string, ConstraintModel>>& out)
{
    out.clear();
    Statement s;
    int rc = db.Prepare(
        u"SELECT tbl, name, cols, ref_cols FROM __qv_constraints WHERE kind = 1 AND ref_tbl = ?", s);
    if (rc != SQLITE_OK)
        return rc;
    s.Bind(1, table);
    while ((rc = s.Step()) == SQLITE_ROW) {
        ConstraintModel k;
        k.kind = ConstraintKind::ForeignKey;
        k.name = s.Text(1);
        k.columns = Split(s.Text(2));
        k.refTable = std::u16string(table);
        k.refColumns = Split(s.Text(3));
        out.emplace_back(s.Text(0), std::move(k));
    }
    return Finish(rc);
}

} // namespace engine::detail::catalog
