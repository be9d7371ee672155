// The windows the program opens alone for a device file named on its
// command line. The device is connected first (the connection-error dialog
// offered while that fails); when it cannot be, the program ends with no
// window.
//
// The built-in text editor only hides when it is closed, so its start ends
// through `finished` instead of the last window closing.
//
// Threads: window thread only; the connection is made on the device session.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

namespace editor {
class CFileWatchWindow;
}

namespace shell {

// Connects on the device session, then calls `then` with the outcome on this
// thread, unless `context` is gone by then.
void ConnectFirst(QObject* context, std::function<void(bool connected)> then);

struct StartRequest;
// Connects, then opens the database window of `request` (database mode, or
// table mode when it names a table); `ended` gets the program's exit status:
// 0 when the window has closed, 1 when no device could be connected.
void OpenDatabaseAlone(const StartRequest& request, QObject* context, std::function<void(int status)> ended);

class StandaloneEditor : public QObject {
    Q_OBJECT
public:
    explicit StandaloneEditor(QObject* parent = nullptr);
    ~StandaloneEditor() override;

    // Connects, then opens `devicePath` in the editor window.
    void Start(const QString& devicePath);
    // The editor window once the device is connected, else null.
    editor::CFileWatchWindow* window() const;

signals:
    // The program's exit status: 0 when the user closed the editor, 1 when
    // the device could not be connected (the user cancelled the dialog).
    void finished(int status);

private:
    QPointer<editor::CFileWatchWindow> m_window;
};

} // namespace shell
