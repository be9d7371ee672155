// Request handlers for the device's identity, version, last error and
// process creation.
#include "device/server/Session.h"
#include "device/server/SessionUtil.h"

namespace device {

using namespace rapi::proto;

bool Session::HandleSystem(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    const Profile& profile = *m_services.profile;
    switch (op) {
    case Op::GetLastError:
        return Serve<GetLastErrorRequest>(payload, send, [&](GetLastErrorRequest&) {
            GetLastErrorReply reply;
            reply.status = Done(m_lastError);
            return reply;
        });
    case Op::GetVersionEx:
        return Serve<GetVersionExRequest>(payload, send, [&](GetVersionExRequest&) {
            GetVersionExReply reply;
            reply.status = Done();
            reply.major = profile.major;
            reply.minor = profile.minor;
            reply.build = profile.build;
            reply.platformId = VER_PLATFORM_WIN32_CE;
            reply.csdVersion = profile.csdVersion;
            return reply;
        });
    case Op::GetDeviceIdentity:
        return Serve<GetDeviceIdentityRequest>(payload, send, [&](GetDeviceIdentityRequest&) {
            GetDeviceIdentityReply reply;
            reply.status = Done();
            reply.platformType = profile.platformType;
            reply.oemInfo = profile.oemInfo;
            reply.profileName = std::u16string(profile.name.begin(), profile.name.end());
            reply.major = profile.major;
            reply.minor = profile.minor;
            reply.build = profile.build;
            return reply;
        });
    case Op::CreateProcess:
        return Serve<CreateProcessRequest>(payload, send, [&](CreateProcessRequest& r) {
            CreateProcessReply reply;
            ProcessStart started;
            DWORD error = m_services.processes
                ? m_services.processes->CreateProcess(r.application, r.commandLine, &started)
                : ERROR_NOT_SUPPORTED;
            if (error != ERROR_SUCCESS) {
                reply.status = Fail(error);
                return reply;
            }
            reply.status = Done();
            reply.processId = started.processId;
            reply.threadId = started.threadId;
            return reply;
        });
    default:
        return false;
    }
}

} // namespace device
