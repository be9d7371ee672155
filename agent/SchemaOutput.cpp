#include "agent/SchemaOutput.h"

#include "exchange/Text.h"
#include "exchange/Trace.h"

namespace agent {

namespace {

exchange::ColumnProperty ToExchange(const engine::ColumnProperty& property)
{
    exchange::ColumnProperty result;
    result.id = property.id;
    result.hasValue = property.hasValue;
    result.flag = property.boolValue;
    result.expression = property.textValue;
    return result;
}

} // namespace

exchange::SchemaTable DescribeDefinition(const engine::TableDefinition& definition)
{
    const engine::ConstraintDescription* key = nullptr;
    for (const auto& constraint : definition.constraints) {
        if (constraint.type == engine::DBCONSTRAINTTYPE_PRIMARYKEY)
            key = &constraint;
    }
    exchange::SchemaTable table;
    table.name = definition.name;
    for (const engine::ColumnDescription& column : definition.columns) {
        exchange::SchemaColumn described;
        described.name = column.name;
        described.typeText = exchange::DeclaredTypeText(column.typeName, column.type, column.size);
        std::vector<exchange::ColumnProperty> properties;
        for (const auto& property : column.properties)
            properties.push_back(ToExchange(property));
        described.attributeText = exchange::AttributeText(properties);
        if (key) {
            // Names are matched as the engine matches them: without regard to case.
            for (const auto& keyColumn : key->columns) {
                if (exchange::EqualsIgnoreAsciiCase(keyColumn, column.name))
                    described.isPrimaryKey = true;
            }
        }
        table.columns.push_back(std::move(described));
    }
    return table;
}

bool DescribeTable(AgentContext& context, engine::Session& session, std::u16string_view tableName,
    bool binary, bool ascii, exchange::AsciiSchemaWriter& asciiWriter, exchange::OutputCollector& out,
    exchange::TableViewLines& lines)
{
    AgentStatus& status = context.status;
    if (binary)
        out.WriteText(exchange::BinaryTableStart(tableName));
    if (ascii) {
        std::u16string start = exchange::AsciiTableStart(tableName);
        out.WriteText(start);
        exchange::DebugOutput(start);
    }

    // The table-definition service comes with every session here.
    status.LogLine(u"        Querying table interface.");
    status.LogVerdict(true);

    status.LogLine(u"        Getting table definition..");
    engine::TableDefinition definition;
    if (engine::Failed(session.GetTableDefinition(tableName, definition))) {
        status.LogVerdict(false);
        context.errorText
            = exchange::Format(u"Unable to retrieve the table definition for table \"%s\".", tableName);
        AppendEngineError(context.RequestErrors(), context.errorText);
        return false;
    }
    status.LogVerdict(true);

    exchange::SchemaTable table = DescribeDefinition(definition);
    context.SetProgress(u"Identifying fields..");
    status.LogLine(u"        Identifying fields..");
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const exchange::SchemaColumn& column = table.columns[i];
        if (binary)
            out.WriteText(exchange::BinaryColumn(column));
        if (ascii) {
            std::u16string line = exchange::AsciiColumnLine(column, i + 1 == table.columns.size());
            out.WriteText(line);
            exchange::DebugOutput(line);
        }
    }
    lines = exchange::TableViewLinesOf(table);
    if (binary)
        out.WriteText(exchange::kSchemaTableEnd);
    if (ascii)
        out.WriteText(asciiWriter.TableEnd(exchange::PrimaryKeyList(table.columns)));
    status.LogLine(u"    Releasing table.");
    return true;
}

} // namespace agent
