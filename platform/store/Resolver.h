// Component-by-component resolution of device paths below a root descriptor.
// Internal to the store; see Store.h for the rules it keeps.
#pragma once

#include "platform/store/DevicePath.h"
#include "platform/store/UniqueFd.h"

#include <string>
#include <sys/stat.h>

namespace store {

enum class EntryKind {
    Missing,
    File,
    Directory,
    Foreign, // a symbolic link or special file: occupies its name, nothing more
};

struct Entry {
    EntryKind kind = EntryKind::Missing;
    std::string hostName; // the stored spelling when found, else the asked name in UTF-8
    struct stat st { };
};

// Looks `name` up in folder `dir`: the exact spelling first, then a scan
// for a case-insensitive match. ERROR_INVALID_NAME when the name cannot be
// stored, ERROR_FILENAME_EXCED_RANGE when its host form is too long.
DWORD Lookup(int dir, std::u16string_view name, Entry* entry);

// The resolved form of a parsed path: the folder that holds its last
// component and that component's entry. For the root, `dir` is the root and
// `entry` is a directory named ".".
struct Target {
    DevicePath path;
    UniqueFd dir;
    Entry entry;
    bool IsRoot() const { return path.IsRoot(); }
    const std::u16string& LastName() const { return path.components.back(); }
};

// Parses `text` and resolves it. ERROR_PATH_NOT_FOUND when a folder on the
// way is missing or not a folder. For a pattern with wildcards the entry is
// left Missing.
DWORD Locate(int root, std::u16string_view text, PathKind kind, Target* target);

// Holds an exclusive lock on a folder while a name in it is created, so two
// creators cannot add two spellings of one name.
class FolderLock {
public:
    explicit FolderLock(int dir);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int m_dir;
};

} // namespace store
