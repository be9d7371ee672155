#include "platform/rapi/Protocol.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace rapi::proto {
namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

std::uint64_t GetLe(const std::uint8_t* p, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint64_t(p[i]) << (8 * i);
    return v;
}

} // namespace

IoResult ReceiveExact(int fd, void* buffer, std::size_t size)
{
    auto* data = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::recv(fd, data + done, size - done, 0);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n == 0)
            return done == 0 ? IoResult::Closed : IoResult::Malformed;
        if (errno == EINTR)
            continue;
        return IoResult::Failed;
    }
    return IoResult::Ok;
}

bool DecodeHeader(const std::uint8_t* bytes, FrameHeader* header)
{
    std::uint32_t length = std::uint32_t(GetLe(bytes, 4));
    std::uint16_t op = std::uint16_t(GetLe(bytes + 4, 2));
    std::uint16_t flags = std::uint16_t(GetLe(bytes + 6, 2));
    if (length > kMaxPayload || op < std::uint16_t(Op::Hello) || op > std::uint16_t(Op::Last)
        || (flags & ~kFlagMore) != 0)
        return false;
    header->length = length;
    header->op = Op(op);
    header->flags = flags;
    return true;
}

Writer::Writer(Op op, std::uint16_t flags)
{
    m_frame.reserve(64);
    PutLe(m_frame, 0, 4);
    PutLe(m_frame, std::uint16_t(op), 2);
    PutLe(m_frame, flags, 2);
}

void Writer::U8(std::uint8_t v)
{
    m_frame.push_back(v);
}
void Writer::U16(std::uint16_t v)
{
    PutLe(m_frame, v, 2);
}
void Writer::U32(std::uint32_t v)
{
    PutLe(m_frame, v, 4);
}
void Writer::U64(std::uint64_t v)
{
    PutLe(m_frame, v, 8);
}

void Writer::Str(const std::u16string& s)
{
    U32(std::uint32_t(s.size()));
    std::size_t at = m_frame.size();
    m_frame.resize(at + 2 * s.size());
    for (char16_t c : s) {
        m_frame[at++] = std::uint8_t(c);
        m_frame[at++] = std::uint8_t(c >> 8);
    }
}

void Writer::Bytes(const std::vector<std::uint8_t>& b)
{
    U32(std::uint32_t(b.size()));
    Raw(b.data(), b.size());
}

void Writer::Raw(const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_frame.insert(m_frame.end(), p, p + size);
}

std::vector<std::uint8_t>& Writer::Finish()
{
    std::uint32_t length = std::uint32_t(m_frame.size() - kHeaderSize);
    for (int i = 0; i < 4; ++i)
        m_frame[i] = std::uint8_t(length >> (8 * i));
    return m_frame;
}

bool Reader::Take(std::size_t n, const std::uint8_t** p)
{
    if (!m_ok || m_data.size() - m_pos < n) {
        m_ok = false;
        return false;
    }
    *p = m_data.data() + m_pos;
    m_pos += n;
    return true;
}

void Reader::U8(std::uint8_t& v)
{
    const std::uint8_t* p;
    if (Take(1, &p))
        v = *p;
}

void Reader::U16(std::uint16_t& v)
{
    const std::uint8_t* p;
    if (Take(2, &p))
        v = std::uint16_t(GetLe(p, 2));
}

void Reader::U32(std::uint32_t& v)
{
    const std::uint8_t* p;
    if (Take(4, &p))
        v = std::uint32_t(GetLe(p, 4));
}

void Reader::U64(std::uint64_t& v)
{
    const std::uint8_t* p;
    if (Take(8, &p))
        v = GetLe(p, 8);
}

void Reader::Str(std::u16string& s)
{
    std::uint32_t count = 0;
    U32(count);
    const std::uint8_t* p;
    if (!m_ok)
        return;
    if (count > kMaxString) {
        m_ok = false;
        return;
    }
    if (!Take(std::size_t(count) * 2, &p))
        return;
    s.resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
        s[i] = char16_t(p[2 * i] | (p[2 * i + 1] << 8));
}

void Reader::View(std::span<const std::uint8_t>& b)
{
    std::uint32_t count = 0;
    U32(count);
    const std::uint8_t* p;
    if (!m_ok)
        return;
    if (count > kMaxBytes) {
        m_ok = false;
        return;
    }
    if (Take(count, &p))
        b = std::span<const std::uint8_t>(p, count);
}

void Reader::Bytes(std::vector<std::uint8_t>& b)
{
    std::uint32_t count = 0;
    U32(count);
    const std::uint8_t* p;
    if (!m_ok)
        return;
    if (count > kMaxBytes) {
        m_ok = false;
        return;
    }
    if (!Take(count, &p))
        return;
    b.assign(p, p + count);
}

bool SendAll(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool SendParts(int fd, const void* first, std::size_t firstSize, const void* second, std::size_t secondSize)
{
    iovec parts[2] = { { const_cast<void*>(first), firstSize }, { const_cast<void*>(second), secondSize } };
    iovec* at = parts;
    int count = secondSize > 0 ? 2 : 1;
    while (count > 0) {
        msghdr msg {};
        msg.msg_iov = at;
        msg.msg_iovlen = std::size_t(count);
        ssize_t n = ::sendmsg(fd, &msg, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        std::size_t done = std::size_t(n);
        while (count > 0 && done >= at->iov_len) {
            done -= at->iov_len;
            ++at;
            --count;
        }
        if (count > 0) {
            at->iov_base = static_cast<char*>(at->iov_base) + done;
            at->iov_len -= done;
        }
    }
    return true;
}

void PutU32(std::uint8_t* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* at)
{
    return std::uint32_t(GetLe(at, 4));
}

void PutHeader(std::uint8_t* at, std::uint32_t length, Op op, std::uint16_t flags)
{
    PutU32(at, length);
    at[4] = std::uint8_t(std::uint16_t(op));
    at[5] = std::uint8_t(std::uint16_t(op) >> 8);
    at[6] = std::uint8_t(flags);
    at[7] = std::uint8_t(flags >> 8);
}

IoResult ReadFrameInto(int fd, FrameHeader* header, std::vector<std::uint8_t>* buffer)
{
    std::uint8_t head[kHeaderSize];
    IoResult r = ReceiveExact(fd, head, sizeof head);
    if (r != IoResult::Ok)
        return r;
    if (!DecodeHeader(head, header))
        return IoResult::Malformed;
    if (buffer->size() < header->length)
        buffer->resize(header->length);
    if (header->length == 0)
        return IoResult::Ok;
    r = ReceiveExact(fd, buffer->data(), header->length);
    return r == IoResult::Closed ? IoResult::Malformed : r;
}

IoResult ReadFrame(int fd, FrameHeader* header, std::vector<std::uint8_t>* payload)
{
    std::uint8_t head[kHeaderSize];
    IoResult r = ReceiveExact(fd, head, sizeof head);
    if (r != IoResult::Ok)
        return r;
    if (!DecodeHeader(head, header))
        return IoResult::Malformed;
    payload->resize(header->length);
    if (header->length == 0)
        return IoResult::Ok;
    r = ReceiveExact(fd, payload->data(), header->length);
    return r == IoResult::Closed ? IoResult::Malformed : r;
}

} // namespace rapi::proto
