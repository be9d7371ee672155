#include "platform/ce/Device.h"

#include "exchange/Text.h"
#include "platform/store/DeviceFolder.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ce::detail {
namespace {

std::mutex g_attachMutex;
std::atomic<Device*> g_device { nullptr };

// The host link descriptor named by the environment, when it is a socket.
int HostFdFromEnvironment()
{
    const char* text = std::getenv(kEnvHostFd);
    if (!text || !*text)
        return -1;
    char* end = nullptr;
    long fd = std::strtol(text, &end, 10);
    if (*end != '\0' || fd < 0 || fd > 65535)
        return -1;
    struct stat st;
    if (fstat(int(fd), &st) != 0 || !S_ISSOCK(st.st_mode))
        return -1;
    // Host programs a device program might run must not inherit the link.
    fcntl(int(fd), F_SETFD, FD_CLOEXEC);
    return int(fd);
}

std::unique_ptr<Device> AttachFromEnvironment(std::string* error)
{
    const char* dirText = std::getenv(device::kEnvDeviceDir);
    if (!dirText || !*dirText) {
        *error = std::string(device::kEnvDeviceDir)
            + " is not set: this program runs on the emulated device (start it through cedevice)";
        return nullptr;
    }
    auto dev = std::make_unique<Device>();
    device::DeviceFolder folder { dirText };
    dev->dir = folder.dir;
    std::string why;
    dev->hive = reg::Hive::Open(folder.Registry(), reg::Sync::Lazy, &why);
    if (!dev->hive) {
        *error = "the device registry cannot be opened: " + why;
        return nullptr;
    }
    dev->store = store::Store::Open(folder.Files(), &why);
    if (!dev->store) {
        *error = "the device store cannot be opened: " + why;
        return nullptr;
    }
    std::ifstream in(folder.ProfileFile(), std::ios::binary);
    if (in) {
        std::string text((std::istreambuf_iterator<char>(in)), {});
        device::Profile profile;
        if (device::ParseProfile(text, &profile, &why))
            dev->profile = std::move(profile);
    }
    if (const char* module = std::getenv(kEnvModule))
        dev->module = exchange::FromUtf8(module);
    if (const char* id = std::getenv(kEnvProcessId)) {
        char* end = nullptr;
        unsigned long value = std::strtoul(id, &end, 10);
        if (*id && *end == '\0' && value <= 0xFFFFFFFFul)
            dev->processId = DWORD(value);
    }
    dev->hostFd = HostFdFromEnvironment();
    return dev;
}

Device* AttachLocked(std::string* error)
{
    Device* dev = g_device.load(std::memory_order_acquire);
    if (dev)
        return dev;
    std::string why;
    auto made = AttachFromEnvironment(&why);
    if (!made) {
        if (error)
            *error = why;
        return nullptr;
    }
    dev = made.release();
    g_device.store(dev, std::memory_order_release);
    return dev;
}

} // namespace

Device::~Device()
{
    if (hostFd >= 0)
        ::close(hostFd);
}

DWORD Device::Ask(link::LinkOp op, const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>* reply)
{
    std::lock_guard lock(hostMutex);
    if (hostFd < 0)
        return ERROR_NOT_SUPPORTED;
    if (!link::SendLinkFrame(hostFd, op, request))
        return ERROR_BROKEN_PIPE;
    link::LinkOp answered;
    if (link::ReadLinkFrame(hostFd, &answered, reply) != link::LinkIo::Ok || answered != op) {
        // A link out of step cannot be trusted again.
        ::close(hostFd);
        hostFd = -1;
        return ERROR_BROKEN_PIPE;
    }
    return ERROR_SUCCESS;
}

Device* Current()
{
    Device* dev = g_device.load(std::memory_order_acquire);
    if (dev)
        return dev;
    std::lock_guard lock(g_attachMutex);
    dev = AttachLocked(nullptr);
    if (!dev)
        LastErrorSlot() = ERROR_NOT_CONNECTED;
    return dev;
}

DWORD& LastErrorSlot()
{
    thread_local DWORD lastError = ERROR_SUCCESS;
    return lastError;
}

std::u16string_view View(LPCWSTR text)
{
    return text ? std::u16string_view(text) : std::u16string_view();
}

} // namespace ce::detail

namespace ce {

bool Attach(std::string* error)
{
    std::lock_guard lock(detail::g_attachMutex);
    return detail::AttachLocked(error) != nullptr;
}

reg::Hive* DeviceRegistry()
{
    detail::Device* dev = detail::Current();
    return dev ? dev->hive.get() : nullptr;
}

void Detach()
{
    std::lock_guard lock(detail::g_attachMutex);
    delete detail::g_device.exchange(nullptr, std::memory_order_acq_rel);
}

DWORD GetLastError()
{
    return detail::LastErrorSlot();
}

void SetLastError(DWORD dwErrCode)
{
    detail::LastErrorSlot() = dwErrCode;
}

} // namespace ce
