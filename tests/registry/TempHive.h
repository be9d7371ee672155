// A hive in a fresh folder under /tmp (a testsupport::TempDir), removed
// afterwards.
#pragma once

#include "platform/registry/Hive.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace regtest {

inline std::unique_ptr<reg::Hive> OpenHive(
    const std::filesystem::path& dir, reg::Sync sync = reg::Sync::Lazy, std::size_t mapBytes = 0)
{
    std::string error;
    auto hive = reg::Hive::Open(dir, sync, &error, mapBytes);
    EXPECT_TRUE(hive) << error;
    return hive;
}

inline std::vector<std::uint8_t> Bytes(std::u16string_view text)
{
    auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    return { p, p + text.size() * 2 };
}

inline std::vector<std::uint8_t> Dword(std::uint32_t v)
{
    return { std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24) };
}

} // namespace regtest
