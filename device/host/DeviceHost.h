// cedevice's commands: start (connect), stop (disconnect) and status of the
// emulated device on one device folder (see DeviceFolder.h).
//
// Each returns the program's exit status and writes its messages to stdout
// (results) and stderr (errors, one line each).
#pragma once

#include "platform/store/DeviceFolder.h"

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace device {

struct HostOptions {
    std::filesystem::path storeDir; // the device folder
    std::filesystem::path socketPath;
    std::string profile; // a built-in name or a profile file; empty: the store's own, else "pocketpc"
    bool foreground = false;
};

// Starts the device. Detached (unless `foreground`), it returns once the
// socket listens, or with the reason it could not start: 0 started, 1 not.
// In the foreground it serves until SIGTERM or SIGINT and returns 0.
int StartDevice(const HostOptions& options);

// Stops the device of `storeDir` and waits until it has ended: 0 stopped,
// 1 none runs there (or it would not end).
int StopDevice(const std::filesystem::path& storeDir);

// Prints whether a device runs on `storeDir`, and its pid, store, socket and
// profile: 0 when it runs, 3 when it does not.
int DeviceStatus(const std::filesystem::path& storeDir);

struct HostState {
    pid_t pid = 0;
    std::string socket;
    std::string profile;
};

// True when a device host holds the folder's lock (tested without taking it).
bool IsDeviceRunning(const DeviceFolder& folder);
// Reads the running host's state file. False when there is none.
bool ReadHostState(const DeviceFolder& folder, HostState* state);

} // namespace device
