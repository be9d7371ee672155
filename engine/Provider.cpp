#include "engine/Provider.h"

#include "engine/Database.h"
#include "engine/DatabaseFile.h"
#include "engine/EngineErrors.h"
#include "engine/Utf.h"

namespace engine {

Provider::Provider(int engineVersion)
    : m_version(engineVersion)
{
}

Provider::~Provider() = default;

HRESULT Provider::SetProperties(const DataSourceProperties& properties)
{
    detail::ClearError();
    if (m_db)
        return detail::SetError(
            detail::MakeError(DB_E_ALREADYINITIALIZED, u"The data source is already open"));
    m_properties = properties;
    return S_OK;
}

HRESULT Provider::Initialize()
{
    detail::ClearError();
    if (m_db)
        return detail::SetError(
            detail::MakeError(DB_E_ALREADYINITIALIZED, u"The data source is already open"));
    return detail::OpenDatabaseFile(m_properties.dataSource, m_properties.password, m_version, m_db);
}

HRESULT Provider::Uninitialize()
{
    detail::ClearError();
    m_db.reset();
    return S_OK;
}

HRESULT Provider::CreateDataSource()
{
    detail::ClearError();
    if (m_db)
        return detail::SetError(
            detail::MakeError(DB_E_ALREADYINITIALIZED, u"The data source is already open"));
    return detail::CreateDatabaseFile(m_properties.dataSource, m_properties.password, m_version, m_db);
}

HRESULT Provider::Compact(const std::filesystem::path& destination)
{
    detail::ClearError();
    if (!m_db)
        return detail::SetError(detail::MakeError(E_UNEXPECTED, u"The data source is not open"));
    return detail::CompactDatabaseFile(*m_db, destination);
}

HRESULT Provider::CreateSession(std::unique_ptr<Session>& session)
{
    detail::ClearError();
    if (!m_db)
        return detail::SetError(detail::MakeError(E_UNEXPECTED, u"The data source is not open"));
    session = std::make_unique<Session>(m_db);
    return S_OK;
}

HRESULT CreateProvider(
    std::u16string_view classId, const ClassRegistered& registered, std::unique_ptr<Provider>& provider)
{
    detail::ClearError();
    provider.reset();
    int version = 0;
    if (detail::EqualsNoCase(classId, kEngine20Class))
        version = 2;
    else if (detail::EqualsNoCase(classId, kEngine30Class))
        version = 3;
    std::u16string key = version == 2 ? std::u16string(kEngine20Class) : std::u16string(kEngine30Class);
    if (version == 0 || !registered || !registered(key))
        return detail::SetError(detail::MakeError(REGDB_E_CLASSNOTREG, u"Class not registered"));
    provider = std::make_unique<Provider>(version);
    return S_OK;
}

} // namespace engine
