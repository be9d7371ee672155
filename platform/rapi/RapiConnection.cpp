#include "platform/rapi/RapiImpl.h"

#include "exchange/Home.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace rapi::proto;

namespace {

// The handshake must not hang on a device host that accepted but never answers.
constexpr int kHelloTimeoutSeconds = 5;

thread_local const void* t_connection = nullptr;
thread_local DWORD t_lastError = ERROR_SUCCESS;

void SetTimeout(int fd, int seconds)
{
    timeval tv {};
    tv.tv_sec = seconds;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

} // namespace

RapiConnection::Impl::~Impl()
{
    Close();
    if (event >= 0)
        close(event);
}

HRESULT RapiConnection::Impl::Connect()
{
    Close();
    std::filesystem::path path = socketPath.empty() ? home::DeviceSocketPath() : socketPath;
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof addr.sun_path)
        return RAPI_E_NOT_CONNECTED;
    std::memcpy(addr.sun_path, path.c_str(), path.native().size() + 1);
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return RAPI_E_NOT_CONNECTED;
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        Close();
        return RAPI_E_NOT_CONNECTED;
    }
    SetTimeout(fd, kHelloTimeoutSeconds);
    HelloMsg hello;
    auto frame = Encode(hello);
    FrameHeader header;
    std::vector<std::uint8_t> payload;
    HelloMsg answer;
    // A device that refuses may have closed before the greeting arrived:
    // its answer waits to be read all the same.
    bool greeted = SendAll(fd, frame.data(), frame.size());
    bool answered = ReadFrame(fd, &header, &payload) == IoResult::Ok && header.op == Op::Hello
        && Decode(payload, &answer) && answer.magic == kMagic;
    if (answered && answer.refusal == ERROR_BUSY) {
        Close();
        return RAPI_E_DEVICE_BUSY;
    }
    if (!greeted || !answered || answer.refusal != 0 || answer.version != kVersion) {
        Close();
        return RAPI_E_NOT_CONNECTED;
    }
    SetTimeout(fd, 0);
    state = State::Connected;
    transportError = S_OK;
    return S_OK;
}

void RapiConnection::Impl::Close()
{
    if (fd >= 0)
        close(fd);
    fd = -1;
    readAhead.clear();
}

void RapiConnection::Impl::Break()
{
    Close();
    state = State::Broken;
    transportError = RAPI_E_CONNECTION_LOST;
}

bool RapiConnection::Impl::Usable()
{
    if (state == State::Connected)
        return true;
    if (state == State::Idle)
        transportError = RAPI_E_NOT_CONNECTED;
    return false;
}

void RapiConnection::Impl::Record(DWORD error)
{
    lastError = error;
    t_connection = this;
    t_lastError = error;
}

DWORD RapiConnection::Impl::LastError()
{
    if (t_connection == this)
        return t_lastError;
    std::lock_guard<std::mutex> lock(mutex);
    return lastError;
}

bool RapiConnection::Impl::SendRequest(const std::vector<std::uint8_t>& frame)
{
    if (SendAll(fd, frame.data(), frame.size()))
        return true;
    Break();
    return false;
}

bool RapiConnection::Impl::ReadReply(Op op, std::vector<std::uint8_t>* payload, bool* more)
{
    FrameHeader header;
    if (ReadFrame(fd, &header, payload) != IoResult::Ok || header.op != op) {
        Break();
        return false;
    }
    *more = header.flags & kFlagMore;
    return true;
}

bool RapiConnection::Impl::Read(
    std::uint32_t handle, std::uint8_t* data, std::uint32_t count, std::uint32_t* done)
{
    *done = 0;
    ReadFileRequest request;
    request.handle = handle;
    request.count = count;
    if (!Usable() || !SendRequest(Encode(request)))
        return false;
    // Header, status and the data's count; then the data itself.
    std::uint8_t prefix[kHeaderSize + 12];
    FrameHeader header;
    if (ReceiveExact(fd, prefix, sizeof prefix) != IoResult::Ok || !DecodeHeader(prefix, &header)
        || header.op != Op::ReadFile || header.flags != 0) {
        Break();
        return false;
    }
    std::uint32_t result = GetU32(prefix + kHeaderSize);
    std::uint32_t error = GetU32(prefix + kHeaderSize + 4);
    std::uint32_t size = GetU32(prefix + kHeaderSize + 8);
    if (size > count || header.length != 12 + size || ReceiveExact(fd, data, size) != IoResult::Ok) {
        Break(); // not the reply that was asked for
        return false;
    }
    Record(error);
    *done = size;
    return result != 0;
}

bool RapiConnection::Impl::Write(
    std::uint32_t handle, const std::uint8_t* data, std::uint32_t count, std::uint32_t* done)
{
    *done = 0;
    if (!Usable())
        return false;
    std::uint8_t prefix[kHeaderSize + 8];
    PutHeader(prefix, 8 + count, Op::WriteFile);
    PutU32(prefix + kHeaderSize, handle);
    PutU32(prefix + kHeaderSize + 4, count);
    if (!SendParts(fd, prefix, sizeof prefix, data, count)) {
        Break();
        return false;
    }
    std::vector<std::uint8_t> payload;
    bool more = false;
    WriteFileReply reply;
    if (!ReadReply(Op::WriteFile, &payload, &more) || more || !Decode(payload, &reply)) {
        Break();
        return false;
    }
    Record(reply.status.lastError);
    *done = reply.written;
    return reply.status.result != 0;
}

void CopyText(const std::u16string& text, WCHAR* buffer, std::size_t capacity)
{
    if (!buffer || capacity == 0)
        return;
    std::size_t n = std::min(text.size(), capacity - 1);
    std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
}

std::u16string TextOf(LPCWSTR text)
{
    return text ? std::u16string(text) : std::u16string();
}

RapiConnection::RapiConnection()
    : m_impl(std::make_unique<Impl>())
{
}

RapiConnection::~RapiConnection() = default;

void RapiConnection::SetSocketPath(const std::filesystem::path& path)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->socketPath = path;
}

std::filesystem::path RapiConnection::SocketPath() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->socketPath.empty() ? home::DeviceSocketPath() : m_impl->socketPath;
}

HRESULT RapiConnection::CeRapiInitEx(RAPIINIT* init)
{
    if (!init || init->cbSize != sizeof(RAPIINIT))
        return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (m_impl->event >= 0)
        close(m_impl->event);
    m_impl->event = eventfd(0, EFD_CLOEXEC);
    HRESULT result = m_impl->Connect();
    if (result != S_OK) {
        m_impl->state = Impl::State::Broken;
        m_impl->transportError = result;
    }
    init->hrRapiInit = result;
    init->heRapiInit = m_impl->event;
    if (m_impl->event >= 0) {
        std::uint64_t one = 1;
        (void)!write(m_impl->event, &one, sizeof one);
    }
    return S_OK;
}

HRESULT RapiConnection::CeRapiInit()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    HRESULT result = m_impl->Connect();
    if (result != S_OK) {
        m_impl->state = Impl::State::Broken;
        m_impl->transportError = result;
    }
    return result;
}

HRESULT RapiConnection::CeRapiUninit()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->Close();
    if (m_impl->event >= 0)
        close(m_impl->event);
    m_impl->event = -1;
    m_impl->state = Impl::State::Idle;
    m_impl->transportError = S_OK;
    return S_OK;
}

HRESULT RapiConnection::CeRapiGetError()
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->transportError;
}

DWORD RapiConnection::CeGetLastError()
{
    return m_impl->LastError();
}

DWORD CeRapiWaitForInit(std::int32_t event, DWORD milliseconds)
{
    if (event < 0)
        return WAIT_TIMEOUT;
    pollfd p { event, POLLIN, 0 };
    int timeout = milliseconds > 0x7FFFFFFF ? -1 : int(milliseconds);
    for (;;) {
        int n = poll(&p, 1, timeout);
        if (n > 0)
            return WAIT_OBJECT_0;
        if (n == 0 || errno != EINTR)
            return WAIT_TIMEOUT;
    }
}
