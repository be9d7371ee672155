// One client connection of the remote-access server: its handles (open
// files, searches, registry keys) and its last error. A request is decoded
// completely, every count and length checked, before anything is touched;
// a request that does not decode ends the connection.
//
// A Session is used by its connection's thread only. Destroying it closes
// every handle it still holds.
#pragma once

#include "device/server/DeviceServices.h"
#include "platform/rapi/Protocol.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <variant>
#include <vector>

namespace device {

class Session {
public:
    // Sends one reply frame; false when the connection is gone.
    using Sender = std::function<bool(std::span<const std::uint8_t> frame)>;

    // At most this many handles per connection, and of them at most
    // kMaxOpenFiles open files (each holds one of the host's descriptors, so
    // that no connection can use up the host's). Beyond, opening fails with
    // ERROR_TOO_MANY_OPEN_FILES before anything is created or truncated.
    static constexpr std::size_t kMaxHandles = 1024;
    static constexpr std::size_t kMaxOpenFiles = 64;

    explicit Session(const DeviceServices& services);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Handles one request (not Hello). False when the payload is malformed
    // or a reply could not be sent: the connection must then close.
    bool Handle(rapi::proto::Op op, std::span<const std::uint8_t> payload, const Sender& send);

    std::size_t HandleCount() const { return m_handles.size(); }
    DWORD LastError() const { return m_lastError; }

private:
    struct FileObject {
        std::unique_ptr<store::File> file;
    };
    struct FindObject {
        std::vector<store::FindEntry> entries;
        std::size_t next = 0;
    };
    struct KeyObject {
        reg::Root root = 0;
        std::u16string path;
    };
    using Object = std::variant<FileObject, FindObject, KeyObject>;

    // ERROR_SUCCESS when one more handle (an open file when `file`) fits in
    // the limits, else ERROR_TOO_MANY_OPEN_FILES.
    DWORD RoomForHandle(bool file) const;
    DWORD AddHandle(Object object, std::uint32_t* handle);
    template <typename T> T* Find(std::uint32_t handle);
    // The root and path a key handle (or a root key) stands for.
    bool KeyOf(std::uint32_t key, reg::Root* root, std::u16string* path);
    DWORD KeyResult(reg::Result result, reg::Root root, const std::u16string& path);
    template <typename Reply>
    Reply OpenKey(std::uint32_t key, const std::u16string& subKey, bool create, Reply reply);
    rapi::proto::Status Fail(DWORD error);
    rapi::proto::Status Done(std::uint32_t result = TRUE);

    bool ReadFile(std::span<const std::uint8_t> payload, const Sender& send);
    bool WriteFile(std::span<const std::uint8_t> payload, const Sender& send);
    bool HandleFile(rapi::proto::Op op, std::span<const std::uint8_t> payload, const Sender& send);
    bool HandleFind(rapi::proto::Op op, std::span<const std::uint8_t> payload, const Sender& send);
    bool HandleRegistry(rapi::proto::Op op, std::span<const std::uint8_t> payload, const Sender& send);
    bool HandleSystem(rapi::proto::Op op, std::span<const std::uint8_t> payload, const Sender& send);
    bool HandleProcess(rapi::proto::Op op, std::span<const std::uint8_t> payload, const Sender& send);

    DeviceServices m_services;
    std::map<std::uint32_t, Object> m_handles;
    std::uint32_t m_nextHandle = 0x100;
    DWORD m_lastError = ERROR_SUCCESS;
    std::vector<std::uint8_t> m_io; // the frame of a file read, reused
};

template <typename T> T* Session::Find(std::uint32_t handle)
{
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : std::get_if<T>(&it->second);
}

// Serves one accepted connection: the Hello exchange, then requests until
// the peer closes, sends something malformed, or the socket fails. A
// connection that holds no handle is closed once it has been idle for
// `idleTimeout` (before its Hello too); one that holds handles may wait as
// long as it likes between requests. A frame once begun must go on arriving,
// and a reply must be taken, within kFrameTimeout.
inline constexpr std::chrono::seconds kFrameTimeout { 30 };
void ServeConnection(int fd, const DeviceServices& services, std::chrono::milliseconds idleTimeout);

} // namespace device
