// Each test gets its own QUORVANE_HOME, so the desktop hive lies in a fresh
// folder and nothing touches the user's settings.
#pragma once

#include "desktop/settings/SettingsStore.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.ok());
        home_ = m_temp.path();
        setenv("QUORVANE_HOME", home_.c_str(), 1);
        settings::CloseSettingsHive();
    }
    void TearDown() override
    {
        settings::CloseSettingsHive();
        unsetenv("QUORVANE_HOME");
    }

    // The raw value as stored, read beside the store.
    bool Raw(reg::Root root, std::u16string_view key, std::u16string_view name, std::uint32_t* type,
        std::vector<std::uint8_t>* data)
    {
        reg::Hive* hive = settings::SettingsHive();
        return hive && hive->QueryValue(root, key, name, type, data) == reg::ERROR_SUCCESS;
    }

    bool KeyExists(reg::Root root, std::u16string_view key)
    {
        reg::Hive* hive = settings::SettingsHive();
        return hive && hive->OpenKey(root, key) == reg::ERROR_SUCCESS;
    }

    testsupport::TempDir m_temp { "qvset" };
    std::filesystem::path home_;
};

inline std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text)
{
    std::vector<std::uint8_t> out;
    for (char16_t c : text) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return out;
}
