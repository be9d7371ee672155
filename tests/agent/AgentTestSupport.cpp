#include "AgentTestSupport.h"

#include "exchange/Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace agenttest {

std::u16string U(std::string_view text)
{
    return exchange::FromUtf8(text);
}

std::string S(std::u16string_view text)
{
    return exchange::ToUtf8(text);
}

std::string Bytes(std::u16string_view text)
{
    return exchange::ToUtf16LeBytes(text);
}

void MemoryStatus::SetStatusValue(std::u16string_view name, std::u16string_view text)
{
    std::u16string key = exchange::ToUpperAscii(name);
    m_values[key] = std::u16string(text);
    ++m_writes[key];
    if (key == u"STATUS")
        m_statusHistory.emplace_back(text);
}

void MemoryStatus::SetStatusNumber(std::u16string_view name, std::uint32_t value)
{
    std::u16string key = exchange::ToUpperAscii(name);
    m_values[key] = value;
    ++m_writes[key];
}

bool MemoryStatus::ReadStatusNumber(std::u16string_view name, std::uint32_t& value)
{
    std::u16string key = exchange::ToUpperAscii(name);
    if (key == u"CANCEL" && m_cancelAtRead > 0) {
        ++m_cancelReads;
        if (m_cancelReads >= m_cancelAtRead) {
            value = 1;
            return true;
        }
    }
    auto it = m_values.find(key);
    if (it == m_values.end() || !std::holds_alternative<std::uint32_t>(it->second))
        return false;
    value = std::get<std::uint32_t>(it->second);
    return true;
}

std::u16string MemoryStatus::ReadStatusString(std::u16string_view name)
{
    auto it = m_values.find(exchange::ToUpperAscii(name));
    if (it == m_values.end() || !std::holds_alternative<std::u16string>(it->second))
        return {};
    return std::get<std::u16string>(it->second);
}

void MemoryStatus::DeleteStatusValue(std::u16string_view name)
{
    m_values.erase(exchange::ToUpperAscii(name));
}

std::string MemoryStatus::Text(std::string_view name) const
{
    auto it = m_values.find(exchange::ToUpperAscii(U(name)));
    if (it == m_values.end())
        return "<missing>";
    if (std::holds_alternative<std::uint32_t>(it->second))
        return "<number " + std::to_string(std::get<std::uint32_t>(it->second)) + ">";
    return S(std::get<std::u16string>(it->second));
}

bool MemoryStatus::Has(std::string_view name) const
{
    return m_values.count(exchange::ToUpperAscii(U(name))) != 0;
}

std::uint32_t MemoryStatus::Number(std::string_view name) const
{
    auto it = m_values.find(exchange::ToUpperAscii(U(name)));
    if (it == m_values.end() || !std::holds_alternative<std::uint32_t>(it->second))
        return 0xDEADBEEF;
    return std::get<std::uint32_t>(it->second);
}

std::vector<std::string> MemoryStatus::LogTexts() const
{
    std::vector<std::string> lines;
    for (const auto& [name, data] : m_log)
        lines.push_back(S(data));
    return lines;
}

std::vector<std::string> MemoryStatus::LogLines() const
{
    std::vector<std::string> lines;
    for (const auto& [name, data] : m_log) {
        std::string text = S(data);
        std::size_t dash = text.find(" - ");
        lines.push_back(dash == std::string::npos ? text : text.substr(dash + 3));
    }
    return lines;
}

int MemoryStatus::Writes(std::string_view name) const
{
    auto it = m_writes.find(exchange::ToUpperAscii(U(name)));
    return it == m_writes.end() ? 0 : it->second;
}

void MemoryStatus::SetLogValue(std::u16string_view name, std::u16string_view data)
{
    // Names sort as numbers once the counter passes 999.
    std::u16string key(name);
    while (key.size() < 6)
        key.insert(key.begin(), u'0');
    m_log[key] = std::u16string(data);
}

void MemoryStatus::ClockTime(int& h, int& m, int& s)
{
    h = hour;
    m = minute;
    s = second;
}

HostFiles::HostFiles(std::filesystem::path root)
    : m_root(std::move(root))
{
}

std::filesystem::path HostFiles::Host(std::u16string_view devicePath) const
{
    std::filesystem::path path = m_root;
    std::u16string part;
    for (char16_t c : devicePath) {
        if (c == u'\\') {
            if (!part.empty())
                path /= S(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        path /= S(part);
    return path;
}

bool HostFiles::HostPath(std::u16string_view devicePath, std::filesystem::path& hostPath)
{
    hostPath = Host(devicePath);
    return std::filesystem::is_directory(hostPath.parent_path());
}

DWORD HostFiles::ReplaceFile(std::u16string_view replacement, std::u16string_view target)
{
    if (failReplace != ERROR_SUCCESS)
        return failReplace;
    std::error_code ec;
    std::filesystem::rename(Host(replacement), Host(target), ec);
    return ec ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

void MakeDatabase(const std::filesystem::path& host, int engineVersion,
    const std::vector<std::string>& statements, std::u16string_view password)
{
    std::unique_ptr<engine::Provider> provider;
    std::u16string_view cls = engineVersion == 3 ? engine::kEngine30Class : engine::kEngine20Class;
    ASSERT_EQ(engine::CreateProvider(cls, AllInstalled, provider), engine::S_OK);
    engine::DataSourceProperties properties { host, std::u16string(password) };
    ASSERT_EQ(provider->SetProperties(properties), engine::S_OK);
    ASSERT_EQ(provider->CreateDataSource(), engine::S_OK);
    std::unique_ptr<engine::Session> session;
    ASSERT_EQ(provider->CreateSession(session), engine::S_OK);
    for (const std::string& statement : statements) {
        std::unique_ptr<engine::Rowset> rowset;
        std::int64_t affected = 0;
        engine::HRESULT hr = session->Execute(U(statement), rowset, affected);
        if (engine::Failed(hr)) {
            std::vector<engine::ErrorRecord> records;
            engine::GetErrorInfo(records);
            ADD_FAILURE() << statement << " -> " << (records.empty() ? "" : S(records[0].description));
            return;
        }
    }
}

} // namespace agenttest
