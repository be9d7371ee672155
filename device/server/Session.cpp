#include "device/server/Session.h"

#include "device/server/SessionUtil.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace device {

using namespace rapi::proto;

Session::Session(const DeviceServices& services)
    : m_services(services)
{
}

Session::~Session() = default;

DWORD Session::RoomForHandle(bool file) const
{
    if (m_handles.size() >= kMaxHandles)
        return ERROR_TOO_MANY_OPEN_FILES;
    if (file) {
        auto isFile = [](const auto& h) { return std::holds_alternative<FileObject>(h.second); };
        if (std::size_t(std::count_if(m_handles.begin(), m_handles.end(), isFile)) >= kMaxOpenFiles)
            return ERROR_TOO_MANY_OPEN_FILES;
    }
    return ERROR_SUCCESS;
}

DWORD Session::AddHandle(Object object, std::uint32_t* handle)
{
    DWORD room = RoomForHandle(std::holds_alternative<FileObject>(object));
    if (room != ERROR_SUCCESS)
        return room;
    // Values never repeat within a connection (until they wrap), so a stale
    // handle is refused rather than reaching another object.
    do {
        if (++m_nextHandle >= 0x7FFFFFF0u)
            m_nextHandle = 0x100;
    } while (m_handles.count(m_nextHandle));
    *handle = m_nextHandle;
    m_handles.emplace(m_nextHandle, std::move(object));
    return ERROR_SUCCESS;
}

Status Session::Fail(DWORD error)
{
    m_lastError = error;
    return Status { 0, error };
}

Status Session::Done(std::uint32_t result)
{
    return Status { result, m_lastError };
}

bool Session::Handle(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    switch (op) {
    case Op::CreateFile:
    case Op::ReadFile:
    case Op::WriteFile:
    case Op::GetFileSize:
    case Op::SetFilePointer:
    case Op::CloseHandle:
    case Op::GetFileTime:
    case Op::SetFileTime:
    case Op::DeleteFile:
    case Op::MoveFile:
    case Op::CopyFile:
    case Op::CreateDirectory:
    case Op::RemoveDirectory:
    case Op::GetFileAttributes:
    case Op::SetFileAttributes:
        return HandleFile(op, payload, send);
    case Op::FindFirstFile:
    case Op::FindNextFile:
    case Op::FindClose:
    case Op::FindAllFiles:
        return HandleFind(op, payload, send);
    case Op::RegOpenKeyEx:
    case Op::RegCreateKeyEx:
    case Op::RegQueryValueEx:
    case Op::RegSetValueEx:
    case Op::RegEnumKeyEx:
    case Op::RegEnumValue:
    case Op::RegQueryInfoKey:
    case Op::RegDeleteValue:
    case Op::RegDeleteKey:
    case Op::RegCloseKey:
    case Op::RegWaitValue:
        return HandleRegistry(op, payload, send);
    case Op::GetLastError:
    case Op::CreateProcess:
    case Op::GetVersionEx:
    case Op::GetDeviceIdentity:
        return HandleSystem(op, payload, send);
    case Op::ProcessList:
    case Op::TerminateProcess:
    case Op::ResetDevice:
        return HandleProcess(op, payload, send);
    case Op::Hello:
        break;
    }
    return false;
}

namespace {

// True when a frame begins to arrive (or the peer closes) within `wait`;
// a negative wait has no end.
bool AwaitFrame(int fd, std::chrono::milliseconds wait)
{
    pollfd p { fd, POLLIN, 0 };
    int n;
    do {
        n = poll(&p, 1, wait.count() < 0 ? -1 : int(std::min<std::int64_t>(wait.count(), 0x7FFFFFFF)));
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

} // namespace

void ServeConnection(int fd, const DeviceServices& services, std::chrono::milliseconds idleTimeout)
{
    timeval frameTimeout { kFrameTimeout.count(), 0 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &frameTimeout, sizeof frameTimeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &frameTimeout, sizeof frameTimeout);
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    if (!AwaitFrame(fd, idleTimeout) || ReadFrame(fd, &header, &payload) != IoResult::Ok
        || header.op != Op::Hello)
        return;
    HelloMsg hello;
    if (!Decode(payload, &hello) || hello.magic != kMagic || hello.version != kVersion)
        return;
    HelloMsg answer;
    auto frame = Encode(answer);
    if (!SendAll(fd, frame.data(), frame.size()))
        return;

    Session session(services);
    Session::Sender send = [fd](std::span<const std::uint8_t> f) { return SendAll(fd, f.data(), f.size()); };
    const std::chrono::milliseconds noEnd { -1 };
    while (AwaitFrame(fd, session.HandleCount() == 0 ? idleTimeout : noEnd)
        && ReadFrameInto(fd, &header, &payload) == IoResult::Ok) {
        std::span<const std::uint8_t> body(payload.data(), header.length);
        if (header.flags != 0 || !session.Handle(header.op, body, send))
            break;
    }
}

} // namespace device
