#include "platform/store/FileMeta.h"

#include "platform/store/Errors.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <limits>
#include <sys/xattr.h>

namespace store {
namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDelta = 11644473600;
constexpr std::size_t kMetaSize = 12;

// The descriptor-relative path that reaches `name` in `dirFd` without a
// string path to the directory: the kernel resolves the magic link.
std::string ProcPath(int dirFd, const std::string& name)
{
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "/proc/self/fd/%d/", dirFd);
    return prefix + name;
}

Meta Decode(const unsigned char* b, ssize_t n, const struct stat& st)
{
    Meta m;
    if (n == ssize_t(kMetaSize)) {
        m.present = true;
        m.stored = DWORD(b[0] | b[1] << 8 | b[2] << 16 | DWORD(b[3]) << 24) & kStoredAttributes;
        for (int i = 7; i >= 0; --i)
            m.creation = (m.creation << 8) | b[4 + i];
        return m;
    }
    m.stored = S_ISDIR(st.st_mode) ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    m.creation = FileTimeFromTimespec(st.st_mtim);
    return m;
}

void EncodeMeta(unsigned char* b, DWORD stored, std::uint64_t creation)
{
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<unsigned char>(stored >> (8 * i));
    for (int i = 0; i < 8; ++i)
        b[4 + i] = static_cast<unsigned char>(creation >> (8 * i));
}

} // namespace

std::uint64_t FileTimeFromTimespec(const struct timespec& t)
{
    // Host times before 1601 or beyond what a signed FILETIME holds (a file
    // stamped by any program on the host) saturate instead of wrapping.
    constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
    std::int64_t seconds = 0;
    if (__builtin_add_overflow(std::int64_t(t.tv_sec), kEpochDelta, &seconds))
        return std::uint64_t(kLatest);
    if (seconds < 0)
        return 0;
    std::int64_t units = 0;
    if (__builtin_mul_overflow(seconds, std::int64_t(10000000), &units)
        || __builtin_add_overflow(units, std::int64_t(t.tv_nsec / 100), &units))
        return std::uint64_t(kLatest);
    return std::uint64_t(units);
}

struct timespec TimespecFromFileTime(std::uint64_t fileTime)
{
    struct timespec t { };
    t.tv_sec = time_t(std::int64_t(fileTime / 10000000) - kEpochDelta);
    t.tv_nsec = long(fileTime % 10000000) * 100;
    return t;
}

std::uint64_t FileTimeNow()
{
    struct timespec now { };
    clock_gettime(CLOCK_REALTIME, &now);
    return FileTimeFromTimespec(now);
}

DWORD ReportedAttributes(const Meta& meta, bool isDirectory)
{
    DWORD a = meta.stored & kStoredAttributes;
    if (isDirectory)
        a |= FILE_ATTRIBUTE_DIRECTORY;
    return a == 0 ? FILE_ATTRIBUTE_NORMAL : a;
}

Meta ReadMeta(int fd, const struct stat& st)
{
    unsigned char b[kMetaSize];
    ssize_t n = fgetxattr(fd, kMetaAttribute, b, sizeof b);
    return Decode(b, n, st);
}

Meta ReadMetaAt(int dirFd, const std::string& name, const struct stat& st)
{
    unsigned char b[kMetaSize];
    ssize_t n = lgetxattr(ProcPath(dirFd, name).c_str(), kMetaAttribute, b, sizeof b);
    return Decode(b, n, st);
}

DWORD WriteMeta(int fd, DWORD stored, std::uint64_t creation)
{
    unsigned char b[kMetaSize];
    EncodeMeta(b, stored & kStoredAttributes, creation);
    if (fsetxattr(fd, kMetaAttribute, b, sizeof b, 0) != 0)
        return ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

DWORD WriteMetaAt(int dirFd, const std::string& name, DWORD stored, std::uint64_t creation)
{
    unsigned char b[kMetaSize];
    EncodeMeta(b, stored & kStoredAttributes, creation);
    if (lsetxattr(ProcPath(dirFd, name).c_str(), kMetaAttribute, b, sizeof b, 0) != 0)
        return ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

bool SupportsMeta(int dirFd)
{
    unsigned char b[kMetaSize];
    if (fgetxattr(dirFd, kMetaAttribute, b, sizeof b) >= 0)
        return true;
    return errno != ENOTSUP;
}

} // namespace store
