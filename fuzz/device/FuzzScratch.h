// Scratch folders for the device fuzz targets: in memory where the system
// has a memory file system (creating and removing files on a disk costs more
// than the code under test), and emptied now and then, so that the folders
// the targets fill do not grow without end and slow every later lookup.
#pragma once

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace fuzzscratch {

// A fresh folder; aborts when none can be made. Every file the process
// writes from then on stays below 64 MB (a write past that fails), since the
// folder may be in memory and inputs may ask for any size.
inline std::filesystem::path MakeFolder()
{
    const rlimit limit { 64u << 20, 64u << 20 };
    signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        std::abort();
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/qvfuzz-XXXXXX" : "/tmp/qvfuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

// True once every `period` calls: when a target empties its folders. Inputs
// that create files keep coming, and a folder of many entries slows every
// lookup and listing in it; a few dozen entries are plenty to fuzz with.
inline bool NowAndThen(unsigned period = 32)
{
    static unsigned calls = 0;
    return ++calls % period == 0;
}

// Removes everything inside `folder`, its sub-folders' contents included.
inline void Empty(const std::filesystem::path& folder)
{
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(entry.path(), ec);
}

} // namespace fuzzscratch
