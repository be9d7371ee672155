#include "exchange/ResultsReader.h"

#include "exchange/Text.h"
#include "exchange/TransportCodes.h"

#include <climits>

namespace exchange {
namespace {

// A character of the text, zero beyond its end (the reader's buffer is zero
// past the file).
char16_t At(std::u16string_view text, std::size_t i)
{
    return i < text.size() ? text[i] : 0;
}

// True when a line starting at `i` is empty: the text ends, a U+0000, or
// CR LF at once.
bool EmptyLineAt(std::u16string_view text, std::size_t i)
{
    return At(text, i) == 0 || (At(text, i) == u'\r' && At(text, i + 1) == u'\n');
}

bool IsAsciiSpace(char16_t c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

} // namespace

std::u16string DeviceTextFromBytes(std::span<const std::uint8_t> bytes)
{
    std::u16string text = FromUtf16LeBytes(bytes);
    if (bytes.size() % 2 != 0)
        text += static_cast<char16_t>(bytes.back());
    return text;
}

std::u16string DeviceTextFromBytes(std::string_view bytes)
{
    return DeviceTextFromBytes(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

bool IsBinarySchema(std::u16string_view text)
{
    return !text.empty() && text[0] == u'\u0007';
}

std::vector<std::u16string_view> SplitDeviceLines(std::u16string_view text)
{
    std::vector<std::u16string_view> lines;
    if (EmptyLineAt(text, 0))
        return lines;
    std::size_t start = 0;
    while (true) {
        // A CR that is not followed by LF is part of a value, not a line end:
        // ending the line there would silently drop every following row.
        std::size_t end = start;
        while (At(text, end) != 0 && !(At(text, end) == u'\r' && At(text, end + 1) == u'\n'))
            ++end;
        lines.push_back(text.substr(start, end - start));
        if (At(text, end + 1) != u'\n' || EmptyLineAt(text, end + 2))
            break;
        start = end + 2;
    }
    return lines;
}

ResultsKind ClassifyResults(std::span<const std::u16string_view> lines)
{
    if (lines.empty())
        return ResultsKind::NoLines;
    if (lines[0] == u"<Success>")
        return ResultsKind::Success;
    if (lines[0] == u"<Failed>")
        return ResultsKind::Failed;
    return ResultsKind::Unrecognised;
}

std::optional<int> ParseColsLine(std::u16string_view line)
{
    constexpr std::u16string_view kPrefix = u"Cols: ";
    if (!line.starts_with(kPrefix))
        return std::nullopt;
    std::size_t i = kPrefix.size();
    while (i < line.size() && IsAsciiSpace(line[i]))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == u'+' || line[i] == u'-')) {
        negative = line[i] == u'-';
        ++i;
    }
    long long value = 0;
    for (; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i) {
        value = value * 10 + (line[i] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}

std::vector<std::u16string> SplitFields(std::u16string_view line, int columnCount)
{
    std::vector<std::u16string> fields;
    if (columnCount <= 0)
        return fields;
    fields.emplace_back();
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char16_t c = line[i];
        if (c == u'\t') {
            if (fields.size() >= static_cast<std::size_t>(columnCount))
                break;
            fields.emplace_back();
        } else if (c == kLineBreakCode1 && i + 1 < line.size() && line[i + 1] == kLineBreakCode2) {
            fields.back() += u"\r\n";
            ++i;
        } else if (c == kTabCode || c == kUnicodeTabCode) {
            fields.back() += u'\t';
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

TableAnswerReader::TableAnswerReader(std::span<const std::u16string_view> lines)
    : m_lines(lines)
{
    if (lines.empty())
        return;
    std::optional<int> count = ParseColsLine(lines[0]);
    if (!count)
        return;
    m_ok = true;
    m_header.columnCount = *count;
    m_next = 1;
    if (m_next < lines.size() && lines[m_next].starts_with(u"Rows affected: "))
        ++m_next;
    for (std::vector<std::u16string>* part : { &m_header.names, &m_header.types, &m_header.attributes }) {
        std::optional<std::u16string_view> line = NextRow();
        if (!line)
            return;
        *part = SplitFields(*line, m_header.columnCount);
    }
}

std::optional<std::u16string_view> TableAnswerReader::NextRow()
{
    if (!m_ok || m_header.sawEnd || m_next >= m_lines.size())
        return std::nullopt;
    if (m_lines[m_next] == u"<end>") {
        m_header.sawEnd = true;
        return std::nullopt;
    }
    return m_lines[m_next++];
}

std::optional<TableAnswer> ParseTableAnswer(std::span<const std::u16string_view> lines)
{
    TableAnswerReader reader(lines);
    if (!reader.ok())
        return std::nullopt;
    TableAnswer answer = reader.header();
    while (std::optional<std::u16string_view> line = reader.NextRow())
        answer.rows.push_back(SplitFields(*line, answer.columnCount));
    answer.sawEnd = reader.header().sawEnd;
    return answer;
}

} // namespace exchange
