// A session on an open data source: the table list, table definitions, table
// rename and commands. A session is used from one thread; it keeps its data
// source's database open for as long as it lives.
#pragma once

#include "engine/Result.h"
#include "engine/Rowset.h"
#include "engine/TableDefinition.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

namespace detail {
class Database;
}

class Session {
public:
    explicit Session(std::shared_ptr<detail::Database> db);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The user tables (schema rowset TABLES restricted to TABLE_TYPE "TABLE"),
    // ordered by name without regard to case. The engine's own tables never
    // appear. Returns S_OK or a failure with error records.
    HRESULT GetTableNames(std::vector<std::u16string>& names);

    // A table's definition (table-creation service): columns in definition
    // order with name, type name, declared size, type code and the properties
    // 26, 27, 29 in that order; constraints with the primary key's columns in
    // column order. DB_E_NOTABLE when there is no such user table.
    HRESULT GetTableDefinition(std::u16string_view table, TableDefinition& definition);

    // Renames a table (table-alteration service). DB_E_NOTABLE when `from` is
    // missing, DB_E_DUPLICATETABLEID when `to` is taken.
    //
    // A file the engine has found damaged (on this or any earlier connection)
    // takes no more changes: renames and every statement but a SELECT fail
    // with E_FAIL "The database file is corrupted", as its reads did.
    HRESULT RenameTable(std::u16string_view from, std::u16string_view to);

    // Runs one statement of the engine's dialect. A SELECT gives a rowset
    // (`rowset` set, `rowsAffected` -1); INSERT, UPDATE and DELETE give the
    // number of rows affected; CREATE/ALTER/DROP give 0. Failures:
    // DB_E_ERRORSINCOMMAND and the others of Result.h, with error records.
    HRESULT Execute(
        std::u16string_view commandText, std::unique_ptr<Rowset>& rowset, std::int64_t& rowsAffected);

private:
    std::shared_ptr<detail::Database> m_db;
};

} // namespace engine
