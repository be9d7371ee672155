#include "tests/e2e/E2eFixture.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace e2e {
namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

TempHome::TempHome()
{
    char pattern[] = "/tmp/qve-XXXXXX";
    if (mkdtemp(pattern))
        m_path = pattern;
}

TempHome::~TempHome()
{
    std::error_code ec;
    if (m_path.empty())
        return;
    // Read-only entries of the device need write permission back first.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
            std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ec);
    std::filesystem::remove_all(m_path, ec);
}

Process::Process(const std::vector<std::string>& args, const std::filesystem::path& home,
    const std::vector<std::string>& extraEnv, const std::filesystem::path& input)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        // The test decides where everything lives, and nothing traces.
        if (entry.starts_with("QUORVANE_HOME=") || entry.starts_with("QUORVANE_TRACE=")
            || entry.starts_with("QUORVANE_PROGRAM_DIR="))
            continue;
        env.emplace_back(entry);
    }
    env.push_back("QUORVANE_HOME=" + home.string());
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<char*> argv, envp;
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(), O_RDONLY, 0);
    const std::string out = (m_io.path() / "out").string(), err = (m_io.path() / "err").string();
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    m_started = Now();
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

Process::~Process()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
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
        result.err = "the program could not be started";
        return result;
    }
    int status = 0;
    for (;;) {
        pid_t done = waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid)
            break;
        if (Now() - m_started > seconds) {
            result.timedOut = true;
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    m_pid = -1;
    result.seconds = Now() - m_started;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadFile(m_io.path() / "out");
    result.err = ReadFile(m_io.path() / "err");
    return result;
}

RunResult RunProgram(const std::vector<std::string>& args, const std::filesystem::path& home,
    const std::vector<std::string>& extraEnv, double seconds)
{
    Process process(args, home, extraEnv);
    return process.Wait(seconds);
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::filesystem::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

std::filesystem::path BinDir()
{
    return QV_BIN_DIR;
}

std::filesystem::path Cli()
{
    return BinDir() / "quorvane-cli";
}

std::filesystem::path Cedevice()
{
    return BinDir() / "cedevice";
}

std::filesystem::path DemoScript()
{
    return std::filesystem::path(QV_SOURCE_DIR) / "data" / "demo" / "make-demo";
}

std::vector<pid_t> DevicePrograms(const std::filesystem::path& deviceDir)
{
    using namespace std::string_literals;
    const std::string dir = "\0QUORVANE_DEVICE_DIR="s + deviceDir.string() + '\0';
    std::vector<pid_t> pids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string env = '\0' + ReadFile(entry.path() / "environ");
        if (env.find(dir) != std::string::npos && env.find("\0QUORVANE_CE_PROCESS_ID="s) != std::string::npos)
            pids.push_back(pid_t(std::atoi(entry.path().filename().c_str())));
    }
    return pids;
}

const std::filesystem::path& DemoTemplate()
{
    static std::unique_ptr<TempHome> home;
    static std::string failure;
    if (!home) {
        home = std::make_unique<TempHome>();
        RunResult start = RunProgram({ Cedevice().string(), "start" }, home->path());
        if (start.status != 0) {
            failure = "cedevice would not start: " + start.err;
        } else {
            RunResult demo
                = RunProgram({ DemoScript().string(), "--cli", Cli().string() }, home->path(), {}, 300);
            if (demo.status != 0)
                failure = "the demo script failed:\n" + demo.out + demo.err;
            RunResult stop = RunProgram({ Cedevice().string(), "stop" }, home->path());
            if (stop.status != 0 && failure.empty())
                failure = "cedevice would not stop: " + stop.err;
        }
    }
    EXPECT_TRUE(failure.empty()) << failure;
    return home->path();
}

void DemoDevice::SetUp()
{
    const std::filesystem::path& demo = DemoTemplate();
    if (HasFailure())
        return;
    // cp -a keeps what the device keeps in extended attributes (attributes,
    // times, what is a ROM program) and the file times deployment compares.
    for (const char* part : { "desktop", "device" }) {
        RunResult copy = RunProgram({ "/bin/cp", "-a", (demo / part).string(), home().string() }, home());
        ASSERT_EQ(copy.status, 0) << copy.err;
    }
    StartDevice();
}

void DemoDevice::TearDown()
{
    StopDevice();
}

void DemoDevice::StartDevice()
{
    RunResult r = RunProgram({ Cedevice().string(), "start" }, home());
    ASSERT_EQ(r.status, 0) << r.err;
    m_running = true;
}

void DemoDevice::StopDevice()
{
    if (!m_running)
        return;
    m_running = false;
    RunResult r = RunProgram({ Cedevice().string(), "stop" }, home());
    EXPECT_EQ(r.status, 0) << r.err;
}

RunResult DemoDevice::Q(
    const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, double seconds)
{
    std::vector<std::string> argv = { Cli().string() };
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, home(), extraEnv, seconds);
}

} // namespace e2e
