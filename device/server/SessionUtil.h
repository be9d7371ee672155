// Decode-call-encode glue of the session's thin request handlers.
#pragma once

#include "device/server/Session.h"

namespace device {

// Decodes a `Req` from `payload` (false when malformed), lets `fn` produce
// the reply, and sends it.
template <typename Req, typename Fn>
bool Serve(std::span<const std::uint8_t> payload, const Session::Sender& send, Fn&& fn)
{
    Req request;
    if (!rapi::proto::Decode(payload, &request))
        return false;
    auto reply = fn(request);
    return send(rapi::proto::Encode(reply));
}

} // namespace device
