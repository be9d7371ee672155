// Whole host files as byte strings, for tests that plant or check them.
//
// Safe from any thread.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testsupport {

// The file's bytes; empty when it is missing or unreadable.
std::string ReadHostFile(const std::filesystem::path& path);

// Replaces the file's content with `content`. False when it cannot be written.
bool WriteHostFile(const std::filesystem::path& path, std::string_view content);

} // namespace testsupport
