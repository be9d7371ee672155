// A real emulated device for whole-program tests: a cedevice of its own on a
// temporary store and socket, driven from outside with quorvane-cli exactly
// as a user's shell would (put, get, run, reg query/set), with the agents and
// the stopper deployed under "\Quorvane".
#pragma once

#include "tests/support/TempDir.h"
#include "tests/support/TestDevice.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace agenttest {

class Device {
public:
    // Starts the device with `profile`. Check ok() (and error()) before use.
    explicit Device(const std::string& profile = "pocketpc");
    ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }
    // A folder of the test's own for local files.
    const std::filesystem::path& scratch() const { return m_scratch; }
    // The device folder (store, registry) of this device.
    const std::filesystem::path& deviceDir() const { return m_device.store(); }
    const std::filesystem::path& socket() const { return m_device.socket(); }

    // quorvane-cli --socket ... args; its exit status, output and errors.
    int Cli(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr);

    // Copies the six agents (as "\Quorvane\<name>.exe") and the stopper
    // ("\Quorvane\Haltquill.exe") onto the device.
    bool DeployAgents();

    bool PutFile(const std::filesystem::path& local, const std::string& devicePath);
    bool PutBytes(std::string_view bytes, const std::string& devicePath);
    // The file's bytes, or nothing when it cannot be fetched.
    std::optional<std::string> Get(const std::string& devicePath);
    bool Exists(const std::string& devicePath);
    bool Remove(const std::string& devicePath);

    // A value of HKLM\Software\Quorvane (or `key`); nothing when missing.
    std::optional<std::string> RegString(
        const std::string& name, const std::string& key = "HKLM\\Software\\Quorvane");
    std::optional<std::uint32_t> RegDword(
        const std::string& name, const std::string& key = "HKLM\\Software\\Quorvane");
    // The value's type word as reg query prints it ("REG_SZ", "REG_DWORD"), or "".
    std::string RegType(const std::string& name, const std::string& key = "HKLM\\Software\\Quorvane");
    bool RegSetString(const std::string& name, const std::string& value,
        const std::string& key = "HKLM\\Software\\Quorvane");
    bool RegSetDword(
        const std::string& name, std::uint32_t value, const std::string& key = "HKLM\\Software\\Quorvane");
    bool RegDelete(const std::string& name, const std::string& key = "HKLM\\Software\\Quorvane");

    // Starts a device program; true when it runs.
    bool Run(const std::string& exe, const std::string& commandLine = "");
    // Deletes "Status" (so that only this run's "Done." counts), then Run.
    bool RunAgent(const std::string& exe, const std::string& commandLine = "");

    // Polls "Status" (or the value `name`) until `accept` holds or `timeout`
    // passes. The last text seen goes to *last.
    bool WaitFor(const std::function<bool(const std::string&)>& accept, std::chrono::milliseconds timeout,
        std::string* last = nullptr, const std::string& name = "Status",
        const std::string& key = "HKLM\\Software\\Quorvane");
    // Polls until "Status" is "Done." and no agent or stopper runs any more
    // (an engine-2.0 agent's "Done." may precede its sibling's answer).
    bool WaitForDone(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // True while an agent or the stopper runs; *known is false when the
    // process list could not be read.
    bool AgentsRunning(bool* known);

    // As the desktop starts a request: writes the query file (UTF-16LE, each
    // line ended by CR LF, the password scrambled), deletes the previous
    // results, "Cancel" := 0, deletes "Status", runs `exe` with `commandLine`.
    bool StartRequest(const std::string& databasePath, const std::string& password,
        const std::string& request, const std::string& exe = "\\Quorvane\\Quorvane2005.exe",
        const std::string& commandLine = "");
    // StartRequest, then WaitForDone; the results file's text (UTF-16 bytes
    // as UTF-8), or "<no results>".
    std::string Request(const std::string& databasePath, const std::string& password,
        const std::string& request, const std::string& exe = "\\Quorvane\\Quorvane2005.exe",
        const std::string& commandLine = "");

    // The Debug log, data of "000", "001", ... with the clock part removed.
    std::vector<std::string> Log();

    // The executable names of a "-processes" answer.
    std::vector<std::string> ProcessList();

private:
    bool Start(const std::string& profile);

    bool m_ok = false;
    std::string m_error;
    // Socket paths are short: the folder lies directly under /tmp.
    testsupport::TempDir m_root { "qva" };
    std::filesystem::path m_scratch = m_root.path() / "local";
    testsupport::TestDevice m_device {
        { .home = m_root.path() / "home", .store = m_root.path() / "dev", .socket = m_root.path() / "s" }
    };
    int m_fileCounter = 0;
};

// UTF-16LE file bytes <-> UTF-8 text.
std::string Utf16Bytes(std::string_view utf8);
std::string FromUtf16Bytes(std::string_view bytes);

} // namespace agenttest
