// The built-in text editor started from the command line with a device file
// that is not a database: the device is connected first (the connection
// error dialog offered while that fails), then the editor window opens on
// the file. The editor only hides when it is closed, so the start ends
// through `finished` instead of the last window closing.
//
// Threads: window thread only; the connection is made on the device session.
#pragma once

#include <QObject>
#include <QPointer>

namespace editor {
class CFileWatchWindow;
}

namespace shell {

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
