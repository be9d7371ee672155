// The built-in editor's device file, without its window: reading it (and
// again whenever its last-write time changes, checked every 10 s while a
// file is shown), and saving it back in its own kind of text with a numbered
// backup that is removed once the new content is whole on the device.
//
// Safety: nothing on the device changes until the backup rename succeeded,
// and a read-only file is not saved over at all ("Unable to create file.");
// when the new file cannot be made or written, the partial file is removed
// and the backup takes the file's name again. A change on the device while
// the text holds unsaved edits is never loaded over them: the window is
// asked first (externalChange). Device work runs on the device session;
// reports go through the prompt interface as "%s : %s\r\n\r\nError: %s\r\n"
// (path, message, the device's text for its last error), caption "Error".
//
// Threads: window thread only.
#pragma once

#include "desktop/editor/EditorText.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace editor {

class FileWatch : public QObject {
    Q_OBJECT
public:
    // `owner` owns the message boxes.
    explicit FileWatch(QObject* owner);
    ~FileWatch() override;

    // The watch's period (10 s); tests shorten it.
    void SetInterval(int milliseconds) { m_timer.setInterval(milliseconds); }

    // Reads `devicePath` anew (a first load) and starts the watch.
    void Load(const QString& devicePath);
    // "&Refresh": reads the file again now.
    void Refresh();
    // Saves `text`; saved(true) follows a success.
    void Save(const QString& text);
    // Stops the watch (the window hid).
    void Stop();
    // The text differs from the file (the window's first change sets it).
    void SetModified(bool modified) { m_modified = modified; }
    bool isModified() const { return m_modified; }

    QString path() const { return m_path; }
    const DeviceText& file() const { return m_file; }
    // The file's last-write time as the explorer shows it.
    QString dateText() const { return m_dateText; }

signals:
    // The file's text was read: `firstLoad` for a new file, else a reload.
    void loaded(bool firstLoad);
    // The file changed on the device while the text holds unsaved edits.
    void externalChange();
    void saved(bool ok);

private:
    struct Check;
    void CheckNow(bool force);
    void Apply(const Check& check, bool force);
    void Report(const QString& message, quint32 deviceError);

    QPointer<QObject> m_owner;
    QString m_path;
    DeviceText m_file;
    QString m_dateText;
    quint64 m_lastWrite = 0;
    bool m_firstLoad = true;
    bool m_modified = false;
    bool m_busy = false;
    bool m_missingReported = false;
    int m_generation = 0;
    QTimer m_timer;
};

} // namespace editor
