// Turns statement text of the engine's dialect into SQLite's. Token by token:
// N'...' literals become plain literals, 0x... binary constants X'...',
// [names] "names", CURRENT_TIMESTAMP the engine's local GETDATE(), @@IDENTITY
// the last number an identity column drew on this connection. Beyond single
// tokens: + and - by the types of their operands, TOP, the date, text,
// number and conversion functions SQLite lacks, joins written inside joins,
// and CROSS and OUTER APPLY where a join or a subquery can stand for them.
// Everything else, comments and spacing included, is copied as written.
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/SqlTokenizer.h"
#include "engine/SqlTypes.h"
#include "engine/ValueKinds.h"

#include <string>
#include <vector>

namespace engine::detail {

// The column types of the tables a statement names, so that the translation
// knows what + joins or adds.
class ColumnTypes {
public:
    virtual ~ColumnTypes() = default;
    // False when there is no such table or column.
    virtual bool Find(std::u16string_view table, std::u16string_view column, SqlType& type) = 0;
};

struct Translation {
    std::u16string sql;
    // For a SELECT whose list names no "*": the kind of each result column as
    // far as the statement fixes it (Unknown where it does not); else empty.
    std::vector<ValueKind> columnKinds;
};

// Translates one statement (without a closing ";"); `types` may be null.
// False, with `error` set, when the statement uses the dialect wrongly (an
// unknown date part, a type CONVERT cannot name, operands + cannot take) or a
// construct the engine does not carry out.
bool TranslateStatement(std::u16string_view text, const std::vector<Token>& tokens, ColumnTypes* types,
    Translation& out, ErrorRecord& error);

// The translation of an expression (a column default) without table types;
// what cannot be translated is left as written, for SQLite to refuse.
std::u16string TranslateForSqlite(std::u16string_view text, const std::vector<Token>& tokens);

// Statement kinds a user may run besides the data definitions.
enum class StatementKind { Select, Insert, Update, Delete, Definition, Other };

StatementKind Classify(const std::vector<Token>& tokens);

// Index of the first token after the statement's end (a ";" followed by more
// text), or tokens.size() when the text holds one statement.
std::size_t SecondStatement(const std::vector<Token>& tokens);

// The table an INSERT, UPDATE or DELETE changes, as written (empty when not found).
std::u16string TargetTable(const std::vector<Token>& tokens, StatementKind kind);

} // namespace engine::detail
