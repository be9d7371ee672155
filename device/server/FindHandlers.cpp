// Request handlers for directory listings.
#include "device/server/Session.h"
#include "device/server/SessionUtil.h"

namespace device {

using namespace rapi::proto;

namespace {

constexpr DWORD kAllFields = FAF_ATTRIBUTES | FAF_CREATION_TIME | FAF_LASTACCESS_TIME | FAF_LASTWRITE_TIME
    | FAF_SIZE_HIGH | FAF_SIZE_LOW | FAF_OID | FAF_NAME;

FindRecord ToRecord(const store::FindEntry& e, DWORD mask)
{
    FindRecord r;
    r.attributes = e.attributes;
    r.creation = e.creation;
    r.access = e.access;
    r.write = e.write;
    r.sizeHigh = std::uint32_t(e.size >> 32);
    r.sizeLow = std::uint32_t(e.size);
    r.oid = e.oid;
    if (mask & FAF_NAME)
        r.name = e.name;
    return r;
}

} // namespace

bool Session::HandleFind(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    switch (op) {
    case Op::FindFirstFile:
        return Serve<FindFirstFileRequest>(payload, send, [&](FindFirstFileRequest& r) {
            FindFirstFileReply reply;
            FindObject found;
            DWORD error = RoomForHandle(false);
            if (error == ERROR_SUCCESS)
                error = m_services.store->Find(r.path, kAllFields, &found.entries);
            if (error == ERROR_SUCCESS && found.entries.empty())
                error = ERROR_FILE_NOT_FOUND;
            std::uint32_t handle = 0;
            if (error == ERROR_SUCCESS) {
                reply.record = ToRecord(found.entries[0], kAllFields);
                found.next = 1;
                error = AddHandle(std::move(found), &handle);
            }
            if (error != ERROR_SUCCESS) {
                reply = FindFirstFileReply {};
                reply.status = Fail(error);
                reply.status.result = std::uint32_t(INVALID_HANDLE_VALUE);
                return reply;
            }
            reply.status = Done(handle);
            return reply;
        });
    case Op::FindNextFile:
        return Serve<FindNextFileRequest>(payload, send, [&](FindNextFileRequest& r) {
            FindNextFileReply reply;
            FindObject* f = Find<FindObject>(r.handle);
            if (!f) {
                reply.status = Fail(ERROR_INVALID_HANDLE);
            } else if (f->next >= f->entries.size()) {
                reply.status = Fail(ERROR_NO_MORE_FILES);
            } else {
                reply.record = ToRecord(f->entries[f->next++], kAllFields);
                reply.status = Done();
            }
            return reply;
        });
    case Op::FindClose:
        return Serve<FindCloseRequest>(payload, send, [&](FindCloseRequest& r) {
            FindCloseReply reply;
            if (!Find<FindObject>(r.handle)) {
                reply.status = Fail(ERROR_INVALID_HANDLE);
            } else {
                m_handles.erase(r.handle);
                reply.status = Done();
            }
            return reply;
        });
    case Op::FindAllFiles: {
        FindAllFilesRequest request;
        if (!Decode(payload, &request))
            return false;
        std::vector<store::FindEntry> entries;
        DWORD error = m_services.store->Find(request.path, request.flags, &entries);
        FindAllFilesReply reply;
        if (error != ERROR_SUCCESS) {
            reply.status = Fail(error);
            return send(Encode(reply));
        }
        // The records go in parts, each within one frame's limit.
        std::size_t at = 0;
        do {
            std::size_t n = std::min<std::size_t>(kFindRecordsPerFrame, entries.size() - at);
            reply.records.clear();
            for (std::size_t i = 0; i < n; ++i)
                reply.records.push_back(ToRecord(entries[at + i], request.flags));
            at += n;
            reply.status = Done();
            if (!send(Encode(reply, at < entries.size() ? kFlagMore : 0)))
                return false;
        } while (at < entries.size());
        return true;
    }
    default:
        return false;
    }
}

} // namespace device
