// The application a device CAB package holds, read from the first bytes of
// the cabinet without extracting it.
//
// The cabinet starts with "MSCF"; the application's two strings lie near byte
// 108 plus the 16-bit little-endian value at byte 36 (our CABs put their
// manifest's application name and provider there). When that byte is zero the
// strings are found by a short backward search for the end of one printable
// string followed by the start of the next.
//
// Every read is bounded by the bytes actually given: a short, truncated or
// hostile file gives NotCab or NoName, never a read outside `bytes`.
//
// Pure functions, safe from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace exchange {

// How many leading bytes of a CAB file the desktop reads to find the name.
inline constexpr std::size_t kCabHeaderReadSize = 12000;

enum class CabHeaderResult {
    NotCab, // the bytes do not start with "MSCF"
    NoName, // a cabinet, but no usable pair of strings where the name lies
    Named, // `first` and `second` hold the two strings
};

struct CabApplication {
    std::string first; // the application, 8-bit text as stored
    std::string second; // the provider, the string after `first`'s terminator
};

// Finds the two strings in the first bytes of a CAB file (pass at most
// kCabHeaderReadSize bytes; more are ignored). A string counts only when its
// terminating zero lies inside `bytes`, it is not empty, and it holds no
// control character and no backslash (it becomes part of a registry key
// name). `out` is set only for Named.
CabHeaderResult ReadCabApplication(std::span<const std::uint8_t> bytes, CabApplication& out);

// The application name the user sees and the device's installer keys under
// "Software\Apps\": the provider, a space, the application.
std::string CabApplicationName(const CabApplication& application);

} // namespace exchange
