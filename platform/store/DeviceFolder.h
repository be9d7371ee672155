// The layout of a device folder (cedevice's --store DIR), shared by the
// device host and the device programs it starts:
//
//   DIR/files            the object store: device path "\" is this folder
//   DIR/registry/        the device registry hive (LMDB)
//   DIR/profile          the profile in use, in the profile file format
//   DIR/cedevice.lock    locked (flock, exclusive) by the running device host
//   DIR/cedevice.state   written by the running device host: "pid=N",
//                        "socket=PATH", "profile=NAME", one per line
//   DIR/cedevice.log     the device host's own messages once it runs detached
//
// Device programs find their device through the environment the device host
// gives them: kEnvDeviceDir names DIR, kEnvDeviceSocket the host's socket.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace device {

inline constexpr const char* kEnvDeviceDir = "QUORVANE_DEVICE_DIR";
inline constexpr const char* kEnvDeviceSocket = "QUORVANE_DEVICE_SOCKET";

struct DeviceFolder {
    std::filesystem::path dir;

    std::filesystem::path Files() const { return dir / "files"; }
    std::filesystem::path Registry() const { return dir / "registry"; }
    std::filesystem::path ProfileFile() const { return dir / "profile"; }
    std::filesystem::path LockFile() const { return dir / "cedevice.lock"; }
    std::filesystem::path StateFile() const { return dir / "cedevice.state"; }
    std::filesystem::path LogFile() const { return dir / "cedevice.log"; }
};

// Writes `content` to `path` through a temporary file in the same folder,
// flushed and renamed into place, so readers see the old or the new content,
// never a part. False with a reason in *error.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view content, std::string* error);

} // namespace device
