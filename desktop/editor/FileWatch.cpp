#include "desktop/editor/FileWatch.h"

#include "desktop/explorer/DeviceDateText.h"
#include "desktop/explorer/DeviceFileOperations.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/DeviceSession.h"
#include "desktop/ui/PromptFromWindow.h"
#include "platform/rapi/Rapi.h"

#include <memory>

namespace editor {
namespace {

struct ReadResult {
    bool ok = false;
    QString message;
    quint32 error = 0;
    QByteArray bytes;
};

// The whole file, or why not.
ReadResult ReadWholeFile(const QString& path, quint32 size)
{
    ReadResult r;
    HANDLE h
        = devlink::RapiCeCreateFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (h == INVALID_HANDLE_VALUE || h == HANDLE(-2)) {
        r.error = CeGetLastError();
        r.message = QStringLiteral("Could not find this file.");
        return r;
    }
    r.bytes.resize(qsizetype(size));
    DWORD done = 0;
    const BOOL read = size == 0 || CeReadFile(h, r.bytes.data(), size, &done, nullptr);
    r.error = CeGetLastError();
    CeCloseHandle(h);
    if (!read) {
        r.message = QStringLiteral("Unable to open this file.");
    } else if (done < size) {
        r.message = QStringLiteral("Couldn't read the entire file.");
    } else {
        r.ok = true;
    }
    return r;
}

struct SaveResult {
    bool ok = false;
    QString message;
    quint32 error = 0;
};

SaveResult SaveBytes(const QString& path, const QByteArray& bytes)
{
    SaveResult r;
    const std::u16string name = devlink::DevicePath(path);
    const bool existed = devlink::DeviceFileExists(path);
    // A read-only file may be renamed, so the backup steps would replace it
    // by a writable copy: it is refused before anything changes.
    const qint64 attributes = existed ? devlink::RapiCeGetFileAttributes(path) : -1;
    if (attributes >= 0 && (attributes & FILE_ATTRIBUTE_READONLY)) {
        r.error = ERROR_ACCESS_DENIED;
        r.message = QStringLiteral("Unable to create file.");
        return r;
    }
    const QString backup = BackupName(path, [](const QString& n) { return devlink::DeviceFileExists(n); });
    const std::u16string backupName = devlink::DevicePath(backup);
    if (existed && !CeMoveFile(name.c_str(), backupName.c_str())) {
        r.error = CeGetLastError();
        r.message = QStringLiteral("Unable to temporarily rename existing file.");
        return r;
    }
    const auto restore = [&] {
        CeDeleteFile(name.c_str());
        if (existed)
            CeMoveFile(backupName.c_str(), name.c_str());
    };
    HANDLE h
        = devlink::RapiCeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (h == INVALID_HANDLE_VALUE || h == HANDLE(-2)) {
        r.error = CeGetLastError();
        r.message = QStringLiteral("Unable to create file.");
        if (existed)
            CeMoveFile(backupName.c_str(), name.c_str());
        return r;
    }
    const bool written
        = bytes.isEmpty() || devlink::WriteDeviceBytes(h, bytes.constData(), DWORD(bytes.size()));
    r.error = CeGetLastError();
    const bool closed = CeCloseHandle(h);
    if (!written || !closed) {
        // The old content comes back under its name: nothing is half-written.
        restore();
        r.message = QStringLiteral("Couldn't write the entire file.");
        return r;
    }
    if (existed)
        CeDeleteFile(backupName.c_str());
    r.ok = true;
    return r;
}

} // namespace

struct FileWatch::Check {
    bool found = false;
    quint64 lastWrite = 0;
    QString dateText;
    bool read = false;
    ReadResult result;
};

FileWatch::FileWatch(QObject* owner)
    : QObject(owner)
    , m_owner(owner)
{
    m_timer.setInterval(10000);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_busy)
            CheckNow(false);
    });
}

FileWatch::~FileWatch()
{
    devlink::DeviceSession::Instance().Forget(this);
}

void FileWatch::Load(const QString& devicePath)
{
    m_path = devicePath;
    m_firstLoad = true;
    m_modified = false;
    m_missingReported = false;
    m_lastWrite = 0;
    CheckNow(true);
}

void FileWatch::Refresh()
{
    if (!m_busy && !m_path.isEmpty())
        CheckNow(true);
}

void FileWatch::Stop()
{
    m_timer.stop();
}

void FileWatch::Report(const QString& message, quint32 deviceError)
{
    ui::TellFromWindow(m_owner, QStringLiteral("Error"),
        QStringLiteral("%1 : %2\r\n\r\nError: %3\r\n")
            .arg(m_path, message, devlink::DeviceErrorText(deviceError)),
        devlink::PromptIcon::Warning);
}

void FileWatch::CheckNow(bool force)
{
    devlink::DebugOutput(QStringLiteral("Checking for an updated file..\r\n"));
    m_busy = true;
    const int generation = ++m_generation;
    auto check = std::make_shared<Check>();
    const QString path = m_path;
    const quint64 known = m_lastWrite;
    const bool read = force || m_firstLoad;
    devlink::DeviceSession::Instance().Start(
        this,
        [check, path, known, read](devlink::RequestContext&) {
            CE_FIND_DATA found {};
            check->found = explorer::FindEntry(path, &found);
            if (!check->found)
                return;
            check->lastWrite = FileTimeToU64(found.ftLastWriteTime);
            check->dateText = explorer::DeviceDateText(
                explorer::DeviceFileTime(found.ftLastWriteTime), explorer::DesktopDatePattern());
            if (read || check->lastWrite != known) {
                check->read = true;
                check->result = ReadWholeFile(path, found.nFileSizeLow);
            }
        },
        [this, check, force, generation](devlink::RequestEnd) {
            // A check made for an earlier file (or before a newer check) is old news.
            if (generation != m_generation)
                return;
            m_busy = false;
            Apply(*check, force);
        });
}

void FileWatch::Apply(const Check& check, bool force)
{
    if (!check.found) {
        devlink::DebugOutput(QStringLiteral("RAPI: Could not find this file.\r\n"));
        // Said once: the text stays, and saving writes the file anew.
        if (!m_missingReported) {
            m_missingReported = true;
            Report(QStringLiteral("Could not find this file."), 2);
        }
        if (!m_firstLoad)
            m_timer.start();
        return;
    }
    m_missingReported = false;
    if (!check.read) {
        m_timer.start();
        return;
    }
    devlink::DebugOutput(QStringLiteral("Need to read in a new copy of this file...\r\n"));
    if (!check.result.ok) {
        if (m_firstLoad || force)
            Report(check.result.message, check.result.error);
        else
            devlink::DebugOutput(QStringLiteral("Couldn't read in this file.\r\n"));
        if (!m_firstLoad)
            m_timer.start();
        return;
    }
    m_timer.start();
    if (m_modified && !force && !m_firstLoad) {
        // Never over unsaved edits: the window asks, and this change is not
        // raised again.
        m_lastWrite = check.lastWrite;
        m_dateText = check.dateText;
        emit externalChange();
        return;
    }
    const bool first = m_firstLoad;
    m_firstLoad = false;
    m_lastWrite = check.lastWrite;
    m_dateText = check.dateText;
    m_file = DecodeDeviceText(check.result.bytes);
    m_modified = false;
    emit loaded(first);
}

void FileWatch::Save(const QString& text)
{
    if (m_path.isEmpty())
        return;
    if (m_busy) {
        // A check of the watch runs: the save follows it.
        QTimer::singleShot(100, this, [this, text] { Save(text); });
        return;
    }
    devlink::DebugOutput(QStringLiteral("Saving file...\r\n"));
    QByteArray bytes;
    if (!EncodeDeviceText(text, m_file, &bytes)) {
        ui::TellFromWindow(m_owner, QStringLiteral("Error"),
            QStringLiteral(
                "%1 : This file holds 8-bit text, which cannot keep every character of the text.\r\n")
                .arg(m_path),
            devlink::PromptIcon::Warning);
        emit saved(false);
        return;
    }
    m_busy = true;
    auto result = std::make_shared<SaveResult>();
    const QString path = m_path;
    devlink::DeviceSession::Instance().Start(
        this, [result, path, bytes](devlink::RequestContext&) { *result = SaveBytes(path, bytes); },
        [this, result, text](devlink::RequestEnd) {
            m_busy = false;
            if (!result->ok) {
                Report(result->message, result->error);
                emit saved(false);
                return;
            }
            m_file.text = text;
            m_modified = false;
            emit saved(true);
            // The device's new time, so the watch does not take the save for a change.
            CheckNow(false);
        });
}

} // namespace editor
