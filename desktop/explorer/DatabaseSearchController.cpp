#include "desktop/explorer/DatabaseSearchController.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/settings/SettingsStore.h"
#include "platform/rapi/Rapi.h"

#include <QPointer>

namespace explorer {
namespace {

bool IsDeviceFolder(const QString& path)
{
    const std::u16string name = devlink::DevicePath(path);
    const DWORD attributes = CeGetFileAttributes(reinterpret_cast<LPCWSTR>(name.c_str()));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

DatabaseSearchController::DatabaseSearchController(QObject* parent)
    : QObject(parent)
    , m_model(this)
{
    quint32 skip = 1;
    m_skipWindows = !settings::ReadDword(kSkipWindowsSetting, &skip) || skip != 0;
    m_startTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, &DatabaseSearchController::Search);
    connect(&m_checkTimer, &QTimer::timeout, this, &DatabaseSearchController::CheckRows);
}

DatabaseSearchController::~DatabaseSearchController()
{
    if (m_cancelled)
        *m_cancelled = true;
    devlink::DeviceSession::Instance().Forget(this);
}

void DatabaseSearchController::Begin(const QString& path, int startDelayMs, int checkMs)
{
    m_path = path;
    m_pathSearchable = !path.isEmpty();
    m_model.Clear();
    m_status.clear();
    m_startTimer.start(startDelayMs);
    m_checkTimer.start(checkMs);
    emit stateChanged();
}

void DatabaseSearchController::SetPath(const QString& path)
{
    m_path = path;
    m_pathSearchable = false;
    const quint64 generation = ++m_pathGeneration;
    emit stateChanged();
    if (path.isEmpty() || !m_connected)
        return;
    auto folder = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this, [path, folder](devlink::RequestContext&) { *folder = IsDeviceFolder(path); },
        [this, generation, folder](devlink::RequestEnd) {
            // A later edit has its own answer coming.
            if (generation != m_pathGeneration)
                return;
            m_pathSearchable = *folder;
            emit stateChanged();
        });
}

void DatabaseSearchController::SetSkipWindows(bool skip)
{
    m_skipWindows = skip;
    settings::WriteDword(kSkipWindowsSetting, skip ? 1 : 0);
    emit stateChanged();
}

void DatabaseSearchController::SetConnected(bool connected)
{
    m_connected = connected;
    if (!connected)
        Cancel();
    emit stateChanged();
}

void DatabaseSearchController::Search()
{
    if (m_searching || !m_connected || m_path.isEmpty())
        return;
    m_searching = true;
    m_cancelled = std::make_shared<std::atomic<bool>>(false);
    m_model.Clear();
    m_status.clear();
    emit stateChanged();
    const QString path = m_path;
    const bool skipWindows = m_skipWindows;
    auto cancelled = m_cancelled;
    auto finished = std::make_shared<bool>(false);
    QPointer<DatabaseSearchController> self(this);
    devlink::DeviceSession::Instance().Start(
        this,
        [path, skipWindows, cancelled, finished, self](devlink::RequestContext& cx) {
            DatabaseSearchHooks hooks;
            hooks.cancelled = [cancelled, &cx] { return *cancelled || cx.token().IsCancelled(); };
            hooks.searching = [&cx, self](const QString& folder) {
                cx.Post([self, folder] {
                    if (self) {
                        self->m_status = DatabaseSearchProgress(folder);
                        emit self->stateChanged();
                    }
                });
            };
            hooks.found = [&cx, self](const FoundDatabase& row) {
                cx.Post([self, row] {
                    if (self)
                        self->m_model.Append({ row });
                });
            };
            *finished = SearchDatabases(path, skipWindows, hooks);
        },
        [this, finished](devlink::RequestEnd) {
            m_searching = false;
            m_status = DatabaseSearchSummary(m_model.rowCount(), !*finished);
            emit stateChanged();
        });
}

void DatabaseSearchController::Cancel()
{
    if (m_cancelled)
        *m_cancelled = true;
}

void DatabaseSearchController::End()
{
    Cancel();
    m_startTimer.stop();
    m_checkTimer.stop();
}

QString DatabaseSearchController::FullPathOf(int row) const
{
    return row >= 0 && row < m_model.rows().size() ? m_model.rows()[row].fullPath() : QString();
}

void DatabaseSearchController::CheckRows()
{
    // The search holds the device session; its rows are fresh anyway.
    if (m_searching || m_checking || !m_connected || m_model.rowCount() == 0)
        return;
    m_checking = true;
    QStringList paths;
    for (int i = int(m_model.rows().size()) - 1; i >= 0; --i)
        paths << m_model.rows()[i].fullPath();
    auto vanished = std::make_shared<QStringList>();
    devlink::DeviceSession::Instance().Start(
        this,
        [paths, vanished](devlink::RequestContext&) {
            for (const QString& path : paths)
                if (!devlink::DeviceFileExists(path))
                    vanished->append(path);
        },
        [this, vanished](devlink::RequestEnd) {
            m_checking = false;
            m_model.RemovePaths(*vanished);
        });
}

} // namespace explorer
