// How the agent reads the request text of the query file: which kind of
// request it is, the table name of a table view, the two names of a rename,
// and the count query that guards a change meant for one row.
//
// Pure functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace agent {

inline constexpr std::u16string_view kCountQueryHead = u"SELECT COUNT(*) AS value FROM";

// Leading spaces removed and a-z upper-cased, the text begins with "SELECT ".
bool IsSelectStatement(std::u16string_view text);

// A table view: the request text, trimmed of spaces, tabs, CR and LF at both
// ends, begins with "SELECT * FROM " (exact case) and the rest holds no space.
struct TableView {
    std::u16string tableName; // the rest, without square brackets around it
    std::u16string source; // the rest as written (brackets kept)
};
std::optional<TableView> ParseTableView(std::u16string_view requestText);

bool IsRenameRequest(std::u16string_view text);

// The old name between the first and second apostrophe and the new name
// between the third and fourth. False when there are fewer than four.
bool RenameNames(std::u16string_view text, std::u16string& from, std::u16string& to);

// The statement ends with "LIMIT 1".
bool IsGuardedChange(std::u16string_view text);

// The statement that a guarded change runs: the text without its last seven
// characters (the desktop writes " LIMIT 1", so a trailing space remains).
std::u16string_view WithoutGuard(std::u16string_view text);

// The query that counts the rows a guarded change (already without its
// guard) would touch, or nothing when the statement is neither an UPDATE nor
// a DELETE and so is not checked.
//   UPDATE t SET ... WHERE c   ->  SELECT COUNT(*) AS value FROM t WHERE c
//   UPDATE t SET ...           ->  SELECT COUNT(*) AS value FROM t
//   DELETE FROM t WHERE c      ->  SELECT COUNT(*) AS value FROM t WHERE c
// Keywords are matched without regard to case and only as whole words
// outside quoted literals, quoted or bracketed names, comments and
// parentheses; only the leading keyword is replaced.
std::optional<std::u16string> GuardedCountQuery(std::u16string_view statement);

} // namespace agent
