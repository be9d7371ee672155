// The file explorer's font, kept in the settings as "Font" and
// "FontDescription". Where the original kept a 92-byte font record, "Font"
// holds the font as QFont::toString() writes it, in UTF-8, as REG_BINARY;
// "FontDescription" is "%s, %d point" with the family and the point size.
//
// Threads: window thread only (fonts).
#pragma once

#include <QFont>
#include <QString>

#include <optional>

namespace shell {

// "Microsoft Sans Serif" at 9 points where that font is installed, else the
// desktop's standard sans serif at 9 points.
QFont DefaultExplorerFont();

// "%s, %d point": the font's family and its point size, rounded.
QString FontDescription(const QFont& font);

// The stored font; none when "Font" is missing or does not hold a usable
// font (not the complete text QFont::toString writes, no family, or a size
// outside 1 to 200 points).
std::optional<QFont> ReadExplorerFont();

// Stores the font as "Font" and its description as "FontDescription"; true
// when both were stored.
bool StoreExplorerFont(const QFont& font);

// The font the explorer shows: the stored one, or, when there is none (or
// it is unusable), the default font, which is then stored.
QFont LoadExplorerFont();

} // namespace shell
