// The agent's status values and debug log: named values under the device key
// "\Software\Quorvane" and numbered log lines under its sub-key "Debug".
//
// AgentStatus holds the log's rules (the "%03d" counter, the
// "%d:%02d:%02d - %s" data, the 999-character cut, "Status" mirroring and the
// verdict suffix); a store beneath it keeps the values: RegistryStatus on the
// device registry, MemoryStatus in tests. Writes that fail are skipped
// silently, as the desktop learns nothing from them.
//
// One object belongs to one thread.
#pragma once

#include "exchange/AgentContract.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace agent {

// Formatted texts live in a 1,000-character buffer: longer ones keep 999.
inline constexpr std::size_t kLogTextLimit = 999;

class AgentStatus {
public:
    virtual ~AgentStatus() = default;

    // String value `name` := `text` (its characters, no terminator counted).
    virtual void SetStatusValue(std::u16string_view name, std::u16string_view text) = 0;
    // 32-bit number value `name` := `value`.
    virtual void SetStatusNumber(std::u16string_view name, std::uint32_t value) = 0;
    // True with the value when `name` holds a 32-bit number.
    virtual bool ReadStatusNumber(std::u16string_view name, std::uint32_t& value) = 0;
    // The string value `name` up to its first NUL; empty when it is missing,
    // not a string, or longer than 259 characters.
    virtual std::u16string ReadStatusString(std::u16string_view name) = 0;
    virtual void DeleteStatusValue(std::u16string_view name) = 0;

    // "Status" := `text`.
    void SetStatus(std::u16string_view text) { SetStatusValue(contract::kStatus, text); }
    // "CancelStatus" := `text`.
    void SetCancelStatus(std::u16string_view text) { SetStatusValue(contract::kCancelStatus, text); }

    // Deletes the debug log and starts it again empty; the counter restarts at 0.
    void ResetLog();
    // Appends one log line: value "%03d" of the counter := "%d:%02d:%02d - %s"
    // with the device clock and `text` (cut to 999 characters); "Status" :=
    // `text` with its leading spaces removed.
    void LogLine(std::u16string_view text);
    // Rewrites the latest log line with "  ok." or "  failed." appended.
    // Nothing happens before the first line.
    void LogVerdict(bool ok);

    // The number the next log line gets.
    int logCounter() const { return m_counter; }

protected:
    // The store's side of the log.
    virtual void ClearLogValues() = 0;
    virtual void SetLogValue(std::u16string_view name, std::u16string_view data) = 0;
    // The device clock's hour, minute and second.
    virtual void ClockTime(int& hour, int& minute, int& second) = 0;

private:
    int m_counter = 0;
    std::u16string m_lastEntry;
};

// The store on the device registry: HKEY_LOCAL_MACHINE "\Software\Quorvane"
// and "\Software\Quorvane\Debug", both created when missing and kept open for
// the whole run (a write per output row costs one hive transaction).
class RegistryStatus : public AgentStatus {
public:
    RegistryStatus();
    ~RegistryStatus() override;
    RegistryStatus(const RegistryStatus&) = delete;
    RegistryStatus& operator=(const RegistryStatus&) = delete;

    void SetStatusValue(std::u16string_view name, std::u16string_view text) override;
    void SetStatusNumber(std::u16string_view name, std::uint32_t value) override;
    bool ReadStatusNumber(std::u16string_view name, std::uint32_t& value) override;
    std::u16string ReadStatusString(std::u16string_view name) override;
    void DeleteStatusValue(std::u16string_view name) override;

protected:
    void ClearLogValues() override;
    void SetLogValue(std::u16string_view name, std::u16string_view data) override;
    void ClockTime(int& hour, int& minute, int& second) override;

private:
    void OpenKeys();

    std::uint32_t m_key = 0;
    std::uint32_t m_debug = 0;
};

} // namespace agent
