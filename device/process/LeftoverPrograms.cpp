#include "device/process/LeftoverPrograms.h"

#include "device/process/ProcessTable.h"
#include "platform/store/DeviceFolder.h"
#include "platform/store/UniqueFd.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>

namespace device {
namespace {

// A killed program must be gone within this time.
constexpr int kEndMilliseconds = 10000;

std::string ReadAll(const std::filesystem::path& path)
{
    store::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::string text;
    if (fd.get() < 0)
        return text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd.get(), buffer, sizeof buffer)) > 0)
        text.append(buffer, std::size_t(n));
    return text;
}

// True when the NUL-separated environment `env` marks a program of `deviceDir`.
bool IsProgramOf(std::string_view env, const std::filesystem::path& deviceDir)
{
    const std::string dirName = std::string(kEnvDeviceDir) + "=";
    const std::string idName = std::string(ProcessTable::kEnvProcessId) + "=";
    bool hasId = false;
    std::string dir;
    while (!env.empty()) {
        std::size_t end = env.find('\0');
        std::string_view entry = env.substr(0, end);
        if (entry.starts_with(dirName))
            dir = entry.substr(dirName.size());
        else if (entry.starts_with(idName))
            hasId = true;
        env.remove_prefix(end == std::string_view::npos ? env.size() : end + 1);
    }
    std::error_code ec;
    return hasId && !dir.empty() && std::filesystem::equivalent(dir, deviceDir, ec);
}

} // namespace

bool EndLeftoverPrograms(
    const std::filesystem::path& deviceDir, std::vector<pid_t>* ended, std::string* error)
{
    ended->clear();
    std::error_code ec;
    for (std::filesystem::directory_iterator it("/proc", ec), done; !ec && it != done; it.increment(ec)) {
        const std::filesystem::path entry = it->path();
        const std::string name = entry.filename().string();
        char* end = nullptr;
        long pid = std::strtol(name.c_str(), &end, 10);
        if (*end != '\0' || pid <= 0 || pid == getpid())
            continue;
        // The descriptor pins the process that is examined: if the id passes
        // to another process meanwhile, the signal below reaches nobody.
        store::UniqueFd process(int(syscall(SYS_pidfd_open, pid_t(pid), 0)));
        if (process.get() < 0 || !IsProgramOf(ReadAll(entry / "environ"), deviceDir))
            continue;
        if (syscall(SYS_pidfd_send_signal, process.get(), SIGKILL, nullptr, 0) != 0)
            continue; // it ended by itself
        pollfd exited { process.get(), POLLIN, 0 };
        if (poll(&exited, 1, kEndMilliseconds) != 1) {
            *error = "a device program (pid " + std::to_string(pid)
                + ") that an earlier device on this store left running would not end";
            return false;
        }
        ended->push_back(pid_t(pid));
    }
    return true;
}

} // namespace device
