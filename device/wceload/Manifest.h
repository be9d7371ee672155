// The installation manifest that is a device CAB's first member (format in
// MANIFEST.md beside this file), and wceload's command line. Pure functions;
// safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wceload {

inline constexpr std::string_view kManifestMagic = "QUORVANE-CAB-MANIFEST 1\n";
inline constexpr std::size_t kManifestHeaderBytes = 100;
inline constexpr std::size_t kMaxNameBytes = 200;

struct ManifestFile {
    std::string member; // the cabinet member's stored name
    std::u16string target; // device path, %InstallDir% not yet replaced
};

struct Manifest {
    std::string application; // 8-bit
    std::string provider; // 8-bit
    std::u16string installDir; // empty: the default
    std::vector<ManifestFile> files;
    std::string registryMember; // empty: none
};

// Parses a manifest member. False with a one-line reason.
bool ParseManifest(const std::vector<std::uint8_t>& bytes, Manifest* manifest, std::string* error);

// The manifest bytes for `manifest` (the inverse of ParseManifest), for the
// build's CABs and the tests.
std::vector<std::uint8_t> FormatManifest(const Manifest& manifest);

// "<provider> <application>": the name of the application's key under
// HKLM\Software\Apps, widened byte by byte.
std::u16string AppKeyName(const Manifest& manifest);

// The installation folder: InstallDir, or "\Program Files\<application>".
std::u16string InstallDir(const Manifest& manifest);

// `text` with every "%InstallDir%" (any case) replaced by `installDir`.
std::u16string ExpandInstallDir(std::u16string_view text, std::u16string_view installDir);

struct CommandLine {
    bool deleteCab = true;
    bool noAskDest = false;
    std::u16string cabPath;
};

// Parses `[/noaskdest] [/delete 0|1] "\path\file.cab"`. False with a reason.
bool ParseCommandLine(std::u16string_view text, CommandLine* out, std::string* error);

} // namespace wceload
