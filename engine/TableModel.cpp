#include "engine/TableModel.h"

#include "engine/Utf.h"

namespace engine::detail {

int TableModel::FindColumn(std::u16string_view name) const
{
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (EqualsNoCase(columns[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

int TableModel::FindConstraint(std::u16string_view name) const
{
    for (std::size_t i = 0; i < constraints.size(); ++i) {
        if (EqualsNoCase(constraints[i].name, name))
            return static_cast<int>(i);
    }
    return -1;
}

const ConstraintModel* TableModel::PrimaryKey() const
{
    for (const auto& c : constraints) {
        if (c.kind == ConstraintKind::PrimaryKey)
            return &c;
    }
    return nullptr;
}

} // namespace engine::detail
