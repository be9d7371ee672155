#include "desktop/shell/StandaloneStart.h"

#include "desktop/database/DatabaseWindow.h"
#include "desktop/database/GridSql.h"
#include "desktop/editor/CFileWatchWindow.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/settings/SettingsStore.h"
#include "desktop/shell/CommandLine.h"

#include <memory>

namespace shell {

void ConnectFirst(QObject* context, std::function<void(bool connected)> then)
{
    auto connected = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        context, [connected](devlink::RequestContext&) { *connected = devlink::ConnectToDevice(); },
        [connected, then = std::move(then)](devlink::RequestEnd) { then(*connected); });
}

void OpenDatabaseAlone(const StartRequest& request, QObject* context, std::function<void(int status)> ended)
{
    ConnectFirst(context, [request, ended = std::move(ended)](bool connected) {
        if (!connected) {
            ended(1);
            return;
        }
        const bool tableMode = !request.table.isEmpty();
        const QString sql = tableMode
            ? QStringLiteral("SELECT * FROM ") + database::QuoteTableName(request.table)
            : QString();
        // Without "-pass" the first request tries the remembered password (or
        // none); the window asks only when the device refuses it.
        const QString password
            = request.passwordGiven ? request.password : settings::GetRememberedPassword(request.path);
        auto* window
            = new database::DatabaseWindow(request.table, request.path, password, false, tableMode, sql);
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (!tableMode)
            window->setWindowTitle(QStringLiteral("Tables"));
        QObject::connect(window, &QObject::destroyed, [ended] { ended(0); });
        window->show();
    });
}

StandaloneEditor::StandaloneEditor(QObject* parent)
    : QObject(parent)
{
}

StandaloneEditor::~StandaloneEditor()
{
    devlink::DeviceSession::Instance().Forget(this);
    delete m_window.data();
}

editor::CFileWatchWindow* StandaloneEditor::window() const
{
    return m_window;
}

void StandaloneEditor::Start(const QString& devicePath)
{
    ConnectFirst(this, [this, devicePath](bool connected) {
        if (!connected) {
            emit finished(1);
            return;
        }
        m_window = new editor::CFileWatchWindow;
        connect(m_window, &editor::CFileWatchWindow::closed, this, [this] { emit finished(0); });
        m_window->OpenFile(devicePath);
    });
}

} // namespace shell
