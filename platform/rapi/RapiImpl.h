// The inside of a RapiConnection: its socket, transport state and last
// error, and the request/reply exchange every operation goes through.
#pragma once

#include "platform/rapi/Protocol.h"
#include "platform/rapi/Rapi.h"

#include <filesystem>
#include <map>
#include <mutex>

// Checks a request's strings and data against the protocol's limits.
struct LimitCheck {
    bool ok = true;
    void U8(std::uint8_t&) { }
    void U16(std::uint16_t&) { }
    void U32(std::uint32_t&) { }
    void U64(std::uint64_t&) { }
    void Str(std::u16string& s) { ok = ok && s.size() <= rapi::proto::kMaxString; }
    void Bytes(std::vector<std::uint8_t>& b) { ok = ok && b.size() <= rapi::proto::kMaxBytes; }
};

template <typename Request> bool FitsLimits(Request& request)
{
    LimitCheck check;
    request.Fields(check);
    return check.ok;
}

struct RapiConnection::Impl {
    enum class State { Idle, Connected, Broken };

    std::mutex mutex; // one exchange at a time
    std::filesystem::path socketPath;
    int fd = -1;
    int event = -1;
    State state = State::Idle;
    HRESULT transportError = S_OK;
    DWORD lastError = ERROR_SUCCESS;

    // A handle that reads but does not write, opened so that nobody else may
    // write the file, cannot see the file change under it: its reads fetch
    // kReadAhead bytes at a time and are served from here, which saves a
    // round trip per small read. The device's position is ahead of the
    // caller's by the unread bytes.
    static constexpr std::uint32_t kReadAhead = rapi::proto::kMaxIoChunk;
    struct ReadAhead {
        std::vector<std::uint8_t> data;
        std::size_t at = 0;
        std::size_t Unread() const { return data.size() - at; }
    };
    std::map<std::uint32_t, ReadAhead> readAhead;

    ~Impl();

    // Connects and exchanges Hello. S_OK, RAPI_E_NOT_CONNECTED or RAPI_E_DEVICE_BUSY.
    HRESULT Connect();
    void Close();
    // Marks the connection lost: closed, and broken until re-initialised.
    void Break();
    // True when an exchange may start; otherwise records the transport error.
    bool Usable();
    // Records the device's last error for the calling thread and the connection.
    void Record(DWORD error);
    DWORD LastError();

    // Sends the request, reads one reply frame of the reply's type. False
    // when the transport failed (the connection is then broken).
    bool SendRequest(const std::vector<std::uint8_t>& frame);

    // File data without extra copies: a read lands in `data` straight from
    // the socket, a write is sent from `data` where it lies. False when the
    // operation failed (the last error says why) or the transport did.
    bool Read(std::uint32_t handle, std::uint8_t* data, std::uint32_t count, std::uint32_t* done);
    bool Write(std::uint32_t handle, const std::uint8_t* data, std::uint32_t count, std::uint32_t* done);
    bool ReadReply(rapi::proto::Op op, std::vector<std::uint8_t>* payload, bool* more);

    // A request whose strings or data exceed the protocol's limits is not
    // sent: the reply says `refusedResult`, and `refusedError` (unless 0)
    // becomes the last error.
    template <typename Request, typename Reply>
    bool Call(Request& request, Reply* reply, std::uint32_t refusedResult = 0,
        DWORD refusedError = ERROR_FILENAME_EXCED_RANGE)
    {
        if (!Usable())
            return false;
        if (!FitsLimits(request)) {
            if (refusedError != 0)
                Record(refusedError);
            reply->status = rapi::proto::Status { refusedResult, lastError };
            return true;
        }
        if (!SendRequest(rapi::proto::Encode(request)))
            return false;
        std::vector<std::uint8_t> payload;
        bool more = false;
        if (!ReadReply(Reply::kOp, &payload, &more) || !rapi::proto::Decode(payload, reply)
            || (more && !ReadParts(reply))) {
            Break();
            return false;
        }
        Record(reply->status.lastError);
        return true;
    }

    // Reads the parts that continue a reply. Only value replies have them.
    template <typename Reply> bool ReadParts(Reply*) { return false; }
    template <rapi::proto::Op O> bool ReadParts(rapi::proto::RegValueReply<O>* reply)
    {
        bool more = true;
        while (more) {
            std::vector<std::uint8_t> payload;
            rapi::proto::RegValuePart<O> part;
            if (!ReadReply(O, &payload, &more) || !rapi::proto::Decode(payload, &part)
                || reply->data.size() + part.data.size() > reply->size)
                return false;
            reply->data.insert(reply->data.end(), part.data.begin(), part.data.end());
        }
        return true;
    }
};

// Copies `text` into a WCHAR buffer of `capacity` units with a terminator,
// cut when it does not fit.
void CopyText(const std::u16string& text, WCHAR* buffer, std::size_t capacity);
// The UTF-16 text of a NUL-terminated WCHAR string (null reads as "").
std::u16string TextOf(LPCWSTR text);
