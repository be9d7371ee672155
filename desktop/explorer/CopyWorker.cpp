#include "desktop/explorer/CopyWorker.h"

#include "desktop/explorer/ClipboardFolder.h"
#include "desktop/explorer/DeviceListing.h"
#include "desktop/explorer/OverwritePolicy.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "desktop/link/RequestContext.h"
#include "desktop/settings/SettingsStore.h"
#include "platform/rapi/Rapi.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace explorer {
namespace {

using devlink::CopyOutcome;
using Step = CopyOutcome::Step;

constexpr int kMaxDeviceName = 255;
constexpr int kMaxDevicePath = 259;
constexpr int kMaxLocalNameBytes = 255;

void Tell(const QString& caption, const QString& text)
{
    devlink::ShowMessage(caption, text, devlink::PromptIcon::Warning);
}

// "Error: <text>\r\n", or "Unknown error.\r\n" when the device gave no code.
QString ErrorLine(DWORD code)
{
    const QString text = code ? devlink::DeviceErrorText(code) : QString();
    return text.isEmpty() ? QStringLiteral("Unknown error.\r\n") : QStringLiteral("Error: %1\r\n").arg(text);
}

QString ErrorText(DWORD code)
{
    const QString text = code ? devlink::DeviceErrorText(code) : QString();
    return text.isEmpty() ? QStringLiteral("Unknown error") : text;
}

void TellNameRefused(const QString& path, const QString& problem, bool toDevice)
{
    Tell(QStringLiteral("Copy Error"),
        QStringLiteral("\"%1\" cannot be copied %2:\r\n%3")
            .arg(path, toDevice ? QStringLiteral("to the device") : QStringLiteral("to this computer"),
                problem));
}

bool AutoInstallCabs()
{
    quint32 value = 0;
    return settings::ReadDword(QStringLiteral("AutoInstallCABs"), &value) && value == 1;
}

} // namespace

QString DeviceNameProblem(const QString& name)
{
    static const QString kForbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar c : name)
        if (c.unicode() < 0x20 || kForbidden.contains(c))
            return QStringLiteral("a device name cannot hold the character \"%1\".")
                .arg(c.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                        : QString(c));
    if (name.isEmpty() || name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("a device name cannot end with a dot or a space.");
    if (name.size() > kMaxDeviceName)
        return QStringLiteral("a device name holds at most %1 characters.").arg(kMaxDeviceName);
    return {};
}

QString LocalNameProblem(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("this name cannot be used for a file here.");
    if (QFile::encodeName(name).size() > kMaxLocalNameBytes)
        return QStringLiteral("a file name here holds at most %1 bytes.").arg(kMaxLocalNameBytes);
    return {};
}

CopyWorker::CopyWorker(CopyJob& job, CopyEvents events)
    : m_job(job)
    , m_events(std::move(events))
{
}

void CopyWorker::BeginFile(const QString& from, const QString& to)
{
    m_job.totalBytes = CopyJob::kUnknownTotal;
    m_job.copiedBytes = 0;
    m_job.SetTexts(CopyPathText(from), CopyPathText(to));
    m_job.startMs = QDateTime::currentMSecsSinceEpoch();
    ++m_job.fileNumber;
}

bool CopyWorker::Stopped() const
{
    return m_gaveUp || m_job.cancelled || devlink::CancelRequested();
}

void CopyWorker::ConnectionLost()
{
    // The link's reconnection asks the user what to do; the copy itself ends
    // without a word of its own. Without a device the rest of a batch would
    // only ask again, item by item.
    devlink::TraceLine(QStringLiteral("The connection was lost during a copy.\r\n"));
    if (devlink::IsRAPIopen() != devlink::kRapiReopened)
        m_gaveUp = true;
}

void CopyWorker::Post(std::function<void()> function) const
{
    if (!function)
        return;
    if (devlink::RequestContext* request = devlink::CurrentRequest())
        request->Post(std::move(function));
    else
        function();
}

bool CopyWorker::CopyFileToDevice(const QString& pcPath, const QString& deviceDir)
{
    const QFileInfo info(pcPath);
    const QString name = info.fileName();
    // Only whether it is there: opening a pipe here would take its writer's
    // first bytes away from the copy.
    if (!info.exists()) {
        Tell(QStringLiteral("Copy Error"),
            QStringLiteral("The following error has occured whilst copying:\r\n%1\r\n\r\nError:%2")
                .arg(pcPath, QString::fromLocal8Bit(std::strerror(ENOENT))));
        return false;
    }
    const QString target = JoinDevicePath(deviceDir, name);
    QString problem = DeviceNameProblem(name);
    if (problem.isEmpty() && target.size() > kMaxDevicePath)
        problem = QStringLiteral("the device path would be longer than %1 characters.").arg(kMaxDevicePath);
    if (!problem.isEmpty()) {
        TellNameRefused(pcPath, problem, true);
        return false;
    }

    switch (DecideOverwrite(pcPath, target, &m_overwriteChoice)) {
    case OverwriteDecision::Cancel:
        m_job.cancelled = true;
        return false;
    case OverwriteDecision::Skip:
        return false;
    case OverwriteDecision::Copy:
        break;
    }

    BeginFile(pcPath, target);
    devlink::TraceLine(QStringLiteral("CopyFileToDeviceThread() started..\r\n"));
    const CopyOutcome outcome
        = devlink::CopyFileToDevice(pcPath, target, [this](quint64 copied, qint64 total) {
              if (total >= 0)
                  m_job.totalBytes = quint64(total);
              m_job.copiedBytes = copied;
          });
    if (outcome.copied()) {
        if (target.endsWith(QLatin1String("cab"), Qt::CaseInsensitive) && AutoInstallCabs()
            && m_events.installCab)
            Post([installCab = m_events.installCab, target] { installCab(target); });
        return true;
    }
    if (outcome.end == CopyOutcome::End::Cancelled)
        return false;
    if (outcome.connectionLost()) {
        ConnectionLost();
        return false;
    }
    switch (outcome.step) {
    case Step::OpenSource:
        Tell(QStringLiteral("CopyToDevice Error 2"),
            QStringLiteral("Could not open the file \"%1\".").arg(pcPath));
        break;
    case Step::Read:
        Tell(QStringLiteral("CopyToDevice Error 2"),
            QStringLiteral("Could not read the file \"%1\".\r\nError: %2\r\n")
                .arg(pcPath, outcome.localError));
        break;
    case Step::CreateTarget:
        Tell(QStringLiteral("CopyToDevice Error 1"),
            QStringLiteral("Could not create \"%1\".\r\n").arg(target) + ErrorLine(outcome.deviceError));
        break;
    default:
        Tell(QStringLiteral("Error"),
            QStringLiteral("Could not copy \"%1\" to the device.\r\n\r\nError: ").arg(pcPath)
                + ErrorText(outcome.deviceError));
        break;
    }
    return false;
}

bool CopyWorker::CopyDirectoryToDevice(const QString& pcDir, const QString& deviceDir)
{
    const QString name = QFileInfo(pcDir).fileName();
    const QString target = JoinDevicePath(deviceDir, name);
    devlink::TraceLine(QStringLiteral("\r\n\r\nCopying from %1\r\nto %2\r\n\r\n").arg(pcDir, target));
    QString problem = DeviceNameProblem(name);
    if (problem.isEmpty() && target.size() > kMaxDevicePath)
        problem = QStringLiteral("the device path would be longer than %1 characters.").arg(kMaxDevicePath);
    if (!problem.isEmpty()) {
        TellNameRefused(pcDir, problem, true);
        return false;
    }
    const std::u16string targetName = devlink::DevicePath(target);
    const DWORD attributes = CeGetFileAttributes(targetName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (!CeCreateDirectory(targetName.c_str(), nullptr)) {
            if (CeRapiGetError() != S_OK)
                ConnectionLost();
            else
                devlink::ShowDeviceError(
                    QStringLiteral("Could not create the folder \"%1\" on the device.\r\n\r\nError: ")
                        .arg(target));
            return false;
        }
        if (m_events.folderCreated)
            Post([folderCreated = m_events.folderCreated, deviceDir, name] {
                folderCreated(deviceDir, name);
            });
    } else if (!(attributes & kAttributeDirectory)) {
        Tell(QStringLiteral("Error"),
            QStringLiteral("Could not create the folder \"%1\" on the device.\r\n\r\nError: ").arg(target)
                + ErrorText(ERROR_ALREADY_EXISTS));
        return false;
    }

    bool all = true;
    const QFileInfoList entries = QDir(pcDir).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (Stopped())
            return false;
        if (entry.isDir()) {
            // A link to a folder could lead back up the tree without end.
            if (entry.isSymLink()) {
                devlink::TraceLine(QStringLiteral("Skipping the folder link %1\r\n").arg(entry.filePath()));
                all = false;
                continue;
            }
            all = CopyDirectoryToDevice(entry.filePath(), target) && all;
        } else {
            all = CopyFileToDevice(entry.filePath(), target) && all;
        }
    }
    return all && !Stopped();
}

bool CopyWorker::CopyDropListToDevice(const QStringList& dropList, const QString& deviceDir)
{
    bool all = true;
    for (const QString& path : dropList) {
        if (Stopped())
            return false;
        const bool copied = QFileInfo(path).isDir() ? CopyDirectoryToDevice(path, deviceDir)
                                                    : CopyFileToDevice(path, deviceDir);
        all = copied && all;
    }
    return all && !Stopped();
}

bool CopyWorker::CopyFileFromDevice(const QString& devicePath, const QString& pcPath)
{
    const QString problem = LocalNameProblem(QFileInfo(pcPath).fileName());
    if (!problem.isEmpty()) {
        TellNameRefused(devicePath, problem, false);
        return false;
    }
    BeginFile(devicePath, pcPath);
    devlink::TraceLine(QStringLiteral("CopyFileFromDeviceThread() started..\r\n"));
    // The device file's attributes stay as they are: reading changes nothing
    // on the device.
    const CopyOutcome outcome
        = devlink::CopyFromDeviceToFile(devicePath, pcPath, [this](quint64 copied, qint64 total) {
              if (total >= 0)
                  m_job.totalBytes = quint64(total);
              m_job.copiedBytes = copied;
          });
    if (outcome.copied() || outcome.end == CopyOutcome::End::Cancelled)
        return outcome.copied();
    if (outcome.connectionLost()) {
        ConnectionLost();
        return false;
    }
    switch (outcome.step) {
    case Step::OpenSource:
        Tell(QStringLiteral("CopyFromDevice Error 1"),
            QStringLiteral("Could not open \"%1\".\r\n").arg(devicePath) + ErrorLine(outcome.deviceError));
        break;
    case Step::CreateTarget:
        Tell(QStringLiteral("CopyFromDevice Error 2"),
            QStringLiteral("Could not open the file \"%1\".").arg(pcPath));
        break;
    case Step::Write:
        // A full disk, among others: the copy is not whole, and says so.
        Tell(QStringLiteral("CopyFromDevice Error 3"),
            QStringLiteral("Could not write the file \"%1\".\r\nError: %2\r\n")
                .arg(pcPath, outcome.localError));
        break;
    default:
        Tell(QStringLiteral("Error"),
            QStringLiteral("Could not copy \"%1\" from the device.\r\n\r\nError: ").arg(devicePath)
                + ErrorText(outcome.deviceError));
        break;
    }
    return false;
}

bool CopyWorker::CopyDirectoryFromDevice(const QString& deviceDir, const QString& pcDir)
{
    const QString problem = LocalNameProblem(QFileInfo(pcDir).fileName());
    if (!problem.isEmpty()) {
        TellNameRefused(deviceDir, problem, false);
        return false;
    }
    if (!QFileInfo(pcDir).isDir() && !QDir().mkdir(pcDir)) {
        Tell(QStringLiteral("Error"), QStringLiteral("Could not create the folder \"%1\".").arg(pcDir));
        return false;
    }
    FileRows files, dirs;
    if (!ReadDirectory(deviceDir, &files, &dirs)) {
        if (CeRapiGetError() != S_OK)
            ConnectionLost();
        return false;
    }
    for (const FileRow& file : std::as_const(files))
        if (Stopped()
            || !CopyFileFromDevice(JoinDevicePath(deviceDir, file.name), QDir(pcDir).filePath(file.name)))
            return false;
    for (const FileRow& dir : std::as_const(dirs))
        if (Stopped()
            || !CopyDirectoryFromDevice(JoinDevicePath(deviceDir, dir.name), QDir(pcDir).filePath(dir.name)))
            return false;
    return !Stopped();
}

} // namespace explorer
