#include "device/server/RapiServer.h"

#include "device/server/Session.h"
#include "exchange/Home.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace device {
namespace {

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// The socket's folder must be one only this user can enter.
bool PrepareFolder(const std::filesystem::path& dir, std::string* error)
{
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            *error = Errno("cannot inspect the socket folder " + dir.string());
            return false;
        }
        std::error_code ec;
        std::filesystem::create_directories(dir.parent_path(), ec);
        if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = Errno("cannot create the socket folder " + dir.string());
            return false;
        }
        if (lstat(dir.c_str(), &st) != 0) {
            *error = Errno("cannot inspect the socket folder " + dir.string());
            return false;
        }
    }
    if (!S_ISDIR(st.st_mode)) {
        *error = "the socket folder " + dir.string() + " is not a folder";
        return false;
    }
    if (st.st_uid != geteuid()) {
        *error = "the socket folder " + dir.string() + " belongs to another user";
        return false;
    }
    if (st.st_mode & 077) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
        *error = "the socket folder " + dir.string() + " can be entered by other users (mode " + mode
            + "); use a folder only you can enter (mode 0700)";
        return false;
    }
    return true;
}

// How many connections the process's descriptors allow: each may hold
// Session::kMaxOpenFiles files besides its socket, and the host keeps some
// for itself (store, hive, programs' links). The soft limit is raised as
// far as that takes.
std::size_t ClientsWithinDescriptors()
{
    constexpr rlim_t kReserved = 256;
    constexpr rlim_t kPerClient = Session::kMaxOpenFiles + 1;
    constexpr rlim_t kWanted = kReserved + RapiServer::kMaxClients * kPerClient;
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return RapiServer::kMaxClients;
    if (limit.rlim_cur < kWanted) {
        rlimit raised = limit;
        raised.rlim_cur = std::min(kWanted, limit.rlim_max);
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur >= kWanted)
        return RapiServer::kMaxClients;
    return limit.rlim_cur > kReserved + kPerClient ? std::size_t((limit.rlim_cur - kReserved) / kPerClient)
                                                   : 1;
}

// Answers a connection that is not taken: the device is there, but busy.
// The answer lands in the peer's queue before the close, so the peer reads
// it whether or not its greeting got through.
void RefuseBusy(int fd)
{
    rapi::proto::HelloMsg busy;
    busy.refusal = ERROR_BUSY;
    auto frame = rapi::proto::Encode(busy);
    (void)!send(fd, frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    close(fd);
}

sockaddr_un Address(const std::filesystem::path& path)
{
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.native().size() + 1);
    return addr;
}

} // namespace

RapiServer::RapiServer(const DeviceServices& services)
    : m_services(services)
{
}

RapiServer::~RapiServer()
{
    DropClients();
    if (m_listenFd >= 0)
        close(m_listenFd);
    for (int fd : m_wake)
        if (fd >= 0)
            close(fd);
}

bool RapiServer::Listen(const std::filesystem::path& socketPath, std::string* error)
{
    std::string tooLong = home::CheckSocketPath(socketPath);
    if (!tooLong.empty()) {
        *error = tooLong;
        return false;
    }
    if (socketPath.is_relative() || !socketPath.has_filename()) {
        *error = "the socket path must be an absolute file path: " + socketPath.string();
        return false;
    }
    if (!PrepareFolder(socketPath.parent_path(), error))
        return false;

    sockaddr_un addr = Address(socketPath);
    struct stat st;
    if (lstat(socketPath.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            *error = socketPath.string() + " exists and is not a socket";
            return false;
        }
        int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        bool live = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (probe >= 0)
            close(probe);
        if (live) {
            *error = "a device already answers on socket " + socketPath.string();
            return false;
        }
        unlink(socketPath.c_str()); // left behind by a device that died
    }

    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        *error = Errno("cannot create a socket");
        return false;
    }
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        *error = Errno("cannot bind socket " + socketPath.string());
        return false;
    }
    chmod(socketPath.c_str(), 0600);
    if (listen(m_listenFd, 16) != 0) {
        *error = Errno("cannot listen on socket " + socketPath.string());
        return false;
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        *error = Errno("cannot create a pipe");
        return false;
    }
    m_socketPath = socketPath;
    m_maxClients = ClientsWithinDescriptors();
    return true;
}

void RapiServer::Run()
{
    struct stat bound { };
    lstat(m_socketPath.c_str(), &bound);
    for (;;) {
        pollfd fds[2] = { { m_listenFd, POLLIN, 0 }, { m_wake[0], POLLIN, 0 } };
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents)
            break;
        if (fds[0].revents & POLLIN)
            Accept();
    }
    close(m_listenFd);
    m_listenFd = -1;
    // Remove the socket only when it is still the one bound here.
    struct stat now { };
    if (lstat(m_socketPath.c_str(), &now) == 0 && now.st_ino == bound.st_ino && now.st_dev == bound.st_dev)
        unlink(m_socketPath.c_str());
    DropClients();
}

void RapiServer::RequestStop() noexcept
{
    char byte = 1;
    if (m_wake[1] >= 0)
        (void)!write(m_wake[1], &byte, 1);
}

void RapiServer::Accept()
{
    int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    struct ucred peer { };
    socklen_t len = sizeof peer;
    if (!m_admitting || getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0 || peer.uid != geteuid()) {
        close(fd);
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ReapFinished();
    if (!HasRoomFor(peer.pid)) {
        RefuseBusy(fd);
        return;
    }
    Client& c = m_clients.emplace_back();
    c.fd = fd;
    c.peer = peer.pid;
    c.thread = std::thread([this, &c] {
        ServeConnection(c.fd, m_services, m_idleTimeout);
        // The peer sees the end now; the descriptor itself is closed when
        // the thread is reaped, so DropClients never touches a reused number.
        shutdown(c.fd, SHUT_RDWR);
        c.done = true;
    });
}

bool RapiServer::HasRoomFor(pid_t peer) const
{
    if (m_clients.size() >= m_maxClients)
        return false;
    auto fromPeer = [peer](const Client& c) { return c.peer == peer; };
    return std::size_t(std::count_if(m_clients.begin(), m_clients.end(), fromPeer)) < kMaxClientsPerPeer;
}

void RapiServer::ReapFinished()
{
    for (auto it = m_clients.begin(); it != m_clients.end();) {
        if (it->done) {
            it->thread.join();
            close(it->fd);
            it = m_clients.erase(it);
        } else {
            ++it;
        }
    }
}

void RapiServer::DropClients()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto& c : m_clients)
        shutdown(c.fd, SHUT_RDWR);
    for (auto& c : m_clients) {
        c.thread.join();
        close(c.fd);
    }
    m_clients.clear();
}

std::size_t RapiServer::ClientCount()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ReapFinished();
    return m_clients.size();
}

} // namespace device
