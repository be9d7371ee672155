#include "platform/store/ShareLock.h"

#include "platform/store/Errors.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

namespace store {
namespace {

// Reserved bytes, far beyond any file the device will hold.
constexpr off_t kBase = off_t(0x7FFFFFFF00000000LL);
constexpr off_t kReads = kBase + 0;
constexpr off_t kWrites = kBase + 1;
constexpr off_t kDeniesRead = kBase + 2;
constexpr off_t kDeniesWrite = kBase + 3;
constexpr off_t kDeniesDelete = kBase + 4;

struct flock Range(short type, off_t at)
{
    struct flock l { };
    l.l_type = type;
    l.l_whence = SEEK_SET;
    l.l_start = at;
    l.l_len = 1;
    return l;
}

// True when some other open holds a lock on byte `at`.
bool Held(int fd, off_t at, DWORD* error)
{
    struct flock l = Range(F_WRLCK, at);
    if (fcntl(fd, F_OFD_GETLK, &l) != 0) {
        *error = ErrorFromErrno(errno);
        return false;
    }
    return l.l_type != F_UNLCK;
}

DWORD Mark(int fd, off_t at)
{
    struct flock l = Range(F_RDLCK, at);
    if (fcntl(fd, F_OFD_SETLK, &l) != 0)
        return ErrorFromErrno(errno);
    return ERROR_SUCCESS;
}

// The gate: a whole-file flock held only while an open decides.
bool LockGate(int fd)
{
    while (flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

} // namespace

DWORD AcquireShare(int fd, DWORD access, DWORD share)
{
    bool reads = access & GENERIC_READ;
    bool writes = access & GENERIC_WRITE;
    if (!reads && !writes)
        return ERROR_SUCCESS;
    bool deniesRead = !(share & FILE_SHARE_READ);
    bool deniesWrite = !(share & FILE_SHARE_WRITE);
    bool deniesDelete = !(share & FILE_SHARE_DELETE);

    if (!LockGate(fd))
        return ErrorFromErrno(errno);
    DWORD error = ERROR_SUCCESS;
    bool conflict = (reads && Held(fd, kDeniesRead, &error)) || (writes && Held(fd, kDeniesWrite, &error))
        || (deniesRead && Held(fd, kReads, &error)) || (deniesWrite && Held(fd, kWrites, &error));
    if (error == ERROR_SUCCESS && conflict)
        error = ERROR_SHARING_VIOLATION;
    if (error == ERROR_SUCCESS && reads)
        error = Mark(fd, kReads);
    if (error == ERROR_SUCCESS && writes)
        error = Mark(fd, kWrites);
    if (error == ERROR_SUCCESS && deniesRead)
        error = Mark(fd, kDeniesRead);
    if (error == ERROR_SUCCESS && deniesWrite)
        error = Mark(fd, kDeniesWrite);
    if (error == ERROR_SUCCESS && deniesDelete)
        error = Mark(fd, kDeniesDelete);
    flock(fd, LOCK_UN);
    return error;
}

DeleteGate::DeleteGate(int fd)
    : m_fd(fd)
    , m_held(fd >= 0 && LockGate(fd))
{
}

DeleteGate::~DeleteGate()
{
    if (m_held)
        flock(m_fd, LOCK_UN);
}

DWORD DeleteGate::Check() const
{
    if (m_fd < 0)
        return ERROR_SUCCESS;
    if (!m_held)
        return ERROR_SHARING_VIOLATION;
    DWORD error = ERROR_SUCCESS;
    if (Held(m_fd, kDeniesDelete, &error))
        return ERROR_SHARING_VIOLATION;
    return error;
}

} // namespace store
