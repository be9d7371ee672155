// Registry names inside the hive: path splitting and the byte form, folded
// by exchange/CaseFold.h, that orders and finds names in LMDB. Internal to
// the registry library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace reg::names {

// The longest encoded name, in bytes (fits an LMDB key with its 9-byte head).
inline constexpr std::size_t kMaxEncoded = 502;

// Writes the folded form of `name` as UTF-16 big-endian bytes into `out`
// (kMaxEncoded bytes), so that byte order is the order of folded code units.
// Names whose folded form is longer than kMaxEncoded bytes are written as
// their first 240 folded units followed by a 17-byte digest of the whole
// folded name; the odd length tells the two forms apart. Returns the byte count.
std::size_t Encode(std::u16string_view name, std::uint8_t* out);

// Splits a key path: drops one leading and one trailing "\", then calls
// `next(component)` for each component in order. Returns false (having
// called `next` for none or some) when a component is empty, too long, or
// holds a NUL, or when `next` returns false.
template <typename F> bool ForEachComponent(std::u16string_view path, F&& next);

// True when `path` (after the leading/trailing "\" rule) is empty: the root.
bool IsRootPath(std::u16string_view path);

bool ValidKeyName(std::u16string_view name);
bool ValidValueName(std::u16string_view name);

// ---------------------------------------------------------------------------

inline std::u16string_view Trim(std::u16string_view path)
{
    if (!path.empty() && path.front() == u'\\')
        path.remove_prefix(1);
    if (!path.empty() && path.back() == u'\\')
        path.remove_suffix(1);
    return path;
}

inline bool IsRootPath(std::u16string_view path)
{
    return Trim(path).empty();
}

template <typename F> bool ForEachComponent(std::u16string_view path, F&& next)
{
    path = Trim(path);
    if (path.empty())
        return true;
    while (true) {
        std::size_t cut = path.find(u'\\');
        std::u16string_view part = path.substr(0, cut);
        if (!ValidKeyName(part) || !next(part))
            return false;
        if (cut == std::u16string_view::npos)
            return true;
        path.remove_prefix(cut + 1);
    }
}

} // namespace reg::names
