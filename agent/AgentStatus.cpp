#include "agent/AgentStatus.h"

#include "exchange/Text.h"
#include "platform/ce/Ce.h"

#include <algorithm>

namespace agent {

namespace {

// A value name as the registry takes it: NUL-terminated, without allocating
// (names are short).
class ValueName {
public:
    explicit ValueName(std::u16string_view name)
    {
        std::size_t n = std::min(name.size(), sizeof m_text / sizeof m_text[0] - 1);
        std::copy_n(name.data(), n, m_text);
        m_text[n] = u'\0';
    }
    const char16_t* get() const { return m_text; }

private:
    char16_t m_text[128];
};

std::u16string_view CutToLimit(std::u16string_view text)
{
    return text.substr(0, std::min(text.size(), kLogTextLimit));
}

} // namespace

void AgentStatus::ResetLog()
{
    ClearLogValues();
    m_counter = 0;
    m_lastEntry.clear();
}

void AgentStatus::LogLine(std::u16string_view text)
{
    text = CutToLimit(text);
    int hour = 0, minute = 0, second = 0;
    ClockTime(hour, minute, second);
    std::u16string entry = exchange::Format(u"%d:%02d:%02d - %s", hour, minute, second, text);
    if (entry.size() > kLogTextLimit)
        entry.resize(kLogTextLimit);
    SetLogValue(exchange::Format(u"%03d", m_counter), entry);
    ++m_counter;
    m_lastEntry = std::move(entry);
    std::size_t first = text.find_first_not_of(u' ');
    SetStatus(first == std::u16string_view::npos ? std::u16string_view() : text.substr(first));
}

void AgentStatus::LogVerdict(bool ok)
{
    if (m_counter == 0)
        return;
    m_lastEntry += ok ? u"  ok." : u"  failed.";
    SetLogValue(exchange::Format(u"%03d", m_counter - 1), m_lastEntry);
}

RegistryStatus::RegistryStatus()
{
    OpenKeys();
}

RegistryStatus::~RegistryStatus()
{
    if (m_debug)
        ce::RegCloseKey(m_debug);
    if (m_key)
        ce::RegCloseKey(m_key);
}

void RegistryStatus::OpenKeys()
{
    if (!m_key
        && ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, contract::kAgentKey.data(), 0, nullptr, 0,
               ce::KEY_ALL_ACCESS, nullptr, &m_key, nullptr)
            != ERROR_SUCCESS)
        m_key = 0;
    if (!m_debug
        && ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, contract::kAgentDebugKey.data(), 0, nullptr, 0,
               ce::KEY_ALL_ACCESS, nullptr, &m_debug, nullptr)
            != ERROR_SUCCESS)
        m_debug = 0;
}

void RegistryStatus::SetStatusValue(std::u16string_view name, std::u16string_view text)
{
    if (!m_key)
        return;
    ValueName valueName(name);
    ce::RegSetValueEx(m_key, valueName.get(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
        static_cast<DWORD>(text.size() * sizeof(char16_t)));
}

void RegistryStatus::SetStatusNumber(std::u16string_view name, std::uint32_t value)
{
    if (!m_key)
        return;
    ValueName valueName(name);
    ce::RegSetValueEx(
        m_key, valueName.get(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool RegistryStatus::ReadStatusNumber(std::u16string_view name, std::uint32_t& value)
{
    if (!m_key)
        return false;
    ValueName valueName(name);
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (ce::RegQueryValueEx(m_key, valueName.get(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size)
            != ERROR_SUCCESS
        || type != REG_DWORD || size != sizeof data)
        return false;
    value = data;
    return true;
}

std::u16string RegistryStatus::ReadStatusString(std::u16string_view name)
{
    if (!m_key)
        return {};
    ValueName valueName(name);
    char16_t buffer[260] = {};
    DWORD type = 0;
    DWORD size = sizeof buffer;
    if (ce::RegQueryValueEx(m_key, valueName.get(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size)
            != ERROR_SUCCESS
        || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::u16string_view text(buffer, std::min<std::size_t>(size / sizeof(char16_t), 259));
    return std::u16string(text.substr(0, text.find(u'\0')));
}

void RegistryStatus::DeleteStatusValue(std::u16string_view name)
{
    if (!m_key)
        return;
    ValueName valueName(name);
    ce::RegDeleteValue(m_key, valueName.get());
}

void RegistryStatus::ClearLogValues()
{
    if (m_debug) {
        ce::RegCloseKey(m_debug);
        m_debug = 0;
    }
    ce::RegDeleteKey(HKEY_LOCAL_MACHINE, contract::kAgentDebugKey.data());
    OpenKeys();
}

void RegistryStatus::SetLogValue(std::u16string_view name, std::u16string_view data)
{
    if (!m_debug)
        return;
    ValueName valueName(name);
    ce::RegSetValueEx(m_debug, valueName.get(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
        static_cast<DWORD>(data.size() * sizeof(char16_t)));
}

void RegistryStatus::ClockTime(int& hour, int& minute, int& second)
{
    ce::SYSTEMTIME now {};
    ce::GetLocalTime(&now);
    hour = now.wHour;
    minute = now.wMinute;
    second = now.wSecond;
}

} // namespace agent
