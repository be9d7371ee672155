// Decodes arbitrary payloads as the messages of the remote-access protocol,
// both directions: what the device reads from a client and what a client
// reads from the device. Whatever decodes must encode back to exactly the
// bytes it came from (nothing read past the payload, nothing ignored).
// Pure decoding, so that millions of inputs run a minute; the session
// target drives the device's handlers with the same messages.
#include "platform/rapi/Protocol.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <vector>

namespace {

using namespace rapi::proto;

template <typename Msg> void RoundTrip(std::span<const std::uint8_t> payload)
{
    Msg msg;
    if (!Decode(payload, &msg))
        return;
    const std::vector<std::uint8_t> frame = Encode(msg);
    if (frame.size() != kHeaderSize + payload.size()
        || !std::equal(payload.begin(), payload.end(), frame.begin() + kHeaderSize))
        std::abort();
}

// Every message shape, requests and replies.
using Messages = std::tuple<HelloMsg, HandleRequest<Op::CloseHandle>, PathRequest<Op::DeleteFile>,
    StatusReply<Op::DeleteFile>, CreateFileRequest, ReadFileRequest, ReadFileReply, WriteFileRequest,
    WriteFileReply, GetFileSizeReply, SetFilePointerRequest, SetFilePointerReply, FileTimeMsg,
    GetFileTimeReply, MoveFileRequest, CopyFileRequest, SetFileAttributesRequest,
    FindReply<Op::FindFirstFile>, FindAllFilesRequest, FindAllFilesReply, CreateProcessRequest,
    CreateProcessReply, GetVersionExReply, GetDeviceIdentityReply, RegKeyRequest<Op::RegOpenKeyEx>,
    RegKeyReply<Op::RegOpenKeyEx>, RegQueryValueRequest, RegValueReply<Op::RegQueryValueEx>,
    RegSetValueRequest, RegEnumRequest<Op::RegEnumKeyEx>, RegEnumKeyReply, RegQueryInfoKeyReply,
    RegNameRequest<Op::RegDeleteValue>, ProcessListReply, TerminateProcessRequest, ResetDeviceRequest>;

template <std::size_t... I>
void Dispatch(std::size_t which, std::span<const std::uint8_t> payload, std::index_sequence<I...>)
{
    ((which == I ? RoundTrip<std::tuple_element_t<I, Messages>>(payload) : void()), ...);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The payload in an allocation of its own size: a read past its end
    // leaves the allocation and the sanitizer reports it.
    const std::vector<std::uint8_t> payload(data + 1, data + size);
    constexpr std::size_t count = std::tuple_size_v<Messages>;
    Dispatch(data[0] % count, payload, std::make_index_sequence<count>());
    return 0;
}
