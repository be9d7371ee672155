// A table's definition as the table-creation service reports it: columns in
// definition order with their properties, and the table's constraints.
#pragma once

#include "engine/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// One column property. Auto-increment (26) and nullable (29) carry a boolean;
// default (27) carries the default expression as it was written, or no value
// when the column has no default.
struct ColumnProperty {
    std::uint32_t id = 0;
    bool hasValue = false;
    bool boolValue = false;
    std::u16string textValue;
};

struct ColumnDescription {
    std::u16string name;
    std::u16string typeName; // the engine's type name: int, nvarchar, ntext, numeric, ...
    std::uint32_t size
        = 0; // declared size: characters for text, bytes otherwise (536,870,911 for ntext/image)
    DBTYPE type = 0; // type code
    std::uint8_t precision = 0; // numeric only
    std::uint8_t scale = 0; // numeric only
    // Always three entries, in this order: 26 auto-increment, 27 default, 29 nullable.
    std::vector<ColumnProperty> properties;
};

struct ConstraintDescription {
    std::u16string name;
    std::uint32_t type = 0; // DBCONSTRAINTTYPE_*
    std::vector<std::u16string> columns; // in column order for a primary key, else as declared
    std::u16string referencedTable; // foreign key only
    std::vector<std::u16string> referencedColumns; // foreign key only
    std::u16string deleteRule; // foreign key only: "NO ACTION", "CASCADE", ...
    std::u16string updateRule;
};

struct TableDefinition {
    std::u16string name;
    std::vector<ColumnDescription> columns;
    std::vector<ConstraintDescription> constraints; // at most one primary key
};

} // namespace engine
