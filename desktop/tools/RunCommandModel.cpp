#include "desktop/tools/RunCommandModel.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/settings/SettingsStore.h"
#include "platform/rapi/Rapi.h"

#include <memory>

namespace tools {
namespace {

const QString kFilenameSetting = QStringLiteral("RunFilename");
const QString kParametersSetting = QStringLiteral("RunParameters");

} // namespace

RunCommandModel::RunCommandModel(QObject* parent)
    : QObject(parent)
{
    settings::ReadString(kFilenameSetting, &m_filename);
    settings::ReadString(kParametersSetting, &m_parameters);
    m_lastErrorTimer.setSingleShot(true);
    m_lastErrorTimer.setInterval(3000);
    connect(&m_lastErrorTimer, &QTimer::timeout, this, [this] {
        m_statusText = LastErrorText(m_lastError);
        emit statusTextChanged(m_statusText);
    });
}

RunCommandModel::~RunCommandModel()
{
    devlink::DeviceSession::Instance().Forget(this);
}

QString RunCommandModel::LastErrorText(DWORD code)
{
    return QStringLiteral("Last error: %1  %2")
        .arg(quint32(code), 8, 16, QLatin1Char('0'))
        .arg(devlink::DeviceErrorText(code).trimmed());
}

void RunCommandModel::Run(const QString& filename, const QString& parameters)
{
    if (m_running)
        return;
    m_running = true;
    emit runningChanged(true);
    m_lastErrorTimer.stop();
    struct Outcome {
        bool exists = false;
        bool started = false;
        DWORD lastError = 0;
    };
    auto outcome = std::make_shared<Outcome>();
    devlink::DeviceSession::Instance().Start(
        this,
        [outcome, filename, parameters](devlink::RequestContext&) {
            outcome->exists = devlink::DeviceFileExists(filename);
            outcome->started = devlink::RunDeviceExe(filename, parameters, false);
            // Read at once: a later device call would replace it.
            outcome->lastError = CeGetLastError();
        },
        [this, outcome, filename, parameters](devlink::RequestEnd) {
            if (outcome->exists) {
                m_lastError = outcome->lastError;
                m_lastErrorTimer.start();
            }
            m_filename = filename;
            m_parameters = parameters;
            settings::WriteString(kFilenameSetting, filename);
            settings::WriteString(kParametersSetting, parameters);
            m_running = false;
            emit runningChanged(false);
            emit runFinished(outcome->started);
        });
}

} // namespace tools
