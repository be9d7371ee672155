// Where every desktop and device file of Quorvane lives on this machine.
//
// Without QUORVANE_HOME the usual XDG folders are used; with it, everything
// moves beneath that one folder, so tests and demos never touch the user's
// real hive, store or cache:
//
//   what                 QUORVANE_HOME=H          default
//   desktop hive         H/desktop/registry       $XDG_CONFIG_HOME/Quorvane/registry
//   desktop cache        H/desktop/cache          $XDG_CACHE_HOME/Quorvane
//   device folder        H/device                 $XDG_DATA_HOME/Quorvane/device
//   device socket        H/run/cedevice.sock      $XDG_RUNTIME_DIR/quorvane/cedevice.sock
//                                                 (or /tmp/quorvane-UID/cedevice.sock)
//
// A device folder (cedevice's --store) holds "files" (the device's object
// store, the root of every device path), "registry" (the device hive) and the
// host's own state files.
//
// All functions are safe from any thread; they read the environment each call.
#pragma once

#include <filesystem>
#include <string>

namespace home {

// QUORVANE_HOME when set and not empty, else an empty path.
std::filesystem::path Override();

std::filesystem::path DesktopHiveDir();
std::filesystem::path DesktopCacheDir();
std::filesystem::path DeviceDir();
std::filesystem::path DeviceSocketPath();

// The longest path a Unix-domain socket address can hold (sun_path less its NUL).
constexpr std::size_t kMaxSocketPath = 107;

// Empty when `path` fits a socket address, else a message that says why not.
std::string CheckSocketPath(const std::filesystem::path& path);

}  // namespace home
