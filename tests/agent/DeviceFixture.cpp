#include "DeviceFixture.h"

#include "exchange/AgentContract.h"
#include "exchange/Password.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/Program.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <thread>

namespace agenttest {

namespace {

using namespace std::chrono_literals;

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
    if (!m_root.ok()) {
        m_error = "cannot make a temporary folder";
        return false;
    }
    std::filesystem::create_directories(m_device.home());
    std::filesystem::create_directories(m_scratch);
    testsupport::RunResult started = m_device.Start({ "--profile", profile });
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

Device::~Device() = default;

int Device::Cli(const std::vector<std::string>& args, std::string* out, std::string* err)
{
    std::vector<std::string> argv = { testsupport::Cli().string(), "--socket", socket().string() };
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::RunResult outcome = testsupport::RunProgram(argv, m_device.home(), {}, 60);
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
        if (!PutFile(testsupport::BinDir() / exchange::ToUtf8(contract::DesktopCopyName(exe)),
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
    connection.SetSocketPath(socket());
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
