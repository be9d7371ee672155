// Turns statement text of the engine's dialect into SQLite's: N'...' literals
// become plain literals, 0x... binary constants become X'...', [names] become
// "names", CURRENT_TIMESTAMP becomes the engine's local GETDATE(), @@IDENTITY the last
// number an identity column drew on this connection. Everything
// else, comments and spacing included, is copied as written.
#pragma once

#include "engine/SqlTokenizer.h"

#include <string>
#include <vector>

namespace engine::detail {

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
