#include "desktop/shell/StartupSequence.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"

#include <memory>

namespace shell {

StartupSequence::StartupSequence(QObject* parent)
    : QObject(parent)
{
}

StartupSequence::~StartupSequence()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void StartupSequence::SetStatus(const QString& text)
{
    m_status = text;
    emit statusChanged(text);
}

void StartupSequence::Start()
{
    if (m_started)
        return;
    m_started = true;
    auto outcome = std::make_shared<Outcome>();
    devlink::DeviceSession::Instance().Start(
        this,
        [this, outcome](devlink::RequestContext& context) {
            // Runs on the worker: everything for the window is posted.
            const auto status
                = [this, &context](const QString& text) { context.Post([this, text] { SetStatus(text); }); };
            if (!devlink::ConnectToDevice(status)) {
                context.Post([this] { emit deviceMissing(); });
                status(QStringLiteral("No Windows Mobile devices detected."));
                devlink::RequestPause(1000);
                return;
            }
            outcome->connected = true;
            status(QStringLiteral("Connecting to device..."));
            if (devlink::DeviceOsAtLeast4()) {
                status(QStringLiteral("Checking device-side programs..."));
                devlink::DeployAgentFiles();
                outcome->deviceToolsEnabled = devlink::TestRunAgent();
            }
            status(QStringLiteral("Reading directory information..."));
            devlink::RequestPause(500);
        },
        [this, outcome](devlink::RequestEnd) {
            m_outcome = *outcome;
            m_done = true;
            emit done();
        });
}

} // namespace shell
