// The remote-access server of the emulated device: a Unix-domain socket in a
// folder only its user can enter, serving each client connection on its own
// thread with its own Session.
//
// Only peers of the same user are served (peer credentials). A connection
// that sends something malformed is closed; the server and the other
// connections go on.
//
// No one peer can shut the others out: a connection that holds no handle
// is closed after the idle time-out, one process (peer) has at most
// kMaxClientsPerPeer connections, each connection a limited number of
// handles (Session), and the connections together never need more file
// descriptors than the process may have. A connection beyond the limits is
// told that the device is busy (a Hello answer with ERROR_BUSY), not left
// to think that no device answers.
#pragma once

#include "device/server/DeviceServices.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

namespace device {

// The idle time-out in milliseconds, when set (for tests); else
// RapiServer::kDefaultIdleTimeout.
inline constexpr const char* kEnvIdleTimeout = "QUORVANE_DEVICE_IDLE_MS";

class RapiServer {
public:
    // At most this many connections at once (fewer when the process may not
    // have the descriptors they could need), and from one process at most
    // kMaxClientsPerPeer.
    static constexpr std::size_t kMaxClients = 64;
    static constexpr std::size_t kMaxClientsPerPeer = 16;
    static constexpr std::chrono::milliseconds kDefaultIdleTimeout { 300000 };

    explicit RapiServer(const DeviceServices& services);
    ~RapiServer(); // stops and joins everything
    RapiServer(const RapiServer&) = delete;
    RapiServer& operator=(const RapiServer&) = delete;

    // Creates the socket's folder when missing (mode 0700) and refuses one
    // that others can enter or that another user owns; refuses a path too
    // long for a socket address and a socket another live server answers
    // on; removes a stale socket file; binds and listens. Raises the
    // process's limit on descriptors as far as the connections need it.
    // False with a one-line reason.
    bool Listen(const std::filesystem::path& socketPath, std::string* error);

    // Accepts and serves connections until RequestStop(); then closes every
    // connection, joins their threads and removes the socket file.
    void Run();

    // Makes Run() return. Async-signal-safe: may be called from a signal handler.
    void RequestStop() noexcept;

    // Closes every client connection now (their handles are closed); the
    // server keeps listening.
    void DropClients();

    std::size_t ClientCount();

    // How long a connection that holds no handle may stay idle (set before
    // Run; kDefaultIdleTimeout at first).
    void SetIdleTimeout(std::chrono::milliseconds timeout) { m_idleTimeout = timeout; }

    // While not admitting (a device that restarts), new connections are
    // closed at once, before their first exchange. Admitting at first.
    void SetAdmitting(bool admitting) { m_admitting = admitting; }

private:
    struct Client {
        int fd = -1;
        pid_t peer = 0;
        std::thread thread;
        std::atomic<bool> done { false };
    };
    void Accept();
    void ReapFinished();
    // True when a connection from `peer` is within the limits.
    bool HasRoomFor(pid_t peer) const;

    DeviceServices m_services;
    std::filesystem::path m_socketPath;
    int m_listenFd = -1;
    int m_wake[2] = { -1, -1 };
    std::mutex m_mutex;
    std::list<Client> m_clients;
    std::size_t m_maxClients = kMaxClients;
    std::chrono::milliseconds m_idleTimeout = kDefaultIdleTimeout;
    std::atomic<bool> m_admitting { true };
};

} // namespace device
