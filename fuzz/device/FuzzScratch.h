// Scratch folders for the device fuzz targets: in memory where the system
// has a memory file system (creating and removing files on a disk costs more
// than the code under test), and emptied now and then, so that the folders
// the targets fill do not grow without end and slow every later lookup.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <unistd.h>

namespace fuzzscratch {

// A fresh folder; aborts when none can be made.
inline std::filesystem::path MakeFolder()
{
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/qvfuzz-XXXXXX" : "/tmp/qvfuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    return pattern;
}

// Every `period` calls, removes everything in `folder` but the entries named
// in `keep`.
inline void EmptyNowAndThen(
    const std::filesystem::path& folder, std::initializer_list<const char*> keep, unsigned period = 1024)
{
    static unsigned calls = 0;
    if (++calls % period != 0)
        return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        bool kept = false;
        for (const char* name : keep)
            kept = kept || entry.path().filename() == name;
        if (!kept)
            std::filesystem::remove_all(entry.path(), ec);
    }
}

} // namespace fuzzscratch
