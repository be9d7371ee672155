// The device-tool operations of RapiConnection: process table, ending a
// process, restarting the device.
#include "platform/rapi/RapiImpl.h"

using namespace rapi::proto;

BOOL RapiConnection::CeGetProcessList(std::vector<CEPROCESSENTRY>* processes)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    ProcessListRequest request;
    ProcessListReply reply;
    if (!processes || !m_impl->Call(request, &reply) || !reply.status.result)
        return FALSE;
    processes->clear();
    for (auto& p : reply.processes)
        processes->push_back({ p.processId, p.parentProcessId, std::move(p.exeFile) });
    return TRUE;
}

BOOL RapiConnection::CeTerminateProcess(DWORD processId)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    TerminateProcessRequest request;
    request.processId = processId;
    TerminateProcessReply reply;
    return m_impl->Call(request, &reply) && reply.status.result ? TRUE : FALSE;
}

BOOL RapiConnection::CeResetDevice(BOOL clean)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    ResetDeviceRequest request;
    request.clean = clean ? 1 : 0;
    ResetDeviceReply reply;
    return m_impl->Call(request, &reply) && reply.status.result ? TRUE : FALSE;
}
