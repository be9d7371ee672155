#include "agent/Maintenance.h"

#include "engine/Provider.h"
#include "exchange/AgentContract.h"

#include <memory>

namespace agent {

namespace {

// The engine's message for the failure just seen, or `fallback` when it
// gives none.
std::u16string EngineMessageOr(AgentContext& context, std::u16string_view fallback)
{
    std::u16string message;
    FormatEngineError(context.MaintenanceErrors(), message);
    return message.empty() ? std::u16string(fallback) : message;
}

constexpr std::u16string_view kCouldNotConnect = u"Couldn't connect to SQL Server CE.";
constexpr std::u16string_view kCouldNotCompact = u"Couldn't compact this database.";

} // namespace

std::u16string CompactDestination(std::u16string_view databasePath)
{
    return std::u16string(databasePath) + u"x";
}

bool CompactDatabase(AgentContext& context, std::u16string_view databasePath, std::u16string_view password)
{
    AgentStatus& status = context.status;
    status.DeleteStatusValue(contract::kCompactSuccessful);

    std::unique_ptr<engine::Provider> provider;
    if (engine::Failed(
            engine::CreateProvider(context.variant.engineClass, context.classRegistered, provider))) {
        context.errorText = EngineMessageOr(context, kCouldNotConnect);
        return false;
    }
    status.SetStatus(u"Compacting database...");

    const std::u16string destination = CompactDestination(databasePath);
    std::u16string failure;
    bool compacted = false;
    engine::DataSourceProperties properties;
    std::filesystem::path destinationHost;
    if (!context.files.HostPath(databasePath, properties.dataSource)
        || !context.files.HostPath(destination, destinationHost)) {
        failure = std::u16string(kCouldNotCompact);
    } else {
        properties.password = std::u16string(password);
        engine::HRESULT hr = provider->SetProperties(properties);
        if (engine::Succeeded(hr))
            hr = provider->Initialize();
        if (engine::Failed(hr)) {
            failure = EngineMessageOr(context, kCouldNotCompact);
        } else {
            hr = provider->Compact(destinationHost);
            compacted = engine::Succeeded(hr);
            if (!compacted)
                failure = EngineMessageOr(context, kCouldNotCompact);
            status.SetStatusNumber(contract::kCompactSuccessful, compacted ? 1 : 0);
        }
    }
    provider->Uninitialize();
    provider.reset();

    if (compacted && context.files.ReplaceFile(destination, databasePath) != ERROR_SUCCESS) {
        // The compacted copy stays beside the untouched database.
        compacted = false;
        failure = std::u16string(kCouldNotCompact);
    }
    if (!compacted) {
        status.SetStatus(contract::kDone);
        context.errorText = failure;
        return false;
    }
    status.SetStatus(u"Compacting successful...");
    return true;
}

bool CreateDatabase(AgentContext& context, std::u16string_view databasePath, std::u16string_view password)
{
    std::unique_ptr<engine::Provider> provider;
    if (engine::Failed(
            engine::CreateProvider(context.variant.engineClass, context.classRegistered, provider))) {
        context.errorText = EngineMessageOr(context, kCouldNotConnect);
        return false;
    }
    engine::DataSourceProperties properties;
    if (!context.files.HostPath(databasePath, properties.dataSource)) {
        context.errorText = std::u16string(kCouldNotCompact);
        return false;
    }
    // A password asks for a protected database.
    properties.password = std::u16string(password);
    engine::HRESULT hr = provider->SetProperties(properties);
    if (engine::Succeeded(hr))
        hr = provider->CreateDataSource();
    std::unique_ptr<engine::Session> session;
    if (engine::Succeeded(hr))
        hr = provider->CreateSession(session);
    if (engine::Failed(hr)) {
        context.errorText = EngineMessageOr(context, kCouldNotCompact);
        session.reset();
        provider->Uninitialize();
        return false;
    }
    session.reset();
    provider->Uninitialize();
    context.status.SetStatus(contract::kDone);
    return true;
}

} // namespace agent
