// Runs a device program's host executable as a child process of the device
// host. Internal to the process table.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace device {

struct LaunchPlan {
    int imageFd = -1; // the store file holding the executable, open for reading
    std::string argv0; // the program's file name
    std::string commandLine; // UTF-8; passed as argv[1] unless empty
    // "NAME=value" entries added to (and replacing) the host's environment;
    // QUORVANE_CE_HOST_FD is added by the launcher itself.
    std::vector<std::string> environment;
    // Where an executable copy may be made when anonymous memory cannot be
    // executed on this machine.
    std::filesystem::path scratchDir;
};

struct Launched {
    int pid = -1;
    int pidfd = -1; // a process descriptor of the child (close-on-exec)
    int linkFd = -1; // the host's end of the child's host link (close-on-exec)
};

// The child gets its host link as descriptor kChildLinkFd.
inline constexpr int kChildLinkFd = 3;

// True when the first bytes of `fd` are an ELF header's magic.
bool IsHostExecutable(int fd);

// Copies the executable out of the store and starts it. ERROR_SUCCESS with
// *launched filled; ERROR_BAD_EXE_FORMAT when the kernel refuses the image;
// ERROR_NOT_ENOUGH_MEMORY, ERROR_TOO_MANY_OPEN_FILES or ERROR_GEN_FAILURE
// when the host cannot start a process.
//
// The program is the leader of a process group of its own (its id is the
// group's), and is killed by the kernel when the calling thread ends: call
// it only from a thread that lives as long as the programs may (LaunchThread).
DWORD LaunchProgram(const LaunchPlan& plan, Launched* launched);

} // namespace device
