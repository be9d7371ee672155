// A registry hive: a tree of keys holding typed values, stored in one LMDB
// environment (one folder). It stands in for the Windows desktop registry and
// for the registry of an emulated Windows CE device.
//
// Model
//   - Three roots: HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE.
//     Any other root number gives ERROR_INVALID_HANDLE.
//   - A key path names a key below a root: components separated by "\". One
//     leading and one trailing "\" are ignored, so "\Software\Quorvane",
//     "Software\Quorvane" and "Software\Quorvane\" are the same key. The empty
//     path is the root itself. An empty component ("a\\b"), a component longer
//     than kMaxKeyNameLength, or a NUL inside a key name gives
//     ERROR_INVALID_PARAMETER.
//   - Key and value names are case-insensitive and case-preserving: lookups
//     fold both sides with Unicode simple upper-case mapping (so "Straße" and
//     "STRASSE" differ, but "ÄRGER" and "ärger" are one name); the name is
//     kept as it was first written. A value name may hold any character but
//     NUL; the empty name is the key's unnamed (default) value. Value names
//     longer than kMaxValueNameLength give ERROR_INVALID_PARAMETER.
//   - A value has a type number and bytes. Any type number is stored as
//     given; the data is never checked against the type (like Windows).
//   - Sub-keys and values enumerate in the order of their folded names; that
//     order is stable while the key is unchanged.
//
// Results
//   Every operation returns a Win32 error code (Result): ERROR_SUCCESS (0) or
//   one of the codes below. Operations never throw; an allocation failure is
//   reported as ERROR_NOT_ENOUGH_MEMORY.
//   Storage failures (disk full, I/O error, a damaged file) give
//   ERROR_CANTWRITE on writes and ERROR_CANTREAD on reads; nothing is changed
//   by a write that failed.
//
// Threads and processes
//   - One Hive object may be used from any number of threads at once.
//   - Any number of processes may open the same folder at once (the device
//     host and every device program share one device hive). Readers never
//     block the writer nor each other; writers take turns.
//   - Opening the same folder twice in one process shares one environment, as
//     LMDB requires.
//   - Each write is one transaction: after it returned ERROR_SUCCESS, the
//     value survives the writing process being killed at any moment, and the
//     hive always opens cleanly afterwards (a dead writer's lock and the
//     reader slots of dead processes are reclaimed).
//   - With Sync::EveryCommit, a successful write is on disk when it returns
//     (it survives a power cut). With Sync::Lazy, a write reaches the disk when
//     Sync() is called or the operating system writes it back; a crash of the
//     whole machine before that may lose recent writes.
//   - After fork() the child must not use a Hive opened by the parent; it opens
//     its own (exec'd programs simply call Open).
//   - The hive grows by itself: when its memory map is full, the map is
//     enlarged and the write retried, in this process and in every other
//     process that uses the hive.
#pragma once

#include "exchange/Text.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace reg {

// A Win32 error code, as RegXxx functions return it.
using Result = std::int32_t;

inline constexpr Result ERROR_SUCCESS = 0;
inline constexpr Result ERROR_FILE_NOT_FOUND = 2; // key or value does not exist
inline constexpr Result ERROR_ACCESS_DENIED = 5; // a root cannot be deleted or renamed
inline constexpr Result ERROR_INVALID_HANDLE = 6; // unknown root
inline constexpr Result ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr Result ERROR_INVALID_PARAMETER = 87; // bad path, name, or null pointer where data is needed
inline constexpr Result ERROR_ALREADY_EXISTS = 183; // RenameKey onto an existing key
inline constexpr Result ERROR_MORE_DATA = 234; // caller's buffer too small; size holds the need
inline constexpr Result ERROR_NO_MORE_ITEMS = 259; // enumeration index past the last entry
inline constexpr Result ERROR_CANTREAD = 1012; // storage could not be read
inline constexpr Result ERROR_CANTWRITE = 1013; // storage could not be written (disk full, I/O error)
inline constexpr Result ERROR_KEY_DELETED = 1018; // for handle layers: their key was deleted meanwhile

// Root keys (the predefined HKEY values).
using Root = std::uint32_t;
inline constexpr Root HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr Root HKEY_CURRENT_USER = 0x80000001u;
inline constexpr Root HKEY_LOCAL_MACHINE = 0x80000002u;

// Value types.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_DWORD_BIG_ENDIAN = 5;
inline constexpr std::uint32_t REG_LINK = 6;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

// Longest names, in UTF-16 code units (the Windows limits).
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;

// Counts and longest lengths of one key, as RegQueryInfoKey reports them.
struct KeyInfo {
    std::uint32_t subKeys = 0; // number of direct sub-keys
    std::uint32_t maxSubKeyNameLen = 0; // longest sub-key name, UTF-16 units, no terminator
    std::uint32_t values = 0; // number of values, the unnamed value included when set
    std::uint32_t maxValueNameLen = 0; // longest value name, UTF-16 units, no terminator
    std::uint32_t maxValueDataLen = 0; // longest value data, bytes
};

// One value, as read for export or written by import.
struct ValueEntry {
    std::u16string name; // empty: the unnamed value
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// One key of a subtree: its path relative to the subtree's top key (empty for
// the top key itself, else components joined by "\") and its values.
struct KeyEntry {
    std::u16string path;
    std::vector<ValueEntry> values;
};

// One change for Hive::Apply.
struct Change {
    enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
    Kind kind = CreateKey;
    Root root = 0;
    std::u16string path; // the key
    std::u16string name; // the value (SetValue, DeleteValue)
    std::uint32_t type = REG_NONE;
    std::vector<std::uint8_t> data;
};

enum class Sync {
    EveryCommit, // desktop hive: each write is on disk when it returns
    Lazy, // device hive: written back by Sync() or by the system
};

class Hive {
public:
    // Opens the hive in folder `dir`, creating the folder and an empty hive
    // when missing. `initialMapBytes` is the first size of the memory map
    // (0 = the default, a few MiB); the map grows as needed either way.
    // Returns null and sets *error (when not null) to a one-line message
    // naming the folder and the cause when the hive cannot be opened (no
    // permission, not a hive, damaged). Safe from any thread.
    static std::unique_ptr<Hive> Open(const std::filesystem::path& dir, reg::Sync sync, std::string* error,
        std::size_t initialMapBytes = 0);

    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    const std::filesystem::path& Dir() const;

    // Writes every committed change to disk (for a Sync::Lazy hive: the device
    // host calls it when the device stops or resets). ERROR_CANTWRITE when the
    // disk refused.
    Result Sync();

    // Opens or creates the key `path` below `root`, creating missing parents.
    // *created (when not null) is true when the key itself was created, false
    // when it existed. An existing key costs no write. Errors:
    // ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_CANTWRITE.
    Result CreateKey(Root root, std::u16string_view path, bool* created = nullptr);

    // ERROR_SUCCESS when the key exists, ERROR_FILE_NOT_FOUND when it (or a
    // parent) does not; ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER.
    Result OpenKey(Root root, std::u16string_view path);

    // Reads value `name` of key `path`. *type (when not null) receives the
    // type, *data (when not null) the bytes. ERROR_FILE_NOT_FOUND when the key
    // or the value is missing.
    Result QueryValue(Root root, std::u16string_view path, std::u16string_view name, std::uint32_t* type,
        std::vector<std::uint8_t>* data);

    // Buffer form, as RegQueryValueEx: `size` is in/out. With `buffer` null,
    // *size receives the data size and the result is ERROR_SUCCESS. With a
    // buffer of *size bytes: when the data fits it is copied and *size set to
    // its size; when it does not, nothing is copied, *size receives the needed
    // size and the result is ERROR_MORE_DATA. `size` null with `buffer` not
    // null is ERROR_INVALID_PARAMETER. *type is set whenever the value exists.
    // Allocates nothing: this is the fast path of a device program that polls
    // a value.
    Result QueryValue(Root root, std::u16string_view path, std::u16string_view name, std::uint32_t* type,
        void* buffer, std::uint32_t* size);

    // Stores value `name` (type and `size` bytes at `data`) in the existing key
    // `path`, replacing any value of that name (its stored name keeps its
    // first spelling). ERROR_FILE_NOT_FOUND when the key is missing,
    // ERROR_INVALID_PARAMETER when `data` is null and `size` is not 0.
    Result SetValue(Root root, std::u16string_view path, std::u16string_view name, std::uint32_t type,
        const void* data, std::uint32_t size);

    // Removes value `name`. ERROR_FILE_NOT_FOUND when the key or value is missing.
    Result DeleteValue(Root root, std::u16string_view path, std::u16string_view name);

    // Removes key `path` with all its sub-keys and values, in one transaction.
    // ERROR_FILE_NOT_FOUND when missing; ERROR_ACCESS_DENIED for a root (empty path).
    Result DeleteKey(Root root, std::u16string_view path);

    // Gives key `path` the new last component `newName` (no "\" in it),
    // keeping its sub-keys and values. A change of case only is allowed.
    // ERROR_FILE_NOT_FOUND, ERROR_ALREADY_EXISTS when a sibling holds that
    // name, ERROR_ACCESS_DENIED for a root, ERROR_INVALID_PARAMETER.
    Result RenameKey(Root root, std::u16string_view path, std::u16string_view newName);

    // The name of sub-key number `index` of key `path` (0-based, in
    // enumeration order). ERROR_NO_MORE_ITEMS when `index` is past the last;
    // ERROR_FILE_NOT_FOUND when the key is missing. Walking indexes 0, 1, 2...
    // costs one step each, not a rescan.
    Result EnumKey(Root root, std::u16string_view path, std::uint32_t index, std::u16string* name);

    // Value number `index` of key `path`: its name, type and data, each out
    // pointer optional. Results as EnumKey.
    Result EnumValue(Root root, std::u16string_view path, std::uint32_t index, std::u16string* name,
        std::uint32_t* type, std::vector<std::uint8_t>* data);

    // Counts and longest lengths of key `path`. ERROR_FILE_NOT_FOUND when missing.
    Result QueryInfoKey(Root root, std::u16string_view path, KeyInfo* info);

    // Reads key `path` and everything below it from one consistent snapshot,
    // for export: the key itself first (path ""), then each sub-key's subtree
    // in enumeration order (pre-order). ERROR_FILE_NOT_FOUND when missing.
    Result ReadTree(Root root, std::u16string_view path, std::vector<KeyEntry>* keys);

    // Writes a subtree in one transaction, for import: creates key `path` and
    // each listed key below it (entry paths relative to `path`) and stores
    // their values, replacing values of the same names and keeping everything
    // else. Either all of it is written or nothing.
    Result WriteTree(Root root, std::u16string_view path, const std::vector<KeyEntry>& keys);

    // Applies `changes` in order, in one transaction: either all of them or
    // none. Deleting a key or value that is not there is not an error; a
    // SetValue on a missing key is ERROR_FILE_NOT_FOUND (and nothing is
    // changed). Used by import, which may delete as well as write.
    Result Apply(const std::vector<Change>& changes);

    // The key `path` as stored: each component in the spelling it was
    // created with ("software\\QUORVANE" -> "Software\\Quorvane").
    // ERROR_FILE_NOT_FOUND when missing.
    Result StoredPath(Root root, std::u16string_view path, std::u16string* stored);

    struct Env; // one LMDB environment, shared by every Hive of one folder in a process

private:
    Hive(std::shared_ptr<Env> env, std::filesystem::path dir, reg::Sync sync);
    std::shared_ptr<Env> env_;
    std::filesystem::path dir_;
    reg::Sync sync_;
};

// Helpers for the names and paths above.

// The root's number for "HKLM", "HKEY_LOCAL_MACHINE", "HKCU",
// "HKEY_CURRENT_USER", "HKCR", "HKEY_CLASSES_ROOT" (any case); 0 otherwise.
Root RootFromName(std::u16string_view name);

// "HKEY_LOCAL_MACHINE" etc. for a root; empty for an unknown number.
std::u16string_view RootName(Root root);

// True when `a` and `b` are the same registry name (Unicode simple
// case-insensitive comparison). Safe from any thread.
bool NamesEqual(std::u16string_view a, std::u16string_view b);

// UTF-8 <-> UTF-16 conversion for tools and tests; invalid input becomes U+FFFD.
using exchange::FromUtf8;
using exchange::ToUtf8;

} // namespace reg
