#include "desktop/shell/StandaloneEditor.h"

#include "desktop/editor/CFileWatchWindow.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"

#include <memory>

namespace shell {

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
    auto connected = std::make_shared<bool>(false);
    devlink::DeviceSession::Instance().Start(
        this, [connected](devlink::RequestContext&) { *connected = devlink::ConnectToDevice(); },
        [this, connected, devicePath](devlink::RequestEnd) {
            if (!*connected) {
                emit finished(1);
                return;
            }
            m_window = new editor::CFileWatchWindow;
            connect(m_window, &editor::CFileWatchWindow::closed, this, [this] { emit finished(0); });
            m_window->OpenFile(devicePath);
        });
}

} // namespace shell
