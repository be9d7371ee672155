// The device's object store: a host folder whose root is the device's "\".
//
// Every operation takes device paths (see DevicePath.h) and resolves them
// component by component from a descriptor of the root, with openat() and
// O_NOFOLLOW, matching each component case-insensitively (the first spelling
// is kept). Nothing outside the root can be reached: ".." stops at the root,
// and symbolic links, sockets and other special files inside the store are
// invisible to the device (they are never followed, never listed, and a name
// they occupy cannot be created). Host names that are not well-formed UTF-8
// or that a device name could not hold are not listed either.
//
// Results are Win32 error codes: ERROR_SUCCESS or the code the device's
// last error takes. Common ones: ERROR_FILE_NOT_FOUND (the last component is
// missing), ERROR_PATH_NOT_FOUND (a folder on the way is missing or is a
// file), ERROR_INVALID_NAME, ERROR_FILENAME_EXCED_RANGE, ERROR_ACCESS_DENIED
// (read-only or ROM entry, a folder where a file is needed), and
// ERROR_SHARING_VIOLATION (see ShareLock.h).
//
// A Store may be used from any number of threads at once, and any number of
// processes may open the same root: all coordination lives in the file
// system (sharing locks, a short lock on a folder while a name is created).
#pragma once

#include "platform/rapi/CeTypes.h"
#include "platform/store/UniqueFd.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace store {

// One directory entry, filled as the field mask asked (FAF_* bits); the
// other fields are zero.
struct FindEntry {
    DWORD attributes = 0;
    std::uint64_t creation = 0, access = 0, write = 0; // FILETIME values
    std::uint64_t size = 0;
    DWORD oid = 0; // the host inode number's low 32 bits
    std::u16string name;
};

// An open store file. Moving it keeps the open; destroying it closes the
// file and drops its sharing.
class File {
public:
    // A device file's size is a 32-bit number: no position or write goes past it.
    static constexpr std::uint64_t kMaxSize = 0xFFFFFFFFull;

    File(UniqueFd fd, DWORD access)
        : m_fd(std::move(fd))
        , m_access(access)
    {
    }

    // Reads up to `count` bytes at the file position; *done = 0 at the end
    // of the file. ERROR_ACCESS_DENIED without read access.
    DWORD Read(void* buffer, std::uint32_t count, std::uint32_t* done);
    // Writes all `count` bytes at the file position (ERROR_DISK_FULL when the
    // disk is full: *done says how many made it; also, with nothing written,
    // when the file would grow past kMaxSize) and marks the file for
    // archiving. ERROR_ACCESS_DENIED without write access.
    DWORD Write(const void* data, std::uint32_t count, std::uint32_t* done);
    DWORD Size(std::uint64_t* size) const;
    // Moves the position: method FILE_BEGIN/FILE_CURRENT/FILE_END.
    // ERROR_NEGATIVE_SEEK before the start, ERROR_INVALID_PARAMETER for a bad
    // method or past kMaxSize.
    DWORD Seek(std::int64_t distance, DWORD method, std::uint64_t* position);
    // FILETIME values; null pointers are skipped (Set) or not filled (Get).
    // Setting needs write access.
    DWORD GetTimes(std::uint64_t* creation, std::uint64_t* access, std::uint64_t* write) const;
    DWORD SetTimes(const std::uint64_t* creation, const std::uint64_t* access, const std::uint64_t* write);

    int fd() const { return m_fd.get(); }
    DWORD access() const { return m_access; }

private:
    UniqueFd m_fd;
    DWORD m_access;
    bool m_archived = false;
};

class Store {
public:
    // Opens the store rooted at host folder `root` (which must exist).
    // Null, with a one-line reason in *error, when the folder cannot be
    // opened or its file system keeps no extended attributes.
    static std::unique_ptr<Store> Open(const std::filesystem::path& root, std::string* error);

    // Opens or creates a file. `access`: GENERIC_READ and/or GENERIC_WRITE
    // (or 0 to query); `share`: FILE_SHARE_*; `disposition`: CREATE_NEW,
    // CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING;
    // `attributes`: for a new (or replaced) file, FILE_ATTRIBUTE_* (archive is
    // added). *existed tells whether the file was there before (the caller
    // reports ERROR_ALREADY_EXISTS with success for CREATE_ALWAYS and
    // OPEN_ALWAYS). Errors: ERROR_FILE_EXISTS (CREATE_NEW), ERROR_FILE_NOT_FOUND,
    // ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED (a folder, a read-only or ROM
    // file opened for writing), ERROR_SHARING_VIOLATION,
    // ERROR_INVALID_PARAMETER (bad disposition), ERROR_INVALID_NAME.
    DWORD CreateFile(std::u16string_view path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
        std::unique_ptr<File>* file, bool* existed);

    // ERROR_ACCESS_DENIED for a folder, a read-only or ROM file;
    // ERROR_SHARING_VIOLATION when an open forbids deleting.
    DWORD DeleteFile(std::u16string_view path);
    // Renames or moves a file or folder. ERROR_ALREADY_EXISTS when `to` names
    // another entry; a change of case only is allowed. ERROR_ACCESS_DENIED
    // for the root, a ROM file, or a folder moved into itself.
    DWORD MoveFile(std::u16string_view from, std::u16string_view to);
    // Copies content, attributes and write time. ERROR_FILE_EXISTS when
    // `failIfExists` and `to` exists; a failed copy leaves no partial target.
    DWORD CopyFile(std::u16string_view from, std::u16string_view to, bool failIfExists);
    // ERROR_ALREADY_EXISTS when the name is taken (by a file or a folder).
    DWORD CreateDirectory(std::u16string_view path);
    // ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY for a file, ERROR_ACCESS_DENIED
    // for the root or a read-only folder.
    DWORD RemoveDirectory(std::u16string_view path);

    DWORD GetAttributes(std::u16string_view path, DWORD* attributes);
    // Keeps the settable bits of `attributes` (FILE_ATTRIBUTE_NORMAL clears them all).
    DWORD SetAttributes(std::u16string_view path, DWORD attributes);

    // Lists the entries matching `pattern` (a folder path and a last
    // component that may hold wildcards; without wildcards, the one entry of
    // that name). `fieldMask` says which fields to fill (FAF_* bits; the name
    // is always filled); FAF_FOLDERS_ONLY keeps folders only. An empty list
    // is a success; ERROR_PATH_NOT_FOUND when the folder is missing.
    DWORD Find(std::u16string_view pattern, DWORD fieldMask, std::vector<FindEntry>* entries);

    // Creates a ROM file: content `data`, attributes read-only, system and
    // in-ROM. For the factory image.
    DWORD CreateRomFile(std::u16string_view path, std::string_view data);

    int rootFd() const { return m_root.get(); }

private:
    explicit Store(UniqueFd root)
        : m_root(std::move(root))
    {
    }
    UniqueFd m_root;
};

} // namespace store
