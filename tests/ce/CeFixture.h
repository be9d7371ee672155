// Tests that attach the device programs' library in-process to a temporary
// device folder (no device host: process services are not available).
#pragma once

#include "DeviceFixture.h"

#include "platform/ce/Ce.h"
#include "platform/store/DeviceFolder.h"

#include <cstdlib>

namespace cetest {

using namespace ce;

class CeTest : public cetest::DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        ce::Detach();
        setenv(device::kEnvDeviceDir, m_folder.dir.c_str(), 1);
        unsetenv("QUORVANE_CE_HOST_FD");
        std::string error;
        ASSERT_TRUE(ce::Attach(&error)) << error;
    }
    void TearDown() override
    {
        ce::Detach();
        unsetenv(device::kEnvDeviceDir);
    }

    HKEY Create(HKEY parent, const char16_t* path, DWORD* disposition = nullptr)
    {
        HKEY key = 0;
        EXPECT_EQ(RegCreateKeyEx(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, disposition),
            LONG(ERROR_SUCCESS));
        return key;
    }
    static LONG SetText(HKEY key, const char16_t* name, std::u16string_view text)
    {
        return RegSetValueEx(
            key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()), DWORD(text.size() * 2));
    }
};

} // namespace cetest
