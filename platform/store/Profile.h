// Device profiles: what kind of device the emulated one is.
//
// A profile fixes the OS version, the platform type text and OEM text (what
// the desktop reports as "DeviceType" and "DeviceOemInfo"), the CSD text of
// the version record, the device identifier bytes (what the identifier
// request of a device program returns) and which engine runtimes a new
// store comes with.
//
// Built in: "pocketpc" (Windows Mobile 5, CE 5.1), "pocketpc2003" (CE 4.20),
// "smartphone" (CE 5.1), "wince" (plain Windows CE 4.20), "ppc2002" (CE 3.0).
//
// Profile file (UTF-8 text; also how the device folder remembers the profile
// in use). One "key = value" per line; blank lines and lines starting with
// "#" are ignored; keys are case-insensitive:
//
//   base       = pocketpc          start from a built-in profile (first line)
//   name       = my-handheld       letters, digits, "-", "_", "."
//   os         = 5.1.1700          major.minor.build
//   platform   = PocketPC          platform type text
//   oem        = Contoso Handheld  OEM text
//   csd        = Service Pack 1    CSD text (may be empty)
//   identifier = 5800000014000000...  hex bytes, spaces allowed, 80 to 4096 bytes
//   runtimes   = 2.0 3.0           engine runtimes of a new store: any of 2.0,
//                                  3.0, or "none"
//
// Without "base", name, os, platform, oem and identifier must all be given.
//
// Pure functions; safe from any thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace device {

inline constexpr std::size_t kMinIdentifierBytes = 80;
inline constexpr std::size_t kMaxIdentifierBytes = 4096;

struct Profile {
    std::string name;
    DWORD major = 0, minor = 0, build = 0;
    std::u16string platformType;
    std::u16string oemInfo;
    std::u16string csdVersion;
    std::vector<std::uint8_t> identifier;
    bool engine20 = true;
    bool engine30 = true;
};

const std::vector<std::string>& BuiltInProfileNames();
std::optional<Profile> BuiltInProfile(std::string_view name);

// Parses profile text. False with "line N: reason" in *error.
bool ParseProfile(std::string_view text, Profile* profile, std::string* error);
// The profile as text that ParseProfile reads back to an equal profile.
std::string FormatProfile(const Profile& profile);

// A built-in name, or else the path of a profile file. False with a reason.
bool LoadProfile(const std::string& nameOrFile, Profile* profile, std::string* error);

bool operator==(const Profile& a, const Profile& b);

} // namespace device
