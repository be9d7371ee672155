// Windows attributes and times of store entries.
//
// The write time is the host file's modification time and the access time
// its access time, so a change made by any process shows at once. The
// attributes and the creation time, which the host cannot hold, live in the
// extended attribute "user.quorvane" of each entry: 12 bytes, the attributes
// as u32 and the creation time as a u64 FILETIME, little-endian. An entry
// without it (placed there by the host) reads as archive (files) or plain
// directory, created when it was last written.
//
// Functions taking (dirFd, name) never follow a symbolic link at `name`.
// Safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace store {

inline constexpr const char* kMetaAttribute = "user.quorvane";

// The bits a caller may set; FILE_ATTRIBUTE_INROM is kept as it was.
inline constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN
    | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;
inline constexpr DWORD kStoredAttributes = kSettableAttributes | FILE_ATTRIBUTE_INROM;

struct Meta {
    DWORD stored = 0; // the kept bits, without directory and normal
    std::uint64_t creation = 0;
    bool present = false; // the entry carries the extended attribute
};

std::uint64_t FileTimeFromTimespec(const struct timespec& t);
struct timespec TimespecFromFileTime(std::uint64_t fileTime);
std::uint64_t FileTimeNow();

// The attributes as the device reports them: the kept bits, the directory
// bit, or FILE_ATTRIBUTE_NORMAL when nothing else is set.
DWORD ReportedAttributes(const Meta& meta, bool isDirectory);

// Reads the kept metadata; `st` supplies the fallbacks.
Meta ReadMeta(int fd, const struct stat& st);
Meta ReadMetaAt(int dirFd, const std::string& name, const struct stat& st);

// Stores attributes and creation time. ERROR_SUCCESS or a Win32 error.
DWORD WriteMeta(int fd, DWORD stored, std::uint64_t creation);
DWORD WriteMetaAt(int dirFd, const std::string& name, DWORD stored, std::uint64_t creation);

// True when the file system under `dirFd` keeps user extended attributes.
bool SupportsMeta(int dirFd);

} // namespace store
