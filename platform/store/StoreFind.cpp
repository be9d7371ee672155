// Store listings: the entries of one folder that match a pattern.
#include "platform/store/Errors.h"
#include "platform/store/FileMeta.h"
#include "platform/store/Names.h"
#include "platform/store/Resolver.h"
#include "platform/store/Store.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace store {
namespace {

constexpr DWORD kStatFields = FAF_ATTRIBUTES | FAF_CREATION_TIME | FAF_LASTACCESS_TIME | FAF_LASTWRITE_TIME
    | FAF_SIZE_HIGH | FAF_SIZE_LOW | FAF_OID;
constexpr DWORD kMetaFields = FAF_ATTRIBUTES | FAF_CREATION_TIME;

void Fill(int dir, const std::string& hostName, const struct stat& st, DWORD mask, FindEntry* out)
{
    bool isDir = S_ISDIR(st.st_mode);
    if (mask & kMetaFields) {
        Meta meta = ReadMetaAt(dir, hostName, st);
        if (mask & FAF_ATTRIBUTES)
            out->attributes = ReportedAttributes(meta, isDir);
        if (mask & FAF_CREATION_TIME)
            out->creation = meta.creation;
    }
    if (mask & FAF_LASTACCESS_TIME)
        out->access = FileTimeFromTimespec(st.st_atim);
    if (mask & FAF_LASTWRITE_TIME)
        out->write = FileTimeFromTimespec(st.st_mtim);
    std::uint64_t size = isDir ? 0 : std::uint64_t(st.st_size);
    if (mask & FAF_SIZE_HIGH)
        out->size |= size & 0xFFFFFFFF00000000ull;
    if (mask & FAF_SIZE_LOW)
        out->size |= size & 0xFFFFFFFFull;
    if (mask & FAF_OID)
        out->oid = DWORD(st.st_ino);
}

} // namespace

DWORD Store::Find(std::u16string_view pattern, DWORD fieldMask, std::vector<FindEntry>* entries)
{
    entries->clear();
    Target t;
    DWORD error = Locate(m_root.get(), pattern, PathKind::Pattern, &t);
    if (error != ERROR_SUCCESS)
        return error;
    if (t.IsRoot())
        return ERROR_SUCCESS;
    bool foldersOnly = fieldMask & FAF_FOLDERS_ONLY;

    if (!t.path.wildcard) {
        bool isDir = t.entry.kind == EntryKind::Directory;
        if ((t.entry.kind != EntryKind::File && !isDir) || (foldersOnly && !isDir))
            return ERROR_SUCCESS;
        FindEntry e;
        e.name = DeviceName(t.entry.hostName).value_or(t.LastName());
        Fill(t.dir.get(), t.entry.hostName, t.entry.st, fieldMask, &e);
        entries->push_back(std::move(e));
        return ERROR_SUCCESS;
    }

    std::u32string folded = Fold(t.LastName());
    bool everything = folded == U"*" || folded == U"*.*";
    int copy = openat(t.dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0)
        return ErrorFromErrno(errno);
    DIR* d = fdopendir(copy);
    if (!d) {
        close(copy);
        return ErrorFromErrno(errno);
    }
    bool needStat = fieldMask & kStatFields;
    while (struct dirent* de = readdir(d)) {
        std::string_view host(de->d_name);
        if (host == "." || host == "..")
            continue;
        unsigned char type = de->d_type;
        if (type != DT_REG && type != DT_DIR && type != DT_UNKNOWN)
            continue;
        if (foldersOnly && type == DT_REG)
            continue;
        auto name = DeviceName(host);
        if (!name || !IsValidComponent(*name))
            continue;
        if (!everything && !MatchesFolded(folded, Fold(*name)))
            continue;
        struct stat st { };
        if (needStat || type == DT_UNKNOWN) {
            if (fstatat(t.dir.get(), de->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
                continue;
            if (foldersOnly && !S_ISDIR(st.st_mode))
                continue;
        }
        FindEntry e;
        e.name = std::move(*name);
        if (needStat)
            Fill(t.dir.get(), de->d_name, st, fieldMask, &e);
        entries->push_back(std::move(e));
    }
    closedir(d);
    return ERROR_SUCCESS;
}

} // namespace store
