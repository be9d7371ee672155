#include "cli/FileCommands.h"

#include "platform/rapi/Rapi.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <vector>

namespace cli {
namespace {

// The block size of a copy, as the desktop's copies use.
constexpr DWORD kBlock = 60000;

QString TimeText(FILETIME t)
{
    std::uint64_t v = FileTimeToU64(t);
    if (v == 0)
        return QStringLiteral("                ");
    qint64 ms = qint64(v / 10000) - 11644473600000LL;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool HasWildcard(const QString& path)
{
    return path.contains(QLatin1Char('*')) || path.contains(QLatin1Char('?'));
}

} // namespace

QString AttributeLetters(DWORD a)
{
    QString s;
    s += (a & FILE_ATTRIBUTE_DIRECTORY) ? QLatin1Char('d') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_READONLY) ? QLatin1Char('r') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_HIDDEN) ? QLatin1Char('h') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_SYSTEM) ? QLatin1Char('s') : QLatin1Char('-');
    s += (a & FILE_ATTRIBUTE_ARCHIVE) ? QLatin1Char('a') : QLatin1Char('-');
    return s;
}

int Info(CliContext& cx, const QStringList& args)
{
    if (!args.isEmpty())
        return cx.Usage(QStringLiteral("info takes no arguments"));
    CEDEVICEIDENTITY id;
    if (!CeGetDeviceIdentity(&id))
        return cx.DeviceFailure(QStringLiteral("cannot read the device's identity"));
    cx.out() << "Platform: " << QString::fromStdU16String(id.platformType) << Qt::endl
             << "OEM: " << QString::fromStdU16String(id.oemInfo) << Qt::endl
             << "OS version: " << id.dwMajorVersion << "." << id.dwMinorVersion << "." << id.dwBuildNumber
             << Qt::endl
             << "Profile: " << QString::fromStdU16String(id.profileName) << Qt::endl;
    return kOk;
}

int List(CliContext& cx, const QStringList& args)
{
    if (args.size() > 1)
        return cx.Usage(QStringLiteral("ls takes one device path"));
    QString path = args.isEmpty() ? QStringLiteral("\\") : args[0];
    // A folder lists its content; a pattern or a file lists what matches.
    QString pattern = path;
    if (!HasWildcard(path)) {
        DWORD a = CeGetFileAttributes(W(path));
        if (a == INVALID_FILE_ATTRIBUTES)
            return cx.DeviceFailure(QStringLiteral("cannot list %1").arg(path));
        if (a & FILE_ATTRIBUTE_DIRECTORY)
            pattern
                = path.endsWith(QLatin1Char('\\')) ? path + QLatin1Char('*') : path + QStringLiteral("\\*");
    }
    DWORD count = 0;
    CE_FIND_DATA* found = nullptr;
    if (!CeFindAllFiles(W(pattern),
            FAF_NAME | FAF_ATTRIBUTES | FAF_SIZE_HIGH | FAF_SIZE_LOW | FAF_LASTWRITE_TIME, &count, &found))
        return cx.DeviceFailure(QStringLiteral("cannot list %1").arg(path));
    std::vector<const CE_FIND_DATA*> entries;
    for (DWORD i = 0; i < count; ++i)
        entries.push_back(&found[i]);
    std::sort(entries.begin(), entries.end(), [](const CE_FIND_DATA* a, const CE_FIND_DATA* b) {
        return QString::fromUtf16(a->cFileName).compare(QString::fromUtf16(b->cFileName), Qt::CaseInsensitive)
            < 0;
    });
    for (const CE_FIND_DATA* e : entries) {
        quint64 size = (quint64(e->nFileSizeHigh) << 32) | e->nFileSizeLow;
        cx.out() << AttributeLetters(e->dwFileAttributes) << " " << QString::number(size).rightJustified(12)
                 << "  " << TimeText(e->ftLastWriteTime) << "  " << QString::fromUtf16(e->cFileName)
                 << Qt::endl;
    }
    CeRapiFreeBuffer(found);
    return kOk;
}

int GetFile(CliContext& cx, const QStringList& args)
{
    if (args.size() != 2)
        return cx.Usage(QStringLiteral("get takes DEVICEPATH LOCALPATH"));
    HANDLE h = CeCreateFile(
        W(args[0]), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (h == INVALID_HANDLE_VALUE)
        return cx.DeviceFailure(QStringLiteral("cannot open %1").arg(args[0]));
    // The local file appears whole or not at all.
    QSaveFile local(args[1]);
    if (!local.open(QIODevice::WriteOnly)) {
        CeCloseHandle(h);
        cx.err() << "quorvane-cli: cannot create " << args[1] << ": " << local.errorString() << Qt::endl;
        return kFailed;
    }
    std::vector<char> buffer(kBlock);
    for (;;) {
        DWORD read = 0;
        if (!CeReadFile(h, buffer.data(), kBlock, &read, nullptr)) {
            int status = cx.DeviceFailure(QStringLiteral("cannot read %1").arg(args[0]));
            CeCloseHandle(h);
            return status;
        }
        if (read == 0)
            break;
        if (local.write(buffer.data(), read) != qint64(read)) {
            CeCloseHandle(h);
            cx.err() << "quorvane-cli: cannot write " << args[1] << ": " << local.errorString() << Qt::endl;
            return kFailed;
        }
    }
    CeCloseHandle(h);
    if (!local.commit()) {
        cx.err() << "quorvane-cli: cannot write " << args[1] << ": " << local.errorString() << Qt::endl;
        return kFailed;
    }
    return kOk;
}

int PutFile(CliContext& cx, const QStringList& args)
{
    if (args.size() != 2)
        return cx.Usage(QStringLiteral("put takes LOCALPATH DEVICEPATH"));
    QFile local(args[0]);
    if (!local.open(QIODevice::ReadOnly)) {
        cx.err() << "quorvane-cli: cannot open " << args[0] << ": " << local.errorString() << Qt::endl;
        return kFailed;
    }
    HANDLE h = CeCreateFile(W(args[1]), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (h == INVALID_HANDLE_VALUE)
        return cx.DeviceFailure(QStringLiteral("cannot create %1").arg(args[1]));
    std::vector<char> buffer(kBlock);
    for (;;) {
        qint64 n = local.read(buffer.data(), kBlock);
        if (n < 0) {
            cx.err() << "quorvane-cli: cannot read " << args[0] << ": " << local.errorString() << Qt::endl;
            CeCloseHandle(h);
            CeDeleteFile(W(args[1]));
            return kFailed;
        }
        if (n == 0)
            break;
        DWORD written = 0;
        if (!CeWriteFile(h, buffer.data(), DWORD(n), &written, nullptr) || written != DWORD(n)) {
            int status = cx.DeviceFailure(QStringLiteral("cannot write %1").arg(args[1]));
            CeCloseHandle(h);
            // A partial copy is not left on the device.
            CeDeleteFile(W(args[1]));
            return status;
        }
    }
    if (!CeCloseHandle(h))
        return cx.DeviceFailure(QStringLiteral("cannot close %1").arg(args[1]));
    return kOk;
}

int Remove(CliContext& cx, const QStringList& args)
{
    if (args.size() != 1)
        return cx.Usage(QStringLiteral("rm takes one device path"));
    if (!CeDeleteFile(W(args[0])))
        return cx.DeviceFailure(QStringLiteral("cannot delete %1").arg(args[0]));
    return kOk;
}

int MakeDirectory(CliContext& cx, const QStringList& args)
{
    if (args.size() != 1)
        return cx.Usage(QStringLiteral("mkdir takes one device path"));
    if (!CeCreateDirectory(W(args[0]), nullptr))
        return cx.DeviceFailure(QStringLiteral("cannot create the folder %1").arg(args[0]));
    return kOk;
}

int RemoveDirectory(CliContext& cx, const QStringList& args)
{
    if (args.size() != 1)
        return cx.Usage(QStringLiteral("rmdir takes one device path"));
    if (!CeRemoveDirectory(W(args[0])))
        return cx.DeviceFailure(QStringLiteral("cannot remove the folder %1").arg(args[0]));
    return kOk;
}

int Move(CliContext& cx, const QStringList& args)
{
    if (args.size() != 2)
        return cx.Usage(QStringLiteral("mv takes FROM TO"));
    if (!CeMoveFile(W(args[0]), W(args[1])))
        return cx.DeviceFailure(QStringLiteral("cannot move %1 to %2").arg(args[0], args[1]));
    return kOk;
}

int Attrib(CliContext& cx, const QStringList& args)
{
    if (args.isEmpty())
        return cx.Usage(QStringLiteral("attrib takes a device path and optionally +r, -r, +h, -h"));
    DWORD a = CeGetFileAttributes(W(args[0]));
    if (a == INVALID_FILE_ATTRIBUTES)
        return cx.DeviceFailure(QStringLiteral("cannot read the attributes of %1").arg(args[0]));
    if (args.size() == 1) {
        cx.out() << AttributeLetters(a) << "  " << args[0] << Qt::endl;
        return kOk;
    }
    DWORD changed = a & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
    for (int i = 1; i < args.size(); ++i) {
        const QString& f = args[i];
        DWORD bit = f.size() == 2 && f[1] == QLatin1Char('r') ? FILE_ATTRIBUTE_READONLY
            : f.size() == 2 && f[1] == QLatin1Char('h')       ? FILE_ATTRIBUTE_HIDDEN
                                                              : 0;
        if (bit == 0 || (f[0] != QLatin1Char('+') && f[0] != QLatin1Char('-')))
            return cx.Usage(QStringLiteral("unknown attribute change \"%1\" (use +r, -r, +h, -h)").arg(f));
        changed = f[0] == QLatin1Char('+') ? (changed | bit) : (changed & ~bit);
    }
    if (!CeSetFileAttributes(W(args[0]), changed == 0 ? FILE_ATTRIBUTE_NORMAL : changed))
        return cx.DeviceFailure(QStringLiteral("cannot set the attributes of %1").arg(args[0]));
    return kOk;
}

int RunProgram(CliContext& cx, const QStringList& args)
{
    if (args.isEmpty() || args.size() > 2)
        return cx.Usage(QStringLiteral("run takes EXE and optionally one COMMANDLINE argument"));
    QString commandLine = args.size() == 2 ? args[1] : QString();
    PROCESS_INFORMATION pi {};
    if (!CeCreateProcess(
            W(args[0]), W(commandLine), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi))
        return cx.DeviceFailure(QStringLiteral("cannot run %1").arg(args[0]));
    if (pi.hProcess)
        CeCloseHandle(pi.hProcess);
    if (pi.hThread)
        CeCloseHandle(pi.hThread);
    cx.out() << "started " << args[0] << " (process id " << pi.dwProcessId << ")" << Qt::endl;
    return kOk;
}

} // namespace cli
