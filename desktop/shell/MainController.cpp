#include "desktop/shell/MainController.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/ui/PromptFromWindow.h"
#include "desktop/update/UpdateSettings.h"

#include <QCoreApplication>
#include <QProcess>

#include <memory>

namespace shell {
namespace {

const QSet<Command> kDeviceCommands = { Command::ProcessViewer, Command::RegistryEditor, Command::SoftReset,
    Command::HardReset, Command::SearchDatabases };

} // namespace

MainController::MainController(QObject* parent)
    : QObject(parent)
    , m_startInstance([] { return QProcess::startDetached(QCoreApplication::applicationFilePath(), {}); })
{
    m_reconnectTimer.setSingleShot(true);
    m_reconnectTimer.setInterval(500);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &MainController::Reconnect);
    connect(
        &m_updateCheck, &update::OnlineUpdateThread::finished, this, &MainController::OnUpdateCheckFinished);
}

MainController::~MainController()
{
    devlink::DeviceSession::Instance().Forget(this);
}

bool MainController::IsAllowed(Command command) const
{
    return !kDeviceCommands.contains(command) || m_allowed.contains(command);
}

void MainController::SetAllowed(Command command, bool allowed)
{
    if (allowed)
        m_allowed.insert(command);
    else
        m_allowed.remove(command);
}

void MainController::SetDeviceTools(bool processViewerAndResets, bool registryEditor)
{
    SetAllowed(Command::ProcessViewer, processViewerAndResets);
    SetAllowed(Command::SoftReset, processViewerAndResets);
    SetAllowed(Command::HardReset, processViewerAndResets);
    SetAllowed(Command::RegistryEditor, registryEditor);
}

void MainController::OnStartupDone(const StartupSequence::Outcome& outcome)
{
    m_connected = outcome.connected;
    m_canRunEngine = outcome.connected && outcome.deviceToolsEnabled;
    SetDeviceTools(outcome.deviceToolsEnabled, outcome.deviceToolsEnabled);
    if (!outcome.connected) {
        SetAllowed(Command::SearchDatabases, false);
        emit stateChanged();
        emit startupFinished();
        return;
    }
    emit stateChanged();
    auto copied = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this,
        [copied](devlink::RequestContext&) { *copied = devlink::CopyAgentIfNewer(devlink::AgentExeName(2)); },
        [this, copied](devlink::RequestEnd) {
            SetAllowed(Command::ProcessViewer, *copied);
            SetAllowed(Command::SoftReset, *copied);
            SetAllowed(Command::HardReset, *copied);
            SetAllowed(Command::RegistryEditor, true);
            SetAllowed(Command::SearchDatabases, true);
            emit stateChanged();
            emit focusTreeRequested();
            CheckActiveSyncVersion();
            emit startupFinished();
            emit deviceReady();
            update::StartUpdateCheck(&m_updateCheck, false);
        });
}

void MainController::CheckActiveSyncVersion()
{
    const QString key = QStringLiteral("Software\\Microsoft\\Windows CE Services");
    quint32 major = 0, minor = 0;
    if (!settings::ReadDword(reg::HKEY_LOCAL_MACHINE, key, QStringLiteral("MajorVersion"), &major)
        || !settings::ReadDword(reg::HKEY_LOCAL_MACHINE, key, QStringLiteral("MinorVersion"), &minor)
        || major >= 4)
        return;
    QString warning;
    settings::ReadString(QStringLiteral("ActiveSyncWarning"), &warning);
    if (warning != QLatin1String("1"))
        settings::WriteString(QStringLiteral("ActiveSyncWarning"), QStringLiteral("1"));
}

void MainController::OnUpdateCheckFinished()
{
    const update::UpdateRecord& record = m_updateCheck.record();
    if (record.done && record.newVersionAvailable && update::UpdateAnnouncementWanted())
        emit updateAnnounced(QStringLiteral("There is a new version of \"Quorvane\" now\r\n"
                                            "available to download.\r\n"
                                            "Click on \"Options\\Check for Updates\" for details.\r\n"));
}

void MainController::OnDeviceConnected()
{
    m_connected = true;
    m_reconnectTimer.start();
}

void MainController::Reconnect()
{
    devlink::TraceLine(QStringLiteral("\r\nReconnecting to RAPI...\r\n"));
    struct Result {
        bool connected = false;
        bool engineRuns = false;
        bool copied = false;
    };
    auto result = std::make_shared<Result>();
    devlink::DeviceSession::Instance().Start(
        this,
        [result](devlink::RequestContext&) {
            result->connected = devlink::ConnectWithRetries();
            if (!result->connected)
                return;
            devlink::DeployAgentFiles();
            result->engineRuns = devlink::TestRunAgent();
            result->copied = devlink::CopyAgentIfNewer(devlink::AgentExeName(2));
        },
        [this, result](devlink::RequestEnd) {
            if (!result->connected) {
                devlink::TraceLine(QStringLiteral("Spawning a new copy of Brackenloft..\r\n"));
                if (m_startInstance && m_startInstance()) {
                    m_restartRequested = true;
                    emit closeRequested();
                } else {
                    ui::TellFromWindow(parent(), QStringLiteral("Quorvane"),
                        QStringLiteral("Unable to launch a new copy of our .exe :\r\n%1\r\n")
                            .arg(QCoreApplication::applicationFilePath()),
                        devlink::PromptIcon::Information);
                }
                return;
            }
            m_explorerEnabled = true;
            m_canRunEngine = result->engineRuns;
            // The copy of the engine-2.0 agent has the last word over the
            // test start (which may have removed the agent folder).
            SetDeviceTools(result->copied, result->copied);
            emit stateChanged();
            emit deviceReady();
        });
}

void MainController::OnDeviceDisconnected()
{
    m_reconnectTimer.stop();
    devlink::DeviceSession::Instance().Start(
        this, [](devlink::RequestContext&) { devlink::UninitRapi(); }, {});
    m_connected = false;
    m_explorerEnabled = false;
    m_canRunEngine = false;
    SetDeviceTools(false, false);
    emit stateChanged();
}

} // namespace shell
