// A throw-away device folder for the tests: store, registry hive and profile
// under a fresh folder in /tmp, with helpers to put files into the store, to
// read values and to wait for something a device program does.
#pragma once

#include "platform/registry/Hive.h"
#include "platform/store/DeviceFolder.h"
#include "platform/store/Profile.h"
#include "platform/store/Store.h"
#include "tests/store/TempStore.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace cetest {

// Polls `done` every 10 ms for up to `seconds`; true when it held.
inline bool WaitFor(const std::function<bool()>& done, double seconds = 10)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

inline std::u16string U16(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

class DeviceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_temp.ok());
        m_folder.dir = m_temp.path() / "device";
        std::filesystem::create_directories(m_folder.Files());
        std::string error;
        m_store = store::Store::Open(m_folder.Files(), &error);
        ASSERT_TRUE(m_store) << error;
        m_hive = reg::Hive::Open(m_folder.Registry(), reg::Sync::Lazy, &error);
        ASSERT_TRUE(m_hive) << error;
        m_profile = *device::BuiltInProfile("pocketpc");
        ASSERT_TRUE(
            device::WriteFileAtomically(m_folder.ProfileFile(), device::FormatProfile(m_profile), &error))
            << error;
        for (auto dir : { u"\\Temp", u"\\Windows", u"\\My Documents" })
            ASSERT_EQ(m_store->CreateDirectory(dir), 0u);
    }

    store::Store& Store() { return *m_store; }
    reg::Hive& Hive() { return *m_hive; }

    void Put(std::u16string_view path, const std::string& content)
    {
        testing_store::PutStoreFile(Store(), path, content);
    }
    std::string Get(std::u16string_view path) { return testing_store::GetStoreFile(Store(), path); }

    // A value under HKLM\Software\Probe, or "" / 0 when missing.
    std::u16string ProbeString(std::u16string_view name)
    {
        std::vector<std::uint8_t> data;
        if (Hive().QueryValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe", name, nullptr, &data))
            return u"<missing>";
        return std::u16string(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2);
    }
    bool HasProbeValue(std::u16string_view name)
    {
        std::uint32_t size = 0;
        return Hive().QueryValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe", name, nullptr, nullptr, &size)
            == 0;
    }
    std::uint32_t ProbeNumber(std::u16string_view name)
    {
        std::uint32_t value = 0, size = 4;
        if (Hive().QueryValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Probe", name, nullptr, &value, &size))
            return 0xDEADBEEF;
        return value;
    }

    testsupport::TempDir m_temp { "qvce" };
    device::DeviceFolder m_folder;
    device::Profile m_profile;
    std::unique_ptr<store::Store> m_store;
    std::unique_ptr<reg::Hive> m_hive;
};

} // namespace cetest
