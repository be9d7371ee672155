#include "platform/store/Errors.h"
#include "platform/store/FileMeta.h"
#include "platform/store/Store.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace store {

DWORD File::Read(void* buffer, std::uint32_t count, std::uint32_t* done)
{
    *done = 0;
    if (!(m_access & GENERIC_READ))
        return ERROR_ACCESS_DENIED;
    auto* p = static_cast<char*>(buffer);
    while (*done < count) {
        ssize_t n = ::read(m_fd.get(), p + *done, count - *done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ErrorFromErrno(errno);
        }
        if (n == 0)
            break;
        *done += std::uint32_t(n);
    }
    return ERROR_SUCCESS;
}

DWORD File::Write(const void* data, std::uint32_t count, std::uint32_t* done)
{
    *done = 0;
    if (!(m_access & GENERIC_WRITE))
        return ERROR_ACCESS_DENIED;
    if (!m_archived && count > 0) {
        struct stat st;
        if (fstat(m_fd.get(), &st) == 0) {
            Meta m = ReadMeta(m_fd.get(), st);
            if (!(m.stored & FILE_ATTRIBUTE_ARCHIVE))
                WriteMeta(m_fd.get(), m.stored | FILE_ATTRIBUTE_ARCHIVE, m.creation);
        }
        m_archived = true;
    }
    const off_t at = lseek(m_fd.get(), 0, SEEK_CUR);
    if (at < 0)
        return ErrorFromErrno(errno);
    if (std::uint64_t(at) + count > kMaxSize)
        return ERROR_DISK_FULL;
    const auto* p = static_cast<const char*>(data);
    while (*done < count) {
        ssize_t n = ::write(m_fd.get(), p + *done, count - *done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ErrorFromErrno(errno);
        }
        if (n == 0)
            return ERROR_DISK_FULL;
        *done += std::uint32_t(n);
    }
    return ERROR_SUCCESS;
}

DWORD File::Size(std::uint64_t* size) const
{
    struct stat st;
    if (fstat(m_fd.get(), &st) != 0)
        return ErrorFromErrno(errno);
    *size = std::uint64_t(st.st_size);
    return ERROR_SUCCESS;
}

DWORD File::Seek(std::int64_t distance, DWORD method, std::uint64_t* position)
{
    std::int64_t base;
    if (method == FILE_BEGIN) {
        base = 0;
    } else if (method == FILE_CURRENT) {
        base = lseek(m_fd.get(), 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st;
        base = fstat(m_fd.get(), &st) == 0 ? st.st_size : -1;
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    if (base < 0)
        return ErrorFromErrno(errno);
    // Checked before adding, so that no sum overflows.
    const auto max = std::int64_t(kMaxSize);
    if (distance > 0 && (distance > max || base > max - distance))
        return ERROR_INVALID_PARAMETER;
    if (base + distance < 0)
        return ERROR_NEGATIVE_SEEK;
    if (base + distance > max)
        return ERROR_INVALID_PARAMETER;
    off_t at = lseek(m_fd.get(), off_t(base + distance), SEEK_SET);
    if (at < 0)
        return errno == EINVAL ? ERROR_NEGATIVE_SEEK : ErrorFromErrno(errno);
    *position = std::uint64_t(at);
    return ERROR_SUCCESS;
}

DWORD File::GetTimes(std::uint64_t* creation, std::uint64_t* access, std::uint64_t* write) const
{
    struct stat st;
    if (fstat(m_fd.get(), &st) != 0)
        return ErrorFromErrno(errno);
    if (creation)
        *creation = ReadMeta(m_fd.get(), st).creation;
    if (access)
        *access = FileTimeFromTimespec(st.st_atim);
    if (write)
        *write = FileTimeFromTimespec(st.st_mtim);
    return ERROR_SUCCESS;
}

DWORD File::SetTimes(const std::uint64_t* creation, const std::uint64_t* access, const std::uint64_t* write)
{
    if (!(m_access & GENERIC_WRITE))
        return ERROR_ACCESS_DENIED;
    if (access || write) {
        struct timespec times[2];
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_nsec = UTIME_OMIT;
        if (access)
            times[0] = TimespecFromFileTime(*access);
        if (write)
            times[1] = TimespecFromFileTime(*write);
        if (futimens(m_fd.get(), times) != 0)
            return ErrorFromErrno(errno);
    }
    if (creation) {
        struct stat st;
        if (fstat(m_fd.get(), &st) != 0)
            return ErrorFromErrno(errno);
        Meta m = ReadMeta(m_fd.get(), st);
        return WriteMeta(m_fd.get(), m.stored, *creation);
    }
    return ERROR_SUCCESS;
}

} // namespace store
