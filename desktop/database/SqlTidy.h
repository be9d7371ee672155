// The SQL text tools of the built-in editor: the tidier that lays a one-line
// SQL script out over several lines, and the rule that decides whether an
// opened file is SQL at all (the editor's tidy box starts ticked then).
//
// Plain functions on texts; safe from any thread.
#pragma once

#include <QString>

namespace database {

// Applies the tidy rules in their fixed order, each over the whole text: a
// line break and indent before the main keywords (matched without regard to
// case, outside single-quoted literals, at the start of the text or after a
// space or line break) and after every comma outside a literal. Nothing else
// changes, so tidying a tidy text adds further breaks.
QString TidySql(const QString& text);

// True when `fileName` ends in "sdf" (any case), or when the first 200
// characters of `content`, past leading blanks and line breaks, start with
// "select ", "insert ", "update " or "delete " (any case).
bool LooksLikeSql(const QString& fileName, const QString& content);

} // namespace database
