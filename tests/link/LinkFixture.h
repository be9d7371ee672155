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

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

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

struct CommandResult {
    int status = -1;
    std::string err;
};

// Runs a program with the given environment additions, waits, returns its
// status and standard error.
inline CommandResult RunProgram(
    const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    char errTemplate[] = "/tmp/qvl-err-XXXXXX";
    int errFd = mkstemp(errTemplate);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const auto& e : extraEnv)
        env.push_back(e);
    std::vector<char*> argv, envp;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    pid_t pid = 0;
    CommandResult result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    close(errFd);
    std::ifstream in(errTemplate);
    result.err.assign(std::istreambuf_iterator<char>(in), {});
    std::remove(errTemplate);
    return result;
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
        char pattern[] = "/tmp/qvl-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        m_home = pattern;
        std::filesystem::create_directories(programDir());
        setenv("QUORVANE_HOME", m_home.c_str(), 1);
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
        std::error_code ec;
        std::filesystem::remove_all(m_home, ec);
    }

    std::filesystem::path home() const { return m_home; }
    std::filesystem::path store() const { return m_home / "device"; }
    std::filesystem::path socket() const { return m_home / "s"; }
    std::filesystem::path programDir() const { return m_home / "bin"; }

    std::vector<std::string> Env() const { return { "QUORVANE_HOME=" + m_home.string() }; }

    void StartDevice(const std::string& profile = "pocketpc")
    {
        CommandResult r = RunProgram({ QV_CEDEVICE, "start", "--store", store().string(), "--socket",
                                         socket().string(), "--profile", profile },
            Env());
        ASSERT_EQ(r.status, 0) << r.err;
        m_running = true;
    }

    void StopDevice()
    {
        if (!m_running)
            return;
        m_deviceSide.reset();
        CommandResult r = RunProgram({ QV_CEDEVICE, "stop", "--store", store().string() }, Env());
        EXPECT_EQ(r.status, 0) << r.err;
        m_running = false;
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
    std::filesystem::path m_home;
    bool m_running = false;
    std::unique_ptr<RapiConnection> m_deviceSide;
};

} // namespace linktest
