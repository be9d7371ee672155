// Opening a device file that is not a folder or a database, as a double
// click or the list's "Open" entry does: the extension's remembered method
// (or the "Unknown file type" dialog's choice, remembered from then on)
// copies the file to the PC and opens it there, runs a device program on
// it, hands it to the built-in editor, or leaves it alone. A database is
// made writable before it opens, or opened by a new copy of the program.
// Device work runs on the device session; messages go through the prompt
// interface.
//
// Copies opened on the PC live in the desktop's "Temp" folder and are
// deleted when the opener is destroyed (at program end).
//
// Threads: window thread only.
#pragma once

#include "desktop/explorer/FileOpenRules.h"
#include "desktop/link/Prompter.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class QWidget;

namespace explorer {

class FileOpener : public QObject {
    Q_OBJECT
public:
    // `owner` owns the dialogs and message boxes.
    explicit FileOpener(QWidget* owner);
    // Deletes the copies opened on the PC.
    ~FileOpener() override;

    // A file of the device: checks that it is still there ("Unable to find
    // the file:" and fileMissing otherwise), then opens it with its
    // extension's method, asking for one when none is remembered.
    void OpenItem(const QString& devicePath);
    // A database about to open in the database window: a read-only file is
    // offered to be made writable first (the agent cannot work on it
    // otherwise); databaseReady follows unless the user declined.
    void OpenDatabase(const QString& devicePath);
    // Opens with `method` and remembers it for the extension.
    void OpenDeviceFile(const QString& devicePath, OpenMethod method);
    // The "Unknown file type" dialog for the file's extension (with the
    // device's own association offered); once accepted, the file opens with
    // the chosen method. Cancel ends with finished only.
    void AskMethod(const QString& devicePath);
    // A database opened by a new copy of the program (its command line:
    // SeparateDatabaseArguments); "Unable to launch a new copy of our .exe :"
    // when it cannot be started.
    void OpenDatabaseSeparately(const QString& devicePath);

    // How a new copy of the program is started (detached); tests put
    // something else. True when it started.
    using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
    void SetProgramStarter(ProgramStarter starter) { m_startProgram = std::move(starter); }

    const QStringList& openedOnPc() const { return m_openedOnPc; }

signals:
    // The file was not on the device: the explorer should look again.
    void fileMissing();
    void databaseReady(const QString& devicePath);
    // The built-in editor is to show the file (in this program).
    void editFileRequested(const QString& devicePath);
    // The work of the last open is over (whatever it did).
    void finished();

private:
    void CopyToPcAndOpen(const QString& devicePath);
    void OpenInEditor(const QString& devicePath);
    void OpenOnDevice(const QString& devicePath);
    void Tell(const QString& caption, const QString& text, devlink::PromptIcon icon);

    QPointer<QWidget> m_owner;
    QStringList m_openedOnPc;
    ProgramStarter m_startProgram;
};

} // namespace explorer
