// The process functions of Ce.h: the process table lives in the device host,
// asked over the host link; the program's own identity comes from its
// environment and command line.
#include "platform/ce/Device.h"

#include "exchange/Text.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <mutex>

namespace ce {
namespace {

using detail::Current;
using detail::Device;
using detail::Fail;
using detail::FileObject;
using detail::ProcessObject;
using detail::SnapshotObject;
using detail::Succeed;
using detail::View;
using link::LinkOp;
using link::LinkReader;
using link::LinkWriter;

// Asks the host; on success *reader reads the reply after its error field
// and the host's verdict is returned.
DWORD Ask(
    Device* dev, LinkOp op, const LinkWriter& request, std::vector<std::uint8_t>* reply, DWORD* hostError)
{
    DWORD error = dev->Ask(op, request.bytes(), reply);
    if (error != ERROR_SUCCESS)
        return error;
    LinkReader r(*reply);
    r.U32(*hostError);
    return r.ok() ? ERROR_SUCCESS : ERROR_BROKEN_PIPE;
}

BOOL FillEntry(HANDLE hSnapshot, PROCESSENTRY32* lppe, bool first)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    SnapshotObject* snapshot = dev->handles.Get<SnapshotObject>(hSnapshot);
    if (!snapshot)
        return Fail(ERROR_INVALID_HANDLE);
    if (!lppe || lppe->dwSize < sizeof(PROCESSENTRY32))
        return Fail(ERROR_INVALID_PARAMETER);
    if (first)
        snapshot->next = 0;
    if (snapshot->next >= snapshot->processes.size())
        return Fail(ERROR_NO_MORE_FILES);
    const link::LinkProcess& p = snapshot->processes[snapshot->next++];
    DWORD size = lppe->dwSize;
    std::memset(lppe, 0, sizeof *lppe);
    lppe->dwSize = size;
    lppe->cntUsage = 1;
    lppe->th32ProcessID = p.id;
    lppe->cntThreads = 1;
    lppe->th32ParentProcessID = p.parentId;
    std::size_t n = std::min<std::size_t>(p.name.size(), MAX_PATH - 1);
    std::memcpy(lppe->szExeFile, p.name.data(), n * sizeof(char16_t));
    return Succeed();
}

// The second element of /proc/self/cmdline: the single argument the device
// host passes.
std::u16string ReadCommandLine()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    std::size_t end0 = all.find('\0');
    if (end0 == std::string::npos || end0 + 1 >= all.size())
        return {};
    std::size_t start = end0 + 1;
    std::size_t end1 = all.find('\0', start);
    return exchange::FromUtf8(std::string_view(all).substr(start, end1 - start));
}

} // namespace

HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD)
{
    Device* dev = Current();
    if (!dev)
        return INVALID_HANDLE_VALUE;
    if (!(dwFlags & TH32CS_SNAPPROCESS)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<std::uint8_t> reply;
    DWORD hostError = 0;
    DWORD error = Ask(dev, LinkOp::Snapshot, LinkWriter(), &reply, &hostError);
    SnapshotObject snapshot;
    if (error == ERROR_SUCCESS && hostError == ERROR_SUCCESS) {
        LinkReader r(reply);
        std::uint32_t skip = 0;
        r.U32(skip);
        if (!link::ReadProcesses(r, &snapshot.processes) || !r.Done())
            error = ERROR_BROKEN_PIPE;
    }
    if (error == ERROR_SUCCESS)
        error = hostError;
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle = dev->handles.Add(std::move(snapshot));
    Succeed();
    return handle;
}

BOOL Process32First(HANDLE hSnapshot, PROCESSENTRY32* lppe)
{
    return FillEntry(hSnapshot, lppe, true);
}

BOOL Process32Next(HANDLE hSnapshot, PROCESSENTRY32* lppe)
{
    return FillEntry(hSnapshot, lppe, false);
}

BOOL CloseToolhelp32Snapshot(HANDLE hSnapshot)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    return dev->handles.Remove<SnapshotObject>(hSnapshot) ? Succeed() : Fail(ERROR_INVALID_HANDLE);
}

HANDLE OpenProcess(DWORD, BOOL, DWORD dwProcessId)
{
    Device* dev = Current();
    if (!dev)
        return 0;
    LinkWriter w;
    w.U32(dwProcessId);
    std::vector<std::uint8_t> reply;
    DWORD hostError = 0;
    DWORD error = Ask(dev, LinkOp::OpenProcess, w, &reply, &hostError);
    if (error == ERROR_SUCCESS)
        error = hostError;
    if (error != ERROR_SUCCESS) {
        Fail(error);
        return 0;
    }
    HANDLE handle = dev->handles.Add(ProcessObject { dwProcessId });
    Succeed();
    return handle;
}

BOOL TerminateProcess(HANDLE hProcess, UINT)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    ProcessObject* process = dev->handles.Get<ProcessObject>(hProcess);
    if (!process)
        return Fail(ERROR_INVALID_HANDLE);
    LinkWriter w;
    w.U32(process->id);
    std::vector<std::uint8_t> reply;
    DWORD hostError = 0;
    DWORD error = Ask(dev, LinkOp::TerminateProcess, w, &reply, &hostError);
    // The host knows no such process any more: the handle's process has ended.
    if (error == ERROR_SUCCESS)
        error = hostError == ERROR_INVALID_PARAMETER ? ERROR_INVALID_HANDLE : hostError;
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

BOOL CreateProcess(LPCWSTR pszImageName, LPCWSTR pszCmdLine, void*, void*, BOOL, DWORD, void*, LPCWSTR, void*,
    PROCESS_INFORMATION* pProcInfo)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    if (!pszImageName)
        return Fail(ERROR_INVALID_PARAMETER);
    std::u16string_view image = View(pszImageName), commandLine = View(pszCmdLine);
    if (image.size() > link::kMaxLinkString || commandLine.size() > link::kMaxLinkString)
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    LinkWriter w;
    w.Str(image);
    w.Str(commandLine);
    std::vector<std::uint8_t> reply;
    DWORD hostError = 0;
    DWORD error = Ask(dev, LinkOp::CreateProcess, w, &reply, &hostError);
    if (error == ERROR_SUCCESS)
        error = hostError;
    if (error != ERROR_SUCCESS)
        return Fail(error);
    LinkReader r(reply);
    std::uint32_t skip = 0, processId = 0, threadId = 0;
    r.U32(skip);
    r.U32(processId);
    r.U32(threadId);
    if (!r.Done())
        return Fail(ERROR_BROKEN_PIPE);
    if (pProcInfo) {
        pProcInfo->hProcess = dev->handles.Add(ProcessObject { processId });
        pProcInfo->hThread = 0;
        pProcInfo->dwProcessId = processId;
        pProcInfo->dwThreadId = threadId;
    }
    return Succeed();
}

BOOL CloseHandle(HANDLE hObject)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    bool closed = dev->handles.Remove<FileObject>(hObject) || dev->handles.Remove<ProcessObject>(hObject)
        || dev->handles.Remove<SnapshotObject>(hObject);
    return closed ? Succeed() : Fail(ERROR_INVALID_HANDLE);
}

DWORD GetCurrentProcessId()
{
    Device* dev = Current();
    return dev ? dev->processId : 0;
}

DWORD GetModuleFileName(HMODULE hModule, LPWSTR lpFilename, DWORD nSize)
{
    Device* dev = Current();
    if (!dev)
        return 0;
    if (hModule != 0) {
        Fail(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!lpFilename || nSize == 0) {
        Fail(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (dev->module.empty()) {
        Fail(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    std::size_t n = std::min<std::size_t>(dev->module.size(), nSize - 1);
    std::memcpy(lpFilename, dev->module.data(), n * sizeof(char16_t));
    lpFilename[n] = u'\0';
    detail::LastErrorSlot() = n < dev->module.size() ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
    return DWORD(n);
}

LPCWSTR GetCommandLine()
{
    static std::once_flag once;
    static std::u16string commandLine;
    std::call_once(once, [] { commandLine = ReadCommandLine(); });
    return commandLine.c_str();
}

} // namespace ce
