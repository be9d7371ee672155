#include "desktop/tools/ProcessViewerModel.h"

#include "desktop/link/AgentDeployment.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/UtilityModes.h"
#include "platform/rapi/Rapi.h"

#include <memory>

namespace tools {
namespace {

const QString kListCommand = devlink::ContractText(contract::kSwitchProcesses);

struct QueryOutcome {
    bool ran = false;
    bool listed = false;
    QStringList names;
};

} // namespace

ProcessViewerModel::ProcessViewerModel(QObject* parent)
    : QObject(parent)
    , m_list(0, 1)
    , m_commandLine(kListCommand)
{
    m_list.setHeaderData(0, Qt::Horizontal, QStringLiteral("Process name"));
    m_statusText = QStringLiteral("Querying processes...");
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &ProcessViewerModel::OnTick);
}

ProcessViewerModel::~ProcessViewerModel()
{
    devlink::DeviceSession::Instance().Forget(this);
}

QString ProcessViewerModel::StopItemText(const QString& rowText)
{
    if (!CanStop(rowText))
        return QStringLiteral("Cannot stop this process.");
    return QStringLiteral("Stop the process: \"%1\"").arg(rowText);
}

bool ProcessViewerModel::CanStop(const QString& rowText)
{
    return !rowText.contains(devlink::AgentExeName(2).mid(1));
}

void ProcessViewerModel::Show()
{
    m_busy = false;
    SetStatus(QStringLiteral("Querying processes..."));
    m_timer.start();
}

void ProcessViewerModel::Close()
{
    m_timer.stop();
    CancelQuery();
}

void ProcessViewerModel::CancelQuery()
{
    if (!m_busy)
        return;
    ++m_generation;
    devlink::DeviceSession::Instance().Cancel(m_requestId);
    m_busy = false;
}

void ProcessViewerModel::SelectRow(int row)
{
    m_selectedRow = row >= 0 && row < m_list.rowCount() ? row : -1;
    ProcessViewerButtons buttons = m_buttons;
    buttons.killEnabled
        = m_selectedRow >= 0 && !m_busy && !devlink::IsAgentProcess(m_list.item(m_selectedRow)->text());
    SetButtons(buttons);
}

void ProcessViewerModel::Kill()
{
    if (m_selectedRow < 0 || m_busy)
        return;
    const QString name = m_list.item(m_selectedRow)->text();
    if (devlink::IsAgentProcess(name))
        return;
    ProcessViewerButtons buttons = m_buttons;
    buttons.killEnabled = false;
    buttons.refreshEnabled = false;
    SetButtons(buttons);
    SetStatus(QStringLiteral("Killing \"%1\"...").arg(name));
    m_commandLine = devlink::KillCommandLine(name);
    m_timer.start();
}

void ProcessViewerModel::Refresh()
{
    if (m_busy)
        return;
    SetStatus(QStringLiteral("Querying processes..."));
    ProcessViewerButtons buttons = m_buttons;
    buttons.killEnabled = false;
    buttons.refreshEnabled = false;
    SetButtons(buttons);
    // A refresh lists the processes; repeating an earlier kill here could
    // end a new program that took the killed one's name.
    m_commandLine = kListCommand;
    m_timer.start();
}

void ProcessViewerModel::OnTick()
{
    if (!m_busy) {
        StartQuery();
        return;
    }
    const qint64 seconds = m_startTime.elapsed() / 1000;
    SetStatus(QStringLiteral("%1:%2  Loading processes info..")
                  .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
                  .arg(seconds % 60, 2, 10, QLatin1Char('0')));
}

void ProcessViewerModel::StartQuery()
{
    m_busy = true;
    m_startTime.start();
    m_selectedRow = -1;
    m_list.removeRows(0, m_list.rowCount());
    ProcessViewerButtons buttons = m_buttons;
    buttons.killEnabled = false;
    buttons.refreshEnabled = false;
    SetButtons(buttons);
    const QString commandLine = m_commandLine;
    // A kill is asked once: the next query (a refresh, the window shown
    // again) lists the processes.
    m_commandLine = kListCommand;
    const quint64 generation = ++m_generation;
    auto outcome = std::make_shared<QueryOutcome>();
    m_requestId = devlink::DeviceSession::Instance().Start(
        this,
        [outcome, commandLine](devlink::RequestContext& request) {
            if (devlink::IsNonPocketPCDevice()) {
                const std::u16string results = devlink::DevicePath(devlink::kResultsFilePath);
                CeDeleteFile(results.c_str());
                outcome->ran = true;
            } else {
                outcome->ran = devlink::RunUtilityMode(
                    commandLine, { devlink::ContractText(contract::kProcessKiller) });
            }
            if (outcome->ran && !request.token().IsCancelled())
                outcome->listed = devlink::ReadProcessList(&outcome->names);
        },
        [this, outcome, generation](devlink::RequestEnd end) {
            OnQueryEnded(generation, end, outcome->ran, outcome->names, outcome->listed);
        });
}

void ProcessViewerModel::OnQueryEnded(
    quint64 generation, devlink::RequestEnd end, bool ran, const QStringList& names, bool listed)
{
    if (generation != m_generation)
        return;
    m_timer.stop();
    m_busy = false;
    SetStatus(QString());
    if (end == devlink::RequestEnd::Ran && ran) {
        for (const QString& name : names)
            m_list.appendRow(new QStandardItem(name));
        if (listed)
            SetStatus(QStringLiteral("%1 processes found.").arg(names.size()));
        SetButtons({ false, true, false, true, true });
    } else {
        SetStatus(QStringLiteral("An error occurred."));
        // Refresh, once offered, stays usable so that the user can try again.
        ProcessViewerButtons buttons = m_buttons;
        buttons.refreshEnabled = buttons.refreshShown;
        SetButtons(buttons);
    }
    emit queryFinished();
}

void ProcessViewerModel::SetStatus(const QString& text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    emit statusTextChanged(text);
}

void ProcessViewerModel::SetButtons(const ProcessViewerButtons& buttons)
{
    if (buttons == m_buttons)
        return;
    m_buttons = buttons;
    emit buttonsChanged();
}

} // namespace tools
