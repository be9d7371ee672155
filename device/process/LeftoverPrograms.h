// The device programs that an earlier host of a device folder left running:
// a host killed outright cannot end its programs itself, and the kernel's
// parent-death signal does not reach programs started before it was in
// place or processes they started. They are found by their environment: a
// process whose QUORVANE_DEVICE_DIR is this device folder and that carries
// a device process id (ProcessTable::kEnvProcessId) is one of its programs.
#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace device {

// Kills every program of `deviceDir` that runs (the device host calls it
// once it holds the folder's lock, before it serves anyone) and waits until
// each has ended. True with *ended listing their host process ids; false with
// a one-line *error when one would not end.
bool EndLeftoverPrograms(
    const std::filesystem::path& deviceDir, std::vector<pid_t>* ended, std::string* error);

} // namespace device
