// Any bytes as DBSchema.bin: the token reader must end without fault, and a
// stream it accepts must be written back to a stream that reads the same.

#include "exchange/ResultsReader.h"
#include "exchange/SchemaReader.h"
#include "exchange/SchemaWriter.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace exchange;
    const BinarySchema schema
        = ReadBinarySchema(DeviceTextFromBytes(std::span<const std::uint8_t>(data, size)));
    if (schema.malformed)
        return 0;
    std::vector<SchemaTable> tables;
    for (const SchemaEntryTable& entry : schema.tables) {
        SchemaTable& table = tables.emplace_back();
        table.name = entry.name;
        for (const SchemaEntryColumn& column : entry.columns)
            table.columns.push_back({ column.name, column.typeText, u"", column.isPrimaryKey });
    }
    const BinarySchema again = ReadBinarySchema(BinarySchemaText(tables));
    if (again.malformed || again.tables != schema.tables)
        std::abort();
    return 0;
}
