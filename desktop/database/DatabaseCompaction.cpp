#include "desktop/database/DatabaseCompaction.h"

#include "desktop/link/AgentContractText.h"
#include "desktop/link/CompactReport.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"

#include <memory>

namespace database {

DatabaseCompaction::DatabaseCompaction(QObject* promptOwner, QObject* parent)
    : QObject(parent)
{
    m_request.setParent(this);
    m_request.setTableMode(false);
    m_request.setShown(true);
    m_request.setPromptOwner(promptOwner);
    connect(&m_request, &devlink::RequestController::requestFinished, this,
        &DatabaseCompaction::OnRequestFinished);
}

void DatabaseCompaction::ReadSizeBefore(const QString& databasePath)
{
    m_sizePath = databasePath;
    auto size = std::make_shared<quint32>(0);
    devlink::DeviceSession::Instance().Start(
        this,
        [databasePath, size](
            devlink::RequestContext&) { devlink::GetDeviceFileSize(databasePath, size.get()); },
        [this, size](devlink::RequestEnd) {
            m_sizeBefore = *size;
            emit sizeRead(*size);
        });
}

void DatabaseCompaction::Start(const QString& databasePath, const QString& password)
{
    if (m_running)
        return;
    m_running = true;
    m_succeeded = false;
    m_sizeAfter = 0;
    if (m_sizePath != databasePath)
        ReadSizeBefore(databasePath);
    // Requests run in the order asked: the size is read before the agent starts.
    m_request.setDatabasePath(databasePath);
    m_request.setPassword(password);
    m_request.setSqlToRun(devlink::ContractText(contract::kCompactRequest));
    m_request.RunRequest();
}

void DatabaseCompaction::OnRequestFinished()
{
    if (m_request.passwordRejected() || m_request.state() != devlink::RequestState::Succeeded) {
        Finish();
        return;
    }
    struct After {
        bool read = false;
        quint32 compacted = 0;
        quint32 size = 0;
    };
    auto after = std::make_shared<After>();
    const QString path = m_request.databasePath();
    const bool answered = m_request.resultsValid();
    devlink::DeviceSession::Instance().Start(
        this,
        [after, path](devlink::RequestContext&) {
            after->read = devlink::ReadAgentRegDword(
                devlink::ContractText(contract::kCompactSuccessful), &after->compacted);
            devlink::GetDeviceFileSize(path, &after->size);
        },
        [this, after, answered](devlink::RequestEnd) {
            m_succeeded = devlink::CompactSucceeded(answered, after->read, after->compacted);
            if (m_succeeded)
                m_sizeAfter = after->size;
            Finish();
        });
}

void DatabaseCompaction::Finish()
{
    m_running = false;
    m_sizePath.clear();
    emit finished();
}

} // namespace database
