#include "DeviceFixture.h"

#include "exchange/AgentContract.h"
#include "exchange/Password.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace agenttest {

namespace {

using namespace std::chrono_literals;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `argv` with QUORVANE_HOME set to `home`, collecting its output.
Outcome Spawn(const std::vector<std::string>& argv, const std::filesystem::path& home,
    std::chrono::seconds timeout = 60s)
{
    Outcome outcome;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        return outcome;
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "QUORVANE_HOME=", 14) != 0)
            env.emplace_back(*e);
    }
    env.push_back("QUORVANE_HOME=" + home.string());
    std::vector<char*> envp, args;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> copy = argv;
    for (auto& a : copy)
        args.push_back(a.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        outcome.err = "cannot start " + argv[0] + ": " + std::strerror(rc);
        return outcome;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    pollfd fds[2] = { { outPipe[0], POLLIN, 0 }, { errPipe[0], POLLIN, 0 } };
    int open = 2;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 200) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? outcome.out : outcome.err).append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    if (open > 0)
        kill(pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

// The value lines of a reg query answer: name -> (type, data).
std::map<std::string, std::pair<std::string, std::string>> ParseValues(const std::string& text)
{
    std::map<std::string, std::pair<std::string, std::string>> values;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (!line.starts_with("    "))
            continue;
        line = line.substr(4);
        std::size_t typeAt = line.find("    REG_");
        if (typeAt == std::string::npos)
            continue;
        std::string name = line.substr(0, typeAt);
        std::string rest = line.substr(typeAt + 4);
        std::size_t dataAt = rest.find("    ");
        std::string type = rest.substr(0, dataAt);
        std::string data = dataAt == std::string::npos ? "" : rest.substr(dataAt + 4);
        values[name] = { type, data };
    }
    return values;
}

} // namespace

std::filesystem::path BinDir()
{
    return QUORVANE_BIN_DIR;
}

std::string Utf16Bytes(std::string_view utf8)
{
    return exchange::ToUtf16LeBytes(exchange::FromUtf8(utf8));
}

std::string FromUtf16Bytes(std::string_view bytes)
{
    return exchange::ToUtf8(exchange::FromUtf16LeBytes(bytes));
}

Device::Device(const std::string& profile)
{
    m_ok = Start(profile);
}

bool Device::Start(const std::string& profile)
{
    // Socket paths are short: the folder lies directly under /tmp.
    std::string pattern = "/tmp/qva-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        m_error = "cannot make a temporary folder";
        return false;
    }
    m_root = pattern;
    m_deviceDir = m_root / "dev";
    m_socket = m_root / "s";
    m_home = m_root / "home";
    m_scratch = m_root / "local";
    std::filesystem::create_directories(m_home);
    std::filesystem::create_directories(m_scratch);
    Outcome started = Spawn({ (BinDir() / "cedevice").string(), "start", "--store", m_deviceDir.string(),
                                "--socket", m_socket.string(), "--profile", profile },
        m_home);
    if (started.status != 0) {
        m_error = "cedevice start failed: " + started.out + started.err;
        return false;
    }
    for (int i = 0; i < 100; ++i) {
        std::string err;
        if (Cli({ "info" }, nullptr, &err) == 0)
            return true;
        m_error = err;
        std::this_thread::sleep_for(100ms);
    }
    m_error = "the device does not answer: " + m_error;
    return false;
}

Device::~Device()
{
    if (!m_root.empty()) {
        Spawn({ (BinDir() / "cedevice").string(), "stop", "--store", m_deviceDir.string() }, m_home);
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
}

int Device::Cli(const std::vector<std::string>& args, std::string* out, std::string* err)
{
    std::vector<std::string> argv = { (BinDir() / "quorvane-cli").string(), "--socket", m_socket.string() };
    argv.insert(argv.end(), args.begin(), args.end());
    Outcome outcome = Spawn(argv, m_home);
    if (out)
        *out = outcome.out;
    if (err)
        *err = outcome.err;
    return outcome.status;
}

bool Device::DeployAgents()
{
    // The names come from the contract, so a build that names its programs
    // otherwise fails here.
    const std::string folder = exchange::ToUtf8(contract::kAgentDir);
    Cli({ "mkdir", folder });
    std::vector<std::u16string_view> programs;
    for (const contract::AgentBuild& build : contract::kAgentBuilds)
        programs.push_back(build.exeName);
    programs.push_back(contract::kStopperExe);
    for (std::u16string_view exe : programs) {
        if (!PutFile(BinDir() / exchange::ToUtf8(contract::DesktopCopyName(exe)),
                folder + "\\" + exchange::ToUtf8(exe)))
            return false;
    }
    return true;
}

bool Device::PutFile(const std::filesystem::path& local, const std::string& devicePath)
{
    std::string err;
    bool ok = Cli({ "put", local.string(), devicePath }, nullptr, &err) == 0;
    if (!ok)
        m_error = err;
    return ok;
}

bool Device::PutBytes(std::string_view bytes, const std::string& devicePath)
{
    std::filesystem::path local = m_scratch / ("put" + std::to_string(++m_fileCounter));
    std::ofstream(local, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return PutFile(local, devicePath);
}

std::optional<std::string> Device::Get(const std::string& devicePath)
{
    std::filesystem::path local = m_scratch / ("get" + std::to_string(++m_fileCounter));
    if (Cli({ "get", devicePath, local.string() }) != 0)
        return std::nullopt;
    std::ifstream in(local, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Device::Exists(const std::string& devicePath)
{
    return Cli({ "attrib", devicePath }) == 0;
}

bool Device::Remove(const std::string& devicePath)
{
    return Cli({ "rm", devicePath }) == 0;
}

std::optional<std::string> Device::RegString(const std::string& name, const std::string& key)
{
    std::string out;
    if (Cli({ "reg", "query", key, name }, &out) != 0)
        return std::nullopt;
    auto values = ParseValues(out);
    auto it = values.find(name);
    if (it == values.end() || (it->second.first != "REG_SZ" && it->second.first != "REG_EXPAND_SZ"))
        return std::nullopt;
    return it->second.second;
}

std::optional<std::uint32_t> Device::RegDword(const std::string& name, const std::string& key)
{
    std::string out;
    if (Cli({ "reg", "query", key, name }, &out) != 0)
        return std::nullopt;
    auto values = ParseValues(out);
    auto it = values.find(name);
    if (it == values.end() || it->second.first != "REG_DWORD")
        return std::nullopt;
    return static_cast<std::uint32_t>(std::stoul(it->second.second.substr(0, 10), nullptr, 16));
}

std::string Device::RegType(const std::string& name, const std::string& key)
{
    std::string out;
    if (Cli({ "reg", "query", key, name }, &out) != 0)
        return "";
    auto values = ParseValues(out);
    auto it = values.find(name);
    return it == values.end() ? "" : it->second.first;
}

bool Device::RegSetString(const std::string& name, const std::string& value, const std::string& key)
{
    return Cli({ "reg", "set", key, name, "sz", value }) == 0;
}

bool Device::RegSetDword(const std::string& name, std::uint32_t value, const std::string& key)
{
    return Cli({ "reg", "set", key, name, "dword", std::to_string(value) }) == 0;
}

bool Device::RegDelete(const std::string& name, const std::string& key)
{
    return Cli({ "reg", "delete", key, name }) == 0;
}

bool Device::Run(const std::string& exe, const std::string& commandLine)
{
    std::vector<std::string> args = { "run", exe };
    if (!commandLine.empty())
        args.push_back(commandLine);
    std::string err;
    bool ok = Cli(args, nullptr, &err) == 0;
    if (!ok)
        m_error = err;
    return ok;
}

bool Device::RunAgent(const std::string& exe, const std::string& commandLine)
{
    RegDelete("Status");
    return Run(exe, commandLine);
}

bool Device::WaitFor(const std::function<bool(const std::string&)>& accept, std::chrono::milliseconds timeout,
    std::string* last, const std::string& name, const std::string& key)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        std::optional<std::string> value = RegString(name, key);
        if (last)
            *last = value.value_or("<missing>");
        if (value && accept(*value))
            return true;
        std::this_thread::sleep_for(30ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

bool Device::AgentsRunning(bool* known)
{
    RapiConnection connection;
    connection.SetSocketPath(m_socket);
    std::vector<CEPROCESSENTRY> processes;
    *known = connection.CeRapiInit() == S_OK && connection.CeGetProcessList(&processes);
    return std::any_of(processes.begin(), processes.end(), [](const CEPROCESSENTRY& p) {
        return contract::IsAgentExecutable(p.exeFile)
            || exchange::EqualsIgnoreAsciiCase(p.exeFile, contract::kStopperExe);
    });
}

bool Device::WaitForDone(std::chrono::milliseconds timeout)
{
    // "Done." alone can be an agent's before a sibling it started has
    // answered; once no agent runs, every value and file is final.
    std::string last;
    bool done = WaitFor(
        [this](const std::string& s) {
            bool known = false;
            return s == "Done." && !AgentsRunning(&known) && known;
        },
        timeout, &last);
    if (!done)
        m_error = "Status stayed \"" + last + "\"";
    return done;
}

bool Device::StartRequest(const std::string& databasePath, const std::string& password,
    const std::string& request, const std::string& exe, const std::string& commandLine)
{
    std::u16string text = exchange::FromUtf8(databasePath) + u"\r\n"
        + exchange::ScramblePassword(exchange::FromUtf8(password)) + u"\r\n" + exchange::FromUtf8(request)
        + u"\r\n";
    if (!PutBytes(exchange::ToUtf16LeBytes(text), "\\Quorvane\\SQLquery.txt"))
        return false;
    Cli({ "rm", "\\Quorvane\\SQLresults.txt" });
    RegSetDword("Cancel", 0);
    return RunAgent(exe, commandLine);
}

std::string Device::Request(const std::string& databasePath, const std::string& password,
    const std::string& request, const std::string& exe, const std::string& commandLine)
{
    if (!StartRequest(databasePath, password, request, exe, commandLine) || !WaitForDone())
        return "<no results>";
    std::optional<std::string> bytes = Get("\\Quorvane\\SQLresults.txt");
    return bytes ? FromUtf16Bytes(*bytes) : "<no results>";
}

std::vector<std::string> Device::Log()
{
    std::string out;
    Cli({ "reg", "query", "HKLM\\Software\\Quorvane\\Debug" }, &out);
    std::vector<std::pair<long, std::string>> lines;
    for (const auto& [name, value] : ParseValues(out)) {
        std::string data = value.second;
        std::size_t dash = data.find(" - ");
        lines.emplace_back(
            std::strtol(name.c_str(), nullptr, 10), dash == std::string::npos ? data : data.substr(dash + 3));
    }
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> texts;
    for (auto& [n, text] : lines)
        texts.push_back(text);
    return texts;
}

std::vector<std::string> Device::ProcessList()
{
    std::optional<std::string> bytes = Get("\\Quorvane\\SQLresults.txt");
    std::vector<std::string> names;
    if (!bytes)
        return names;
    std::string text = FromUtf16Bytes(*bytes);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            break;
        names.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return names;
}

} // namespace agenttest
