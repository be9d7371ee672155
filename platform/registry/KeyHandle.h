// What a key handle of the device registry stands for, and the rules of
// every operation through one, in one place for every handle layer (the
// remote-access server's sessions and the device programs' library):
//   - a handle names its key by root and path, so it outlives nothing: when
//     its key is deleted meanwhile, an operation that finds nothing reports
//     ERROR_KEY_DELETED rather than ERROR_FILE_NOT_FOUND;
//   - nothing is ever created below a deleted key through a stale handle
//     (creating the sub-key would bring the deleted key back).
// Plain functions over a Hive; as thread-safe as the Hive.
#pragma once

#include "platform/registry/Hive.h"

#include <string>
#include <string_view>

namespace reg {

// A handle's key: a root and a path below it ("" for the root itself).
struct KeyRef {
    Root root = 0;
    std::u16string path;
};

// True for the three predefined root keys, which are handles of their own.
inline bool IsRootKey(std::uint32_t key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// `base` joined with sub-key path `sub` (one leading "\" of `sub` ignored).
std::u16string JoinKeyPath(const std::u16string& base, std::u16string_view sub);

// The result of an operation through `key` as a handle layer reports it:
// ERROR_KEY_DELETED when it failed because the key itself is gone.
Result ThroughHandle(Hive& hive, const KeyRef& key, Result result);

// Opens (or with `create`, creates) sub-key `sub` of `base` and names it in
// *opened; *created (may be null) tells whether it was made. A stale `base`
// gives ERROR_KEY_DELETED and creates nothing.
Result OpenSubKey(Hive& hive, const KeyRef& base, std::u16string_view sub, bool create, KeyRef* opened,
    bool* created = nullptr);

// Deletes sub-key `sub` of `key` with everything below it.
Result DeleteSubKey(Hive& hive, const KeyRef& key, std::u16string_view sub);

} // namespace reg
