// File, folder and listing operations of RapiConnection.
#include "platform/rapi/RapiImpl.h"

#include <cstdlib>
#include <cstring>

using namespace rapi::proto;

namespace {

std::uint32_t HandleValue(HANDLE h)
{
    return std::uint32_t(h);
}

HANDLE ToHandle(std::uint32_t v)
{
    return v == 0xFFFFFFFFu ? INVALID_HANDLE_VALUE : HANDLE(v);
}

void FillFindData(const FindRecord& r, CE_FIND_DATA* out)
{
    out->dwFileAttributes = r.attributes;
    out->ftCreationTime = U64ToFileTime(r.creation);
    out->ftLastAccessTime = U64ToFileTime(r.access);
    out->ftLastWriteTime = U64ToFileTime(r.write);
    out->nFileSizeHigh = r.sizeHigh;
    out->nFileSizeLow = r.sizeLow;
    out->dwOID = r.oid;
    CopyText(r.name, out->cFileName, MAX_PATH);
}

} // namespace

HANDLE RapiConnection::CeCreateFile(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, void*,
    DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    CreateFileRequest request;
    request.path = TextOf(fileName);
    request.access = desiredAccess;
    request.share = shareMode;
    request.disposition = creationDisposition;
    request.flagsAndAttributes = flagsAndAttributes;
    CreateFileReply reply;
    if (!m_impl->Call(request, &reply, 0xFFFFFFFFu))
        return INVALID_HANDLE_VALUE;
    HANDLE h = ToHandle(reply.status.result);
    if (h != INVALID_HANDLE_VALUE && (desiredAccess & GENERIC_READ) && !(desiredAccess & GENERIC_WRITE)
        && !(shareMode & FILE_SHARE_WRITE))
        m_impl->readAhead[reply.status.result] = {};
    return h;
}

BOOL RapiConnection::CeReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    auto* out = static_cast<std::uint8_t*>(buffer);
    auto ahead = m_impl->readAhead.find(HandleValue(file));
    DWORD total = 0;
    BOOL ok = TRUE;
    while (total < bytesToRead) {
        DWORD want = bytesToRead - total;
        if (ahead != m_impl->readAhead.end()) {
            Impl::ReadAhead& ra = ahead->second;
            if (ra.Unread() > 0) {
                std::size_t n = std::min<std::size_t>(ra.Unread(), want);
                std::memcpy(out + total, ra.data.data() + ra.at, n);
                ra.at += n;
                total += DWORD(n);
                continue;
            }
            if (want < Impl::kReadAhead) {
                ra.data.resize(Impl::kReadAhead);
                std::uint32_t got = 0;
                bool read = m_impl->Read(HandleValue(file), ra.data.data(), Impl::kReadAhead, &got);
                ra.data.resize(read ? got : 0);
                ra.at = 0;
                if (!read) {
                    ok = FALSE;
                    break;
                }
                if (got == 0)
                    break; // end of file
                continue;
            }
        }
        want = std::min<DWORD>(want, kMaxIoChunk);
        std::uint32_t got = 0;
        if (!m_impl->Read(HandleValue(file), out + total, want, &got)) {
            ok = FALSE;
            break;
        }
        total += got;
        if (got < want)
            break; // end of file
    }
    if (bytesRead)
        *bytesRead = total;
    return ok;
}

BOOL RapiConnection::CeWriteFile(
    HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    DWORD total = 0;
    BOOL ok = TRUE;
    do {
        DWORD n = std::min<DWORD>(bytesToWrite - total, kMaxIoChunk);
        std::uint32_t done = 0;
        if (!m_impl->Write(HandleValue(file), static_cast<const std::uint8_t*>(buffer) + total, n, &done)) {
            total += std::min<DWORD>(done, n);
            ok = FALSE;
            break;
        }
        total += std::min<DWORD>(done, n);
    } while (total < bytesToWrite);
    if (bytesWritten)
        *bytesWritten = total;
    return ok;
}

DWORD RapiConnection::CeGetFileSize(HANDLE file, DWORD* fileSizeHigh)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    GetFileSizeRequest request;
    request.handle = HandleValue(file);
    GetFileSizeReply reply;
    if (!m_impl->Call(request, &reply))
        return INVALID_FILE_SIZE;
    if (fileSizeHigh)
        *fileSizeHigh = reply.high;
    return reply.status.result;
}

DWORD RapiConnection::CeSetFilePointer(
    HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    SetFilePointerRequest request;
    request.handle = HandleValue(file);
    std::int64_t distance = distanceToMoveHigh
        ? std::int64_t(
            (std::uint64_t(std::uint32_t(*distanceToMoveHigh)) << 32) | std::uint32_t(distanceToMove))
        : std::int64_t(distanceToMove);
    // Bytes read ahead but not yet handed out are still ahead of the caller.
    auto ahead = m_impl->readAhead.find(HandleValue(file));
    if (ahead != m_impl->readAhead.end()) {
        if (moveMethod == FILE_CURRENT)
            distance -= std::int64_t(ahead->second.Unread());
        ahead->second = {};
    }
    request.distance = std::uint64_t(distance);
    request.method = moveMethod;
    SetFilePointerReply reply;
    if (!m_impl->Call(request, &reply) || !reply.status.result)
        return INVALID_SET_FILE_POINTER;
    if (distanceToMoveHigh)
        *distanceToMoveHigh = LONG(std::uint32_t(reply.position >> 32));
    return DWORD(reply.position);
}

BOOL RapiConnection::CeCloseHandle(HANDLE object)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->readAhead.erase(HandleValue(object));
    CloseHandleRequest request;
    request.handle = HandleValue(object);
    CloseHandleReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeGetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    GetFileTimeRequest request;
    request.handle = HandleValue(file);
    GetFileTimeReply reply;
    if (!m_impl->Call(request, &reply) || !reply.status.result)
        return FALSE;
    if (creation)
        *creation = U64ToFileTime(reply.creation);
    if (lastAccess)
        *lastAccess = U64ToFileTime(reply.access);
    if (lastWrite)
        *lastWrite = U64ToFileTime(reply.write);
    return TRUE;
}

BOOL RapiConnection::CeSetFileTime(
    HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    SetFileTimeRequest request;
    request.handle = HandleValue(file);
    request.present = std::uint8_t((creation ? 1 : 0) | (lastAccess ? 2 : 0) | (lastWrite ? 4 : 0));
    request.creation = creation ? FileTimeToU64(*creation) : 0;
    request.access = lastAccess ? FileTimeToU64(*lastAccess) : 0;
    request.write = lastWrite ? FileTimeToU64(*lastWrite) : 0;
    SetFileTimeReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeDeleteFile(LPCWSTR fileName)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    DeleteFileRequest request;
    request.path = TextOf(fileName);
    DeleteFileReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeMoveFile(LPCWSTR existingFileName, LPCWSTR newFileName)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    MoveFileRequest request;
    request.from = TextOf(existingFileName);
    request.to = TextOf(newFileName);
    MoveFileReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeCopyFile(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    CopyFileRequest request;
    request.from = TextOf(existingFileName);
    request.to = TextOf(newFileName);
    request.failIfExists = failIfExists ? 1 : 0;
    CopyFileReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeCreateDirectory(LPCWSTR pathName, void*)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    CreateDirectoryRequest request;
    request.path = TextOf(pathName);
    CreateDirectoryReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeRemoveDirectory(LPCWSTR pathName)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    RemoveDirectoryRequest request;
    request.path = TextOf(pathName);
    RemoveDirectoryReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

DWORD RapiConnection::CeGetFileAttributes(LPCWSTR fileName)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    GetFileAttributesRequest request;
    request.path = TextOf(fileName);
    GetFileAttributesReply reply;
    return m_impl->Call(request, &reply, INVALID_FILE_ATTRIBUTES) ? reply.status.result
                                                                  : INVALID_FILE_ATTRIBUTES;
}

BOOL RapiConnection::CeSetFileAttributes(LPCWSTR fileName, DWORD fileAttributes)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    SetFileAttributesRequest request;
    request.path = TextOf(fileName);
    request.attributes = fileAttributes;
    SetFileAttributesReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

HANDLE RapiConnection::CeFindFirstFile(LPCWSTR fileName, CE_FIND_DATA* findData)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    FindFirstFileRequest request;
    request.path = TextOf(fileName);
    FindFirstFileReply reply;
    if (!m_impl->Call(request, &reply, 0xFFFFFFFFu))
        return INVALID_HANDLE_VALUE;
    HANDLE h = ToHandle(reply.status.result);
    if (h != INVALID_HANDLE_VALUE && findData)
        FillFindData(reply.record, findData);
    return h;
}

BOOL RapiConnection::CeFindNextFile(HANDLE findFile, CE_FIND_DATA* findData)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    FindNextFileRequest request;
    request.handle = HandleValue(findFile);
    FindNextFileReply reply;
    if (!m_impl->Call(request, &reply) || !reply.status.result)
        return FALSE;
    if (findData)
        FillFindData(reply.record, findData);
    return TRUE;
}

BOOL RapiConnection::CeFindClose(HANDLE findFile)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    FindCloseRequest request;
    request.handle = HandleValue(findFile);
    FindCloseReply reply;
    return m_impl->Call(request, &reply) ? BOOL(reply.status.result) : FALSE;
}

BOOL RapiConnection::CeFindAllFiles(
    LPCWSTR path, DWORD flags, DWORD* foundCount, CE_FIND_DATA** findDataArray)
{
    if (foundCount)
        *foundCount = 0;
    if (findDataArray)
        *findDataArray = nullptr;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    FindAllFilesRequest request;
    request.path = TextOf(path);
    request.flags = flags;
    if (!m_impl->Usable())
        return FALSE;
    if (!FitsLimits(request)) {
        m_impl->Record(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    if (!m_impl->SendRequest(Encode(request)))
        return FALSE;
    std::vector<FindRecord> records;
    bool more = true;
    DWORD lastError = ERROR_SUCCESS;
    BOOL ok = TRUE;
    while (more) {
        std::vector<std::uint8_t> payload;
        FindAllFilesReply part;
        if (!m_impl->ReadReply(Op::FindAllFiles, &payload, &more))
            return FALSE;
        if (!Decode(payload, &part)) {
            m_impl->Break();
            return FALSE;
        }
        lastError = part.status.lastError;
        ok = part.status.result ? TRUE : FALSE;
        for (auto& r : part.records)
            records.push_back(std::move(r));
    }
    m_impl->Record(lastError);
    if (!ok)
        return FALSE;
    CE_FIND_DATA* array = nullptr;
    if (!records.empty()) {
        array = static_cast<CE_FIND_DATA*>(std::calloc(records.size(), sizeof(CE_FIND_DATA)));
        if (!array) {
            m_impl->Record(ERROR_NOT_ENOUGH_MEMORY);
            return FALSE;
        }
        for (std::size_t i = 0; i < records.size(); ++i)
            FillFindData(records[i], &array[i]);
    }
    if (foundCount)
        *foundCount = DWORD(records.size());
    if (findDataArray)
        *findDataArray = array;
    else
        std::free(array);
    return TRUE;
}
