#include "engine/EngineErrors.h"

#include "engine/Database.h"
#include "engine/FunctionSupport.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <string>

namespace engine::detail {

namespace {

constexpr std::u16string_view kSource = u"Quorvane SQL engine";

std::u16string Number(std::size_t v)
{
    std::string s = std::to_string(v);
    return std::u16string(s.begin(), s.end());
}

bool StartsWith(std::u16string_view text, std::u16string_view prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// The text after `prefix` when the message starts with it.
bool After(std::u16string_view message, std::u16string_view prefix, std::u16string& rest)
{
    if (!StartsWith(message, prefix))
        return false;
    rest = std::u16string(message.substr(prefix.size()));
    return true;
}

std::u16string StripSchema(std::u16string name)
{
    if (StartsWith(name, u"main."))
        name.erase(0, 5);
    return name;
}

// SQLite quotes the token of a syntax error: near "FROMM": syntax error.
bool SyntaxErrorToken(std::u16string_view message, std::u16string& token)
{
    if (!StartsWith(message, u"near \""))
        return false;
    std::size_t end = message.rfind(u"\": syntax error");
    if (end == std::u16string_view::npos || end < 6)
        return false;
    token = std::u16string(message.substr(6, end - 6));
    return true;
}

ErrorRecord ParseErrorForToken(const SqliteContext& ctx, std::u16string_view token)
{
    if (ctx.tokens) {
        // SQLite names the last token when the text ends too early; otherwise
        // the first token of that text is taken as the one in error.
        if (!ctx.tokens->empty() && ctx.tokens->back().text == token)
            return ParseErrorAt(ctx.text, *ctx.tokens, ctx.tokens->size() - 1);
        for (std::size_t i = 0; i < ctx.tokens->size(); ++i) {
            if ((*ctx.tokens)[i].text == token)
                return ParseErrorAt(ctx.text, *ctx.tokens, i);
        }
        for (std::size_t i = 0; i < ctx.tokens->size(); ++i) {
            if (EqualsNoCase((*ctx.tokens)[i].text, token))
                return ParseErrorAt(ctx.text, *ctx.tokens, i);
        }
    }
    return MakeError(DB_E_ERRORSINCOMMAND, kParseError, { u"1", u"1", std::u16string(token) });
}

// "T.a, T.b" -> table T, columns "a, b".
void SplitColumns(std::u16string_view list, std::u16string& table, std::u16string& columns)
{
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t comma = list.find(u", ", pos);
        std::u16string_view item
            = list.substr(pos, comma == std::u16string_view::npos ? list.size() - pos : comma - pos);
        std::size_t dot = item.find(u'.');
        if (dot != std::u16string_view::npos) {
            table = std::u16string(item.substr(0, dot));
            item = item.substr(dot + 1);
        }
        if (!columns.empty())
            columns += u", ";
        columns += item;
        if (comma == std::u16string_view::npos)
            break;
        pos = comma + 2;
    }
}

ErrorRecord ConstraintFailure(int extended, std::u16string_view message, const SqliteContext& ctx)
{
    std::u16string rest;
    switch (extended) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY:
        if (After(message, u"UNIQUE constraint failed: ", rest)) {
            std::u16string table;
            std::u16string columns;
            SplitColumns(rest, table, columns);
            return MakeError(DB_E_INTEGRITYVIOLATION,
                u"A duplicate value cannot be inserted into a unique index. [ Table name,Constraint name ]",
                { table, columns });
        }
        break;
    case SQLITE_CONSTRAINT_NOTNULL:
        if (After(message, u"NOT NULL constraint failed: ", rest)) {
            std::u16string table;
            std::u16string column;
            SplitColumns(rest, table, column);
            return MakeError(DB_E_INTEGRITYVIOLATION,
                u"The column cannot contain null values. [ Column name,Table name ]", { column, table });
        }
        break;
    case SQLITE_CONSTRAINT_FOREIGNKEY:
        if (EqualsNoCase(ctx.firstKeyword, u"DELETE")) {
            return MakeError(DB_E_INTEGRITYVIOLATION,
                u"The primary key value cannot be deleted because references to this key still exist. [ "
                u"Foreign "
                u"key constraint name ]",
                { std::u16string(ctx.table) });
        }
        return MakeError(DB_E_INTEGRITYVIOLATION,
            u"A foreign key value cannot be inserted because a corresponding primary key value does not "
            u"exist. [ "
            u"Foreign key constraint name ]",
            { std::u16string(ctx.table) });
    case SQLITE_CONSTRAINT_CHECK:
        if (After(message, u"CHECK constraint failed: ", rest)) {
            if (StartsWith(rest, u"qv:"))
                rest.erase(0, 3);
            return MakeError(DB_E_INTEGRITYVIOLATION,
                u"The value is not valid for the data type or size of the column. [ Column name ]", { rest });
        }
        break;
    default:
        break;
    }
    return MakeError(DB_E_INTEGRITYVIOLATION, message);
}

} // namespace

ErrorRecord MakeError(HRESULT hr, std::u16string_view description, std::vector<std::u16string> parameters)
{
    ErrorRecord r;
    r.result = hr;
    r.description = std::u16string(description);
    r.source = std::u16string(kSource);
    r.parameters = std::move(parameters);
    return r;
}

ErrorRecord ParseErrorAt(std::u16string_view text, const std::vector<Token>& tokens, std::size_t index)
{
    std::size_t position = index < tokens.size() ? tokens[index].begin : text.size();
    std::u16string token = index < tokens.size() ? std::u16string(tokens[index].text) : std::u16string();
    std::size_t line = 1;
    std::size_t offset = 1;
    LineAndOffset(text, position, line, offset);
    return MakeError(DB_E_ERRORSINCOMMAND, kParseError, { Number(line), Number(offset), token });
}

ErrorRecord ParseErrorAtOffset(std::u16string_view text, std::size_t position)
{
    std::size_t line = 1;
    std::size_t offset = 1;
    LineAndOffset(text, position, line, offset);
    std::u16string token(text.substr(position, 20));
    return MakeError(DB_E_ERRORSINCOMMAND, kParseError, { Number(line), Number(offset), token });
}

ErrorRecord TableNotFound(std::u16string_view table)
{
    return MakeError(
        DB_E_NOTABLE, u"The specified table does not exist. [ Table name ]", { std::u16string(table) });
}

ErrorRecord TableExists(std::u16string_view table)
{
    return MakeError(DB_E_DUPLICATETABLEID, u"The specified table already exists. [ Table name ]",
        { std::u16string(table) });
}

ErrorRecord ColumnNotFound(std::u16string_view node, std::u16string_view column)
{
    return MakeError(DB_E_ERRORSINCOMMAND,
        u"The column name is not valid. [ Node name (if any),Column name ]",
        { std::u16string(node), std::u16string(column) });
}

ErrorRecord InvalidDefinition(std::u16string_view reason, std::vector<std::u16string> parameters)
{
    return MakeError(DB_E_ERRORSINCOMMAND, reason, std::move(parameters));
}

ErrorRecord FunctionNotRecognized(std::u16string_view name)
{
    return MakeError(DB_E_ERRORSINCOMMAND,
        u"The function is not recognized by the engine. [ Name of function ]", { std::u16string(name) });
}

ErrorRecord WrongArgumentCount(std::u16string_view function)
{
    return MakeError(DB_E_ERRORSINCOMMAND,
        u"The number of arguments given to the function is not valid. [ Name of function ]",
        { std::u16string(function) });
}

ErrorRecord InvalidArgument(int argument, std::u16string_view function)
{
    return MakeError(DB_E_ERRORSINCOMMAND,
        u"The specified argument value for the function is not valid. [ Argument #,Name of function ]",
        { Number(static_cast<std::size_t>(argument)), std::u16string(function) });
}

ErrorRecord ConversionFailed(std::u16string_view value, std::u16string_view typeName)
{
    if (typeName == u"datetime")
        return MakeError(DB_E_CANTCONVERTVALUE,
            u"There was an error in a part of the date format. [ Expression ]", { std::u16string(value) });
    return MakeError(DB_E_CANTCONVERTVALUE, u"Data conversion failed. [ Value,Data type ]",
        { std::u16string(value), std::u16string(typeName) });
}

ErrorRecord InvalidOperands(std::u16string_view op, std::u16string_view left, std::u16string_view right)
{
    return MakeError(DB_E_ERRORSINCOMMAND,
        u"The data types are not valid for the operator. [ Operator,Left data type,Right data type ]",
        { std::u16string(op), std::u16string(left), std::u16string(right) });
}

ErrorRecord Overflow(std::u16string_view typeName)
{
    return MakeError(DB_E_CANTCONVERTVALUE,
        u"An overflow occurred while converting to the data type. [ Data type ]",
        { std::u16string(typeName) });
}

ErrorRecord InvalidFloatOperation(std::u16string_view function)
{
    return MakeError(DB_E_ERRORSINCOMMAND,
        u"An invalid floating point operation occurred. [ Name of function ]", { std::u16string(function) });
}

ErrorRecord DivisionByZero()
{
    return MakeError(DB_E_ERRORSINCOMMAND, u"Divide by zero error encountered");
}

ErrorRecord InvalidDataType(std::u16string_view text)
{
    return MakeError(DB_E_ERRORSINCOMMAND, u"The specified data type is not valid. [ Data type (if known) ]",
        { std::u16string(text) });
}

ErrorRecord Unsupported(std::u16string_view construct)
{
    return MakeError(DB_E_ERRORSINCOMMAND, u"The construct is not supported by the engine. [ Construct ]",
        { std::u16string(construct) });
}

ErrorRecord FileCorrupted()
{
    return MakeError(E_FAIL, kCorrupted);
}

ErrorRecord FromSqlite(Database& db, int rc, const SqliteContext& context)
{
    ErrorRecord record = FromSqlite(db.Handle(), rc, context);
    if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB)
        db.NoteDamage();
    return record;
}

ErrorRecord FromSqlite(sqlite3* db, int rc, const SqliteContext& ctx)
{
    int extended = db ? sqlite3_extended_errcode(db) : rc;
    std::u16string message = db ? ToUtf16(sqlite3_errmsg(db)) : ToUtf16(sqlite3_errstr(rc));
    ErrorRecord raised;
    if (TakeRaisedError(message, raised))
        return raised;
    std::u16string rest;
    switch (rc & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return FileCorrupted();
    case SQLITE_FULL:
        return MakeError(STG_E_MEDIUMFULL, u"There is not enough disk space left for the database");
    case SQLITE_NOMEM:
        return MakeError(E_OUTOFMEMORY, u"Not enough memory to complete this operation");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return MakeError(STG_E_SHAREVIOLATION,
            u"There is a file sharing violation. A different process might be using the file");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return MakeError(STG_E_ACCESSDENIED, u"The database file cannot be written. [ Reason ]", { message });
    case SQLITE_IOERR:
        return MakeError(E_FAIL, u"The database file could not be read or written. [ Reason ]", { message });
    case SQLITE_CONSTRAINT:
        return ConstraintFailure(extended, message, ctx);
    case SQLITE_TOOBIG:
        return MakeError(E_FAIL, u"The value is too large for the engine");
    case SQLITE_MISMATCH:
        return MakeError(DB_E_CANTCONVERTVALUE, u"Data conversion failed");
    default:
        break;
    }
    std::u16string token;
    if (SyntaxErrorToken(message, token)) {
        // At the end of the text SQLite names the white space after the last token.
        bool blank = token.find_first_not_of(u" \t\r\n") == std::u16string::npos;
        if (blank && ctx.tokens)
            return ParseErrorAt(ctx.text, *ctx.tokens, ctx.tokens->size());
        return ParseErrorForToken(ctx, token);
    }
    if (message == u"incomplete input" && ctx.tokens)
        return ParseErrorAt(ctx.text, *ctx.tokens, ctx.tokens->size());
    if (After(message, u"unrecognized token: \"", rest)) {
        if (!rest.empty() && rest.back() == u'"')
            rest.pop_back();
        return ParseErrorForToken(ctx, rest);
    }
    if (After(message, u"no such table: ", rest))
        return TableNotFound(StripSchema(rest));
    if (After(message, u"no such column: ", rest)) {
        std::size_t dot = rest.rfind(u'.');
        if (dot == std::u16string::npos)
            return ColumnNotFound(u"", rest);
        return ColumnNotFound(rest.substr(0, dot), rest.substr(dot + 1));
    }
    if (After(message, u"ambiguous column name: ", rest))
        return MakeError(DB_E_ERRORSINCOMMAND, u"The column name is ambiguous. [ Column name ]", { rest });
    if (After(message, u"no such function: ", rest))
        return FunctionNotRecognized(rest);
    if (After(message, u"wrong number of arguments to function ", rest)) {
        if (rest.size() > 2 && rest.substr(rest.size() - 2) == u"()")
            rest.resize(rest.size() - 2);
        return WrongArgumentCount(rest);
    }
    if (message.find(u"values for") != std::u16string::npos
        && message.find(u"columns") != std::u16string::npos)
        return MakeError(DB_E_ERRORSINCOMMAND, u"The number of columns in the query and the table must match",
            { message });
    // The engine's own tables are denied to statements: to a user they do not exist.
    if (After(message, u"access to ", rest)) {
        std::size_t dot = rest.find(u'.');
        return TableNotFound(rest.substr(0, dot));
    }
    if (After(message, u"not authorized to use function: ", rest))
        return FunctionNotRecognized(rest);
    if (message == u"not authorized") {
        if (!ctx.table.empty() && ctx.table.size() >= 5 && EqualsNoCase(ctx.table.substr(0, 5), u"__qv_"))
            return TableNotFound(ctx.table);
        return MakeError(DB_E_ERRORSINCOMMAND, u"This statement is not supported by the engine");
    }
    if (!message.empty() && message[0] >= u'a' && message[0] <= u'z')
        message[0] = static_cast<char16_t>(message[0] - 32);
    return MakeError((rc & 0xFF) == SQLITE_ERROR ? DB_E_ERRORSINCOMMAND : E_FAIL, message);
}

} // namespace engine::detail
