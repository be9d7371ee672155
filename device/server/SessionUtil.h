// Decode-call-encode glue of the session's thin request handlers.
#pragma once

#include "device/server/Session.h"

#include <algorithm>

namespace device {

// Sends a reply in one frame.
template <typename Reply> bool SendReply(Reply& reply, const Session::Sender& send)
{
    return send(rapi::proto::Encode(reply));
}

// Sends a registry value reply: data beyond kMaxValueData follows in parts.
template <rapi::proto::Op O> bool SendReply(rapi::proto::RegValueReply<O>& reply, const Session::Sender& send)
{
    using namespace rapi::proto;
    if (reply.data.size() <= kMaxValueData)
        return send(Encode(reply));
    std::vector<std::uint8_t> data = std::move(reply.data);
    reply.data.assign(data.begin(), data.begin() + kMaxValueData);
    if (!send(Encode(reply, kFlagMore)))
        return false;
    RegValuePart<O> part;
    for (std::size_t at = kMaxValueData; at < data.size(); at += kMaxValueData) {
        std::size_t end = std::min<std::size_t>(at + kMaxValueData, data.size());
        part.data.assign(data.begin() + std::ptrdiff_t(at), data.begin() + std::ptrdiff_t(end));
        if (!send(Encode(part, end < data.size() ? kFlagMore : 0)))
            return false;
    }
    return true;
}

// Decodes a `Req` from `payload` (false when malformed), lets `fn` produce
// the reply, and sends it.
template <typename Req, typename Fn>
bool Serve(std::span<const std::uint8_t> payload, const Session::Sender& send, Fn&& fn)
{
    Req request;
    if (!rapi::proto::Decode(payload, &request))
        return false;
    auto reply = fn(request);
    return SendReply(reply, send);
}

} // namespace device
