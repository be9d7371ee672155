// The characters that stand for line breaks, tabs and binary values inside
// the texts exchanged with the agent, and the conversions in both directions.
//
// A line of the query file or of the results file cannot hold CR LF, and a
// results field cannot hold a TAB, so:
//   U+001D U+001E   a line break (CR LF) inside a text
//   U+0008          a TAB inside a request text or a long text value
//   U+0007          a TAB inside a Unicode (nvarchar) value from the agent
//   U+0006          starts the "%lu bytes" placeholder of a binary value
// "(null)" stands for a null value.
//
// The codes are not escaped: a text that already holds U+0008, U+0007 or the
// pair U+001D U+001E reads back with a TAB or CR LF in their place. Every
// other text survives encoding and decoding unchanged.
//
// Pure functions, safe from any thread.
#pragma once

#include <string>
#include <string_view>

namespace exchange {

inline constexpr char16_t kLineBreakCode1 = u'\u001D';
inline constexpr char16_t kLineBreakCode2 = u'\u001E';
inline constexpr char16_t kTabCode = u'\u0008';
inline constexpr char16_t kUnicodeTabCode = u'\u0007';
inline constexpr char16_t kBinaryCode = u'\u0006';
inline constexpr std::u16string_view kLineBreakCodes = u"\u001D\u001E";
inline constexpr std::u16string_view kNullText = u"(null)";

// Request text of the query file and long text values: each CR LF becomes
// U+001D U+001E and each TAB U+0008. A lone CR or LF stays.
std::u16string EncodeLineBreaksAndTabs(std::u16string_view text);

// The agent's reading of a request text: each U+001D U+001E pair becomes
// CR LF and each U+0008 a TAB (left to right; a lone U+001D stays).
std::u16string DecodeRequestText(std::u16string_view text);

// 8-bit text values: each CR LF becomes U+001D U+001E; TABs stay.
std::u16string EncodeLineBreaks(std::u16string_view text);

// Unicode text values: each TAB becomes U+0007, then each CR LF U+001D U+001E.
std::u16string EncodeUnicodeValue(std::u16string_view text);

// The desktop's reading of a results field: U+001D U+001E -> CR LF, and both
// U+0008 and U+0007 -> TAB.
std::u16string DecodeResultsField(std::u16string_view text);

} // namespace exchange
