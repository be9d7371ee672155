// The link between a device program and the device host: the services only
// the host can give (the process table, starting and ending processes,
// restarting the device), asked over a connected Unix stream socket that the
// host creates for each program it starts (one end stays in the host, the
// other is the program's QUORVANE_CE_HOST_FD). Only programs the host started
// hold such a socket, so the link needs no other admission.
//
// Framing: each message is one frame, an 8-byte header and its payload, all
// integers little-endian:
//   u32 payload length (at most kMaxLinkPayload)
//   u16 operation (LinkOp)
//   u16 zero
// The program sends one request and reads its reply (same LinkOp) before the
// next. Every reply starts with u32 error (a Win32 code, 0 on success).
//
//   Snapshot          request: -                    reply: error, u32 count, count x entry
//                     entry: u32 id, u32 parent id, string name
//   OpenProcess       request: u32 id               reply: error
//   TerminateProcess  request: u32 id               reply: error
//   CreateProcess     request: string image, string command line
//                                                   reply: error, u32 process id, u32 thread id
//   Reboot            request: u32 clean (0 or 1)   reply: error - sent only when the device
//                                                   cannot restart; otherwise the program ends
//                                                   with every other device process
// string: u32 count of UTF-16 units (at most kMaxLinkString), then the units.
// A frame that does not decode exactly (short, long, unknown op, a count
// above its limit) ends the link: the host closes it.
//
// Pure functions and single-descriptor I/O; safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ce::link {

inline constexpr std::size_t kLinkHeaderSize = 8;
inline constexpr std::uint32_t kMaxLinkPayload = 1u << 20;
inline constexpr std::uint32_t kMaxLinkString = 32767;
inline constexpr std::uint32_t kMaxLinkProcesses = 4096;

enum class LinkOp : std::uint16_t {
    Snapshot = 1,
    OpenProcess,
    TerminateProcess,
    CreateProcess,
    Reboot,
    Last = Reboot,
};

struct LinkProcess {
    DWORD id = 0;
    DWORD parentId = 0;
    std::u16string name;
};

// Builds a payload.
class LinkWriter {
public:
    void U32(std::uint32_t v);
    void Str(std::u16string_view s);
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Reads a payload; after the first failure every read fails and leaves its
// target unchanged.
class LinkReader {
public:
    explicit LinkReader(std::span<const std::uint8_t> payload)
        : m_data(payload)
    {
    }
    void U32(std::uint32_t& v);
    void Str(std::u16string& s);
    bool ok() const { return m_ok; }
    // True when every byte was read and nothing failed.
    bool Done() const { return m_ok && m_pos == m_data.size(); }
    void Fail() { m_ok = false; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// Encodes and decodes the process list of a Snapshot reply (after its error).
void WriteProcesses(LinkWriter& w, const std::vector<LinkProcess>& processes);
bool ReadProcesses(LinkReader& r, std::vector<LinkProcess>* processes);

enum class LinkIo {
    Ok,
    Closed, // the peer closed before a frame began
    Malformed, // a bad header, or the stream ended inside a frame
    Failed, // a socket error
};

// Sends one frame whole (retrying short writes and EINTR, never raising
// SIGPIPE). False on any error.
bool SendLinkFrame(int fd, LinkOp op, std::span<const std::uint8_t> payload);

// Reads one frame: header and exactly its payload.
LinkIo ReadLinkFrame(int fd, LinkOp* op, std::vector<std::uint8_t>* payload);

} // namespace ce::link
