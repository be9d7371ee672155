#include "platform/store/Resolver.h"

#include "exchange/CaseFold.h"
#include "platform/store/Errors.h"
#include "platform/store/Names.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>

namespace store {
namespace {

EntryKind KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return EntryKind::File;
    if (S_ISDIR(mode))
        return EntryKind::Directory;
    return EntryKind::Foreign;
}

// Whether `hostName` folds like `folded`. Most names are ASCII, which folds
// by itself one byte to one code point: those are compared in place, since a
// lookup of a missing name tests every entry of its folder.
bool FoldsLike(std::string_view hostName, const std::u32string& folded)
{
    const bool ascii
        = std::ranges::all_of(hostName, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii)
        return FoldUtf8(hostName) == folded;
    if (hostName.size() != folded.size())
        return false;
    for (std::size_t i = 0; i < hostName.size(); ++i)
        if (exchange::FoldCase(char32_t(static_cast<unsigned char>(hostName[i]))) != folded[i])
            return false;
    return true;
}

// Scans `dir` for a name that folds like `folded`. ENOENT when none does.
int ScanFor(int dir, const std::u32string& folded, std::string* found)
{
    int copy = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0)
        return errno;
    DIR* d = fdopendir(copy);
    if (!d) {
        int err = errno;
        close(copy);
        return err;
    }
    int result = ENOENT;
    while (struct dirent* e = readdir(d)) {
        std::string_view name(e->d_name);
        if (name == "." || name == "..")
            continue;
        if (FoldsLike(name, folded)) {
            *found = name;
            result = 0;
            break;
        }
    }
    closedir(d);
    return result;
}

} // namespace

DWORD Lookup(int dir, std::u16string_view name, Entry* entry)
{
    auto host = HostName(name);
    if (!host)
        return ERROR_INVALID_NAME;
    entry->hostName = *host;
    entry->kind = EntryKind::Missing;
    if (fstatat(dir, host->c_str(), &entry->st, AT_SYMLINK_NOFOLLOW) == 0) {
        entry->kind = KindOf(entry->st.st_mode);
        return ERROR_SUCCESS;
    }
    if (errno == ENAMETOOLONG)
        return ERROR_FILENAME_EXCED_RANGE;
    if (errno != ENOENT)
        return ErrorFromErrno(errno);
    std::string found;
    int err = ScanFor(dir, Fold(name), &found);
    if (err == ENOENT)
        return ERROR_SUCCESS;
    if (err != 0)
        return ErrorFromErrno(err);
    if (fstatat(dir, found.c_str(), &entry->st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? ERROR_SUCCESS : ErrorFromErrno(errno);
    entry->hostName = found;
    entry->kind = KindOf(entry->st.st_mode);
    return ERROR_SUCCESS;
}

DWORD Locate(int root, std::u16string_view text, PathKind kind, Target* target)
{
    DWORD error = ParseDevicePath(text, kind, &target->path);
    if (error != ERROR_SUCCESS)
        return error;
    const auto& parts = target->path.components;
    target->dir.Reset(fcntl(root, F_DUPFD_CLOEXEC, 0));
    if (!target->dir.valid())
        return ErrorFromErrno(errno);
    if (parts.empty()) {
        target->entry.kind = EntryKind::Directory;
        target->entry.hostName = ".";
        if (fstat(root, &target->entry.st) != 0)
            return ErrorFromErrno(errno);
        return ERROR_SUCCESS;
    }
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        Entry step;
        error = Lookup(target->dir.get(), parts[i], &step);
        if (error != ERROR_SUCCESS)
            return error;
        if (step.kind != EntryKind::Directory)
            return ERROR_PATH_NOT_FOUND;
        int next = openat(
            target->dir.get(), step.hostName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            return (errno == ENOENT || errno == ENOTDIR || errno == ELOOP) ? ERROR_PATH_NOT_FOUND
                                                                           : ErrorFromErrno(errno);
        target->dir.Reset(next);
    }
    if (target->path.wildcard) {
        target->entry = Entry {};
        return ERROR_SUCCESS;
    }
    return Lookup(target->dir.get(), parts.back(), &target->entry);
}

FolderLock::FolderLock(int dir)
    : m_dir(dir)
{
    while (flock(m_dir, LOCK_EX) != 0 && errno == EINTR) { }
}

FolderLock::~FolderLock()
{
    flock(m_dir, LOCK_UN);
}

} // namespace store
