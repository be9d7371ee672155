// The desktop's reading of DBSchema.bin (layout in SchemaWriter.h), used by
// the database window's table tree and by the export.
//
// A token runs up to the next character at or below U+000A (that character
// ends it and is skipped); U+0005 where a column would start ends a table;
// U+0006 where a table would start ends the stream. The reader checks that
// each token ends with the separator its place calls for, so a name or a
// default expression holding a TAB or line feed, a missing separator or a
// stream cut short is reported as malformed rather than misread.
//
// Reads only inside the given text and ends on every input. Pure function,
// safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace exchange {

struct SchemaEntryColumn {
    std::u16string name;
    std::u16string typeText; // the type-and-attributes token, e.g. "int autoinc not null"
    bool isPrimaryKey = false; // the key token starts with "1"

    bool operator==(const SchemaEntryColumn&) const = default;
};

struct SchemaEntryTable {
    std::u16string name;
    std::vector<SchemaEntryColumn> columns;

    bool operator==(const SchemaEntryTable&) const = default;
};

struct BinarySchema {
    // The tables read, in stream order. When malformed, the tables and
    // columns read before the fault (the last table possibly incomplete).
    std::vector<SchemaEntryTable> tables;
    // How many of them ended with their end-of-table separator: all of them
    // in a sound stream, one fewer when the stream broke inside a table.
    std::size_t completeTables = 0;
    // The first character is not U+0007, a token or separator is missing or
    // wrong, or the text ends before U+0006. Then no tables are read when
    // the first character was wrong.
    bool malformed = false;
};

// Reads a whole DBSchema.bin text (DeviceTextFromBytes of the file).
BinarySchema ReadBinarySchema(std::u16string_view text);

} // namespace exchange
