#include "agent/DeviceOutputFile.h"

#include "exchange/Text.h"
#include "platform/ce/Ce.h"

#include <algorithm>

namespace agent {

DeviceOutputFile::DeviceOutputFile(AgentFiles& files)
    : m_files(files)
{
}

DeviceOutputFile::~DeviceOutputFile()
{
    Abandon();
}

bool DeviceOutputFile::Create(std::u16string_view path)
{
    Abandon();
    m_path = std::u16string(path);
    m_temporary = m_path + u"~";
    m_ok = true;
    m_handle = ce::CreateFile(
        m_temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    return m_handle != INVALID_HANDLE_VALUE;
}

bool DeviceOutputFile::Write(const char* bytes, std::size_t size)
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return false;
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20));
        DWORD written = 0;
        if (!ce::WriteFile(m_handle, bytes, piece, &written, nullptr) || written == 0) {
            m_ok = false;
            return false;
        }
        bytes += written;
        size -= written;
    }
    return true;
}

bool DeviceOutputFile::Commit()
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return false;
    ce::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    if (!m_ok || m_files.ReplaceFile(m_temporary, m_path) != ERROR_SUCCESS) {
        ce::DeleteFile(m_temporary.c_str());
        return false;
    }
    return true;
}

void DeviceOutputFile::Abandon()
{
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    ce::CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    ce::DeleteFile(m_temporary.c_str());
}

bool WriteDeviceTextFile(AgentFiles& files, std::u16string_view path, std::u16string_view text)
{
    DeviceOutputFile file(files);
    if (!file.Create(path))
        return false;
    std::string bytes = exchange::ToUtf16LeBytes(text);
    file.Write(bytes.data(), bytes.size());
    return file.Commit();
}

bool ReadDeviceFile(std::u16string_view path, std::size_t maxBytes, std::string& bytes)
{
    std::u16string name(path);
    HANDLE handle = ce::CreateFile(
        name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bytes.assign(maxBytes, '\0');
    std::size_t total = 0;
    while (total < maxBytes) {
        DWORD read = 0;
        if (!ce::ReadFile(handle, bytes.data() + total, static_cast<DWORD>(maxBytes - total), &read, nullptr)
            || read == 0)
            break;
        total += read;
    }
    bytes.resize(total);
    ce::CloseHandle(handle);
    return true;
}

} // namespace agent
