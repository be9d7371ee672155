// The error records the engine raises, with the descriptions and parameter
// slots the agent and the desktop react to, and the translation of SQLite's
// failures into them.
#pragma once

#include "engine/ErrorInfo.h"
#include "engine/SqlTokenizer.h"

#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace engine::detail {

inline constexpr std::u16string_view kWrongPassword
    = u"The specified password does not match the database password";
inline constexpr std::u16string_view kMissingPassword
    = u"The database is encrypted; the database password is needed to open it";
inline constexpr std::u16string_view kCorrupted = u"The database file is corrupted";
inline constexpr std::u16string_view kNotDatabase = u"The file is not a valid database file";
inline constexpr std::u16string_view kParseError
    = u"There was an error parsing the query. [ Token line number,Token line offset,Token in error ]";

ErrorRecord MakeError(
    HRESULT hr, std::u16string_view description, std::vector<std::u16string> parameters = {});

// A parse error at tokens[index] (index == tokens.size() means the end of the text).
ErrorRecord ParseErrorAt(std::u16string_view text, const std::vector<Token>& tokens, std::size_t index);
// A parse error at a text position (an unterminated literal, name or comment).
ErrorRecord ParseErrorAtOffset(std::u16string_view text, std::size_t offset);

ErrorRecord TableNotFound(std::u16string_view table);
ErrorRecord TableExists(std::u16string_view table);
ErrorRecord ColumnNotFound(std::u16string_view node, std::u16string_view column);
ErrorRecord InvalidDefinition(std::u16string_view reason, std::vector<std::u16string> parameters = {});

// Failures of the dialect's functions and operators, and of its translation.
ErrorRecord FunctionNotRecognized(std::u16string_view name);
ErrorRecord WrongArgumentCount(std::u16string_view function);
// `argument` counts from 1.
ErrorRecord InvalidArgument(int argument, std::u16string_view function);
// A value that cannot become the type named (for a date-time: a date format error).
ErrorRecord ConversionFailed(std::u16string_view value, std::u16string_view typeName);
ErrorRecord InvalidOperands(std::u16string_view op, std::u16string_view left, std::u16string_view right);
ErrorRecord Overflow(std::u16string_view typeName);
ErrorRecord InvalidFloatOperation(std::u16string_view function);
ErrorRecord DivisionByZero();
ErrorRecord InvalidDataType(std::u16string_view text);
// A construct of the dialect the engine does not carry out, by name.
ErrorRecord Unsupported(std::u16string_view construct);

// What the failing SQLite call was doing, so that the record can name it.
struct SqliteContext {
    std::u16string_view text; // the user's statement text, when one was running
    const std::vector<Token>* tokens = nullptr;
    std::u16string_view firstKeyword; // "INSERT", "DELETE", ...
    std::u16string_view table; // the table the statement changes, when known
};

// The record for SQLite result code `rc` with the connection's message.
ErrorRecord FromSqlite(sqlite3* db, int rc, const SqliteContext& context = {});

class Database;
// The same for an open database, which also notes there when SQLite found
// the file damaged (Database::NoteDamage).
ErrorRecord FromSqlite(Database& db, int rc, const SqliteContext& context = {});

// "The database file is corrupted": what reads of a damaged file give, and
// what writes to a file found damaged are refused with.
ErrorRecord FileCorrupted();

} // namespace engine::detail
