// The factory image of a new device: the folders and ROM programs of its
// store and the keys of its registry, as a device leaves the factory (and as
// a hard reset restores it).
//
// ROM programs are store files with the attributes read-only, system and
// in-ROM, whose content starts with kRomMagic followed by the program's
// file name and a line break; the process host runs such a file as a
// simulated process.
#pragma once

#include "platform/registry/Hive.h"
#include "platform/store/Profile.h"
#include "platform/store/Store.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace device {

inline constexpr std::string_view kRomMagic = "QUORVANE-ROM 1\n";

// The class ids whose keys under HKEY_CLASSES_ROOT\CLSID mark an installed
// engine runtime.
inline constexpr std::u16string_view kEngine20Clsid = u"{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}";
inline constexpr std::u16string_view kEngine30Clsid = u"{32ce2952-2585-49a6-aeff-1732076c2945}";

// The ROM programs of \Windows (file names).
const std::vector<std::u16string>& RomPrograms();

// True when `content` is a ROM program's; *name receives its file name.
bool IsRomProgram(std::string_view content, std::string* name = nullptr);

// A file the device host adds to the image beside the ROM programs (for
// example the CAB installer): its device path and the host file it is
// copied from. With `rom`, it is marked in-ROM like the ROM programs.
struct ImageFile {
    std::u16string devicePath;
    std::filesystem::path source;
    bool rom = true;
};

// Lays out the folders, ROM programs and `extra` files in an empty store.
// False with a reason.
bool BuildFactoryStore(store::Store& store, const std::vector<ImageFile>& extra, std::string* error);

// Writes the factory registry for `profile` into an empty hive. False with a reason.
bool BuildFactoryRegistry(reg::Hive& hive, const Profile& profile, std::string* error);

// Creates the store folder `files` and the hive folder `registry` of a new
// device when missing, each built aside and renamed into place so a failure
// leaves nothing half-made. False with a reason.
bool EnsureFactoryImage(const std::filesystem::path& files, const std::filesystem::path& registry,
    const Profile& profile, const std::vector<ImageFile>& extra, std::string* error);

} // namespace device
