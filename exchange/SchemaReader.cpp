#include "exchange/SchemaReader.h"

namespace exchange {
namespace {

constexpr char16_t kFileStart = u'\u0007';
constexpr char16_t kTableStartEnd = u'\u0001';
constexpr char16_t kColumnNameEnd = u'\u0002';
constexpr char16_t kColumnTypeEnd = u'\u0003';
constexpr char16_t kColumnKeyEnd = u'\u0004';
constexpr char16_t kTableEnd = u'\u0005';
constexpr char16_t kFileEnd = u'\u0006';

class TokenReader {
public:
    explicit TokenReader(std::u16string_view text)
        : m_text(text)
    {
    }

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char16_t Peek() const { return m_text[m_pos]; }
    void Skip() { ++m_pos; }

    // Reads the token up to the next character at or below U+000A; true when
    // that character is `separator` (it is then skipped).
    bool Read(char16_t separator, std::u16string& token)
    {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] > u'\n')
            ++m_pos;
        token.assign(m_text.substr(start, m_pos - start));
        if (m_pos >= m_text.size() || m_text[m_pos] != separator)
            return false;
        ++m_pos;
        return true;
    }

private:
    std::u16string_view m_text;
    std::size_t m_pos = 0;
};

} // namespace

BinarySchema ReadBinarySchema(std::u16string_view text)
{
    BinarySchema schema;
    if (text.empty() || text[0] != kFileStart) {
        schema.malformed = true;
        return schema;
    }
    TokenReader reader(text);
    reader.Skip();
    while (true) {
        if (reader.AtEnd()) {
            schema.malformed = true;
            return schema;
        }
        if (reader.Peek() == kFileEnd)
            return schema;
        SchemaEntryTable& table = schema.tables.emplace_back();
        if (!reader.Read(kTableStartEnd, table.name)) {
            schema.malformed = true;
            return schema;
        }
        while (true) {
            if (reader.AtEnd() || reader.Peek() == kFileEnd) {
                // The stream ends inside a table.
                schema.malformed = true;
                return schema;
            }
            if (reader.Peek() == kTableEnd) {
                reader.Skip();
                ++schema.completeTables;
                break;
            }
            SchemaEntryColumn& column = table.columns.emplace_back();
            std::u16string key;
            if (!reader.Read(kColumnNameEnd, column.name) || !reader.Read(kColumnTypeEnd, column.typeText)
                || !reader.Read(kColumnKeyEnd, key)) {
                column.isPrimaryKey = key.starts_with(u'1');
                schema.malformed = true;
                return schema;
            }
            column.isPrimaryKey = key.starts_with(u'1');
        }
    }
}

} // namespace exchange
