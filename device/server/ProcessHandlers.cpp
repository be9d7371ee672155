// Request handlers for the device tools: the process table, ending a
// process, restarting the device.
#include "device/server/Session.h"
#include "device/server/SessionUtil.h"

namespace device {

using namespace rapi::proto;

bool Session::HandleProcess(Op op, std::span<const std::uint8_t> payload, const Sender& send)
{
    ProcessHost* host = m_services.processes;
    switch (op) {
    case Op::ProcessList:
        return Serve<ProcessListRequest>(payload, send, [&](ProcessListRequest&) {
            ProcessListReply reply;
            std::vector<ProcessEntry> entries;
            DWORD error = host ? host->ListProcesses(&entries) : ERROR_NOT_SUPPORTED;
            if (error != ERROR_SUCCESS) {
                reply.status = Fail(error);
                return reply;
            }
            if (entries.size() > kMaxProcessRecords)
                entries.resize(kMaxProcessRecords);
            for (auto& e : entries)
                reply.processes.push_back({ e.processId, e.parentProcessId, std::move(e.exeFile) });
            reply.status = Done();
            return reply;
        });
    case Op::TerminateProcess:
        return Serve<TerminateProcessRequest>(payload, send, [&](TerminateProcessRequest& r) {
            TerminateProcessReply reply;
            DWORD error = host ? host->TerminateProcess(r.processId) : ERROR_NOT_SUPPORTED;
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    case Op::ResetDevice:
        return Serve<ResetDeviceRequest>(payload, send, [&](ResetDeviceRequest& r) {
            ResetDeviceReply reply;
            DWORD error = r.clean > 1 ? ERROR_INVALID_PARAMETER
                : host                ? host->Reboot(r.clean == 1)
                                      : ERROR_NOT_SUPPORTED;
            reply.status = error == ERROR_SUCCESS ? Done() : Fail(error);
            return reply;
        });
    default:
        return false;
    }
}

} // namespace device
