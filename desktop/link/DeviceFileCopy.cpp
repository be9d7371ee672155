#include "desktop/link/DeviceFileCopy.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceLink.h"
#include "platform/rapi/Rapi.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>

#include <vector>

namespace devlink {
namespace {

using End = CopyOutcome::End;
using Step = CopyOutcome::Step;

// The transport's error when the connection broke, else the device's.
DWORD LastDeviceError()
{
    const HRESULT transport = CeRapiGetError();
    return transport != S_OK ? static_cast<DWORD>(transport) : CeGetLastError();
}

CopyOutcome DeviceFailure(Step step)
{
    CopyOutcome outcome;
    outcome.step = step;
    outcome.deviceError = LastDeviceError();
    return outcome;
}

CopyOutcome LocalFailure(Step step, const QString& error)
{
    CopyOutcome outcome;
    outcome.step = step;
    outcome.localError = error;
    return outcome;
}

CopyOutcome Ended(End end)
{
    CopyOutcome outcome;
    outcome.end = end;
    return outcome;
}

bool Exists(const std::u16string& path)
{
    return CeGetFileAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Fails, with the device's reason, for a target that CREATE_ALWAYS could not
// have replaced either: read-only, a folder, or held open on the device.
// Asked before the bytes travel, not after.
bool TargetWritable(const std::u16string& target, CopyOutcome* failure)
{
    if (!Exists(target))
        return true;
    const HANDLE probe
        = CeCreateFile(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (probe == INVALID_HANDLE_VALUE) {
        *failure = DeviceFailure(Step::CreateTarget);
        return false;
    }
    CeCloseHandle(probe);
    return true;
}

// Gives the finished temporary file the target's name. An old target moves
// aside first and is removed once the new one is in place; when that last
// step fails the old file comes back.
bool Replace(const std::u16string& temporary, const std::u16string& target, CopyOutcome* failure)
{
    std::u16string aside;
    if (Exists(target)) {
        aside = DevicePath(TemporaryNameBeside(QString::fromStdU16String(target)));
        if (!CeMoveFile(target.c_str(), aside.c_str())) {
            *failure = DeviceFailure(Step::Replace);
            return false;
        }
    }
    if (!CeMoveFile(temporary.c_str(), target.c_str())) {
        *failure = DeviceFailure(Step::Replace);
        if (!aside.empty())
            CeMoveFile(aside.c_str(), target.c_str());
        return false;
    }
    if (!aside.empty() && !CeDeleteFile(aside.c_str()))
        TraceLine(QStringLiteral("Could not remove the replaced file %1.\r\n")
                      .arg(QString::fromStdU16String(aside)));
    return true;
}

} // namespace

QString TemporaryNameBeside(const QString& target)
{
    return target
        + QStringLiteral(".~%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

CopyOutcome CopyToDevice(QIODevice& source, const QString& target, const CopyProgress& progress)
{
    const std::u16string finalName = DevicePath(target);
    CopyOutcome outcome;
    if (!TargetWritable(finalName, &outcome))
        return outcome;
    const std::u16string temporary = DevicePath(TemporaryNameBeside(target));
    // CREATE_NEW: a name that exists by chance is never overwritten.
    const HANDLE file
        = CeCreateFile(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return DeviceFailure(Step::CreateTarget);

    const qint64 total = source.isSequential() ? -1 : source.size();
    quint64 copied = 0;
    if (progress)
        progress(0, total);
    std::vector<char> buffer(kCopyBlockBytes);
    outcome = Ended(End::Copied);
    for (;;) {
        const qint64 n = source.read(buffer.data(), kCopyBlockBytes);
        if (n < 0) {
            outcome = LocalFailure(Step::Read, source.errorString());
            break;
        }
        if (n == 0)
            break;
        if (!WriteDeviceBytes(file, buffer.data(), static_cast<DWORD>(n))) {
            outcome = DeviceFailure(Step::Write);
            break;
        }
        copied += quint64(n);
        if (progress)
            progress(copied, total);
        if (CancelRequested()) {
            outcome = Ended(End::Cancelled);
            break;
        }
    }
    // The last blocks reach the device's file only when it is closed.
    if (!CeCloseHandle(file) && outcome.copied())
        outcome = DeviceFailure(Step::Write);
    // A source that ended because its writer was stopped is no whole copy.
    if (outcome.copied() && CancelRequested())
        outcome = Ended(End::Cancelled);
    if (outcome.copied() && !Replace(temporary, finalName, &outcome))
        outcome.end = End::Failed;
    if (!outcome.copied())
        CeDeleteFile(temporary.c_str());
    return outcome;
}

CopyOutcome CopyFileToDevice(const QString& localPath, const QString& target, const CopyProgress& progress)
{
    QFile source(localPath);
    if (!source.open(QIODevice::ReadOnly))
        return LocalFailure(Step::OpenSource, source.errorString());
    return CopyToDevice(source, target, progress);
}

CopyOutcome CopyFromDevice(const QString& source, QIODevice& target, const CopyProgress& progress)
{
    const std::u16string path = DevicePath(source);
    const HANDLE file = CeCreateFile(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == INVALID_HANDLE_VALUE)
        return DeviceFailure(Step::OpenSource);
    DWORD high = 0;
    const DWORD low = CeGetFileSize(file, &high);
    const qint64 total = low == INVALID_FILE_SIZE && CeGetLastError() != ERROR_SUCCESS
        ? -1
        : qint64((quint64(high) << 32) | low);
    quint64 copied = 0;
    if (progress)
        progress(0, total);
    std::vector<char> buffer(kCopyBlockBytes);
    CopyOutcome outcome = Ended(End::Copied);
    for (;;) {
        DWORD read = 0;
        if (!CeReadFile(file, buffer.data(), kCopyBlockBytes, &read, nullptr)) {
            outcome = DeviceFailure(Step::Read);
            break;
        }
        if (read == 0)
            break;
        if (target.write(buffer.data(), read) != qint64(read)) {
            outcome = LocalFailure(Step::Write, target.errorString());
            break;
        }
        copied += read;
        if (progress)
            progress(copied, total);
        if (CancelRequested()) {
            outcome = Ended(End::Cancelled);
            break;
        }
    }
    CeCloseHandle(file);
    return outcome;
}

CopyOutcome CopyFromDeviceToFile(
    const QString& source, const QString& localPath, const CopyProgress& progress)
{
    QSaveFile target(localPath);
    if (!target.open(QIODevice::WriteOnly))
        return LocalFailure(Step::CreateTarget, target.errorString());
    CopyOutcome outcome = CopyFromDevice(source, target, progress);
    if (!outcome.copied()) {
        target.cancelWriting();
        return outcome;
    }
    if (!target.commit())
        return LocalFailure(Step::Write, target.errorString());
    return outcome;
}

} // namespace devlink
