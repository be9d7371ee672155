// The remote-access protocol between the desktop's client (qv_rapi) and the
// device host (cedevice), over a Unix-domain stream socket.
//
// Framing: every message is one frame, an 8-byte header followed by its
// payload. All integers are little-endian.
//
//   u32 payload length (at most kMaxPayload)
//   u16 operation (Op)
//   u16 flags (kFlagMore on every reply frame but the last of a reply that
//       comes in parts; 0 otherwise)
//
// Field encodings inside a payload:
//   u8/u16/u32/u64  fixed-size little-endian integers
//   string          u32 count of UTF-16 units (at most kMaxString), then the
//                   units, 2 bytes each, no terminator
//   bytes           u32 count (at most kMaxBytes), then the bytes
//   list            u32 count (at most the list's limit), then the items
//
// A conversation starts with Hello from the client; the server answers Hello
// with its own version, or closes the connection when it cannot speak the
// client's. A server that cannot take the connection now answers Hello with
// a `refusal` (ERROR_BUSY: it serves as many connections as it can) and
// closes; a client reads that answer even when its own Hello could no
// longer be sent. Then the client sends one request at a time and reads its reply:
// the same Op; every reply payload starts with u32 result and u32 last error
// (the device's Win32 error after the operation, 0 when it succeeded).
// A payload must be exactly as long as its fields: a frame that is too long,
// too short, carries an unknown Op, or a count above its limit is malformed,
// and the receiver closes the connection.
//
// Each message is a struct whose Fields(io) lists its fields in wire order;
// the same list drives Encode and Decode below.
//
// Everything here is pure or works on one descriptor; safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace rapi::proto {

inline constexpr std::uint32_t kMagic = 0x41525651u; // "QVRA"
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::uint16_t kFlagMore = 1;

// One read or write request moves at most kMaxIoChunk bytes; the client
// splits larger calls.
inline constexpr std::uint32_t kMaxIoChunk = 1u << 20;
// A registry value's data travels in frames of at most this many bytes: a
// value set in one request, a value read in a reply followed by parts.
inline constexpr std::uint32_t kMaxValueData = 1u << 20;
inline constexpr std::uint32_t kMaxBytes = kMaxIoChunk;
inline constexpr std::uint32_t kMaxString = 32767;
inline constexpr std::uint32_t kMaxPayload = kMaxBytes + 4 * kMaxString + 4096;
// A CeFindAllFiles reply frame carries at most this many records.
inline constexpr std::uint32_t kFindRecordsPerFrame = 1024;

enum class Op : std::uint16_t {
    Hello = 1,
    GetLastError,
    CreateFile,
    ReadFile,
    WriteFile,
    GetFileSize,
    SetFilePointer,
    CloseHandle,
    GetFileTime,
    SetFileTime,
    DeleteFile,
    MoveFile,
    CopyFile,
    CreateDirectory,
    RemoveDirectory,
    GetFileAttributes,
    SetFileAttributes,
    FindFirstFile,
    FindNextFile,
    FindClose,
    FindAllFiles,
    CreateProcess,
    GetVersionEx,
    GetDeviceIdentity,
    RegOpenKeyEx,
    RegCreateKeyEx,
    RegQueryValueEx,
    RegSetValueEx,
    RegEnumKeyEx,
    RegEnumValue,
    RegQueryInfoKey,
    RegDeleteValue,
    RegDeleteKey,
    RegCloseKey,
    // Device tools beyond the platform's remote API (quorvane-cli's ps, kill
    // and reset): the process table, ending a process, restarting the device.
    ProcessList,
    TerminateProcess,
    ResetDevice,
    // Waiting on the device for a registry value to change (the desktop's
    // wait for the agent wakes at once instead of at its next poll).
    RegWaitValue,
    Last = RegWaitValue,
};

struct FrameHeader {
    std::uint32_t length = 0;
    Op op = Op::Hello;
    std::uint16_t flags = 0;
};

// Reads a header from kHeaderSize bytes. False when the length is above
// kMaxPayload, the Op unknown or unused flags are set.
bool DecodeHeader(const std::uint8_t* bytes, FrameHeader* header);

// Appends fields to a growing frame.
class Writer {
public:
    explicit Writer(Op op, std::uint16_t flags = 0);
    void U8(std::uint8_t v);
    void U16(std::uint16_t v);
    void U32(std::uint32_t v);
    void U64(std::uint64_t v);
    void Str(const std::u16string& s);
    void Bytes(const std::vector<std::uint8_t>& b);
    void Raw(const void* data, std::size_t size);
    template <typename T> void List(std::vector<T>& items, std::uint32_t /*max*/)
    {
        U32(std::uint32_t(items.size()));
        for (auto& item : items)
            item.Fields(*this);
    }
    // The frame with its header filled in.
    std::vector<std::uint8_t>& Finish();

private:
    std::vector<std::uint8_t> m_frame;
};

// Reads fields from a payload; after the first failure every read fails and
// leaves its target unchanged.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> payload)
        : m_data(payload)
    {
    }
    void U8(std::uint8_t& v);
    void U16(std::uint16_t& v);
    void U32(std::uint32_t& v);
    void U64(std::uint64_t& v);
    void Str(std::u16string& s);
    void Bytes(std::vector<std::uint8_t>& b);
    // Bytes as a view into the payload, without copying them.
    void View(std::span<const std::uint8_t>& b);
    // A u32 count (at most `max`) and that many items.
    template <typename T> void List(std::vector<T>& items, std::uint32_t max)
    {
        std::uint32_t count = 0;
        U32(count);
        if (!m_ok || count > max || count > m_data.size() - m_pos) {
            m_ok = false;
            return;
        }
        items.resize(count);
        for (auto& item : items)
            item.Fields(*this);
    }
    bool ok() const { return m_ok; }
    bool AtEnd() const { return m_pos == m_data.size(); }

private:
    bool Take(std::size_t n, const std::uint8_t** p);
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

template <typename Msg> std::vector<std::uint8_t> Encode(Msg& msg, std::uint16_t flags = 0)
{
    Writer w(Msg::kOp, flags);
    msg.Fields(w);
    return std::move(w.Finish());
}

// True when the payload holds exactly the message's fields.
template <typename Msg> bool Decode(std::span<const std::uint8_t> payload, Msg* msg)
{
    Reader r(payload);
    msg->Fields(r);
    return r.ok() && r.AtEnd();
}

// ---- Messages ---------------------------------------------------------------

// Every reply starts with these two fields.
struct Status {
    std::uint32_t result = 0;
    std::uint32_t lastError = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(result);
        io.U32(lastError);
    }
};

struct HelloMsg {
    static constexpr Op kOp = Op::Hello;
    std::uint32_t magic = kMagic;
    std::uint16_t version = kVersion;
    std::uint16_t refusal = 0; // the server's: 0, or the Win32 error why it refuses
    template <typename IO> void Fields(IO& io)
    {
        io.U32(magic);
        io.U16(version);
        io.U16(refusal);
    }
};

// Requests that carry nothing but a handle, and replies that carry nothing but
// their Status, share these shapes.
template <Op O> struct HandleRequest {
    static constexpr Op kOp = O;
    std::uint32_t handle = 0;
    template <typename IO> void Fields(IO& io) { io.U32(handle); }
};
template <Op O> struct PathRequest {
    static constexpr Op kOp = O;
    std::u16string path;
    template <typename IO> void Fields(IO& io) { io.Str(path); }
};
template <Op O> struct EmptyRequest {
    static constexpr Op kOp = O;
    template <typename IO> void Fields(IO&) { }
};
template <Op O> struct StatusReply {
    static constexpr Op kOp = O;
    Status status;
    template <typename IO> void Fields(IO& io) { status.Fields(io); }
};

struct CreateFileRequest {
    static constexpr Op kOp = Op::CreateFile;
    std::u16string path;
    std::uint32_t access = 0, share = 0, disposition = 0, flagsAndAttributes = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.Str(path);
        io.U32(access);
        io.U32(share);
        io.U32(disposition);
        io.U32(flagsAndAttributes);
    }
};

struct ReadFileRequest {
    static constexpr Op kOp = Op::ReadFile;
    std::uint32_t handle = 0, count = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(handle);
        io.U32(count);
    }
};
struct ReadFileReply {
    static constexpr Op kOp = Op::ReadFile;
    Status status;
    std::vector<std::uint8_t> data;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.Bytes(data);
    }
};

struct WriteFileRequest {
    static constexpr Op kOp = Op::WriteFile;
    std::uint32_t handle = 0;
    std::vector<std::uint8_t> data;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(handle);
        io.Bytes(data);
    }
};
struct WriteFileReply {
    static constexpr Op kOp = Op::WriteFile;
    Status status;
    std::uint32_t written = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(written);
    }
};

// result: low 32 bits of the size (INVALID_FILE_SIZE with last error on failure).
struct GetFileSizeReply {
    static constexpr Op kOp = Op::GetFileSize;
    Status status;
    std::uint32_t high = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(high);
    }
};

struct SetFilePointerRequest {
    static constexpr Op kOp = Op::SetFilePointer;
    std::uint32_t handle = 0;
    std::uint64_t distance = 0; // two's complement of the signed distance
    std::uint32_t method = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(handle);
        io.U64(distance);
        io.U32(method);
    }
};
struct SetFilePointerReply {
    static constexpr Op kOp = Op::SetFilePointer;
    Status status;
    std::uint64_t position = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U64(position);
    }
};

// Times are FILETIME values; bit 0/1/2 of `present` says which of creation,
// access and write time is given (or wanted).
struct FileTimeMsg {
    static constexpr Op kOp = Op::SetFileTime;
    std::uint32_t handle = 0;
    std::uint8_t present = 0;
    std::uint64_t creation = 0, access = 0, write = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(handle);
        io.U8(present);
        io.U64(creation);
        io.U64(access);
        io.U64(write);
    }
};
struct GetFileTimeReply {
    static constexpr Op kOp = Op::GetFileTime;
    Status status;
    std::uint64_t creation = 0, access = 0, write = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U64(creation);
        io.U64(access);
        io.U64(write);
    }
};

struct MoveFileRequest {
    static constexpr Op kOp = Op::MoveFile;
    std::u16string from, to;
    template <typename IO> void Fields(IO& io)
    {
        io.Str(from);
        io.Str(to);
    }
};

struct CopyFileRequest {
    static constexpr Op kOp = Op::CopyFile;
    std::u16string from, to;
    std::uint32_t failIfExists = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.Str(from);
        io.Str(to);
        io.U32(failIfExists);
    }
};

struct SetFileAttributesRequest {
    static constexpr Op kOp = Op::SetFileAttributes;
    std::u16string path;
    std::uint32_t attributes = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.Str(path);
        io.U32(attributes);
    }
};

// One directory entry; fields not asked for are zero.
struct FindRecord {
    std::uint32_t attributes = 0;
    std::uint64_t creation = 0, access = 0, write = 0;
    std::uint32_t sizeHigh = 0, sizeLow = 0, oid = 0;
    std::u16string name;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(attributes);
        io.U64(creation);
        io.U64(access);
        io.U64(write);
        io.U32(sizeHigh);
        io.U32(sizeLow);
        io.U32(oid);
        io.Str(name);
    }
};

// FindFirstFile (result: the handle) and FindNextFile (result: BOOL).
template <Op O> struct FindReply {
    static constexpr Op kOp = O;
    Status status;
    FindRecord record;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        record.Fields(io);
    }
};

struct FindAllFilesRequest {
    static constexpr Op kOp = Op::FindAllFiles;
    std::u16string path;
    std::uint32_t flags = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.Str(path);
        io.U32(flags);
    }
};
// Sent in parts of at most kFindRecordsPerFrame records, kFlagMore on all but
// the last part.
struct FindAllFilesReply {
    static constexpr Op kOp = Op::FindAllFiles;
    Status status;
    std::vector<FindRecord> records;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.List(records, kFindRecordsPerFrame);
    }
};

struct CreateProcessRequest {
    static constexpr Op kOp = Op::CreateProcess;
    std::u16string application, commandLine;
    template <typename IO> void Fields(IO& io)
    {
        io.Str(application);
        io.Str(commandLine);
    }
};
struct CreateProcessReply {
    static constexpr Op kOp = Op::CreateProcess;
    Status status;
    std::uint32_t processHandle = 0, threadHandle = 0, processId = 0, threadId = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(processHandle);
        io.U32(threadHandle);
        io.U32(processId);
        io.U32(threadId);
    }
};

struct GetVersionExReply {
    static constexpr Op kOp = Op::GetVersionEx;
    Status status;
    std::uint32_t major = 0, minor = 0, build = 0, platformId = 0;
    std::u16string csdVersion;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(major);
        io.U32(minor);
        io.U32(build);
        io.U32(platformId);
        io.Str(csdVersion);
    }
};

struct GetDeviceIdentityReply {
    static constexpr Op kOp = Op::GetDeviceIdentity;
    Status status;
    std::u16string platformType, oemInfo, profileName;
    std::uint32_t major = 0, minor = 0, build = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.Str(platformType);
        io.Str(oemInfo);
        io.Str(profileName);
        io.U32(major);
        io.U32(minor);
        io.U32(build);
    }
};

// RegOpenKeyEx and RegCreateKeyEx: result is the registry result.
template <Op O> struct RegKeyRequest {
    static constexpr Op kOp = O;
    std::uint32_t key = 0;
    std::u16string subKey;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(key);
        io.Str(subKey);
    }
};
template <Op O> struct RegKeyReply {
    static constexpr Op kOp = O;
    Status status;
    std::uint32_t key = 0;
    std::uint32_t disposition = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(key);
        io.U32(disposition);
    }
};

// The data comes back only when it fits in `bufferSize` bytes (ERROR_MORE_DATA
// otherwise); `size` is the value's size either way. Data of more than
// kMaxValueData bytes comes in parts: the reply carries the first
// kMaxValueData bytes with kFlagMore, and RegValuePart frames of the same Op
// carry the rest, kFlagMore on all but the last.
struct RegQueryValueRequest {
    static constexpr Op kOp = Op::RegQueryValueEx;
    std::uint32_t key = 0;
    std::u16string name;
    std::uint32_t bufferSize = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(key);
        io.Str(name);
        io.U32(bufferSize);
    }
};
template <Op O> struct RegValueReply {
    static constexpr Op kOp = O;
    Status status;
    std::u16string name; // RegEnumValue only
    std::uint32_t type = 0, size = 0;
    std::vector<std::uint8_t> data;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.Str(name);
        io.U32(type);
        io.U32(size);
        io.Bytes(data);
    }
};

// More of the data of a RegQueryValueEx or RegEnumValue reply.
template <Op O> struct RegValuePart {
    static constexpr Op kOp = O;
    std::vector<std::uint8_t> data; // at most kMaxValueData bytes
    template <typename IO> void Fields(IO& io) { io.Bytes(data); }
};

// At most kMaxValueData bytes of data.
struct RegSetValueRequest {
    static constexpr Op kOp = Op::RegSetValueEx;
    std::uint32_t key = 0;
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(key);
        io.Str(name);
        io.U32(type);
        io.Bytes(data);
    }
};

// RegEnumKeyEx (bufferSize unused) and RegEnumValue (its data as for
// RegQueryValueEx, in parts when large).
template <Op O> struct RegEnumRequest {
    static constexpr Op kOp = O;
    std::uint32_t key = 0, index = 0, bufferSize = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(key);
        io.U32(index);
        io.U32(bufferSize);
    }
};
struct RegEnumKeyReply {
    static constexpr Op kOp = Op::RegEnumKeyEx;
    Status status;
    std::u16string name;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.Str(name);
    }
};

struct RegQueryInfoKeyReply {
    static constexpr Op kOp = Op::RegQueryInfoKey;
    Status status;
    std::uint32_t subKeys = 0, maxSubKeyLen = 0, values = 0, maxValueNameLen = 0, maxValueLen = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(subKeys);
        io.U32(maxSubKeyLen);
        io.U32(values);
        io.U32(maxValueNameLen);
        io.U32(maxValueLen);
    }
};

// RegDeleteValue (name) and RegDeleteKey (sub-key).
template <Op O> struct RegNameRequest {
    static constexpr Op kOp = O;
    std::uint32_t key = 0;
    std::u16string name;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(key);
        io.Str(name);
    }
};

// One process of the device's table.
struct ProcessRecord {
    std::uint32_t processId = 0, parentProcessId = 0;
    std::u16string exeFile;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(processId);
        io.U32(parentProcessId);
        io.Str(exeFile);
    }
};
inline constexpr std::uint32_t kMaxProcessRecords = 4096;

struct ProcessListReply {
    static constexpr Op kOp = Op::ProcessList;
    Status status;
    std::vector<ProcessRecord> processes;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.List(processes, kMaxProcessRecords);
    }
};

struct TerminateProcessRequest {
    static constexpr Op kOp = Op::TerminateProcess;
    std::uint32_t processId = 0;
    template <typename IO> void Fields(IO& io) { io.U32(processId); }
};

// clean: 0 soft reset, 1 hard reset. The reply may not arrive: the restart
// drops every connection, this one included.
struct ResetDeviceRequest {
    static constexpr Op kOp = Op::ResetDevice;
    std::uint32_t clean = 0;
    template <typename IO> void Fields(IO& io) { io.U32(clean); }
};

// Waits until value `name` of `key` differs from what the client knows of it
// (absent, or `knownType` with `knownData`), or process `processId` (when
// not 0) has ended, or `timeoutMs` (at most kMaxValueWaitMs) has passed.
// The reply's result is 1 when something changed and 0 at the time-out;
// its lastError is the value's own query result (0, or ERROR_FILE_NOT_FOUND
// when absent), and it carries the value and whether the process runs.
inline constexpr std::uint32_t kMaxValueWaitMs = 1000;
struct RegWaitValueRequest {
    static constexpr Op kOp = Op::RegWaitValue;
    std::uint32_t key = 0;
    std::u16string name;
    std::uint32_t knownPresent = 0;
    std::uint32_t knownType = 0;
    std::vector<std::uint8_t> knownData; // at most kMaxValueData bytes
    std::uint32_t processId = 0;
    std::uint32_t timeoutMs = 0;
    template <typename IO> void Fields(IO& io)
    {
        io.U32(key);
        io.Str(name);
        io.U32(knownPresent);
        io.U32(knownType);
        io.Bytes(knownData);
        io.U32(processId);
        io.U32(timeoutMs);
    }
};
struct RegWaitValueReply {
    static constexpr Op kOp = Op::RegWaitValue;
    Status status;
    std::uint32_t present = 0;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data; // at most kMaxValueData bytes (a longer value counts as changed, unread)
    std::uint32_t processRunning = 0;
    template <typename IO> void Fields(IO& io)
    {
        status.Fields(io);
        io.U32(present);
        io.U32(type);
        io.Bytes(data);
        io.U32(processRunning);
    }
};

using ProcessListRequest = EmptyRequest<Op::ProcessList>;
using TerminateProcessReply = StatusReply<Op::TerminateProcess>;
using ResetDeviceReply = StatusReply<Op::ResetDevice>;
using GetLastErrorRequest = EmptyRequest<Op::GetLastError>;
using GetLastErrorReply = StatusReply<Op::GetLastError>;
using CreateFileReply = StatusReply<Op::CreateFile>;
using GetFileSizeRequest = HandleRequest<Op::GetFileSize>;
using CloseHandleRequest = HandleRequest<Op::CloseHandle>;
using CloseHandleReply = StatusReply<Op::CloseHandle>;
using GetFileTimeRequest = HandleRequest<Op::GetFileTime>;
using SetFileTimeRequest = FileTimeMsg;
using SetFileTimeReply = StatusReply<Op::SetFileTime>;
using DeleteFileRequest = PathRequest<Op::DeleteFile>;
using DeleteFileReply = StatusReply<Op::DeleteFile>;
using MoveFileReply = StatusReply<Op::MoveFile>;
using CopyFileReply = StatusReply<Op::CopyFile>;
using CreateDirectoryRequest = PathRequest<Op::CreateDirectory>;
using CreateDirectoryReply = StatusReply<Op::CreateDirectory>;
using RemoveDirectoryRequest = PathRequest<Op::RemoveDirectory>;
using RemoveDirectoryReply = StatusReply<Op::RemoveDirectory>;
using GetFileAttributesRequest = PathRequest<Op::GetFileAttributes>;
using GetFileAttributesReply = StatusReply<Op::GetFileAttributes>;
using SetFileAttributesReply = StatusReply<Op::SetFileAttributes>;
using FindFirstFileRequest = PathRequest<Op::FindFirstFile>;
using FindFirstFileReply = FindReply<Op::FindFirstFile>;
using FindNextFileRequest = HandleRequest<Op::FindNextFile>;
using FindNextFileReply = FindReply<Op::FindNextFile>;
using FindCloseRequest = HandleRequest<Op::FindClose>;
using FindCloseReply = StatusReply<Op::FindClose>;
using GetVersionExRequest = EmptyRequest<Op::GetVersionEx>;
using GetDeviceIdentityRequest = EmptyRequest<Op::GetDeviceIdentity>;
using RegOpenKeyRequest = RegKeyRequest<Op::RegOpenKeyEx>;
using RegOpenKeyReply = RegKeyReply<Op::RegOpenKeyEx>;
using RegCreateKeyRequest = RegKeyRequest<Op::RegCreateKeyEx>;
using RegCreateKeyReply = RegKeyReply<Op::RegCreateKeyEx>;
using RegQueryValueReply = RegValueReply<Op::RegQueryValueEx>;
using RegSetValueReply = StatusReply<Op::RegSetValueEx>;
using RegEnumKeyRequest = RegEnumRequest<Op::RegEnumKeyEx>;
using RegEnumValueRequest = RegEnumRequest<Op::RegEnumValue>;
using RegEnumValueReply = RegValueReply<Op::RegEnumValue>;
using RegQueryInfoKeyRequest = HandleRequest<Op::RegQueryInfoKey>;
using RegDeleteValueRequest = RegNameRequest<Op::RegDeleteValue>;
using RegDeleteValueReply = StatusReply<Op::RegDeleteValue>;
using RegDeleteKeyRequest = RegNameRequest<Op::RegDeleteKey>;
using RegDeleteKeyReply = StatusReply<Op::RegDeleteKey>;
using RegCloseKeyRequest = HandleRequest<Op::RegCloseKey>;
using RegCloseKeyReply = StatusReply<Op::RegCloseKey>;

// ---- Socket I/O ---------------------------------------------------------------

enum class IoResult {
    Ok,
    Closed, // the peer closed the connection cleanly before a frame began
    Malformed, // a bad header, or the stream ended inside a frame
    Failed, // a socket error
};

// Writes the whole buffer, retrying short writes and EINTR. False on any
// error (a closed peer included); never raises SIGPIPE.
bool SendAll(int fd, const void* data, std::size_t size);

// Writes `first` and then `second` as one stream, with as few system calls
// as the socket allows (for a request or reply carrying file data).
bool SendParts(int fd, const void* first, std::size_t firstSize, const void* second, std::size_t secondSize);

// Reads exactly `size` bytes: Closed when the stream ended before the first
// byte, Malformed when it ended inside.
IoResult ReceiveExact(int fd, void* data, std::size_t size);

// Reads one frame: its header and exactly its payload.
IoResult ReadFrame(int fd, FrameHeader* header, std::vector<std::uint8_t>* payload);

// The same into a buffer that is reused from frame to frame: the payload is
// its first header->length bytes (the buffer never shrinks, so a connection
// moving file data does not reallocate or clear it for every frame).
IoResult ReadFrameInto(int fd, FrameHeader* header, std::vector<std::uint8_t>* buffer);

// Fills in the 8-byte header of a frame whose payload is `length` bytes.
void PutHeader(std::uint8_t* at, std::uint32_t length, Op op, std::uint16_t flags = 0);
// Little-endian u32 at `at`.
void PutU32(std::uint8_t* at, std::uint32_t v);
std::uint32_t GetU32(const std::uint8_t* at);

} // namespace rapi::proto
