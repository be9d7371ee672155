#include "desktop/explorer/DeviceFileOperations.h"

#include "desktop/explorer/DeviceListing.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/Prompter.h"
#include "platform/rapi/Rapi.h"

#include <algorithm>

namespace explorer {
namespace {

using devlink::PromptAnswer;
using devlink::PromptButtons;
using devlink::PromptIcon;

constexpr DWORD kErrorInvalidName = 123;

std::u16string W(const QString& path)
{
    return path.toStdU16String();
}

// A lost connection ends a command at once: every further step would
// fail the same way and report it again.
bool ConnectionLost()
{
    const HRESULT transport = CeRapiGetError();
    return transport == RAPI_E_NOT_CONNECTED || transport == RAPI_E_CONNECTION_LOST;
}

struct Entry {
    QString name;
    DWORD attributes = 0;
};

bool ListEntries(const QString& path, DWORD fields, QVector<Entry>* entries)
{
    const std::u16string pattern = W(SearchPattern(path));
    DWORD count = 0;
    CE_FIND_DATA* array = nullptr;
    if (!CeFindAllFiles(pattern.c_str(), fields, &count, &array)) {
        CeRapiFreeBuffer(array);
        return false;
    }
    entries->clear();
    for (DWORD i = 0; i < count; ++i)
        entries->append({ QString::fromUtf16(array[i].cFileName), array[i].dwFileAttributes });
    CeRapiFreeBuffer(array);
    return true;
}

bool CancelledBy(const DeleteState* state)
{
    return state->progress && state->progress->cancelled.load();
}

void CountRemoved(const DeleteState* state)
{
    if (state->progress)
        ++state->progress->removed;
}

PromptAnswer AskReadOnly(const QString& path)
{
    devlink::PromptRequest request;
    request.caption = QStringLiteral("Quorvane");
    request.text = path + QStringLiteral("\r\n\r\nThis file is Read-Only.  Delete it anyway ?");
    request.icon = PromptIcon::Question;
    request.buttons = PromptButtons::YesAllNoAllCancel;
    return devlink::CurrentPrompter().Ask(request);
}

} // namespace

QString LastDeviceErrorText()
{
    DWORD code = CeGetLastError();
    if (ConnectionLost() || code == 0)
        code = DWORD(CeRapiGetError());
    return code == 0 ? QStringLiteral("Unknown error") : devlink::DeviceErrorText(code);
}

int DeleteFilesIn(const QString& path, DeleteState* state)
{
    QVector<Entry> entries;
    if (!ListEntries(path, FAF_NAME | FAF_ATTRIBUTES, &entries)) {
        if (ConnectionLost()) {
            devlink::ShowMessage(QStringLiteral("Error"),
                QStringLiteral("Unable to read the directory \"%1\".\r\nError: %2")
                    .arg(path, LastDeviceErrorText()),
                PromptIcon::Warning);
            state->stopped = true;
            return kDeleteCancelled;
        }
        return kFilesDeleted;
    }
    int result = kFilesDeleted;
    for (const Entry& entry : std::as_const(entries)) {
        if (entry.attributes & kAttributeDirectory)
            continue;
        if (CancelledBy(state)) {
            state->stopped = true;
            return kDeleteCancelled;
        }
        const QString filePath = JoinDevicePath(path, entry.name);
        const std::u16string name = W(filePath);
        if (entry.attributes & kAttributeReadOnly) {
            using ReadOnly = DeleteState::ReadOnly;
            PromptAnswer answer = state->readOnlyChoice == ReadOnly::YesToAll ? PromptAnswer::YesToAll
                : state->readOnlyChoice == ReadOnly::NoToAll                  ? PromptAnswer::NoToAll
                                                                              : AskReadOnly(filePath);
            if (answer == PromptAnswer::Cancel) {
                state->stopped = true;
                return kDeleteCancelled;
            }
            if (answer == PromptAnswer::YesToAll)
                state->readOnlyChoice = ReadOnly::YesToAll;
            if (answer == PromptAnswer::NoToAll)
                state->readOnlyChoice = ReadOnly::NoToAll;
            if (answer == PromptAnswer::No || answer == PromptAnswer::NoToAll) {
                result = kFilesKept;
                continue;
            }
            CeSetFileAttributes(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        if (CeDeleteFile(name.c_str())) {
            CountRemoved(state);
            continue;
        }
        const bool lost = ConnectionLost();
        if (lost || CeGetLastError() != kErrorInvalidName) {
            devlink::ShowMessage(QStringLiteral("Error"),
                QStringLiteral("Unable to delete the file:\r\n%1.\r\n\r\nError: %2")
                    .arg(filePath, LastDeviceErrorText()),
                PromptIcon::Warning);
        }
        if (lost) {
            state->stopped = true;
            state->stopReported = true;
            return kDeleteCancelled;
        }
        result = kFilesKept;
    }
    return result;
}

bool DeleteDirectory(const QString& path, DeleteState* state)
{
    devlink::TraceLine(QStringLiteral("Deleting directory \"%1\"\r\n").arg(path));
    QVector<Entry> folders;
    if (!ListEntries(path, kFolderFields, &folders)) {
        devlink::TraceLine(QStringLiteral("DeleteDirectory():  RapiCeFindAllFiles() produced an error.\r\n"));
        return false;
    }
    bool result = true;
    for (const Entry& folder : std::as_const(folders)) {
        if (state->stopped)
            return false;
        if (folder.attributes & kAttributeDirectory)
            result = DeleteDirectory(JoinDevicePath(path, folder.name), state) && result;
    }
    if (state->stopped)
        return false;
    switch (DeleteFilesIn(path, state)) {
    case kDeleteCancelled:
        return false;
    case kFilesKept:
        state->stopReported = true;
        return false;
    default:
        break;
    }
    if (path == QLatin1String("\\") || path.isEmpty())
        return result;
    const std::u16string name = W(path);
    if (CancelledBy(state)) {
        state->stopped = true;
        return false;
    }
    if (CeRemoveDirectory(name.c_str())) {
        state->removedDirs.append(path);
        CountRemoved(state);
        return result;
    }
    if (!state->stopReported) {
        devlink::ShowMessage(QStringLiteral("Error"),
            QStringLiteral("Unable to delete the directory \"%1\".\r\nError: %2")
                .arg(path, LastDeviceErrorText()),
            PromptIcon::Warning);
        state->stopReported = true;
    }
    if (ConnectionLost())
        state->stopped = true;
    return false;
}

int CountEntriesBelow(const QString& path, const DeleteProgress* progress)
{
    QVector<Entry> entries;
    if (!ListEntries(path, FAF_NAME | FAF_ATTRIBUTES, &entries))
        return -1;
    int count = int(entries.size());
    for (const Entry& entry : std::as_const(entries)) {
        if (progress && progress->cancelled.load())
            break;
        if (entry.attributes & kAttributeDirectory)
            count += std::max(0, CountEntriesBelow(JoinDevicePath(path, entry.name), progress));
    }
    return count;
}

bool DeleteListFile(const QString& path, const QString& name)
{
    const std::u16string device = W(path);
    if (CeDeleteFile(device.c_str()))
        return true;
    devlink::ShowMessage(QStringLiteral("Quorvane"),
        QStringLiteral("Could not delete:\r\n%1\r\n\r\nError:\r\n%2").arg(name, LastDeviceErrorText()),
        PromptIcon::Warning);
    return false;
}

bool DeviceEntryExists(const QString& path)
{
    const std::u16string device = W(path);
    return CeGetFileAttributes(device.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<QString> FreeFolderName(
    const QString& directory, const QString& base, const QString& separator, int maxNumber)
{
    if (!DeviceEntryExists(JoinDevicePath(directory, base)))
        return base;
    for (int number = 1; maxNumber == 0 || number <= maxNumber; ++number) {
        const QString name = base + separator + QString::number(number);
        if (!DeviceEntryExists(JoinDevicePath(directory, name)))
            return name;
        // A device that went away answers "missing" to everything.
        if (ConnectionLost())
            return std::nullopt;
    }
    return std::nullopt;
}

bool CreateDeviceDirectory(const QString& path)
{
    const std::u16string device = W(path);
    return CeCreateDirectory(device.c_str(), nullptr);
}

bool RenameTreeDirectory(const QString& from, const QString& to)
{
    const std::u16string source = W(from), target = W(to);
    if (CeMoveFile(source.c_str(), target.c_str()))
        return true;
    devlink::ShowMessage(QStringLiteral("Error"),
        QStringLiteral("Unable to rename \r\n%1\r\nto:\r\n%2.\r\n\r\nError: %3")
            .arg(from, to, LastDeviceErrorText()),
        PromptIcon::Information);
    return false;
}

bool FindEntry(const QString& path, CE_FIND_DATA* found)
{
    const std::u16string device = W(path);
    HANDLE handle = CeFindFirstFile(device.c_str(), found);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CeFindClose(handle);
    return true;
}

} // namespace explorer
