#include "platform/store/Store.h"

#include "platform/store/Errors.h"
#include "platform/store/FileMeta.h"
#include "platform/store/Resolver.h"
#include "platform/store/ShareLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace store {
namespace {

constexpr DWORD kCreateAttributeBits = kSettableAttributes & ~FILE_ATTRIBUTE_ARCHIVE;

bool Writes(DWORD access, DWORD disposition)
{
    return (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
}

// Opens an existing store file of `dir` without following links and without
// blocking on a special file; ERROR_ACCESS_DENIED unless it is a plain file.
DWORD OpenPlain(int dir, const std::string& hostName, bool forWriting, UniqueFd* out, struct stat* st)
{
    int flags = (forWriting ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    UniqueFd fd(openat(dir, hostName.c_str(), flags));
    if (!fd.valid())
        return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno);
    if (fstat(fd.get(), st) != 0)
        return ErrorFromErrno(errno);
    if (!S_ISREG(st->st_mode))
        return ERROR_ACCESS_DENIED;
    fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    *out = std::move(fd);
    return ERROR_SUCCESS;
}

DWORD OpenExisting(const Target& t, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
    std::unique_ptr<File>* file)
{
    bool writing = Writes(access, disposition);
    UniqueFd fd;
    struct stat st;
    DWORD error = OpenPlain(t.dir.get(), t.entry.hostName, writing, &fd, &st);
    if (error != ERROR_SUCCESS)
        return error;
    Meta meta = ReadMeta(fd.get(), st);
    if (writing && (meta.stored & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_INROM)))
        return ERROR_ACCESS_DENIED;
    error = AcquireShare(fd.get(), access, share);
    if (error != ERROR_SUCCESS)
        return error;
    if (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) {
        if (ftruncate(fd.get(), 0) != 0)
            return ErrorFromErrno(errno);
    }
    if (disposition == CREATE_ALWAYS) {
        error = WriteMeta(
            fd.get(), (attributes & kCreateAttributeBits) | FILE_ATTRIBUTE_ARCHIVE, meta.creation);
        if (error != ERROR_SUCCESS)
            return error;
    }
    *file = std::make_unique<File>(std::move(fd), access);
    return ERROR_SUCCESS;
}

} // namespace

std::unique_ptr<Store> Store::Open(const std::filesystem::path& root, std::string* error)
{
    UniqueFd fd(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid()) {
        if (error)
            *error = "cannot open the store folder " + root.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!SupportsMeta(fd.get())) {
        if (error)
            *error = "the store folder " + root.string()
                + " is on a file system without extended attributes (user.*), which the store needs";
        return nullptr;
    }
    return std::unique_ptr<Store>(new Store(std::move(fd)));
}

DWORD Store::CreateFile(std::u16string_view path, DWORD access, DWORD share, DWORD disposition,
    DWORD attributes, std::unique_ptr<File>* file, bool* existed)
{
    *existed = false;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return ERROR_INVALID_PARAMETER;
    if (disposition == TRUNCATE_EXISTING && !(access & GENERIC_WRITE))
        return ERROR_INVALID_PARAMETER;
    Target t;
    DWORD error = Locate(m_root.get(), path, PathKind::Name, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (t.IsRoot())
        return ERROR_ACCESS_DENIED;

    for (int attempt = 0; attempt < 4; ++attempt) {
        switch (t.entry.kind) {
        case EntryKind::Directory:
            return ERROR_ACCESS_DENIED;
        case EntryKind::Foreign: // a link or special file: invisible, but its name is taken
            if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
                return ERROR_FILE_NOT_FOUND;
            return ERROR_ACCESS_DENIED;
        case EntryKind::File:
            if (disposition == CREATE_NEW)
                return ERROR_FILE_EXISTS;
            error = OpenExisting(t, access, share, disposition, attributes, file);
            if (error == ERROR_FILE_NOT_FOUND) // deleted meanwhile: decide again
                break;
            *existed = error == ERROR_SUCCESS;
            return error;
        case EntryKind::Missing:
            if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
                return ERROR_FILE_NOT_FOUND;
            {
                FolderLock lock(t.dir.get());
                error = Lookup(t.dir.get(), t.LastName(), &t.entry);
                if (error != ERROR_SUCCESS)
                    return error;
                if (t.entry.kind != EntryKind::Missing)
                    continue;
                UniqueFd fd(openat(t.dir.get(), t.entry.hostName.c_str(),
                    O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0644));
                if (!fd.valid())
                    return errno == ENAMETOOLONG ? ERROR_FILENAME_EXCED_RANGE : ErrorFromErrno(errno);
                error = WriteMeta(
                    fd.get(), (attributes & kCreateAttributeBits) | FILE_ATTRIBUTE_ARCHIVE, FileTimeNow());
                if (error == ERROR_SUCCESS)
                    error = AcquireShare(fd.get(), access, share);
                if (error != ERROR_SUCCESS) {
                    unlinkat(t.dir.get(), t.entry.hostName.c_str(), 0);
                    return error;
                }
                *file = std::make_unique<File>(std::move(fd), access);
                return ERROR_SUCCESS;
            }
        }
        error = Lookup(t.dir.get(), t.LastName(), &t.entry);
        if (error != ERROR_SUCCESS)
            return error;
    }
    return ERROR_SHARING_VIOLATION;
}

DWORD Store::CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists)
{
    std::unique_ptr<File> source;
    bool existed = false;
    DWORD error = CreateFile(from, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0, &source, &existed);
    if (error != ERROR_SUCCESS)
        return error;
    struct stat st;
    if (fstat(source->fd(), &st) != 0)
        return ErrorFromErrno(errno);
    Meta meta = ReadMeta(source->fd(), st);
    DWORD attributes = (meta.stored & kCreateAttributeBits) | FILE_ATTRIBUTE_ARCHIVE;

    std::unique_ptr<File> target;
    error = CreateFile(
        to, GENERIC_WRITE, 0, failIfExists ? CREATE_NEW : CREATE_ALWAYS, attributes, &target, &existed);
    if (error != ERROR_SUCCESS)
        return error;

    off_t remaining = st.st_size;
    while (error == ERROR_SUCCESS && remaining > 0) {
        ssize_t n = copy_file_range(source->fd(), nullptr, target->fd(), nullptr, std::size_t(remaining), 0);
        if (n > 0) {
            remaining -= n;
        } else if (n == 0) {
            break;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            char buffer[65536];
            std::uint32_t got = 0, put = 0;
            error = source->Read(buffer, sizeof buffer, &got);
            if (error == ERROR_SUCCESS && got == 0)
                break;
            if (error == ERROR_SUCCESS)
                error = target->Write(buffer, got, &put);
            remaining -= got;
        } else if (errno != EINTR) {
            error = ErrorFromErrno(errno);
        }
    }
    if (error == ERROR_SUCCESS) {
        std::uint64_t write = FileTimeFromTimespec(st.st_mtim);
        error = target->SetTimes(nullptr, nullptr, &write);
    }
    if (error != ERROR_SUCCESS) {
        target.reset();
        DeleteFile(to);
    }
    return error;
}

DWORD Store::CreateRomFile(std::u16string_view path, std::string_view data)
{
    std::unique_ptr<File> file;
    bool existed = false;
    DWORD error = CreateFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &file, &existed);
    if (error != ERROR_SUCCESS)
        return error;
    std::uint32_t done = 0;
    error = file->Write(data.data(), std::uint32_t(data.size()), &done);
    if (error != ERROR_SUCCESS)
        return error;
    std::uint64_t creation = 0;
    file->GetTimes(&creation, nullptr, nullptr);
    return WriteMeta(
        file->fd(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_INROM, creation);
}

} // namespace store
