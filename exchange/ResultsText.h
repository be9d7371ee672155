// The fixed texts of the agent's results file "SQLresults.txt".
//
// A query's results file reads: "<Success>\r\n", "Cols: %d\r\n", the names
// line, the types line, the attributes line (each a run of fields, every
// field followed by TAB, the line ended by CR LF), one line per row, and
// "<end>\r\n". Failures read "<Failed>\r\n" and, when there is an error text,
// the error block.
//
// Pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace exchange {

inline constexpr std::u16string_view kAgentVersion = u"2.3999";
inline constexpr std::u16string_view kEngine2Text = u"v2.0";
inline constexpr std::u16string_view kEngine3Text = u"v3.0";

inline constexpr std::u16string_view kSuccessLine = u"<Success>\r\n";
inline constexpr std::u16string_view kFailedLine = u"<Failed>\r\n";
inline constexpr std::u16string_view kEndLine = u"<end>\r\n";
inline constexpr std::u16string_view kLineEnd = u"\r\n";

// "Cols: %d\r\n".
std::u16string ColsLine(int columnCount);

// "%s\r\n\r\nQuorvane v%s\r\nSQLCE %s" with the error text, `agentVersion`
// and the engine text ("v2.0" or "v3.0").
std::u16string ErrorBlock(std::u16string_view errorText, std::u16string_view engineText,
    std::u16string_view agentVersion = kAgentVersion);

// The short results file: "<Success>\r\n" or "<Failed>\r\n", followed by the
// error block when `errorText` is not empty.
std::u16string StatusFileText(bool ok, std::u16string_view errorText, std::u16string_view engineText);

// A statement without rows: "<Success>\r\n" "Cols: 0\r\n" and the number of
// rows affected in decimal, with no line end.
std::u16string RowsAffectedText(long long rowsAffected);

// A successful rename: "<Success>\r\n" "Cols: 0\r\n".
std::u16string RenameSucceededText();

// Every field followed by TAB (no line end): a names, types or attributes line.
std::u16string FieldsLine(std::span<const std::u16string> fields);

// The types line of a plain query: the types-line word of each code + TAB.
std::u16string QueryTypesLine(std::span<const std::uint16_t> typeCodes);

// The attributes line of a plain query: `columnCount` TABs.
std::u16string EmptyAttributesLine(int columnCount);

// The head of a query's results: "<Success>\r\n", ColsLine(columnCount), then
// the three lines each followed by CR LF. An empty `attributesLine` is
// replaced by EmptyAttributesLine(columnCount).
std::u16string ResultsHeader(int columnCount, std::u16string_view namesLine, std::u16string_view typesLine,
    std::u16string_view attributesLine);

// "Unable to open file \"%s\"": the error text when an output file cannot be created.
std::u16string UnableToOpenFileMessage(std::u16string_view path);

} // namespace exchange
