// Fixtures for the agent's in-process tests: a status store in memory, the
// device's files as a host folder (in a testsupport::TempDir), and databases
// made through the engine.
#pragma once

#include "agent/AgentContext.h"
#include "agent/AgentFiles.h"
#include "agent/AgentStatus.h"
#include "engine/Provider.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace agenttest {

// UTF-8 literal -> UTF-16 and back, for readable expectations.
std::u16string U(std::string_view text);
std::string S(std::u16string_view text);
// The bytes of an exchanged file holding `text`.
std::string Bytes(std::u16string_view text);

// Status values and log lines kept in memory, with every "Status" written.
class MemoryStatus : public agent::AgentStatus {
public:
    using Value = std::variant<std::u16string, std::uint32_t>;

    void SetStatusValue(std::u16string_view name, std::u16string_view text) override;
    void SetStatusNumber(std::u16string_view name, std::uint32_t value) override;
    bool ReadStatusNumber(std::u16string_view name, std::uint32_t& value) override;
    std::u16string ReadStatusString(std::u16string_view name) override;
    void DeleteStatusValue(std::u16string_view name) override;

    // The string value, or "<missing>" / "<number N>".
    std::string Text(std::string_view name) const;
    bool Has(std::string_view name) const;
    std::uint32_t Number(std::string_view name) const;
    // The log values in counter order ("000", "001", ...), data only.
    std::vector<std::string> LogTexts() const;
    // The log data with the clock part ("h:mm:ss - ") removed.
    std::vector<std::string> LogLines() const;
    const std::vector<std::u16string>& StatusHistory() const { return m_statusHistory; }
    // How many times a value was written.
    int Writes(std::string_view name) const;

    // Makes ReadStatusNumber("Cancel") answer 1 from the n-th read on (1-based).
    void CancelAtRead(int n) { m_cancelAtRead = n; }

    int hour = 9, minute = 5, second = 7;

protected:
    void ClearLogValues() override { m_log.clear(); }
    void SetLogValue(std::u16string_view name, std::u16string_view data) override;
    void ClockTime(int& h, int& m, int& s) override;

private:
    std::map<std::u16string, Value> m_values;
    std::map<std::u16string, std::u16string> m_log;
    std::vector<std::u16string> m_statusHistory;
    std::map<std::u16string, int> m_writes;
    int m_cancelAtRead = 0;
    int m_cancelReads = 0;
};

// Device paths mapped below a host folder ("\a\b" -> root/a/b).
class HostFiles : public agent::AgentFiles {
public:
    explicit HostFiles(std::filesystem::path root);
    bool HostPath(std::u16string_view devicePath, std::filesystem::path& hostPath) override;
    DWORD ReplaceFile(std::u16string_view replacement, std::u16string_view target) override;
    std::filesystem::path Host(std::u16string_view devicePath) const;

    DWORD failReplace = ERROR_SUCCESS; // a replacement that fails with this code

private:
    std::filesystem::path m_root;
};

// Creates a database of `engineVersion` at `host` and runs `statements` on it.
// Aborts the test (ADD_FAILURE) on any failure.
void MakeDatabase(const std::filesystem::path& host, int engineVersion,
    const std::vector<std::string>& statements, std::u16string_view password = u"");

// Every engine class counts as installed.
inline bool AllInstalled(std::u16string_view)
{
    return true;
}

} // namespace agenttest
