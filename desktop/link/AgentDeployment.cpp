#include "desktop/link/AgentDeployment.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace devlink {
namespace {

const QString kActiveSyncKey = QStringLiteral("Software\\Microsoft\\Windows CE Services");

// Seconds between 1601-01-01 and 1970-01-01, the two epochs of file times.
constexpr qint64 kFileTimeEpochSeconds = 11644473600LL;

QString Q(const std::u16string& text)
{
    return QString::fromStdU16String(text);
}

qint64 FileTimeSeconds(FILETIME time)
{
    return static_cast<qint64>(FileTimeToU64(time) / 10000000ULL) - kFileTimeEpochSeconds;
}

// "<who>'s "<path>" was created on d/m/y h:mm." with the local time.
QString CreatedTrace(const char16_t* format, const QString& path, qint64 secondsSinceEpoch)
{
    const QDateTime when = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).toLocalTime();
    return Q(exchange::Format(format, path.toStdU16String(), when.date().day(), when.date().month(),
        when.date().year(), when.time().hour(), when.time().minute()));
}

struct CopyFailure {
    bool desktop = false;
    QString desktopText;
    DWORD deviceError = 0;
};

// Writes `content` to the device as `target`: first under a temporary name,
// then moved into place, so the target is never half a program.
bool WriteDeviceProgram(const QString& target, const QByteArray& content, CopyFailure* failure)
{
    const QString temporary = target + QStringLiteral(".new");
    HANDLE handle
        = RapiCeCreateFile(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (handle == -1 || handle == -2) {
        failure->deviceError = CeGetLastError();
        return false;
    }
    bool written = WriteDeviceBytes(handle, content.constData(), static_cast<DWORD>(content.size()));
    if (!written)
        failure->deviceError = CeGetLastError();
    CeCloseHandle(handle);
    const std::u16string temporaryName = DevicePath(temporary), targetName = DevicePath(target);
    if (written) {
        if (!CeDeleteFile(targetName.c_str()) && CeGetLastError() != ERROR_FILE_NOT_FOUND) {
            failure->deviceError = CeGetLastError();
            written = false;
        } else if (!CeMoveFile(temporaryName.c_str(), targetName.c_str())) {
            failure->deviceError = CeGetLastError();
            written = false;
        }
    }
    if (!written)
        CeDeleteFile(temporaryName.c_str());
    return written;
}

} // namespace

bool DetectDevicePlatform(QString* typeName, int* platform)
{
    bool wince = false, smart = false;
    QString oem;
    if (settings::ReadString(reg::HKEY_CURRENT_USER, kActiveSyncKey, QStringLiteral("DeviceOemInfo"), &oem)) {
        oem = oem.toLower();
        if (oem == QStringLiteral("symbol") || oem.contains(QStringLiteral("wince")))
            wince = true;
        if (oem.contains(QStringLiteral("smartphone")))
            smart = true;
    }
    QString type;
    if (settings::ReadString(reg::HKEY_CURRENT_USER, kActiveSyncKey, QStringLiteral("DeviceType"), &type)) {
        const QString lower = type.toLower();
        if (lower.contains(QStringLiteral("smartphone")))
            smart = true;
        if (lower.contains(QStringLiteral("wince")))
            wince = true;
    }
    QString name = QStringLiteral("PocketPC");
    int kind = kPocketPC;
    if (wince) {
        name = QStringLiteral("WindowsCE");
        kind = kWindowsCE;
    } else if (smart) {
        name = QStringLiteral("Smartphone");
        kind = kSmartphone;
    }
    if (typeName)
        *typeName = name;
    if (platform)
        *platform = kind;
    return wince || smart;
}

QString AgentExeName(int engineVersion)
{
    QString platformName;
    DetectDevicePlatform(&platformName, nullptr);
    return QLatin1Char('\\')
        + ContractText(contract::AgentExeFor(engineVersion, platformName.toStdU16String()));
}

bool IsSmartphoneDevice()
{
    int platform = kPocketPC;
    return DetectDevicePlatform(nullptr, &platform) && platform == kSmartphone;
}

bool IsWindowsCEDevice()
{
    int platform = kPocketPC;
    return DetectDevicePlatform(nullptr, &platform) && platform == kWindowsCE;
}

bool IsNonPocketPCDevice()
{
    return IsSmartphoneDevice() || IsWindowsCEDevice();
}

QString DesktopCopyPath(const QString& fileName)
{
    QString name = fileName;
    if (name.startsWith(QLatin1Char('\\')))
        name.remove(0, 1);
    name = name.left(name.size() - 4) + QStringLiteral(".dll");
    return GetProgramDir() + QLatin1Char('/') + name;
}

bool CopyAgentIfNewer(const QString& fileName)
{
    const QString source = DesktopCopyPath(fileName);
    const QFileInfo sourceInfo(source);
    const bool sourceExists = sourceInfo.exists() && sourceInfo.isFile();
    qint64 sourceTime = 0;
    if (sourceExists) {
        sourceTime = sourceInfo.lastModified().toSecsSinceEpoch();
        TraceLine(CreatedTrace(u"Server's \"%s\" was created on %d/%d/%d %d:%2d.\r\n", source, sourceTime));
    }

    const QString target = kAgentDir + fileName;
    const std::u16string folder = DevicePath(kAgentDir);
    if (!CeCreateDirectory(folder.c_str(), nullptr))
        TraceLine(QStringLiteral("Couldn't create device directory.\r\n"));

    QVector<CE_FIND_DATA> records;
    const bool targetExists
        = RapiCeFindAllFiles(
              target, FAF_NAME | FAF_LASTWRITE_TIME | FAF_LASTACCESS_TIME | FAF_CREATION_TIME, &records)
        && !records.isEmpty();
    qint64 targetTime = 0;
    if (targetExists) {
        targetTime = FileTimeSeconds(records.front().ftLastWriteTime);
        TraceLine(CreatedTrace(u"Device's \"%s\" was created on %d/%d/%d %d:%2d.\r\n", target, targetTime));
    } else {
        TraceLine(
            QStringLiteral("Couldn't find the file: \"") + target + QStringLiteral("\" on the device.\r\n"));
    }

    if (!sourceExists && !targetExists) {
        TraceLine(QStringLiteral("Server exe does not exist.\r\n"));
        ShowMessage(QStringLiteral("Error"),
            Q(exchange::Format(
                u"Fatal error:\r\n\r\nThe following file is missing:\r\n%s\r\n\r\n", source.toStdU16String()))
                + QStringLiteral("You must have this .exe stored in this directory for the Quorvane   \r\n"
                                 "program to run properly.\r\n\r\n"),
            PromptIcon::Warning);
        return false;
    }
    if (!sourceExists || (targetExists && sourceTime <= targetTime))
        return true;

    TraceLine(QStringLiteral("The server's exe is more up-to-date.\r\n"));
    TraceLine(QStringLiteral("Copying the exe to the device..\r\n"));
    CopyFailure failure;
    bool copied = false;
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        failure.desktop = true;
        failure.desktopText = file.errorString();
    } else {
        const QByteArray content = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            failure.desktop = true;
            failure.desktopText = file.errorString();
        } else {
            copied = WriteDeviceProgram(target, content, &failure);
        }
    }
    if (copied) {
        TraceLine(QStringLiteral("ok.\r\n"));
        return true;
    }
    TraceLine(QStringLiteral("failed.\r\n"));
    const QString reason = failure.desktop
        ? Q(exchange::Format(u"Server error: %s", failure.desktopText.toStdU16String()))
        : Q(exchange::Format(u"Device error: %s", DeviceErrorText(failure.deviceError).toStdU16String()));
    ShowMessage(QStringLiteral("Error"),
        Q(exchange::Format(u"Unable to copy the file\r\n    %s  \r\nto\r\n    %s.\r\n\r\n\r\n%s\r\n\r\n",
            source.toStdU16String(), target.toStdU16String(), reason.toStdU16String()))
            + QStringLiteral("You will not be able to view/edit any of your databases\r\n"
                             "on the device without this file in place.\r\n\r\n"),
        PromptIcon::Warning);
    return false;
}

bool DeployAgentFiles()
{
    if (!CopyAgentIfNewer(AgentExeName(2)))
        return false;
    if (!CopyAgentIfNewer(AgentExeName(3)))
        return false;
    return CopyAgentIfNewer(kStopperExeName);
}

bool TestRunAgent()
{
    if (!DeviceOsAtLeast4())
        return false;
    if (DeviceOsAtLeast5())
        return true;
    const QString program = kAgentDir + AgentExeName(2);
    const std::u16string programName = DevicePath(program);
    PROCESS_INFORMATION info {};
    if (CeCreateProcess(programName.c_str(), contract::kSwitchTest.data(), nullptr, nullptr, FALSE, 0,
            nullptr, nullptr, nullptr, &info))
        return true;
    const QString text = DeviceErrorText(CeGetLastError());
    if (text.isEmpty())
        return false;
    if (!text.contains(QStringLiteral("The operation completed successfully")))
        TraceLine(Q(exchange::Format(
            u"Couldn't run \"%s\".\r\nError: %s\r\n", program.toStdU16String(), text.toStdU16String())));
    for (const QString& name : { AgentExeName(2), AgentExeName(3), kStopperExeName }) {
        const std::u16string path = DevicePath(kAgentDir + name);
        CeDeleteFile(path.c_str());
    }
    WaitWithMessages(Timing().testRunDeleteWaitMs);
    const std::u16string folder = DevicePath(kAgentDir);
    CeRemoveDirectory(folder.c_str());
    return false;
}

} // namespace devlink
