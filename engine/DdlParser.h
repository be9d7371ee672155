// Parses the engine's data definition statements (CREATE TABLE, ALTER TABLE,
// DROP TABLE, CREATE INDEX, DROP INDEX) into commands that the schema changer
// carries out on SQLite and the engine's metadata.
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/SqlTokenizer.h"
#include "engine/TableModel.h"

#include <string>
#include <variant>
#include <vector>

namespace engine::detail {

struct IndexColumn {
    std::u16string name;
    bool descending = false;
};

struct CreateTableCommand {
    TableModel table;
};

struct DropTableCommand {
    std::u16string table;
};

struct CreateIndexCommand {
    std::u16string name;
    std::u16string table;
    bool unique = false;
    std::vector<IndexColumn> columns;
};

struct DropIndexCommand {
    std::u16string table; // empty when the statement named only the index
    std::u16string name;
};

enum class AlterColumnAction { None, SetDefault, DropDefault, Redefine };

struct AlterTableCommand {
    std::u16string table;
    std::vector<ColumnModel> addColumns;
    std::vector<ConstraintModel> addConstraints; // also the inline constraints of added columns
    std::vector<std::u16string> dropColumns;
    std::vector<std::u16string> dropConstraints;
    AlterColumnAction alter = AlterColumnAction::None;
    std::u16string alterColumn;
    std::u16string defaultText; // SetDefault
    ColumnModel redefinition; // Redefine: new type, nullability and identity
};

using DdlCommand = std::variant<CreateTableCommand, DropTableCommand, CreateIndexCommand, DropIndexCommand,
    AlterTableCommand>;

// Whether the statement starts with CREATE, DROP or ALTER.
bool IsDdl(const std::vector<Token>& tokens);

// Parses one statement (an optional ";" may end it). On failure `error` holds
// a parse error naming the token in error, or the reason the definition is
// not valid, and the result is false.
bool ParseDdl(
    std::u16string_view text, const std::vector<Token>& tokens, DdlCommand& out, ErrorRecord& error);

// Reads a data type as a column definition writes it (nvarchar(20),
// numeric(10,2), national character varying(5), ...) from tokens[pos]; on
// success `pos` is the index after it. A text or binary type without a length
// gets `defaultLength`. On failure `error` says why.
bool ParseDataType(std::u16string_view text, const std::vector<Token>& tokens, std::size_t& pos,
    SqlType& type, ErrorRecord& error, std::uint32_t defaultLength = 1);

} // namespace engine::detail
