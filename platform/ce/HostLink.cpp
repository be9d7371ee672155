#include "platform/ce/HostLink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace ce::link {
namespace {

void PutU32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

std::uint32_t GetU32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

// Reads exactly `size` bytes. Closed when the stream ends before the first
// byte, Malformed when it ends later.
LinkIo ReadExactly(int fd, std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::recv(fd, data + done, size - done, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return LinkIo::Failed;
        if (n == 0)
            return done == 0 ? LinkIo::Closed : LinkIo::Malformed;
        done += std::size_t(n);
    }
    return LinkIo::Ok;
}

} // namespace

void LinkWriter::U32(std::uint32_t v)
{
    std::uint8_t b[4];
    PutU32(b, v);
    m_bytes.insert(m_bytes.end(), b, b + 4);
}

void LinkWriter::Str(std::u16string_view s)
{
    if (s.size() > kMaxLinkString)
        s = s.substr(0, kMaxLinkString);
    U32(std::uint32_t(s.size()));
    for (char16_t c : s) {
        m_bytes.push_back(std::uint8_t(c));
        m_bytes.push_back(std::uint8_t(c >> 8));
    }
}

void LinkReader::U32(std::uint32_t& v)
{
    if (!m_ok || m_data.size() - m_pos < 4) {
        m_ok = false;
        return;
    }
    v = GetU32(m_data.data() + m_pos);
    m_pos += 4;
}

void LinkReader::Str(std::u16string& s)
{
    std::uint32_t count = 0;
    U32(count);
    if (!m_ok || count > kMaxLinkString || (m_data.size() - m_pos) / 2 < count) {
        m_ok = false;
        return;
    }
    std::u16string out(count, u'\0');
    for (std::uint32_t i = 0; i < count; ++i)
        out[i] = char16_t(m_data[m_pos + 2 * i] | m_data[m_pos + 2 * i + 1] << 8);
    m_pos += 2 * std::size_t(count);
    s = std::move(out);
}

void WriteProcesses(LinkWriter& w, const std::vector<LinkProcess>& processes)
{
    std::uint32_t count = std::uint32_t(std::min<std::size_t>(processes.size(), kMaxLinkProcesses));
    w.U32(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        w.U32(processes[i].id);
        w.U32(processes[i].parentId);
        w.Str(processes[i].name);
    }
}

bool ReadProcesses(LinkReader& r, std::vector<LinkProcess>* processes)
{
    std::uint32_t count = 0;
    r.U32(count);
    if (!r.ok() || count > kMaxLinkProcesses) {
        r.Fail();
        return false;
    }
    processes->clear();
    for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
        LinkProcess p;
        r.U32(p.id);
        r.U32(p.parentId);
        r.Str(p.name);
        processes->push_back(std::move(p));
    }
    return r.ok();
}

bool SendLinkFrame(int fd, LinkOp op, std::span<const std::uint8_t> payload)
{
    if (payload.size() > kMaxLinkPayload)
        return false;
    std::vector<std::uint8_t> frame(kLinkHeaderSize + payload.size());
    PutU32(frame.data(), std::uint32_t(payload.size()));
    frame[4] = std::uint8_t(std::uint16_t(op));
    frame[5] = std::uint8_t(std::uint16_t(op) >> 8);
    if (!payload.empty())
        std::memcpy(frame.data() + kLinkHeaderSize, payload.data(), payload.size());
    std::size_t done = 0;
    while (done < frame.size()) {
        ssize_t n = ::send(fd, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

LinkIo ReadLinkFrame(int fd, LinkOp* op, std::vector<std::uint8_t>* payload)
{
    std::uint8_t header[kLinkHeaderSize];
    LinkIo io = ReadExactly(fd, header, sizeof header);
    if (io != LinkIo::Ok)
        return io;
    std::uint32_t length = GetU32(header);
    std::uint16_t code = std::uint16_t(header[4] | header[5] << 8);
    std::uint16_t zero = std::uint16_t(header[6] | header[7] << 8);
    if (length > kMaxLinkPayload || code < 1 || code > std::uint16_t(LinkOp::Last) || zero != 0)
        return LinkIo::Malformed;
    payload->resize(length);
    if (length > 0) {
        io = ReadExactly(fd, payload->data(), length);
        if (io != LinkIo::Ok)
            return io == LinkIo::Closed ? LinkIo::Malformed : io;
    }
    *op = LinkOp(code);
    return LinkIo::Ok;
}

} // namespace ce::link
