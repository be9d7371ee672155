#include "Home.h"

#include <cstdlib>
#include <unistd.h>

namespace home {
namespace {

std::filesystem::path EnvPath(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}

std::filesystem::path XdgDir(const char* variable, const char* fallbackUnderHome)
{
    std::filesystem::path dir = EnvPath(variable);
    if (!dir.empty())
        return dir;
    std::filesystem::path userHome = EnvPath("HOME");
    if (userHome.empty())
        userHome = "/tmp";
    return userHome / fallbackUnderHome;
}

}  // namespace

std::filesystem::path Override()
{
    return EnvPath("QUORVANE_HOME");
}

std::filesystem::path DesktopHiveDir()
{
    if (auto h = Override(); !h.empty())
        return h / "desktop" / "registry";
    return XdgDir("XDG_CONFIG_HOME", ".config") / "Quorvane" / "registry";
}

std::filesystem::path DesktopCacheDir()
{
    if (auto h = Override(); !h.empty())
        return h / "desktop" / "cache";
    return XdgDir("XDG_CACHE_HOME", ".cache") / "Quorvane";
}

std::filesystem::path DeviceDir()
{
    if (auto h = Override(); !h.empty())
        return h / "device";
    return XdgDir("XDG_DATA_HOME", ".local/share") / "Quorvane" / "device";
}

std::filesystem::path DeviceSocketPath()
{
    if (auto h = Override(); !h.empty())
        return h / "run" / "cedevice.sock";
    if (auto runtime = EnvPath("XDG_RUNTIME_DIR"); !runtime.empty())
        return runtime / "quorvane" / "cedevice.sock";
    return std::filesystem::path("/tmp") / ("quorvane-" + std::to_string(getuid())) / "cedevice.sock";
}

std::string CheckSocketPath(const std::filesystem::path& path)
{
    if (path.native().size() <= kMaxSocketPath)
        return {};
    return "socket path too long (" + std::to_string(path.native().size()) + " bytes, at most " +
           std::to_string(kMaxSocketPath) + "): " + path.native() +
           "; choose a shorter QUORVANE_HOME or --socket";
}

}  // namespace home
