// The file functions of Ce.h, straight on the device's object store.
#include "platform/ce/Device.h"

#include <algorithm>
#include <cstring>

namespace ce {
namespace detail {

HANDLE HandleTable::Add(HandleObject object)
{
    auto owned = std::make_unique<HandleObject>(std::move(object));
    std::lock_guard lock(m_mutex);
    // Handles look like the device's: small multiples of 4, never 0 or -1.
    HANDLE handle = m_next;
    while (m_objects.count(handle))
        handle += 4;
    m_next = handle + 4 > 0x7FFFFFF0 ? 0x1000 : handle + 4;
    m_objects.emplace(handle, std::move(owned));
    return handle;
}

} // namespace detail

namespace {

using detail::Current;
using detail::Device;
using detail::Fail;
using detail::FileObject;
using detail::FindObject;
using detail::Succeed;
using detail::View;

constexpr DWORD kAllFields = FAF_ATTRIBUTES | FAF_CREATION_TIME | FAF_LASTACCESS_TIME | FAF_LASTWRITE_TIME
    | FAF_SIZE_HIGH | FAF_SIZE_LOW | FAF_OID | FAF_NAME;

void FillFindData(const store::FindEntry& e, WIN32_FIND_DATA* out)
{
    std::memset(out, 0, sizeof *out);
    out->dwFileAttributes = e.attributes;
    out->ftCreationTime = U64ToFileTime(e.creation);
    out->ftLastAccessTime = U64ToFileTime(e.access);
    out->ftLastWriteTime = U64ToFileTime(e.write);
    out->nFileSizeHigh = DWORD(e.size >> 32);
    out->nFileSizeLow = DWORD(e.size);
    out->dwOID = e.oid;
    std::size_t n = std::min<std::size_t>(e.name.size(), MAX_PATH - 1);
    std::memcpy(out->cFileName, e.name.data(), n * sizeof(char16_t));
}

// The open file behind `handle`, or null with ERROR_INVALID_HANDLE set.
store::File* FileOf(HANDLE handle)
{
    Device* dev = Current();
    if (!dev)
        return nullptr;
    FileObject* object = dev->handles.Get<FileObject>(handle);
    if (!object) {
        detail::LastErrorSlot() = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    return object->file.get();
}

BOOL Result(DWORD error)
{
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

} // namespace

HANDLE CreateFile(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void*,
    DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE)
{
    Device* dev = Current();
    if (!dev)
        return INVALID_HANDLE_VALUE;
    if (!lpFileName) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::unique_ptr<store::File> file;
    bool existed = false;
    DWORD error = dev->store->CreateFile(View(lpFileName), dwDesiredAccess, dwShareMode,
        dwCreationDisposition, dwFlagsAndAttributes, &file, &existed);
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    bool reportExisting
        = existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
    HANDLE handle = dev->handles.Add(FileObject { std::move(file) });
    Succeed(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(
    HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead, void* lpOverlapped)
{
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = 0;
    store::File* file = FileOf(hFile);
    if (!file)
        return FALSE;
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    std::uint32_t done = 0;
    DWORD error = file->Read(lpBuffer, nNumberOfBytesToRead, &done);
    if (lpNumberOfBytesRead)
        *lpNumberOfBytesRead = done;
    return Result(error);
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
    void* lpOverlapped)
{
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = 0;
    store::File* file = FileOf(hFile);
    if (!file)
        return FALSE;
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite > 0))
        return Fail(ERROR_INVALID_PARAMETER);
    std::uint32_t done = 0;
    DWORD error = file->Write(lpBuffer, nNumberOfBytesToWrite, &done);
    if (lpNumberOfBytesWritten)
        *lpNumberOfBytesWritten = done;
    return Result(error);
}

DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh)
{
    store::File* file = FileOf(hFile);
    if (!file)
        return INVALID_FILE_SIZE;
    std::uint64_t size = 0;
    DWORD error = file->Size(&size);
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh)
        *lpFileSizeHigh = DWORD(size >> 32);
    Succeed();
    return DWORD(size);
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
    store::File* file = FileOf(hFile);
    if (!file)
        return INVALID_SET_FILE_POINTER;
    std::int64_t distance = lpDistanceToMoveHigh
        ? std::int64_t(
            (std::uint64_t(std::uint32_t(*lpDistanceToMoveHigh)) << 32) | std::uint32_t(lDistanceToMove))
        : std::int64_t(lDistanceToMove);
    std::uint64_t position = 0;
    DWORD error = file->Seek(distance, dwMoveMethod, &position);
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh)
        *lpDistanceToMoveHigh = LONG(position >> 32);
    Succeed();
    return DWORD(position);
}

HANDLE FindFirstFile(LPCWSTR lpFileName, WIN32_FIND_DATA* lpFindFileData)
{
    Device* dev = Current();
    if (!dev)
        return INVALID_HANDLE_VALUE;
    if (!lpFileName || !lpFindFileData) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    FindObject find;
    DWORD error = dev->store->Find(View(lpFileName), kAllFields, &find.entries);
    if (error == ERROR_SUCCESS && find.entries.empty())
        error = ERROR_FILE_NOT_FOUND;
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    FillFindData(find.entries[0], lpFindFileData);
    find.next = 1;
    HANDLE handle = dev->handles.Add(std::move(find));
    Succeed();
    return handle;
}

BOOL FindNextFile(HANDLE hFindFile, WIN32_FIND_DATA* lpFindFileData)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    FindObject* find = dev->handles.Get<FindObject>(hFindFile);
    if (!find)
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpFindFileData)
        return Fail(ERROR_INVALID_PARAMETER);
    if (find->next >= find->entries.size())
        return Fail(ERROR_NO_MORE_FILES);
    FillFindData(find->entries[find->next++], lpFindFileData);
    return Succeed();
}

BOOL FindClose(HANDLE hFindFile)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    return dev->handles.Remove<FindObject>(hFindFile) ? Succeed() : Fail(ERROR_INVALID_HANDLE);
}

BOOL DeleteFile(LPCWSTR lpFileName)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!lpFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    return Result(dev->store->DeleteFile(View(lpFileName)));
}

BOOL CopyFile(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!lpExistingFileName || !lpNewFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    return Result(
        dev->store->CopyFile(View(lpExistingFileName), View(lpNewFileName), bFailIfExists != FALSE));
}

BOOL MoveFile(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!lpExistingFileName || !lpNewFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    return Result(dev->store->MoveFile(View(lpExistingFileName), View(lpNewFileName)));
}

DWORD GetFileAttributes(LPCWSTR lpFileName)
{
    Device* dev = Current();
    if (!dev)
        return INVALID_FILE_ATTRIBUTES;
    if (!lpFileName) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    DWORD error = dev->store->GetAttributes(View(lpFileName), &attributes);
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return INVALID_FILE_ATTRIBUTES;
    }
    Succeed();
    return attributes;
}

BOOL SetFileAttributes(LPCWSTR lpFileName, DWORD dwFileAttributes)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!lpFileName)
        return Fail(ERROR_INVALID_PARAMETER);
    return Result(dev->store->SetAttributes(View(lpFileName), dwFileAttributes));
}

BOOL CreateDirectory(LPCWSTR lpPathName, void*)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!lpPathName)
        return Fail(ERROR_INVALID_PARAMETER);
    return Result(dev->store->CreateDirectory(View(lpPathName)));
}

BOOL RemoveDirectory(LPCWSTR lpPathName)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!lpPathName)
        return Fail(ERROR_INVALID_PARAMETER);
    return Result(dev->store->RemoveDirectory(View(lpPathName)));
}

} // namespace ce
