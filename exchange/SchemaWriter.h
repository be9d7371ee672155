// The agent's two schema files and the table-view lines built from the same
// table description.
//
// DBSchema.bin is a stream of UTF-16 characters without line ends:
//   file start   U+0007
//   table start  name U+0001
//   column       name U+0002 type-text attribute-text U+0003 "0"|"1" U+0004
//   table end    U+0005
//   file end     U+0006
// DBSchema.txt holds per table:
//   "create table %s\r\n(" , then "  %s %s%s%s%c\r\n" per column (name, type
//   text, "", attribute text, ',' for all but the last column, else ' '),
//   ", constraint PK%d PRIMARY KEY ( %s )\r\n" when the table has key
//   columns (numbered from 1 across the file), and ")\r\n\r\n".
//
// The agent writes these pieces through its OutputCollector as it describes
// each table, so that a failure leaves what was written so far. Pure
// functions; an AsciiSchemaWriter belongs to one thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace exchange {

inline constexpr std::u16string_view kSchemaFileStart = u"\u0007";
inline constexpr std::u16string_view kSchemaTableEnd = u"\u0005";
inline constexpr std::u16string_view kSchemaFileEnd = u"\u0006";

// One column as the agent describes it.
struct SchemaColumn {
    std::u16string name;
    std::u16string typeText; // "int", "nvarchar(50)", "ntext", ...
    std::u16string attributeText; // " autoinc", " default ...", " not null", with leading spaces
    bool isPrimaryKey = false;
};

struct SchemaTable {
    std::u16string name;
    std::vector<SchemaColumn> columns;
};

// Unicode string columns whose declared size is this have no size in their type text.
inline constexpr std::uint32_t kUnlimitedTextSize = 536870911;

// The declared type text: for type code 130 (Unicode string) with a declared
// size other than 536,870,911, "%s(%d)" of type name and size; otherwise the
// type name alone.
std::u16string DeclaredTypeText(
    std::u16string_view typeName, std::uint16_t typeCode, std::uint32_t declaredSize);

// One column property as the engine lists it.
struct ColumnProperty {
    enum Id : std::uint32_t { kAutoIncrement = 26, kDefault = 27, kNullable = 29 };
    std::uint32_t id = 0;
    bool hasValue = false; // the property carries a value
    bool flag = false; // its value, for the boolean properties 26 and 29
    std::u16string expression; // its value, for the default (27)
};

// The attribute text, going through the properties in the engine's order:
// auto-increment true adds " autoinc"; a default with a value adds
// " default " + expression; nullable false adds " not null" (at most once).
std::u16string AttributeText(std::span<const ColumnProperty> properties);

// ---- DBSchema.bin ---------------------------------------------------------

// name + U+0001.
std::u16string BinaryTableStart(std::u16string_view tableName);
// name U+0002 type attributes U+0003 "0"/"1" U+0004.
std::u16string BinaryColumn(const SchemaColumn& column);
// BinaryTableStart, every BinaryColumn, U+0005.
std::u16string BinaryTable(const SchemaTable& table);
// U+0007, every BinaryTable, U+0006: a whole DBSchema.bin.
std::u16string BinarySchemaText(std::span<const SchemaTable> tables);

// ---- DBSchema.txt ---------------------------------------------------------

// "create table %s\r\n(".
std::u16string AsciiTableStart(std::u16string_view tableName);
// "  %s %s%s%s%c\r\n" of one column; `isLast` selects ' ' instead of ','.
std::u16string AsciiColumnLine(const SchemaColumn& column, bool isLast);
// The key column names in column order, separated by ", "; empty without key.
std::u16string PrimaryKeyList(std::span<const SchemaColumn> columns);

// Numbers the primary-key constraints of one DBSchema.txt.
class AsciiSchemaWriter {
public:
    // The table's closing text: when `keyList` is not empty the constraint
    // line with the next number (which then goes up by one), then ")\r\n\r\n".
    std::u16string TableEnd(std::u16string_view keyList);

    // A whole table: start, column lines, end.
    std::u16string Table(const SchemaTable& table);

    // The number the next constraint will get (1 for a new file).
    int nextConstraint() const { return m_nextConstraint; }

private:
    int m_nextConstraint = 1;
};

// ---- Table view -----------------------------------------------------------

// The three extra lines of a table view (without CR LF): names (name + TAB
// each), declared types (type text + TAB each), attributes (" primary key"
// for a key column, then the attribute text, then TAB).
struct TableViewLines {
    std::u16string names;
    std::u16string types;
    std::u16string attributes;
};
TableViewLines TableViewLinesOf(const SchemaTable& table);

} // namespace exchange
