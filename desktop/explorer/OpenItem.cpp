#include "desktop/explorer/OpenItem.h"

#include "desktop/explorer/CUnknownFileTypeDialog.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/settings/PathText.h"
#include "desktop/ui/LocalFolders.h"
#include "desktop/ui/PromptFromWindow.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QWidget>

#include <memory>

namespace explorer {
namespace {

using devlink::PromptIcon;

// Runs `work` on the device's worker and `done` here afterwards, unless
// `context` is gone.
void OnDevice(QObject* context, std::function<void()> work, std::function<void()> done)
{
    devlink::DeviceSession::Instance().Start(
        context, [work = std::move(work)](devlink::RequestContext&) { work(); },
        [done = std::move(done)](devlink::RequestEnd) { done(); });
}

} // namespace

FileOpener::FileOpener(QWidget* owner)
    : QObject(owner)
    , m_owner(owner)
    , m_startProgram([](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    })
{
}

FileOpener::~FileOpener()
{
    devlink::DeviceSession::Instance().Forget(this);
    for (const QString& path : std::as_const(m_openedOnPc))
        QFile::remove(path);
}

void FileOpener::Tell(const QString& caption, const QString& text, PromptIcon icon)
{
    ui::TellFromWindow(m_owner, caption, text, icon);
}

void FileOpener::OpenItem(const QString& devicePath)
{
    auto exists = std::make_shared<bool>(false);
    OnDevice(
        this, [devicePath, exists] { *exists = devlink::RapiCeGetFileAttributes(devicePath) >= 0; },
        [this, devicePath, exists] {
            if (!*exists) {
                Tell(QStringLiteral("Error"),
                    QStringLiteral("Unable to find the file:\r\n%1\r\n\r\n").arg(devicePath)
                        + QStringLiteral("This file may have been moved or deleted."),
                    PromptIcon::Warning);
                emit fileMissing();
                emit finished();
                return;
            }
            const QString extension = FileExtension(devicePath);
            if (const std::optional<OpenMethod> method = StoredOpenMethod(extension))
                OpenDeviceFile(devicePath, *method);
            else
                AskMethod(devicePath);
        });
}

void FileOpener::OpenDatabase(const QString& devicePath)
{
    auto proceed = std::make_shared<bool>(false);
    OnDevice(
        this,
        [devicePath, proceed] {
            const qint64 attributes = devlink::RapiCeGetFileAttributes(devicePath);
            if (attributes < 0 || !(attributes & FILE_ATTRIBUTE_READONLY)) {
                *proceed = attributes >= 0;
                return;
            }
            const QString question
                = QStringLiteral("The database file that you want to open is Read-Only.\r\n\r\n")
                + QStringLiteral("This Read-Only flag must be turned off in order to allow us\r\n")
                + QStringLiteral("to view or edit the data in this database.\r\n\r\n")
                + QStringLiteral("Do you wish to remove the Read-Only flag on this file ?\r\n");
            // Asked on the worker: the answer decides the next device step.
            if (devlink::ShowMessage(QStringLiteral("Open database"), question, PromptIcon::Question,
                    devlink::PromptButtons::YesNoCancel)
                != devlink::PromptAnswer::Yes)
                return;
            *proceed = devlink::RapiCeSetFileAttributes(
                           devicePath, DWORD(attributes) & ~DWORD(FILE_ATTRIBUTE_READONLY))
                == 1;
        },
        [this, devicePath, proceed] {
            if (*proceed)
                emit databaseReady(devicePath);
            emit finished();
        });
}

void FileOpener::AskMethod(const QString& devicePath)
{
    const QString extension = FileExtension(devicePath);
    auto association = std::make_shared<DeviceAssociation>();
    OnDevice(
        this, [extension, association] { *association = ReadDeviceAssociation(extension); },
        [this, devicePath, extension, association] {
            auto* dialog = new CUnknownFileTypeDialog(extension, *association, m_owner);
            dialog->setAttribute(Qt::WA_DeleteOnClose);
            connect(dialog, &QDialog::accepted, this,
                [this, dialog, devicePath] { OpenDeviceFile(devicePath, dialog->method()); });
            connect(dialog, &QDialog::rejected, this, &FileOpener::finished);
            dialog->open();
        });
}

void FileOpener::OpenDeviceFile(const QString& devicePath, OpenMethod method)
{
    StoreOpenMethod(FileExtension(devicePath), method);
    switch (method) {
    case OpenMethod::CopyToPc:
        CopyToPcAndOpen(devicePath);
        return;
    case OpenMethod::OnDevice:
        OpenOnDevice(devicePath);
        return;
    case OpenMethod::Editor:
        OpenInEditor(devicePath);
        emit finished();
        return;
    case OpenMethod::DoNotOpen:
        emit finished();
        return;
    }
}

void FileOpener::OpenInEditor(const QString& devicePath)
{
    if (!StoredSeparateProcess(FileExtension(devicePath))) {
        emit editFileRequested(devicePath);
        return;
    }
    devlink::DebugOutput(QStringLiteral("Spawning a new copy of Brackenloft..\r\n"));
    if (!m_startProgram(devlink::GetProgramPath(), { devicePath }))
        Tell(
            QStringLiteral("Quorvane"), QStringLiteral("Unable to open this file."), PromptIcon::Information);
}

void FileOpener::OpenDatabaseSeparately(const QString& devicePath)
{
    const QString program = devlink::GetProgramPath();
    if (!m_startProgram(program, SeparateDatabaseArguments(devicePath)))
        Tell(QStringLiteral("Quorvane"),
            QStringLiteral("Unable to launch a new copy of our .exe :\r\n%1\r\n").arg(program),
            PromptIcon::Information);
    emit finished();
}

void FileOpener::CopyToPcAndOpen(const QString& devicePath)
{
    const QString folder = ui::LocalTempFolder();
    if (folder.isEmpty()) {
        Tell(QStringLiteral("Error"), QStringLiteral("Could not open this file for writing."),
            PromptIcon::Warning);
        emit finished();
        return;
    }
    const QString local = QDir(folder).filePath(settings::FileNamePart(devicePath));
    auto copied = std::make_shared<bool>(false);
    OnDevice(
        this,
        [devicePath, local, copied] { *copied = devlink::CopyFromDeviceToFile(devicePath, local).copied(); },
        [this, local, copied] {
            if (*copied && QFile::exists(local)) {
                if (!m_openedOnPc.contains(local))
                    m_openedOnPc.append(local);
                QDesktopServices::openUrl(QUrl::fromLocalFile(local));
            } else {
                Tell(QStringLiteral("Error"), QStringLiteral("Unable to open this file."),
                    PromptIcon::Warning);
            }
            emit finished();
        });
}

void FileOpener::OpenOnDevice(const QString& devicePath)
{
    const QString extension = FileExtension(devicePath);
    const std::optional<QString> application = StoredApplication(extension);
    if (!application || application->trimmed().isEmpty()) {
        Tell(QStringLiteral("Error"),
            QStringLiteral("You have not specified a program to open *.%1 files with.").arg(extension)
                + QStringLiteral("\r\n\r\n")
                + QStringLiteral("Double-click on this filename to specify which program on the device\r\n"
                                 "you would like to use to open these files.\r\n"),
            PromptIcon::Warning);
        emit finished();
        return;
    }
    const QString program = ProgramFileOf(*application);
    const DeviceCommand command = DeviceCommandFor(*application, devicePath);
    const QString question
        = QStringLiteral("You have chosen to open %1 files on your device using the application:\r\n\r\n\t%2")
              .arg(extension, program)
        + QStringLiteral("\r\n\r\n")
        + QStringLiteral("However, this application does not exist on this particular device.\r\n\r\n")
        + QStringLiteral(
            "Do you want to try and open this using this device's usual application\r\nfor opening ")
        + QStringLiteral("*.") + extension + QStringLiteral(" files ?\r\n ");
    struct Outcome {
        bool missing = false;
        bool askedAgain = false;
        bool ran = false;
    };
    auto outcome = std::make_shared<Outcome>();
    OnDevice(
        this,
        [program, command, question, outcome] {
            if (!devlink::DeviceFileExists(program)) {
                outcome->missing = true;
                // Asked here on the worker: the answer decides what runs next.
                outcome->askedAgain = devlink::ShowMessage(QStringLiteral("Quorvane"), question,
                                          PromptIcon::Question, devlink::PromptButtons::YesNo)
                    != devlink::PromptAnswer::No;
                return;
            }
            outcome->ran = devlink::RunDeviceExe(command.program, command.arguments, false);
        },
        [this, devicePath, extension, outcome] {
            if (outcome->missing && outcome->askedAgain) {
                // The device's own program for the extension, offered in the dialog.
                auto association = std::make_shared<DeviceAssociation>();
                OnDevice(
                    this, [extension, association] { *association = ReadDeviceAssociation(extension); },
                    [this, devicePath, extension, association] {
                        StoreApplication(extension, association->application);
                        AskMethod(devicePath);
                    });
                return;
            }
            emit finished();
        });
}

} // namespace explorer
