// Store operations on entries by name: delete, move, folders, attributes.
#include "platform/store/Errors.h"
#include "platform/store/FileMeta.h"
#include "platform/store/Names.h"
#include "platform/store/Resolver.h"
#include "platform/store/ShareLock.h"
#include "platform/store/Store.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

namespace store {
namespace {

bool Present(const Entry& e)
{
    return e.kind == EntryKind::File || e.kind == EntryKind::Directory;
}

Meta MetaOf(const Target& t)
{
    if (t.IsRoot())
        return ReadMeta(t.dir.get(), t.entry.st);
    return ReadMetaAt(t.dir.get(), t.entry.hostName, t.entry.st);
}

// A descriptor for the sharing gate of a plain file; invalid when the file
// cannot be opened (then no open can hold it either).
UniqueFd GateFd(const Target& t)
{
    return UniqueFd(
        openat(t.dir.get(), t.entry.hostName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
}

} // namespace

DWORD Store::DeleteFile(std::u16string_view path)
{
    Target t;
    DWORD error = Locate(m_root.get(), path, PathKind::Name, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (t.IsRoot() || t.entry.kind == EntryKind::Directory)
        return ERROR_ACCESS_DENIED;
    if (t.entry.kind != EntryKind::File)
        return ERROR_FILE_NOT_FOUND;
    if (MetaOf(t).stored & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_INROM))
        return ERROR_ACCESS_DENIED;
    UniqueFd fd = GateFd(t);
    DeleteGate gate(fd.get());
    error = gate.Check();
    if (error != ERROR_SUCCESS)
        return error;
    if (unlinkat(t.dir.get(), t.entry.hostName.c_str(), 0) != 0)
        return ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD Store::MoveFile(std::u16string_view fromPath, std::u16string_view toPath)
{
    Target from, to;
    DWORD error = Locate(m_root.get(), fromPath, PathKind::Name, &from);
    if (error != ERROR_SUCCESS)
        return error;
    if (from.IsRoot())
        return ERROR_ACCESS_DENIED;
    if (!Present(from.entry))
        return ERROR_FILE_NOT_FOUND;
    error = Locate(m_root.get(), toPath, PathKind::Name, &to);
    if (error != ERROR_SUCCESS)
        return error;
    if (to.IsRoot())
        return ERROR_ALREADY_EXISTS;
    if (MetaOf(from).stored & FILE_ATTRIBUTE_INROM)
        return ERROR_ACCESS_DENIED;

    UniqueFd fd;
    if (from.entry.kind == EntryKind::File)
        fd = GateFd(from);
    DeleteGate gate(fd.get());
    error = gate.Check();
    if (error != ERROR_SUCCESS)
        return error;

    // The new spelling, not the one an existing entry has.
    auto newName = HostName(to.LastName());
    if (!newName)
        return ERROR_INVALID_NAME;
    FolderLock lock(to.dir.get());
    error = Lookup(to.dir.get(), to.LastName(), &to.entry);
    if (error != ERROR_SUCCESS)
        return error;
    if (to.entry.kind != EntryKind::Missing) {
        bool same = to.entry.st.st_ino == from.entry.st.st_ino && to.entry.st.st_dev == from.entry.st.st_dev;
        if (!same)
            return ERROR_ALREADY_EXISTS;
        if (to.entry.hostName == *newName)
            return ERROR_SUCCESS;
        if (renameat(from.dir.get(), from.entry.hostName.c_str(), to.dir.get(), newName->c_str()) != 0)
            return ErrorFromErrno(errno);
        return ERROR_SUCCESS;
    }
    if (renameat2(
            from.dir.get(), from.entry.hostName.c_str(), to.dir.get(), newName->c_str(), RENAME_NOREPLACE)
        != 0)
        return errno == ENAMETOOLONG ? ERROR_FILENAME_EXCED_RANGE : ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD Store::CreateDirectory(std::u16string_view path)
{
    Target t;
    DWORD error = Locate(m_root.get(), path, PathKind::Name, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (t.IsRoot() || t.entry.kind != EntryKind::Missing)
        return ERROR_ALREADY_EXISTS;
    FolderLock lock(t.dir.get());
    error = Lookup(t.dir.get(), t.LastName(), &t.entry);
    if (error != ERROR_SUCCESS)
        return error;
    if (t.entry.kind != EntryKind::Missing)
        return ERROR_ALREADY_EXISTS;
    if (mkdirat(t.dir.get(), t.entry.hostName.c_str(), 0755) != 0)
        return errno == ENAMETOOLONG ? ERROR_FILENAME_EXCED_RANGE : ErrorFromErrno(errno);
    UniqueFd made(
        openat(t.dir.get(), t.entry.hostName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (made.valid())
        WriteMeta(made.get(), 0, FileTimeNow());
    return ERROR_SUCCESS;
}

DWORD Store::RemoveDirectory(std::u16string_view path)
{
    Target t;
    DWORD error = Locate(m_root.get(), path, PathKind::Name, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (t.IsRoot())
        return ERROR_ACCESS_DENIED;
    if (t.entry.kind == EntryKind::File)
        return ERROR_DIRECTORY;
    if (t.entry.kind != EntryKind::Directory)
        return ERROR_FILE_NOT_FOUND;
    if (MetaOf(t).stored & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_INROM))
        return ERROR_ACCESS_DENIED;
    if (unlinkat(t.dir.get(), t.entry.hostName.c_str(), AT_REMOVEDIR) != 0)
        return errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD Store::GetAttributes(std::u16string_view path, DWORD* attributes)
{
    *attributes = INVALID_FILE_ATTRIBUTES;
    Target t;
    DWORD error = Locate(m_root.get(), path, PathKind::Name, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (!Present(t.entry))
        return ERROR_FILE_NOT_FOUND;
    *attributes = ReportedAttributes(MetaOf(t), t.entry.kind == EntryKind::Directory);
    return ERROR_SUCCESS;
}

DWORD Store::SetAttributes(std::u16string_view path, DWORD attributes)
{
    Target t;
    DWORD error = Locate(m_root.get(), path, PathKind::Name, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (!Present(t.entry))
        return ERROR_FILE_NOT_FOUND;
    Meta meta = MetaOf(t);
    if (meta.stored & FILE_ATTRIBUTE_INROM)
        return ERROR_ACCESS_DENIED;
    DWORD stored = attributes & kSettableAttributes;
    if (t.IsRoot())
        return WriteMeta(t.dir.get(), stored, meta.creation);
    return WriteMetaAt(t.dir.get(), t.entry.hostName, stored, meta.creation);
}

} // namespace store
