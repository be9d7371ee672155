// Test fixtures that run the real cedevice: a temporary QUORVANE_HOME under
// /tmp (short, so the socket path fits), a device started on it, and stopped
// when the test ends.
#pragma once

#include "TempStore.h"
#include "platform/rapi/Rapi.h"

#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testing_device {

struct CommandResult {
    int status = -1;
    std::string out, err;
};

// Runs `args` with QUORVANE_HOME=home (and `extraEnv`), waits, and returns
// its exit status and outputs.
inline CommandResult RunProgram(const std::vector<std::string>& args, const std::filesystem::path& home,
    const std::vector<std::string>& extraEnv = {})
{
    testing_store::TempDir io;
    std::filesystem::path outPath = io.path() / "out", errPath = io.path() / "err";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).substr(0, 14) != "QUORVANE_HOME=")
            env.emplace_back(*e);
    env.push_back("QUORVANE_HOME=" + home.string());
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
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    CommandResult result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = testing_store::ReadHostFile(outPath);
    result.err = testing_store::ReadHostFile(errPath);
    return result;
}

inline std::string Cedevice()
{
    return QV_CEDEVICE;
}

// A running device on a fresh store; the test's clients reach it through
// Connect().
class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override { StartDevice(); }
    void TearDown() override { StopDevice(); }

    void StartDevice(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args
            = { Cedevice(), "start", "--store", store().string(), "--socket", socket().string() };
        args.insert(args.end(), extra.begin(), extra.end());
        CommandResult r = RunProgram(args, home());
        ASSERT_EQ(r.status, 0) << r.err;
        m_running = true;
    }
    void StopDevice()
    {
        if (!m_running)
            return;
        CommandResult r = RunProgram({ Cedevice(), "stop", "--store", store().string() }, home());
        EXPECT_EQ(r.status, 0) << r.err;
        m_running = false;
    }

    // A new, initialised connection to the device.
    std::unique_ptr<RapiConnection> Connect()
    {
        auto c = std::make_unique<RapiConnection>();
        c->SetSocketPath(socket());
        EXPECT_EQ(c->CeRapiInit(), S_OK);
        return c;
    }

    std::filesystem::path home() const { return m_home.path(); }
    std::filesystem::path store() const { return m_home.path() / "device"; }
    std::filesystem::path files() const { return store() / "files"; }
    std::filesystem::path socket() const { return m_home.path() / "run" / "s"; }

    testing_store::TempDir m_home;
    bool m_running = false;
};

// Device paths as UTF-16 literals are what the client takes.
inline std::u16string U(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace testing_device
