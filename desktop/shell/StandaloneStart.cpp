#include "desktop/shell/StandaloneStart.h"

#include "desktop/editor/CFileWatchWindow.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"

#include <memory>

namespace shell {

void ConnectFirst(QObject* context, std::function<void(bool connected)> then)
{
    auto connected = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        context, [connected](devlink::RequestContext&) { *connected = devlink::ConnectToDevice(); },
        [connected, then = std::move(then)](devlink::RequestEnd) { then(*connected); });
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
