// The engine's own description of a user table: what SQLite cannot hold itself
// (the engine's type names and sizes, identity numbering, defaults as written,
// constraint names). The SQLite table is generated from it.
#pragma once

#include "engine/SqlTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine::detail {

enum class ConstraintKind { Unique = 0, ForeignKey = 1, PrimaryKey = 2 };

struct ColumnModel {
    std::u16string name;
    SqlType type;
    bool nullable = true;
    bool hasDefault = false;
    std::u16string defaultText; // the default expression as written
    bool identity = false;
    std::int64_t seed = 1;
    std::int64_t increment = 1;
    std::int64_t identityId = 0; // row of the numbering state, given when the table is stored
};

struct ConstraintModel {
    std::u16string name;
    ConstraintKind kind = ConstraintKind::PrimaryKey;
    std::vector<std::u16string> columns;
    std::u16string refTable;
    std::vector<std::u16string> refColumns;
    std::u16string onDelete = u"NO ACTION";
    std::u16string onUpdate = u"NO ACTION";
};

struct TableModel {
    std::u16string name;
    std::vector<ColumnModel> columns;
    std::vector<ConstraintModel> constraints;

    // Lookups compare names without regard to ASCII case, as SQLite does.
    int FindColumn(std::u16string_view name) const; // -1 when absent
    int FindConstraint(std::u16string_view name) const;
    const ConstraintModel* PrimaryKey() const;
};

} // namespace engine::detail
