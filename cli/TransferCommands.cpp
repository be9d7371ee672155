#include "cli/TransferCommands.h"

#include "cli/DeviceEntries.h"
#include "cli/Interrupts.h"
#include "cli/TransferProgress.h"
#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/DeviceSession.h"
#include "platform/rapi/Rapi.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace cli {
namespace {

using devlink::CopyOutcome;

// Standard input for a copy: a read waits for data in short steps, so that
// an interrupt ends it; input that ends because its writer was interrupted
// with us is no whole file.
class StandardInput : public QIODevice {
public:
    StandardInput() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        for (;;) {
            if (devlink::CancelRequested() || Interrupted())
                return Failed(QStringLiteral("interrupted"));
            pollfd input { STDIN_FILENO, POLLIN, 0 };
            const int ready = poll(&input, 1, 100);
            if (ready < 0 && errno != EINTR)
                return Failed(QString::fromLocal8Bit(std::strerror(errno)));
            if (ready <= 0)
                continue;
            const ssize_t n = ::read(STDIN_FILENO, data, std::size_t(maxSize));
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n < 0)
                return Failed(QString::fromLocal8Bit(std::strerror(errno)));
            if (n == 0 && Interrupted())
                return Failed(QStringLiteral("interrupted"));
            return n;
        }
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 Failed(const QString& why)
    {
        setErrorString(why);
        return -1;
    }
};

// The copies of one command, on the device session's worker.
class Transfer {
public:
    Transfer(bool recursive, TransferProgress& progress)
        : m_recursive(recursive)
        , m_progress(progress)
    {
    }

    int failures() const { return m_failures; }
    bool Stopped() const { return devlink::CancelRequested(); }

    void Report(const QString& text)
    {
        ++m_failures;
        // After an interrupt only its own message is printed.
        if (!Interrupted())
            m_progress.Print(text);
    }

    // The device entries `source` names: itself, or what its pattern matches.
    bool Resolve(const QString& source, QVector<DeviceEntry>* found)
    {
        if (HasDeviceWildcard(source)) {
            if (!FindDeviceEntries(source, found) || found->isEmpty()) {
                Report(QStringLiteral("no device file matches %1").arg(source));
                return false;
            }
            return true;
        }
        const DWORD attributes = CeGetFileAttributes(W(source));
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            Report(QStringLiteral("cannot open %1: %2").arg(source, ErrorText(LastDeviceError())));
            return false;
        }
        QString trimmed = source;
        while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('\\')))
            trimmed.chop(1);
        found->append({ DeviceFileName(trimmed), attributes, 0, {} });
        return true;
    }

    void Get(const QString& source, DWORD attributes, const QString& target)
    {
        if (Stopped())
            return;
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            CopyOne(
                DeviceFileName(source), source, target, false, [&](const devlink::CopyProgress& progress) {
                    return devlink::CopyFromDeviceToFile(source, target, progress);
                });
            return;
        }
        if (!FolderWanted(source))
            return;
        if (!QFileInfo(target).isDir() && !QDir().mkdir(target)) {
            Report(QStringLiteral("cannot create the folder %1").arg(target));
            return;
        }
        QVector<DeviceEntry> entries;
        if (!FindDeviceEntries(DeviceJoin(source, QStringLiteral("*")), &entries)) {
            Report(QStringLiteral("cannot list %1: %2").arg(source, ErrorText(LastDeviceError())));
            return;
        }
        for (const DeviceEntry& entry : entries)
            Get(DeviceJoin(source, entry.name), entry.attributes, QDir(target).filePath(entry.name));
    }

    void GetToStandardOutput(const QString& source)
    {
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly)) {
            Report(QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
            return;
        }
        CopyOne(DeviceFileName(source), source, QStringLiteral("standard output"), false,
            [&](const devlink::CopyProgress& progress) {
                return devlink::CopyFromDevice(source, out, progress);
            });
        out.flush();
    }

    void Put(const QString& source, const QString& target)
    {
        if (Stopped())
            return;
        const QFileInfo info(source);
        if (!info.exists()) {
            Report(QStringLiteral("cannot open %1: No such file or directory").arg(source));
            return;
        }
        if (!info.isDir()) {
            CopyOne(info.fileName(), source, target, true, [&](const devlink::CopyProgress& progress) {
                return devlink::CopyFileToDevice(source, target, progress);
            });
            return;
        }
        if (!FolderWanted(source))
            return;
        // A link to a folder could lead back up the tree without end.
        if (info.isSymLink()) {
            Report(QStringLiteral("omitting the folder link %1").arg(source));
            return;
        }
        const DWORD attributes = CeGetFileAttributes(W(target));
        if (attributes == INVALID_FILE_ATTRIBUTES ? !CeCreateDirectory(W(target), nullptr)
                                                  : !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            const DWORD error
                = attributes == INVALID_FILE_ATTRIBUTES ? LastDeviceError() : ERROR_ALREADY_EXISTS;
            Report(QStringLiteral("cannot create the folder %1: %2").arg(target, ErrorText(error)));
            return;
        }
        const QFileInfoList entries = QDir(source).entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& entry : entries)
            Put(entry.filePath(), DeviceJoin(target, entry.fileName()));
    }

    void PutFromStandardInput(const QString& target)
    {
        const DWORD attributes = CeGetFileAttributes(W(target));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            Report(QStringLiteral("%1 is a folder: name the device file to write").arg(target));
            return;
        }
        StandardInput in;
        CopyOne(DeviceFileName(target), QStringLiteral("standard input"), target, true,
            [&](const devlink::CopyProgress& progress) {
                return devlink::CopyToDevice(in, target, progress);
            });
    }

private:
    static DWORD LastDeviceError()
    {
        const HRESULT transport = CeRapiGetError();
        return transport != S_OK ? DWORD(transport) : CeGetLastError();
    }

    // One file, with its progress line; how it ended is reported.
    void CopyOne(const QString& name, const QString& source, const QString& target, bool toDevice,
        const std::function<CopyOutcome(const devlink::CopyProgress&)>& copy)
    {
        m_progress.Start(name);
        const CopyOutcome outcome
            = copy([this](quint64 copied, qint64 total) { m_progress.Update(copied, total); });
        m_progress.Finish();
        Check(outcome, source, target, toDevice);
    }

    // A folder is copied only with -r.
    bool FolderWanted(const QString& source)
    {
        if (!m_recursive)
            Report(QStringLiteral("omitting the folder %1 (use -r)").arg(source));
        return m_recursive;
    }

    void Check(const CopyOutcome& outcome, const QString& source, const QString& target, bool toDevice)
    {
        using Step = CopyOutcome::Step;
        if (outcome.end != CopyOutcome::End::Failed)
            return;
        if (outcome.step == Step::None) {
            Report(QStringLiteral("cannot copy %1 to %2").arg(source, target));
            return;
        }
        const bool onSource = outcome.step == Step::OpenSource || outcome.step == Step::Read;
        const QString verb = outcome.step == Step::OpenSource ? QStringLiteral("open")
            : outcome.step == Step::Read                      ? QStringLiteral("read")
            : outcome.step == Step::CreateTarget              ? QStringLiteral("create")
            : outcome.step == Step::Write                     ? QStringLiteral("write")
                                                              : QStringLiteral("replace");
        // The device's side is named with the device's error, the local side with its own.
        const bool onDevice = onSource != toDevice;
        const QString error = onDevice ? ErrorText(outcome.deviceError) : outcome.localError;
        Report(QStringLiteral("cannot %1 %2: %3").arg(verb, onSource ? source : target, error));
    }

    bool m_recursive;
    TransferProgress& m_progress;
    int m_failures = 0;
};

// Runs the copies as one request of the device session, which an interrupt
// cancels; the exit status.
int RunTransfer(CliContext& cx, bool recursive, const std::function<void(Transfer&)>& work)
{
    cx.out().flush();
    cx.err().flush();
    TransferProgress progress(isatty(STDERR_FILENO));
    Transfer transfer(recursive, progress);
    InterruptScope interrupts;
    // Another program's request keeps the device: say whose, once.
    auto requestProgress = std::make_shared<devlink::RequestProgress>();
    QTimer waiting;
    QString toldOf;
    QObject::connect(&waiting, &QTimer::timeout, [&] {
        const QString holder = requestProgress->WaitingFor();
        if (!holder.isEmpty() && holder != toldOf)
            progress.Print(QStringLiteral("waiting for %1 to finish with the device..").arg(holder));
        toldOf = holder;
    });
    waiting.start(200);
    devlink::DeviceSession::Instance().RunAndWait(
        [&](devlink::RequestContext&) { work(transfer); }, requestProgress);
    std::fflush(stdout);
    if (Interrupted())
        return kInterrupted;
    return transfer.failures() > 0 ? kFailed : kOk;
}

} // namespace

QString DeviceFileName(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('\\')) + 1);
}

QString DeviceJoin(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('\\')) ? folder + name : folder + QLatin1Char('\\') + name;
}

bool HasDeviceWildcard(const QString& path)
{
    const QString name = DeviceFileName(path);
    return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

int GetFiles(CliContext& cx, const ParsedCommand& p)
{
    QStringList sources = p.arguments;
    const QString target = sources.takeLast();
    const bool recursive = p.Has(QStringLiteral("recursive"));
    if (target == QLatin1String("-")) {
        if (sources.size() != 1 || HasDeviceWildcard(sources[0]))
            return cx.Usage(QStringLiteral("get: standard output (-) takes one device file"));
        return RunTransfer(cx, false, [&](Transfer& t) { t.GetToStandardOutput(sources[0]); });
    }
    const bool intoFolder = QFileInfo(target).isDir();
    if (!intoFolder && (sources.size() > 1 || target.endsWith(QLatin1Char('/'))))
        return cx.Fail(QStringLiteral("get: %1 is not a folder").arg(target));
    return RunTransfer(cx, recursive, [&](Transfer& t) {
        for (const QString& source : sources) {
            QVector<DeviceEntry> found;
            if (t.Stopped() || !t.Resolve(source, &found))
                continue;
            if (found.size() > 1 && !intoFolder) {
                t.Report(QStringLiteral("%1 matches several files: the target must be a folder").arg(source));
                continue;
            }
            const bool pattern = HasDeviceWildcard(source);
            for (const DeviceEntry& entry : found) {
                const QString path = pattern
                    ? DeviceJoin(source.left(source.lastIndexOf(QLatin1Char('\\')) + 1), entry.name)
                    : source;
                // The device's root has no name: its content goes into the folder.
                const QString local
                    = intoFolder && !entry.name.isEmpty() ? QDir(target).filePath(entry.name) : target;
                t.Get(path, entry.attributes, local);
            }
        }
    });
}

int PutFiles(CliContext& cx, const ParsedCommand& p)
{
    QStringList sources = p.arguments;
    const QString target = sources.takeLast();
    const bool recursive = p.Has(QStringLiteral("recursive"));
    if (sources.contains(QStringLiteral("-"))) {
        if (sources.size() != 1)
            return cx.Usage(QStringLiteral("put: standard input (-) is the only source of its copy"));
        return RunTransfer(cx, false, [&](Transfer& t) { t.PutFromStandardInput(target); });
    }
    return RunTransfer(cx, recursive, [&](Transfer& t) {
        const DWORD attributes = CeGetFileAttributes(W(target));
        const bool intoFolder
            = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (!intoFolder && (sources.size() > 1 || target.endsWith(QLatin1Char('\\')))) {
            t.Report(QStringLiteral("put: %1 is not a folder on the device").arg(target));
            return;
        }
        for (const QString& source : sources) {
            const QString name = QFileInfo(QDir::cleanPath(QFileInfo(source).absoluteFilePath())).fileName();
            t.Put(source, intoFolder ? DeviceJoin(target, name) : target);
        }
    });
}

} // namespace cli
