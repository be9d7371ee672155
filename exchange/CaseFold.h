// The device's case-insensitive names: file names in the store and key and
// value names in the registry compare equal when their folded forms do.
//
// The fold is the Unicode simple upper-case mapping of each code point, as
// the device's names are compared; it never depends on the user's locale.
// Stored orderings (the registry's keys) depend on it, so it must not change.
//
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace exchange {

// The upper-case form of one code point. ASCII maps by itself; a lone
// surrogate, and a code point whose mapping would change plane, stay as
// they are (so a folded name keeps its UTF-16 length).
char32_t FoldCase(char32_t c);

// The folded code points of `name`; a valid surrogate pair is one code
// point, a lone surrogate stays a unit of its own.
std::u32string FoldCase(std::u16string_view name);

} // namespace exchange
