#include "agent/DatabaseSession.h"

#include "agent/AgentVariant.h"
#include "exchange/Trace.h"

namespace agent {

void DatabaseSession::CloseTableList()
{
    tables.clear();
    tableListOpen = false;
}

void DatabaseSession::CloseSession()
{
    session.reset();
}

void DatabaseSession::CloseDataSource()
{
    if (dataSource)
        dataSource->Uninitialize();
    dataSource.reset();
}

bool OpenDatabase(AgentContext& context, std::u16string_view databasePath, std::u16string_view password,
    DatabaseSession& database)
{
    AgentStatus& status = context.status;
    const bool engine20 = context.variant.engineVersion == 2;

    // There is no component runtime to start here; the step keeps its log line.
    status.LogLine(u"Running CoInitializeEx()..");
    status.LogVerdict(true);

    status.LogLine(u"Creating SQL provider...");
    if (engine::Failed(engine::CreateProvider(
            context.variant.engineClass, context.classRegistered, database.provider))) {
        status.LogVerdict(false);
        exchange::DebugOutput(u"CreateSqlSvrCeProvider() went wrong.\r\n");
        if (engine20) {
            status.LogLine(u"Running CoCreateInstance for SQLCE 3.0..");
            std::unique_ptr<engine::Provider> engine3;
            if (engine::Failed(engine::CreateProvider(
                    Engine30Variant().engineClass, context.classRegistered, engine3))) {
                status.LogVerdict(false);
                status.LogLine(u"SQLCE is not installed on this device.");
                context.errorText = u"SQLCE is not installed on this device.";
                AppendEngineError(context.RequestErrors(), context.errorText);
                return false;
            }
            status.LogVerdict(true);
            engine3.reset();
            status.LogLine(u"Need to run SQLCE3.0 version.");
            context.needsEngine3 = true;
            return false;
        }
        status.LogLine(u"SQLCE is not installed on this device.");
        context.errorText = u"SQLCE is not installed on this device.";
        AppendEngineError(context.RequestErrors(), context.errorText);
        return false;
    }
    status.LogVerdict(true);

    status.LogLine(u"Setting properties..");
    engine::DataSourceProperties properties;
    const bool pathKnown = context.files.HostPath(databasePath, properties.dataSource);
    properties.password = std::u16string(password);
    status.LogVerdict(true);

    status.LogLine(context.variant.openingLine);
    engine::HRESULT hr = engine::E_FAIL;
    if (pathKnown) {
        hr = engine::CreateProvider(
            context.variant.engineClass, context.classRegistered, database.dataSource);
        if (engine::Succeeded(hr))
            hr = database.dataSource->SetProperties(properties);
        if (engine::Succeeded(hr))
            hr = database.dataSource->Initialize();
    }
    if (engine::Failed(hr)) {
        status.LogVerdict(false);
        exchange::DebugOutput(u"dataSource.Open() went wrong.\r\n");
        context.errorText = u"Unable to open this database.";
        if (engine20) {
            status.LogLine(u"Need to run the SQLCE3.0 version.");
            context.needsEngine3 = true;
        } else {
            status.LogLine(u"Cannot open this .sdf file.");
            AppendEngineError(context.RequestErrors(), context.errorText);
        }
        database.dataSource.reset();
        return false;
    }
    status.LogVerdict(true);

    status.LogLine(u"Opening session..");
    if (engine::Failed(database.dataSource->CreateSession(database.session))) {
        status.LogVerdict(false);
        exchange::DebugOutput(u"session.Open() went wrong.\r\n");
        context.errorText = u"Unable to open a sesion to query this database.";
        AppendEngineError(context.RequestErrors(), context.errorText);
        database.CloseDataSource();
        return false;
    }
    status.LogVerdict(true);

    status.LogLine(u"Opening table...");
    if (engine::Failed(database.session->GetTableNames(database.tables))) {
        status.LogVerdict(false);
        exchange::DebugOutput(u"table.Open() went wrong.\r\n");
        context.errorText = u"Unable to retrieve the list of tables stored in this database.";
        AppendEngineError(context.RequestErrors(), context.errorText);
        database.CloseSession();
        database.CloseDataSource();
        return false;
    }
    database.tableListOpen = true;
    status.LogVerdict(true);
    return true;
}

} // namespace agent
