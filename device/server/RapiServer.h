// The remote-access server of the emulated device: a Unix-domain socket in a
// folder only its user can enter, serving each client connection on its own
// thread with its own Session.
//
// Only peers of the same user are served (peer credentials). A connection
// that sends something malformed is closed; the server and the other
// connections go on.
#pragma once

#include "device/server/DeviceServices.h"

#include <atomic>
#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace device {

class RapiServer {
public:
    // At most this many connections at once; more are closed at once.
    static constexpr std::size_t kMaxClients = 64;

    explicit RapiServer(const DeviceServices& services);
    ~RapiServer(); // stops and joins everything
    RapiServer(const RapiServer&) = delete;
    RapiServer& operator=(const RapiServer&) = delete;

    // Creates the socket's folder when missing (mode 0700) and refuses one
    // that others can enter or that another user owns; refuses a path too
    // long for a socket address and a socket another live server answers
    // on; removes a stale socket file; binds and listens. False with a
    // one-line reason.
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

    // While not admitting (a device that restarts), new connections are
    // closed at once, before their first exchange. Admitting at first.
    void SetAdmitting(bool admitting) { m_admitting = admitting; }

private:
    struct Client {
        int fd = -1;
        std::thread thread;
        std::atomic<bool> done { false };
    };
    void Accept();
    void ReapFinished();

    DeviceServices m_services;
    std::filesystem::path m_socketPath;
    int m_listenFd = -1;
    int m_wake[2] = { -1, -1 };
    std::mutex m_mutex;
    std::list<Client> m_clients;
    std::atomic<bool> m_admitting { true };
};

} // namespace device
