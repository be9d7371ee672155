#include "tests/support/Program.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

constexpr std::string_view kOwnPrefix = "QUORVANE_";

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string_view NameOf(std::string_view entry)
{
    return entry.substr(0, entry.find('='));
}

// Puts `entry` in place of an entry of the same name, or at the end.
void Set(std::vector<std::string>& env, std::string entry)
{
    const std::string_view name = NameOf(entry);
    auto same = std::find_if(env.begin(), env.end(), [&](const std::string& e) { return NameOf(e) == name; });
    if (same != env.end())
        *same = std::move(entry);
    else
        env.push_back(std::move(entry));
}

// An anonymous file for one output stream of the program; -1 when none can be made.
int OutputFile(const char* name)
{
    return memfd_create(name, MFD_CLOEXEC);
}

std::string ReadAll(int fd)
{
    std::string text;
    if (fd < 0 || lseek(fd, 0, SEEK_SET) != 0)
        return text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

int OpenPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    return -1;
#endif
}

} // namespace

std::vector<std::string> CleanEnvironment(
    const std::filesystem::path& home, const std::vector<std::string>& extra)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        if (!entry.starts_with(kOwnPrefix))
            env.emplace_back(entry);
    }
    if (!home.empty())
        Set(env, "QUORVANE_HOME=" + home.string());
    for (const std::string& entry : extra)
        Set(env, entry);
    return env;
}

Process::Process(const std::vector<std::string>& args, const RunOptions& options)
{
    if (args.empty()) {
        m_startError = "no program given";
        return;
    }
    std::vector<std::string> env = CleanEnvironment(options.home, options.env);
    std::vector<std::string> copy = args;
    std::vector<char*> argv, envp;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    m_outFd = options.output.empty() ? OutputFile("stdout") : -1;
    m_errFd = OutputFile("stderr");
    if ((options.output.empty() && m_outFd < 0) || m_errFd < 0) {
        m_startError = "cannot capture the output of " + args[0] + ": " + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(
        &actions, 0, options.input.empty() ? "/dev/null" : options.input.c_str(), O_RDONLY, 0);
    if (options.output.empty())
        posix_spawn_file_actions_adddup2(&actions, m_outFd, 1);
    else
        posix_spawn_file_actions_addopen(
            &actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, m_errFd, 2);
    m_started = Now();
    const int rc = posix_spawnp(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        m_startError = "cannot start " + args[0] + ": " + std::strerror(rc);
        return;
    }
    m_pidFd = OpenPidFd(m_pid);
}

Process::~Process()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) { }
    }
    for (int fd : { m_pidFd, m_outFd, m_errFd }) {
        if (fd >= 0)
            close(fd);
    }
}

void Process::Signal(int signal)
{
    if (m_pid > 0)
        kill(m_pid, signal);
}

RunResult Process::Wait(double seconds)
{
    RunResult result;
    if (m_pid <= 0) {
        result.err = m_startError.empty() ? "the program was already waited for" : m_startError;
        return result;
    }
    result.started = true;
    const double deadline = m_started + seconds;
    int status = 0;
    rusage usage {};
    bool reaped = false, ended = false;
    while (!ended) {
        const double left = deadline - Now();
        if (left <= 0)
            break;
        if (m_pidFd >= 0) {
            // The descriptor wakes the wait the moment the program ends, so a
            // benchmark's times are not rounded up to a polling step.
            pollfd ready { m_pidFd, POLLIN, 0 };
            const int n = poll(&ready, 1, static_cast<int>(std::min(left * 1000 + 1, double(INT_MAX))));
            if (n > 0)
                ended = true;
            else if (n < 0 && errno != EINTR) {
                // Polling the process itself serves from here on.
                close(m_pidFd);
                m_pidFd = -1;
            }
        } else if (wait4(m_pid, &status, WNOHANG, &usage) == m_pid) {
            ended = reaped = true;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    const double end = Now();
    if (!ended) {
        result.timedOut = true;
        kill(m_pid, SIGKILL);
    }
    while (!reaped && wait4(m_pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    m_pid = -1;
    result.seconds = end - m_started;
    result.maxRssKb = usage.ru_maxrss;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status)
        : WIFSIGNALED(status)         ? 128 + WTERMSIG(status)
                                      : -1;
    result.out = ReadAll(m_outFd);
    result.err = ReadAll(m_errFd);
    return result;
}

RunResult RunProgram(const std::vector<std::string>& args, const RunOptions& options)
{
    Process process(args, options);
    return process.Wait(options.seconds);
}

RunResult RunProgram(const std::vector<std::string>& args, const std::filesystem::path& home,
    const std::vector<std::string>& extraEnv, double seconds)
{
    return RunProgram(args, RunOptions { .home = home, .env = extraEnv, .seconds = seconds });
}

} // namespace testsupport
