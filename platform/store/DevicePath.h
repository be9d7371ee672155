// Device paths: absolute, "\"-separated UTF-16 paths of the emulated device.
//
// A path is parsed into its components before anything touches the store:
//   - "\" separates components; empty components ("\\") are skipped; a path
//     without a leading "\" counts from the root as well.
//   - "." is dropped and ".." removes the component before it; ".." at the
//     root stays at the root, so no path can name anything above it.
//   - Trailing dots and spaces of a component are dropped as Windows does
//     ("a.txt." is "a.txt"); a component left empty is an invalid name.
//   - A component holding a control character or one of < > : " / | ? * is
//     an invalid name (ERROR_INVALID_NAME); for a find pattern, ? and * are
//     allowed in the last component only.
//   - A component of more than 255 UTF-16 units gives
//     ERROR_FILENAME_EXCED_RANGE; a path whose normal form ("\" + components
//     joined by "\") is longer than 259 units gives ERROR_PATH_NOT_FOUND.
//   - Unpaired surrogates cannot be stored and give ERROR_INVALID_NAME.
//
// Pure functions; safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace store {

inline constexpr std::size_t kMaxComponentLength = 255;
inline constexpr std::size_t kMaxPathLength = MAX_PATH - 1;

struct DevicePath {
    std::vector<std::u16string> components; // empty: the root
    bool wildcard = false; // the last component holds ? or *

    bool IsRoot() const { return components.empty(); }
    // "\" + components joined by "\".
    std::u16string Text() const;
};

enum class PathKind {
    Name, // every component a plain name
    Pattern, // the last component may hold ? and *
};

// Parses `path` into *out. ERROR_SUCCESS, ERROR_INVALID_NAME,
// ERROR_FILENAME_EXCED_RANGE or ERROR_PATH_NOT_FOUND (too long).
DWORD ParseDevicePath(std::u16string_view path, PathKind kind, DevicePath* out);

// True when `name` is a valid single component (no separators, nothing
// Windows forbids, no trailing dot or space, 1..255 units, well-formed UTF-16).
bool IsValidComponent(std::u16string_view name);

// Windows wildcard match of `name` against `pattern`, case-insensitive:
// * any run of characters, ? exactly one; "*.*" matches every name, and a
// pattern ending in ".*" also matches the name without an extension.
bool MatchesPattern(std::u16string_view pattern, std::u16string_view name);
// The same on names already folded (see Names.h), for listing many names.
bool MatchesFolded(const std::u32string& foldedPattern, const std::u32string& foldedName);

} // namespace store
