#include "device/process/Launcher.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/mman.h>
#include <sys/pidfd.h>
#include <sys/prctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace device {
namespace {

// Descriptors of the child, between fork and exec.
constexpr int kChildImageFd = 4;
constexpr int kChildErrorFd = 5;
// Everything the parent prepares lies above them.
constexpr int kParentFdFloor = 10;

#ifndef MFD_EXEC
constexpr unsigned kMfdExec = 0x0010U;
#else
constexpr unsigned kMfdExec = MFD_EXEC;
#endif

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd)
        : m_fd(fd)
    {
    }
    Fd(Fd&& o) noexcept
        : m_fd(o.release())
    {
    }
    Fd& operator=(Fd&& o) noexcept
    {
        reset(o.release());
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd = -1;
};

DWORD FromErrno(int err)
{
    switch (err) {
    case ENOMEM:
    case EAGAIN:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENOEXEC:
    case ENOENT: // a missing interpreter: not a program of this machine
    case ELIBBAD:
    case ETXTBSY:
        return ERROR_BAD_EXE_FORMAT;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

// Moves `fd` above the child's fixed descriptors, close-on-exec.
Fd Lift(int fd)
{
    if (fd < 0)
        return Fd();
    int lifted = fcntl(fd, F_DUPFD_CLOEXEC, kParentFdFloor);
    ::close(fd);
    return Fd(lifted);
}

bool CopyAll(int from, int to)
{
    if (lseek(from, 0, SEEK_SET) != 0)
        return false;
    struct stat st;
    if (fstat(from, &st) != 0)
        return false;
    off_t offset = 0;
    while (offset < st.st_size) {
        ssize_t n = sendfile(to, from, &offset, std::size_t(st.st_size - offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
    }
    return true;
}

// A read-only descriptor of a private copy of the image: the kernel refuses
// to execute a file that is open for writing, so the writable descriptor is
// closed after the copy and the copy reopened for reading.
Fd ReopenReadOnly(Fd writable)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", writable.get());
    return Lift(::open(path, O_RDONLY | O_CLOEXEC));
}

Fd CopyToMemory(int imageFd)
{
    Fd mem(int(syscall(SYS_memfd_create, "device-program", MFD_CLOEXEC | kMfdExec)));
    if (!mem.valid() && errno == EINVAL) // kernels before MFD_EXEC
        mem.reset(int(syscall(SYS_memfd_create, "device-program", MFD_CLOEXEC)));
    if (!mem.valid() || !CopyAll(imageFd, mem.get()))
        return Fd();
    return ReopenReadOnly(std::move(mem));
}

// The memory copies of images that did not change, so that a program started
// again and again (the agent, once per request) is copied once. Only an
// image left alone for a while is kept: file times come from a coarse
// clock, and a write in the same tick as the copy could leave them as they
// were, while any later write is bound to change them.
class ImageCache {
public:
    // A descriptor of the kept copy of the image `st` describes; invalid when none.
    Fd Find(const struct stat& st)
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (!Same(it->first, st))
                continue;
            // The most recently used stays, the least is dropped first.
            std::rotate(it, it + 1, m_entries.end());
            return Lift(fcntl(m_entries.back().second.get(), F_DUPFD_CLOEXEC, kParentFdFloor));
        }
        return Fd();
    }

    void Keep(const struct stat& st, const Fd& copy)
    {
        timespec now {};
        clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_sec - st.st_ctim.tv_sec < kSettledSeconds || now.tv_sec - st.st_mtim.tv_sec < kSettledSeconds)
            return;
        Fd kept(fcntl(copy.get(), F_DUPFD_CLOEXEC, kParentFdFloor));
        if (!kept.valid())
            return;
        std::lock_guard lock(m_mutex);
        if (m_entries.size() == kEntries)
            m_entries.erase(m_entries.begin());
        m_entries.emplace_back(st, std::move(kept));
    }

private:
    static constexpr long kSettledSeconds = 2;
    static constexpr std::size_t kEntries = 3;

    static bool Same(const struct stat& a, const struct stat& b)
    {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
            && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec
            && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    }

    std::mutex m_mutex;
    std::vector<std::pair<struct stat, Fd>> m_entries;
};

ImageCache& Images()
{
    static ImageCache cache;
    return cache;
}

Fd CopyToScratch(int imageFd, const std::filesystem::path& dir)
{
    if (dir.empty())
        return Fd();
    Fd tmp(::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0700));
    if (!tmp.valid() || !CopyAll(imageFd, tmp.get()))
        return Fd();
    return ReopenReadOnly(std::move(tmp));
}

bool NameIn(std::string_view entry, const std::vector<std::string>& replaced)
{
    std::size_t eq = entry.find('=');
    std::string_view name = entry.substr(0, eq);
    for (const auto& r : replaced)
        if (std::string_view(r).substr(0, r.find('=')) == name)
            return true;
    return false;
}

// Tells the parent why the child could not become the program, and ends it.
[[noreturn]] void FailInChild(int err)
{
    ssize_t ignored = write(kChildErrorFd, &err, sizeof err);
    (void)ignored;
    _exit(127);
}

// Forks and executes `image`. Returns 0 with *pid, or the errno of the
// failed step (the child's exec errno included).
int ForkExec(int image, int childLink, char* const* argv, char* const* envp, pid_t* pid)
{
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0)
        return errno;
    Fd readEnd = Lift(errorPipe[0]);
    Fd writeEnd = Lift(errorPipe[1]);
    if (!readEnd.valid() || !writeEnd.valid())
        return EMFILE;

    const pid_t host = getpid();
    pid_t child = fork();
    if (child < 0)
        return errno;
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (devNull >= 0)
            dup2(devNull, 0);
        if (dup2(childLink, kChildLinkFd) < 0 || dup2(image, kChildImageFd) < 0
            || dup2(writeEnd.get(), kChildErrorFd) < 0)
            _exit(127);
        fcntl(kChildImageFd, F_SETFD, FD_CLOEXEC);
        fcntl(kChildErrorFd, F_SETFD, FD_CLOEXEC);
        syscall(SYS_close_range, kChildErrorFd + 1, ~0U, 0);
        // The program ends with the host however the host ends, even killed
        // outright; a host that died before this point is no parent any more.
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
            FailInChild(errno);
        if (getppid() != host)
            _exit(127);
        // A group of its own, so that ending the program ends what it started.
        setpgid(0, 0);
        syscall(SYS_execveat, kChildImageFd, "", argv, envp, AT_EMPTY_PATH);
        FailInChild(errno);
    }
    writeEnd.reset();
    int childErr = 0;
    ssize_t n;
    do {
        n = read(readEnd.get(), &childErr, sizeof childErr);
    } while (n < 0 && errno == EINTR);
    if (n == sizeof childErr) {
        int status;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
        return childErr ? childErr : ENOEXEC;
    }
    *pid = child;
    return 0;
}

} // namespace

bool IsHostExecutable(int fd)
{
    unsigned char magic[4];
    ssize_t n = pread(fd, magic, sizeof magic, 0);
    return n == 4 && magic[0] == 0x7F && magic[1] == 'E' && magic[2] == 'L' && magic[3] == 'F';
}

DWORD LaunchProgram(const LaunchPlan& plan, Launched* launched)
{
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return FromErrno(errno);
    Fd hostEnd = Lift(pair[0]);
    Fd childEnd = Lift(pair[1]);
    if (!hostEnd.valid() || !childEnd.valid())
        return ERROR_TOO_MANY_OPEN_FILES;

    std::vector<std::string> env;
    std::vector<std::string> added = plan.environment;
    added.push_back("QUORVANE_CE_HOST_FD=" + std::to_string(kChildLinkFd));
    for (char** e = environ; e && *e; ++e)
        if (!NameIn(*e, added))
            env.emplace_back(*e);
    env.insert(env.end(), added.begin(), added.end());
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string argv0 = plan.argv0, argv1 = plan.commandLine;
    std::vector<char*> argv { argv0.data() };
    if (!argv1.empty())
        argv.push_back(argv1.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    int err = ENOMEM;
    struct stat imageStat {};
    const bool known = fstat(plan.imageFd, &imageStat) == 0;
    Fd image = known ? Images().Find(imageStat) : Fd();
    const bool cached = image.valid();
    if (!cached)
        image = CopyToMemory(plan.imageFd);
    if (image.valid())
        err = ForkExec(image.get(), childEnd.get(), argv.data(), envp.data(), &pid);
    if (err == 0 && known && !cached)
        Images().Keep(imageStat, image);
    // Anonymous memory may be barred from execution; a private copy in the
    // scratch folder does the same.
    if (!image.valid() || err == EACCES || err == EPERM) {
        Fd copy = CopyToScratch(plan.imageFd, plan.scratchDir);
        if (copy.valid())
            err = ForkExec(copy.get(), childEnd.get(), argv.data(), envp.data(), &pid);
    }
    if (err != 0)
        return FromErrno(err);

    int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0)
        fcntl(pidfd, F_SETFD, FD_CLOEXEC);
    launched->pid = pid;
    launched->pidfd = pidfd;
    launched->linkFd = hostEnd.release();
    return ERROR_SUCCESS;
}

} // namespace device
