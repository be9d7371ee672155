#include "device/host/Notifications.h"

#include "exchange/Text.h"
#include "platform/registry/Hive.h"
#include "platform/store/Names.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace device {
namespace {

// A string value's text, up to its terminator.
std::u16string TextOfValue(const std::vector<std::uint8_t>& data)
{
    std::u16string text = exchange::FromUtf16LeBytes(std::span<const std::uint8_t>(data));
    return text.substr(0, text.find(u'\0'));
}

// Starts argv detached (a grandchild, so nothing is left to reap). Empty on
// success, else why not.
std::string Launch(const std::vector<std::string>& args, const std::vector<std::string>& extraEnvironment)
{
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e)
        envStrings.emplace_back(*e);
    for (const auto& extra : extraEnvironment) {
        std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(envStrings, [&](const std::string& s) { return s.starts_with(name); });
        envStrings.push_back(extra);
    }
    std::vector<char*> envp;
    for (auto& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return std::string("cannot create a pipe: ") + std::strerror(errno);
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return std::string("cannot fork: ") + std::strerror(errno);
    }
    if (child == 0) {
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0)
            _exit(grandchild < 0 ? 1 : 0);
        int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            close(null);
        }
        execvpe(argv[0], argv.data(), envp.data());
        int err = errno;
        (void)!write(report[1], &err, sizeof err);
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    waitpid(child, &status, 0);
    int err = 0;
    ssize_t n = read(report[0], &err, sizeof err);
    close(report[0]);
    if (n == sizeof err)
        return std::string("cannot run ") + args[0] + ": " + std::strerror(err);
    return {};
}

} // namespace

std::vector<std::string> SplitCommand(const std::u16string& command)
{
    std::string text = store::HostName(command).value_or("");
    std::vector<std::string> out;
    std::string current;
    bool inQuotes = false, have = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
            have = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (have)
                out.push_back(current);
            current.clear();
            have = false;
        } else {
            current.push_back(c);
            have = true;
        }
    }
    if (have)
        out.push_back(current);
    if (!out.empty() && out[0].empty())
        out.clear();
    return out;
}

std::vector<std::string> RunNotification(Notification which, const std::filesystem::path& desktopHive,
    const std::vector<std::string>& extraEnvironment)
{
    std::vector<std::string> problems;
    std::error_code ec;
    if (!std::filesystem::exists(desktopHive, ec))
        return problems;
    std::string error;
    std::vector<std::vector<std::string>> commands;
    {
        auto hive = reg::Hive::Open(desktopHive, reg::Sync::EveryCommit, &error);
        if (!hive) {
            problems.push_back("cannot open the desktop hive: " + error);
            return problems;
        }
        const char16_t* key
            = which == Notification::Connect ? kAutoStartOnConnectKey : kAutoStartOnDisconnectKey;
        for (std::uint32_t i = 0;; ++i) {
            std::u16string name;
            std::uint32_t type = 0;
            std::vector<std::uint8_t> data;
            if (hive->EnumValue(reg::HKEY_LOCAL_MACHINE, key, i, &name, &type, &data) != reg::ERROR_SUCCESS)
                break;
            if (type != reg::REG_SZ && type != reg::REG_EXPAND_SZ)
                continue;
            auto args = SplitCommand(TextOfValue(data));
            if (!args.empty())
                commands.push_back(std::move(args));
        }
    }
    for (const auto& args : commands) {
        std::string why = Launch(args, extraEnvironment);
        if (!why.empty())
            problems.push_back(why);
    }
    return problems;
}

} // namespace device
