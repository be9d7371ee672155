#include "exchange/SchemaReader.h"
#include "exchange/SchemaWriter.h"

#include "TestBytes.h"

#include <gtest/gtest.h>

namespace exchange {
namespace {

using test::Bytes16;

// The example table: an auto-increment key a and a text column b.
SchemaTable TableT()
{
    return { u"T", { { u"a", u"int", u" autoinc not null", true }, { u"b", u"nvarchar(20)", u"", false } } };
}

TEST(SchemaTypes, DeclaredTypeTextAddsTheSizeOfBoundedUnicodeStrings)
{
    EXPECT_EQ(DeclaredTypeText(u"nvarchar", 130, 50), u"nvarchar(50)");
    EXPECT_EQ(DeclaredTypeText(u"nchar", 130, 10), u"nchar(10)");
    EXPECT_EQ(DeclaredTypeText(u"ntext", 130, 536870911), u"ntext");
    EXPECT_EQ(DeclaredTypeText(u"int", 3, 4), u"int");
    EXPECT_EQ(DeclaredTypeText(u"binary", 128, 16), u"binary");
}

TEST(SchemaTypes, AttributeTextFollowsThePropertyOrder)
{
    using P = ColumnProperty;
    const std::vector<ColumnProperty> autoincFirst
        = { { P::kAutoIncrement, true, true, u"" }, { P::kNullable, true, false, u"" } };
    EXPECT_EQ(AttributeText(autoincFirst), u" autoinc not null");
    const std::vector<ColumnProperty> nullableFirst = { { P::kNullable, true, false, u"" },
        { P::kDefault, true, false, u"(getdate())" }, { P::kNullable, true, false, u"" } };
    EXPECT_EQ(AttributeText(nullableFirst), u" not null default (getdate())");
    const std::vector<ColumnProperty> nothing = { { P::kAutoIncrement, true, false, u"" },
        { P::kDefault, false, false, u"" }, { P::kNullable, true, true, u"" },
        { P::kNullable, false, false, u"" }, { 12, true, true, u"x" } };
    EXPECT_EQ(AttributeText(nothing), u"");
}

TEST(BinarySchemaWriter, WritesTheExampleTableElementByElement)
{
    const SchemaTable t = TableT();
    EXPECT_EQ(BinaryTable(t),
        u"T\u0001a\u0002int autoinc not null\u00031\u0004b\u0002nvarchar(20)\u00030\u0004\u0005");
    const std::vector<SchemaTable> tables = { t };
    EXPECT_EQ(Bytes16(BinarySchemaText(tables)),
        Bytes16(u"\u0007T\u0001a\u0002int autoinc not "
                u"null\u00031\u0004b\u0002nvarchar(20)\u00030\u0004\u0005\u0006"));
}

TEST(BinarySchemaWriter, NoTablesGiveJustStartAndEnd)
{
    EXPECT_EQ(Bytes16(BinarySchemaText({})), std::string("\x07\0\x06\0", 4));
}

TEST(BinarySchemaWriter, NullableColumnWithoutAttributes)
{
    EXPECT_EQ(BinaryColumn({ u"n", u"int", u"", false }), u"n\u0002int\u00030\u0004");
}

TEST(AsciiSchemaWriter, WritesTheExampleTableLineByLine)
{
    AsciiSchemaWriter writer;
    EXPECT_EQ(Bytes16(writer.Table(TableT())),
        Bytes16(u"create table T\r\n"
                u"(  a int autoinc not null,\r\n"
                u"  b nvarchar(20) \r\n"
                u", constraint PK1 PRIMARY KEY ( a )\r\n"
                u")\r\n"
                u"\r\n"));
    EXPECT_EQ(writer.nextConstraint(), 2);
}

TEST(AsciiSchemaWriter, TablesWithoutKeyDoNotAdvanceTheCounter)
{
    AsciiSchemaWriter writer;
    const SchemaTable first = { u"A", { { u"a", u"int", u"", true } } };
    const SchemaTable noKey = { u"B", { { u"x", u"ntext", u"", false } } };
    const SchemaTable composite = { u"C",
        { { u"p", u"int", u" not null", true }, { u"q", u"int", u"", false },
            { u"r", u"nvarchar(5)", u" not null", true } } };
    EXPECT_EQ(writer.Table(first),
        u"create table A\r\n(  a int \r\n, constraint PK1 PRIMARY KEY ( a )\r\n)\r\n\r\n");
    EXPECT_EQ(writer.Table(noKey), u"create table B\r\n(  x ntext \r\n)\r\n\r\n");
    EXPECT_EQ(writer.Table(composite),
        u"create table C\r\n(  p int not null,\r\n  q int,\r\n  r nvarchar(5) not null \r\n"
        u", constraint PK2 PRIMARY KEY ( p, r )\r\n)\r\n\r\n");
}

TEST(AsciiSchemaWriter, PiecesMatchTheWholeTable)
{
    AsciiSchemaWriter whole;
    AsciiSchemaWriter pieces;
    const SchemaTable t = TableT();
    std::u16string text = AsciiTableStart(t.name);
    text += AsciiColumnLine(t.columns[0], false);
    text += AsciiColumnLine(t.columns[1], true);
    text += pieces.TableEnd(PrimaryKeyList(t.columns));
    EXPECT_EQ(text, whole.Table(t));
}

TEST(TableView, LinesCarryKeyAndAttributes)
{
    TableViewLines lines = TableViewLinesOf(TableT());
    EXPECT_EQ(lines.names, u"a\tb\t");
    EXPECT_EQ(lines.types, u"int\tnvarchar(20)\t");
    EXPECT_EQ(lines.attributes, u" primary key autoinc not null\t\t");
}

TEST(BinarySchemaReader, ReadsWhatTheWriterWrote)
{
    const std::vector<SchemaTable> tables
        = { TableT(), { u"Empty", {} }, { u"K", { { u"k", u"uniqueidentifier", u"", true } } } };
    BinarySchema schema = ReadBinarySchema(BinarySchemaText(tables));
    EXPECT_FALSE(schema.malformed);
    const std::vector<SchemaEntryTable> expected
        = { { u"T", { { u"a", u"int autoinc not null", true }, { u"b", u"nvarchar(20)", false } } },
              { u"Empty", {} }, { u"K", { { u"k", u"uniqueidentifier", true } } } };
    EXPECT_EQ(schema.tables, expected);
}

TEST(BinarySchemaReader, EmptyDatabaseAndTrailingBytes)
{
    BinarySchema empty = ReadBinarySchema(u"\u0007\u0006");
    EXPECT_FALSE(empty.malformed);
    EXPECT_TRUE(empty.tables.empty());
    BinarySchema trailing = ReadBinarySchema(u"\u0007\u0006garbage\u0001");
    EXPECT_FALSE(trailing.malformed);
    EXPECT_TRUE(trailing.tables.empty());
}

TEST(BinarySchemaReader, KeyFlagIsTheFirstCharacterOfItsToken)
{
    BinarySchema schema
        = ReadBinarySchema(u"\u0007T\u0001a\u0002int\u000310\u0004b\u0002int\u0003x1\u0004\u0005\u0006");
    ASSERT_FALSE(schema.malformed);
    ASSERT_EQ(schema.tables.size(), 1u);
    EXPECT_TRUE(schema.tables[0].columns[0].isPrimaryKey);
    EXPECT_FALSE(schema.tables[0].columns[1].isPrimaryKey);
}

TEST(BinarySchemaReader, WrongStartIsMalformedWithoutTables)
{
    BinarySchema schema = ReadBinarySchema(u"T\u0001a\u0002int\u00030\u0004\u0005\u0006");
    EXPECT_TRUE(schema.malformed);
    EXPECT_TRUE(schema.tables.empty());
    EXPECT_TRUE(ReadBinarySchema(u"").malformed);
    EXPECT_TRUE(ReadBinarySchema(u"<Success>\r\n").malformed);
}

TEST(BinarySchemaReader, EveryTruncationIsMalformed)
{
    const std::vector<SchemaTable> tables = { TableT(), { u"U", { { u"x", u"ntext", u"", false } } } };
    const std::u16string full = BinarySchemaText(tables);
    for (std::size_t length = 0; length < full.size(); ++length)
        EXPECT_TRUE(ReadBinarySchema(std::u16string_view(full).substr(0, length)).malformed) << length;
    EXPECT_FALSE(ReadBinarySchema(full).malformed);
}

TEST(BinarySchemaReader, KeepsWhatWasReadBeforeAFault)
{
    BinarySchema schema = ReadBinarySchema(u"\u0007A\u0001x\u0002int\u00030\u0004\u0005B\u0001y\u0002int");
    EXPECT_TRUE(schema.malformed);
    ASSERT_EQ(schema.tables.size(), 2u);
    EXPECT_EQ(schema.tables[0], (SchemaEntryTable { u"A", { { u"x", u"int", false } } }));
    EXPECT_EQ(schema.tables[1].name, u"B");
}

TEST(BinarySchemaReader, AControlCharacterInsideATokenIsMalformed)
{
    // A TAB in a default expression ends the type token at the wrong place.
    EXPECT_TRUE(
        ReadBinarySchema(u"\u0007T\u0001a\u0002int default 'x\ty'\u00030\u0004\u0005\u0006").malformed);
    // Separators out of order.
    EXPECT_TRUE(ReadBinarySchema(u"\u0007T\u0002a\u0001int\u00030\u0004\u0005\u0006").malformed);
    EXPECT_TRUE(ReadBinarySchema(u"\u0007T\u0001a\u0002int\u00040\u0003\u0005\u0006").malformed);
    // A table that is not closed before the end mark.
    EXPECT_TRUE(ReadBinarySchema(u"\u0007T\u0001a\u0002int\u00030\u0004\u0006").malformed);
    // A zero inside the stream.
    EXPECT_TRUE(ReadBinarySchema(std::u16string_view(u"\u0007T\0\u0001\u0005\u0006", 6)).malformed);
    // Characters from U+000B up are ordinary token characters.
    BinarySchema schema = ReadBinarySchema(u"\u0007T\u000B\u0001\u0005\u0006");
    EXPECT_FALSE(schema.malformed);
    EXPECT_EQ(schema.tables[0].name, u"T\u000B");
}

} // namespace
} // namespace exchange
