// Kernel I/O control, restart, clock, sleep and debug output of Ce.h.
#include "platform/ce/Device.h"

#include "exchange/Trace.h"

#include <cstring>
#include <ctime>
#include <thread>

namespace ce {
namespace {

using detail::Current;
using detail::Device;
using detail::Fail;
using detail::Succeed;

BOOL GetDeviceId(Device* dev, void* out, DWORD outSize, DWORD* returned)
{
    if (returned)
        *returned = 0;
    if (!dev->profile || dev->profile->identifier.empty())
        return Fail(ERROR_NOT_SUPPORTED);
    const auto& id = dev->profile->identifier;
    if (!out || outSize < id.size()) {
        if (returned)
            *returned = DWORD(id.size());
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(out, id.data(), id.size());
    if (returned)
        *returned = DWORD(id.size());
    return Succeed();
}

BOOL Reboot(Device* dev)
{
    link::LinkWriter w;
    w.U32(dev->cleanReboot.load() ? 1 : 0);
    std::vector<std::uint8_t> reply;
    DWORD error = dev->Ask(link::LinkOp::Reboot, w.bytes(), &reply);
    if (error != ERROR_SUCCESS)
        return Fail(error);
    // The host answers only when it cannot restart the device.
    link::LinkReader r(reply);
    std::uint32_t hostError = ERROR_GEN_FAILURE;
    r.U32(hostError);
    return Fail(r.Done() && hostError != ERROR_SUCCESS ? hostError : ERROR_GEN_FAILURE);
}

} // namespace

BOOL KernelIoControl(
    DWORD dwIoControlCode, void*, DWORD, void* lpOutBuf, DWORD nOutBufSize, DWORD* lpBytesReturned)
{
    Device* dev = Current();
    if (!dev)
        return FALSE;
    switch (dwIoControlCode) {
    case IOCTL_HAL_GET_DEVICEID:
        return GetDeviceId(dev, lpOutBuf, nOutBufSize, lpBytesReturned);
    case IOCTL_HAL_REBOOT:
        if (lpBytesReturned)
            *lpBytesReturned = 0;
        return Reboot(dev);
    default:
        if (lpBytesReturned)
            *lpBytesReturned = 0;
        return Fail(ERROR_NOT_SUPPORTED);
    }
}

void SetCleanRebootFlag()
{
    if (Device* dev = Current())
        dev->cleanReboot.store(true);
}

void Sleep(DWORD dwMilliseconds)
{
    if (dwMilliseconds == INFINITE) {
        for (;;)
            std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD GetTickCount()
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return DWORD(std::uint64_t(ts.tv_sec) * 1000u + std::uint64_t(ts.tv_nsec) / 1000000u);
}

void GetLocalTime(SYSTEMTIME* lpSystemTime)
{
    if (!lpSystemTime)
        return;
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm local;
    localtime_r(&ts.tv_sec, &local);
    lpSystemTime->wYear = WORD(local.tm_year + 1900);
    lpSystemTime->wMonth = WORD(local.tm_mon + 1);
    lpSystemTime->wDayOfWeek = WORD(local.tm_wday);
    lpSystemTime->wDay = WORD(local.tm_mday);
    lpSystemTime->wHour = WORD(local.tm_hour);
    lpSystemTime->wMinute = WORD(local.tm_min);
    lpSystemTime->wSecond = WORD(local.tm_sec > 59 ? 59 : local.tm_sec);
    lpSystemTime->wMilliseconds = WORD(ts.tv_nsec / 1000000);
}

void OutputDebugString(LPCWSTR lpOutputString)
{
    if (lpOutputString)
        exchange::DebugOutput(std::u16string_view(lpOutputString));
}

} // namespace ce
