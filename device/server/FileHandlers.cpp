// Request handlers for files, folders and attributes.
#include "device/server/Session.h"
#include "device/server/SessionUtil.h"

namespace device {

using namespace rapi::proto;

// File data moves without extra copies: a read lands in the reply frame
// itself, a write is taken from the request frame where it lies.
bool Session::ReadFile(std::span<const std::uint8_t> payload, const Sender& send)
{
    ReadFileRequest r;
    if (!Decode(payload, &r))
        return false;
    constexpr std::size_t kPrefix = kHeaderSize + 12; // status, then the data's count
    FileObject* f = Find<FileObject>(r.handle);
    // No buffer grows for a handle that is not there.
    std::uint32_t want = f ? std::min(r.count, kMaxIoChunk) : 0;
    if (m_io.size() < kPrefix + want)
        m_io.resize(kPrefix + want);
    std::uint32_t done = 0;
    DWORD error = f ? f->file->Read(m_io.data() + kPrefix, want, &done) : ERROR_INVALID_HANDLE;
    Status status = error == ERROR_SUCCESS ? Done() : Fail(error);
    if (error != ERROR_SUCCESS)
        done = 0;
    PutHeader(m_io.data(), 12 + done, Op::ReadFile);
    PutU32(m_io.data() + kHeaderSize, status.result);
    PutU32(m_io.data() + kHeaderSize + 4, status.lastError);
    PutU32(m_io.data() + kHeaderSize + 8, done);
    return send(std::span<const std::uint8_t>(m_io.data(), kPrefix + done));
}

bool Session::WriteFile(std::span<const std::uint8_t> payload, const Sender& send)
{
    Reader in(payload);
    std::uint32_t handle = 0;
    std::span<const std::uint8_t> data;
    in.U32(handle);
    in.View(data);
    if (!in.ok() || !in.AtEnd())
        return false;
    WriteFileReply reply;
    FileObject* f = Find<FileObject>(handle);
    DWORD error
        = f ? f->file->Write(data.data(), std::uint32_t(data.size()), &reply.written) : ERROR_INVALID_HANDLE;
    reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
    return send(Encode(reply));
}

bool Session::HandleFile(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    store::Store& st = *m_services.store;
    switch (op) {
    case Op::CreateFile:
        return Serve<CreateFileRequest>(payload, send, [&](CreateFileRequest& r) {
            CreateFileReply reply;
            std::unique_ptr<store::File> file;
            bool existed = false;
            // Checked first: a file created or truncated for a handle that is
            // then refused would be changed for nothing.
            DWORD error = RoomForHandle(true);
            if (error == ERROR_SUCCESS)
                error = st.CreateFile(
                    r.path, r.access, r.share, r.disposition, r.flagsAndAttributes & 0xFFFF, &file, &existed);
            std::uint32_t handle = 0;
            if (error == ERROR_SUCCESS)
                error = AddHandle(FileObject { std::move(file) }, &handle);
            if (error != ERROR_SUCCESS) {
                reply.status = Fail(error);
                reply.status.result = std::uint32_t(INVALID_HANDLE_VALUE);
                return reply;
            }
            bool reportsExisting = r.disposition == CREATE_ALWAYS || r.disposition == OPEN_ALWAYS;
            m_lastError = existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
            reply.status = Done(handle);
            return reply;
        });
    case Op::ReadFile:
        return ReadFile(payload, send);
    case Op::WriteFile:
        return WriteFile(payload, send);
    case Op::GetFileSize:
        return Serve<GetFileSizeRequest>(payload, send, [&](GetFileSizeRequest& r) {
            GetFileSizeReply reply;
            FileObject* f = Find<FileObject>(r.handle);
            std::uint64_t size = 0;
            DWORD error = f ? f->file->Size(&size) : ERROR_INVALID_HANDLE;
            if (error != ERROR_SUCCESS) {
                reply.status = Fail(error);
                reply.status.result = INVALID_FILE_SIZE;
                return reply;
            }
            // A size whose low half reads as the failure value clears the last error.
            if (std::uint32_t(size) == INVALID_FILE_SIZE)
                m_lastError = ERROR_SUCCESS;
            reply.status = Done(std::uint32_t(size));
            reply.high = std::uint32_t(size >> 32);
            return reply;
        });
    case Op::SetFilePointer:
        return Serve<SetFilePointerRequest>(payload, send, [&](SetFilePointerRequest& r) {
            SetFilePointerReply reply;
            FileObject* f = Find<FileObject>(r.handle);
            DWORD error = f ? f->file->Seek(std::int64_t(r.distance), r.method, &reply.position)
                            : ERROR_INVALID_HANDLE;
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::CloseHandle:
        return Serve<CloseHandleRequest>(payload, send, [&](CloseHandleRequest& r) {
            CloseHandleReply reply;
            if (!Find<FileObject>(r.handle)) {
                reply.status = Fail(ERROR_INVALID_HANDLE);
                return reply;
            }
            m_handles.erase(r.handle);
            reply.status = Done();
            return reply;
        });
    case Op::GetFileTime:
        return Serve<GetFileTimeRequest>(payload, send, [&](GetFileTimeRequest& r) {
            GetFileTimeReply reply;
            FileObject* f = Find<FileObject>(r.handle);
            DWORD error
                = f ? f->file->GetTimes(&reply.creation, &reply.access, &reply.write) : ERROR_INVALID_HANDLE;
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::SetFileTime:
        return Serve<SetFileTimeRequest>(payload, send, [&](SetFileTimeRequest& r) {
            SetFileTimeReply reply;
            FileObject* f = Find<FileObject>(r.handle);
            DWORD error = f ? f->file->SetTimes(r.present & 1 ? &r.creation : nullptr,
                              r.present & 2 ? &r.access : nullptr, r.present & 4 ? &r.write : nullptr)
                            : ERROR_INVALID_HANDLE;
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::DeleteFile:
        return Serve<DeleteFileRequest>(payload, send, [&](DeleteFileRequest& r) {
            DeleteFileReply reply;
            DWORD error = st.DeleteFile(r.path);
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::MoveFile:
        return Serve<MoveFileRequest>(payload, send, [&](MoveFileRequest& r) {
            MoveFileReply reply;
            DWORD error = st.MoveFile(r.from, r.to);
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::CopyFile:
        return Serve<CopyFileRequest>(payload, send, [&](CopyFileRequest& r) {
            CopyFileReply reply;
            DWORD error = st.CopyFile(r.from, r.to, r.failIfExists != 0);
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::CreateDirectory:
        return Serve<CreateDirectoryRequest>(payload, send, [&](CreateDirectoryRequest& r) {
            CreateDirectoryReply reply;
            DWORD error = st.CreateDirectory(r.path);
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::RemoveDirectory:
        return Serve<RemoveDirectoryRequest>(payload, send, [&](RemoveDirectoryRequest& r) {
            RemoveDirectoryReply reply;
            DWORD error = st.RemoveDirectory(r.path);
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::GetFileAttributes:
        return Serve<GetFileAttributesRequest>(payload, send, [&](GetFileAttributesRequest& r) {
            GetFileAttributesReply reply;
            DWORD attributes = INVALID_FILE_ATTRIBUTES;
            DWORD error = st.GetAttributes(r.path, &attributes);
            reply.status = error == ERROR_SUCCESS ? Done(attributes) : Fail(error);
            if (error != ERROR_SUCCESS)
                reply.status.result = INVALID_FILE_ATTRIBUTES;
            return reply;
        });
    case Op::SetFileAttributes:
        return Serve<SetFileAttributesRequest>(payload, send, [&](SetFileAttributesRequest& r) {
            SetFileAttributesReply reply;
            DWORD error = st.SetAttributes(r.path, r.attributes);
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    default:
        return false;
    }
}

} // namespace device
