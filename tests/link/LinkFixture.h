// Fixtures of the device link tests: a Qt application for the whole run, a
// fresh QUORVANE_HOME under /tmp per test (desktop hive, device store, short
// socket path), a real cedevice started on it, the scripted prompter, short
// waits, and a second client that plays the device's side (plants files and
// registry values as the agent would).
#pragma once

#include "AppEnvironment.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "desktop/link/ScriptedPrompter.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace linktest {

inline std::u16string U(const QString& text)
{
    return text.toStdU16String();
}

inline QString Q(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// UTF-16LE bytes without mark or terminator, as the agent writes files.
inline std::string Bytes16(std::u16string_view text)
{
    return exchange::ToUtf16LeBytes(text);
}

// The waits of the link, short enough for tests; the counts stay.
inline devlink::LinkTiming TestTiming()
{
    devlink::LinkTiming t;
    t.connectRetryWaitMs = 200;
    t.connectionDialogRetryMs = 100;
    t.createFileRetryWaitMs = 20;
    t.statusPollMs = 10;
    t.handOverSettleMs = 300;
    t.cancelCheckMs = 100;
    t.requestPumpMs = 50;
    t.progressTimerMs = 50;
    t.resultsExistWaitMs = 50;
    t.resultsReadWaitMs = 50;
    t.readFailWaitMs = 50;
    t.schemaRetryWaitMs = 20;
    t.testRunDeleteWaitMs = 20;
    return t;
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_home.ok());
        std::filesystem::create_directories(programDir());
        setenv("QUORVANE_HOME", home().c_str(), 1);
        setenv("QUORVANE_PROGRAM_DIR", programDir().c_str(), 1);
        settings::CloseSettingsHive();
        CeRapiSetSocketPath(socket());
        devlink::SetLinkTiming(TestTiming());
        devlink::SetPrompter(&m_prompter);
    }

    void TearDown() override
    {
        devlink::UninitRapi();
        m_deviceSide.reset();
        StopDevice();
        devlink::SetPrompter(nullptr);
        devlink::SetLinkTiming(devlink::LinkTiming());
        settings::CloseSettingsHive();
        unsetenv("QUORVANE_PROGRAM_DIR");
        unsetenv("QUORVANE_HOME");
    }

    std::filesystem::path home() const { return m_home.path(); }
    std::filesystem::path store() const { return home() / "device"; }
    std::filesystem::path socket() const { return home() / "s"; }
    std::filesystem::path programDir() const { return home() / "bin"; }

    void StartDevice(const std::string& profile = "pocketpc")
    {
        testsupport::RunResult r = m_device.Start({ "--profile", profile });
        ASSERT_EQ(r.status, 0) << r.err;
    }

    void StopDevice()
    {
        if (!m_device.running())
            return;
        m_deviceSide.reset();
        testsupport::RunResult r = m_device.Stop();
        EXPECT_EQ(r.status, 0) << r.err;
    }

    // Starts the device and connects the link to it.
    void StartAndConnect(const std::string& profile = "pocketpc")
    {
        StartDevice(profile);
        ASSERT_TRUE(devlink::InitRapi());
    }

    // A second client: the device's own side of the exchange.
    RapiConnection& Device()
    {
        if (!m_deviceSide) {
            m_deviceSide = std::make_unique<RapiConnection>();
            m_deviceSide->SetSocketPath(socket());
            EXPECT_EQ(m_deviceSide->CeRapiInit(), S_OK);
        }
        return *m_deviceSide;
    }

    bool PutDeviceFile(const QString& path, const std::string& bytes)
    {
        const std::u16string name = U(path);
        HANDLE h = Device().CeCreateFile(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        DWORD done = 0;
        bool ok = bytes.empty() || Device().CeWriteFile(h, bytes.data(), DWORD(bytes.size()), &done, nullptr);
        Device().CeCloseHandle(h);
        return ok && done == bytes.size();
    }

    // The bytes of a device file, or "<missing>".
    std::string GetDeviceFile(const QString& path)
    {
        const std::u16string name = U(path);
        HANDLE h = Device().CeCreateFile(
            name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0x80, 0);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string out;
        char buffer[65536];
        DWORD done = 0;
        while (Device().CeReadFile(h, buffer, sizeof buffer, &done, nullptr) && done > 0)
            out.append(buffer, done);
        Device().CeCloseHandle(h);
        return out;
    }

    bool DeviceFileThere(const QString& path)
    {
        const std::u16string name = U(path);
        return Device().CeGetFileAttributes(name.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // A string value written as the agent writes it: characters, no NUL.
    bool SetDeviceString(const QString& key, const QString& name, const QString& text)
    {
        const std::u16string keyName = U(key), valueName = U(name);
        HKEY h = 0;
        DWORD disposition = 0;
        if (Device().CeRegCreateKeyEx(
                HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0, 0, nullptr, &h, &disposition))
            return false;
        LONG r = Device().CeRegSetValueEx(h, valueName.c_str(), 0, REG_SZ,
            reinterpret_cast<const BYTE*>(text.utf16()), DWORD(text.size() * 2));
        Device().CeRegCloseKey(h);
        return r == 0;
    }

    bool SetAgentString(const QString& name, const QString& text)
    {
        return SetDeviceString(QStringLiteral("\\Software\\Quorvane"), name, text);
    }

    bool DeleteDeviceKey(const QString& key)
    {
        const std::u16string keyName = U(key);
        return Device().CeRegDeleteKey(HKEY_LOCAL_MACHINE, keyName.c_str()) == 0;
    }

    // A device value's raw bytes and type; false when missing.
    bool GetDeviceValue(const QString& key, const QString& name, DWORD* type, std::string* data)
    {
        const std::u16string keyName = U(key), valueName = U(name);
        HKEY h = 0;
        if (Device().CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, 0, &h))
            return false;
        BYTE buffer[4096];
        DWORD size = sizeof buffer;
        LONG r = Device().CeRegQueryValueEx(h, valueName.c_str(), nullptr, type, buffer, &size);
        Device().CeRegCloseKey(h);
        if (r)
            return false;
        data->assign(reinterpret_cast<const char*>(buffer), size);
        return true;
    }

    devlink::ScriptedPrompter m_prompter;
    testsupport::TempDir m_home { "qvl" };
    testsupport::TestDevice m_device { { .home = home(), .store = store(), .socket = socket() } };
    std::unique_ptr<RapiConnection> m_deviceSide;
};

} // namespace linktest
