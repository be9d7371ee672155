// Names of the store: case folding for the device's case-insensitive,
// case-preserving lookups, and the strict UTF-8 form names take on the host.
//
// Pure functions; safe from any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace store {

// The name as the host stores it: UTF-8. Empty when `name` holds an unpaired
// surrogate.
std::optional<std::string> HostName(std::u16string_view name);

// The device's name for a host file name; empty when the host name is not
// well-formed UTF-8 (such files are invisible to the device).
std::optional<std::u16string> DeviceName(std::string_view hostName);

// Unicode simple upper-case mapping of each code point (the fold Windows
// uses for file names); unpaired surrogates stay as they are.
std::u32string Fold(std::u16string_view name);
// The same for a host name; empty when it is not well-formed UTF-8.
std::u32string FoldUtf8(std::string_view hostName);

// True when the two names are one name to the device.
bool SameName(std::u16string_view a, std::u16string_view b);

} // namespace store
