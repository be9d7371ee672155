// The desktop's reading of the agent's results file: the bytes as text, the
// split into lines, the "Cols: " line, and the split of a line into fields
// with the transport codes undone.
//
// Every function reads only inside the text it is given and ends on every
// input. Pure functions, safe from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

// The file's bytes as UTF-16LE text; a trailing odd byte becomes a last
// character holding that byte (the reader's buffer is zero beyond the file).
std::u16string DeviceTextFromBytes(std::span<const std::uint8_t> bytes);
std::u16string DeviceTextFromBytes(std::string_view bytes);

// True when the text starts with U+0007: a binary schema, which is not split.
bool IsBinarySchema(std::u16string_view text);

// The lines of a results text. A line ends at CR LF, at a U+0000 or at the
// end of the text; the next line starts two characters after a CR or U+0000
// that is followed by LF, unless it is empty (the text ends, a U+0000, or
// CR LF at once). So an empty line ends the sequence (an empty first line
// gives no lines at all), and a last line without CR LF is kept. A CR that is
// not followed by LF stays inside its line: values may hold one, and ending
// the line there would drop the rows after it. The views point into `text`.
std::vector<std::u16string_view> SplitDeviceLines(std::u16string_view text);

// How a results file begins.
enum class ResultsKind {
    NoLines, // empty, or an empty first line
    Success, // first line "<Success>"
    Failed, // first line "<Failed>"; lines 2 to 4 hold the error text
    Unrecognised, // any other first line
};
ResultsKind ClassifyResults(std::span<const std::u16string_view> lines);

// The column count of a line that starts with "Cols: ": the integer after it
// read like C's atoi (leading white space, a sign, digits; no digits give 0;
// clamped to the int range). No value when the line does not start so.
std::optional<int> ParseColsLine(std::u16string_view line);

// Splits a line into at most `columnCount` fields: every TAB ends the
// current field, and a new field starts after it while fewer than
// `columnCount` fields have started, so a TAB after the last field only ends
// it and what follows is ignored. In the same pass U+001D U+001E becomes
// CR LF, and U+0008 and U+0007 become TAB. A line with fewer TABs gives fewer
// fields; `columnCount` <= 0 gives none.
std::vector<std::u16string> SplitFields(std::u16string_view line, int columnCount);

// The table answer of a successful query, as read line by line after the
// "<Success>" line.
struct TableAnswer {
    int columnCount = 0;
    std::vector<std::u16string> names; // the names line's fields
    std::vector<std::u16string> types; // the types line's fields
    std::vector<std::u16string> attributes; // the attributes line's fields
    std::vector<std::vector<std::u16string>> rows;
    bool sawEnd = false; // the "<end>" line was reached
};

// Reads the lines that follow "<Success>" one row at a time, so that a
// caller can turn each row into its own form without a copy of the whole
// table: the first line must start with "Cols: " (else ok() is false); a
// following line that starts with "Rows affected: " is skipped once; then,
// until the lines run out or a line equals "<end>", the names, types and
// attributes lines (split by SplitFields with the column count, into the
// header) and the rows. The lines must outlive the reader.
class TableAnswerReader {
public:
    explicit TableAnswerReader(std::span<const std::u16string_view> linesAfterSuccess);

    bool ok() const { return m_ok; }
    // The header: column count, names, types and attributes; no rows.
    const TableAnswer& header() const { return m_header; }
    // The next row's line (unsplit), or nothing after the last; then
    // header().sawEnd tells whether "<end>" was reached.
    std::optional<std::u16string_view> NextRow();

private:
    std::span<const std::u16string_view> m_lines;
    std::size_t m_next = 0;
    TableAnswer m_header;
    bool m_ok = false;
};

// The whole table answer, rows split (see TableAnswerReader); no value when
// the "Cols: " line is missing.
std::optional<TableAnswer> ParseTableAnswer(std::span<const std::u16string_view> linesAfterSuccess);

} // namespace exchange
