#include "exchange/SchemaWriter.h"

#include "exchange/Text.h"

namespace exchange {

std::u16string DeclaredTypeText(
    std::u16string_view typeName, std::uint16_t typeCode, std::uint32_t declaredSize)
{
    if (typeCode == 130 && declaredSize != kUnlimitedTextSize)
        return Format(u"%s(%d)", typeName, declaredSize);
    return std::u16string(typeName);
}

std::u16string AttributeText(std::span<const ColumnProperty> properties)
{
    std::u16string text;
    bool notNullWritten = false;
    for (const ColumnProperty& property : properties) {
        switch (property.id) {
        case ColumnProperty::kAutoIncrement:
            if (property.hasValue && property.flag)
                text += u" autoinc";
            break;
        case ColumnProperty::kDefault:
            if (property.hasValue) {
                text += u" default ";
                text += property.expression;
            }
            break;
        case ColumnProperty::kNullable:
            if (property.hasValue && !property.flag && !notNullWritten) {
                text += u" not null";
                notNullWritten = true;
            }
            break;
        default:
            break;
        }
    }
    return text;
}

std::u16string BinaryTableStart(std::u16string_view tableName)
{
    std::u16string text(tableName);
    text += u'\u0001';
    return text;
}

std::u16string BinaryColumn(const SchemaColumn& column)
{
    std::u16string text = column.name;
    text += u'\u0002';
    text += column.typeText;
    text += column.attributeText;
    text += u'\u0003';
    text += column.isPrimaryKey ? u'1' : u'0';
    text += u'\u0004';
    return text;
}

std::u16string BinaryTable(const SchemaTable& table)
{
    std::u16string text = BinaryTableStart(table.name);
    for (const SchemaColumn& column : table.columns)
        text += BinaryColumn(column);
    text += kSchemaTableEnd;
    return text;
}

std::u16string BinarySchemaText(std::span<const SchemaTable> tables)
{
    std::u16string text(kSchemaFileStart);
    for (const SchemaTable& table : tables)
        text += BinaryTable(table);
    text += kSchemaFileEnd;
    return text;
}

std::u16string AsciiTableStart(std::u16string_view tableName)
{
    return Format(u"create table %s\r\n(", tableName);
}

std::u16string AsciiColumnLine(const SchemaColumn& column, bool isLast)
{
    return Format(
        u"  %s %s%s%s%c\r\n", column.name, column.typeText, u"", column.attributeText, isLast ? u' ' : u',');
}

std::u16string PrimaryKeyList(std::span<const SchemaColumn> columns)
{
    std::u16string list;
    for (const SchemaColumn& column : columns) {
        if (!column.isPrimaryKey)
            continue;
        if (!list.empty())
            list += u", ";
        list += column.name;
    }
    return list;
}

std::u16string AsciiSchemaWriter::TableEnd(std::u16string_view keyList)
{
    std::u16string text;
    if (!keyList.empty())
        text = Format(u", constraint PK%d PRIMARY KEY ( %s )\r\n", m_nextConstraint++, keyList);
    text += u")\r\n\r\n";
    return text;
}

std::u16string AsciiSchemaWriter::Table(const SchemaTable& table)
{
    std::u16string text = AsciiTableStart(table.name);
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        text += AsciiColumnLine(table.columns[i], i + 1 == table.columns.size());
    text += TableEnd(PrimaryKeyList(table.columns));
    return text;
}

TableViewLines TableViewLinesOf(const SchemaTable& table)
{
    TableViewLines lines;
    for (const SchemaColumn& column : table.columns) {
        lines.names += column.name;
        lines.names += u'\t';
        lines.types += column.typeText;
        lines.types += u'\t';
        if (column.isPrimaryKey)
            lines.attributes += u" primary key";
        lines.attributes += column.attributeText;
        lines.attributes += u'\t';
    }
    return lines;
}

} // namespace exchange
