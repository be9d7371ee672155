// The registry functions of Ce.h, straight on the device hive.
#include "platform/ce/Device.h"

#include <cstring>

namespace ce {
namespace detail {

KeyTable::KeyTable()
{
    for (HKEY root = HKEY_CLASSES_ROOT; root <= HKEY_LOCAL_MACHINE; ++root)
        m_roots[root - HKEY_CLASSES_ROOT].root = root;
}

HKEY KeyTable::Add(reg::KeyRef ref)
{
    auto key = std::make_unique<KeyObject>(std::move(ref));
    std::lock_guard lock(m_mutex);
    std::size_t slot;
    if (!m_free.empty()) {
        slot = m_free.back();
        m_free.pop_back();
        m_keys[slot] = std::move(key);
    } else {
        slot = m_keys.size();
        m_keys.push_back(std::move(key));
    }
    return HKEY(kFirstKey + slot);
}

const KeyObject* KeyTable::Get(HKEY key)
{
    if (key >= HKEY_CLASSES_ROOT && key <= HKEY_LOCAL_MACHINE)
        return &m_roots[key - HKEY_CLASSES_ROOT];
    std::lock_guard lock(m_mutex);
    std::size_t slot = std::size_t(key) - kFirstKey;
    if (key < kFirstKey || slot >= m_keys.size())
        return nullptr;
    return m_keys[slot].get();
}

bool KeyTable::Remove(HKEY key)
{
    std::unique_ptr<KeyObject> gone;
    std::lock_guard lock(m_mutex);
    std::size_t slot = std::size_t(key) - kFirstKey;
    if (key < kFirstKey || slot >= m_keys.size() || !m_keys[slot])
        return false;
    gone = std::move(m_keys[slot]);
    m_free.push_back(slot);
    return true;
}

} // namespace detail

namespace {

using detail::Current;
using detail::Device;
using detail::KeyObject;
using detail::View;

// A failure through `key` that left it pointing at nothing says so.
LONG KeyResult(Device* dev, const KeyObject* key, reg::Result result)
{
    return LONG(reg::ThroughHandle(*dev->hive, *key, result));
}

// Copies `name` into a caller's buffer of *count characters (terminator
// included). ERROR_MORE_DATA with the needed count when it does not fit.
LONG CopyName(const std::u16string& name, LPWSTR buffer, DWORD* count)
{
    if (!buffer || !count)
        return LONG(ERROR_INVALID_PARAMETER);
    if (name.size() + 1 > *count) {
        *count = DWORD(name.size() + 1);
        return LONG(ERROR_MORE_DATA);
    }
    std::memcpy(buffer, name.data(), name.size() * sizeof(char16_t));
    buffer[name.size()] = u'\0';
    *count = DWORD(name.size());
    return LONG(ERROR_SUCCESS);
}

} // namespace

LONG RegCreateKeyEx(
    HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM, void*, HKEY* phkResult, DWORD* lpdwDisposition)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* base = dev->keys.Get(hKey);
    if (!base)
        return LONG(ERROR_INVALID_HANDLE);
    if (!phkResult)
        return LONG(ERROR_INVALID_PARAMETER);
    reg::KeyRef opened;
    bool created = false;
    reg::Result result = reg::OpenSubKey(*dev->hive, *base, View(lpSubKey), true, &opened, &created);
    if (result != reg::ERROR_SUCCESS)
        return LONG(result);
    *phkResult = dev->keys.Add(std::move(opened));
    if (lpdwDisposition)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return LONG(ERROR_SUCCESS);
}

LONG RegOpenKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, HKEY* phkResult)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* base = dev->keys.Get(hKey);
    if (!base)
        return LONG(ERROR_INVALID_HANDLE);
    if (!phkResult)
        return LONG(ERROR_INVALID_PARAMETER);
    reg::KeyRef opened;
    reg::Result result = reg::OpenSubKey(*dev->hive, *base, View(lpSubKey), false, &opened);
    if (result != reg::ERROR_SUCCESS)
        return LONG(result);
    *phkResult = dev->keys.Add(std::move(opened));
    return LONG(ERROR_SUCCESS);
}

LONG RegQueryValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD*, DWORD* lpType, BYTE* lpData, DWORD* lpcbData)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    if (lpData && !lpcbData)
        return LONG(ERROR_INVALID_PARAMETER);
    std::uint32_t size = lpcbData ? *lpcbData : 0;
    reg::Result result
        = dev->hive->QueryValue(key->root, key->path, View(lpValueName), lpType, lpData, &size);
    if (lpcbData && (result == reg::ERROR_SUCCESS || result == reg::ERROR_MORE_DATA))
        *lpcbData = size;
    return result == reg::ERROR_SUCCESS ? LONG(ERROR_SUCCESS) : KeyResult(dev, key, result);
}

LONG RegSetValueEx(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    reg::Result result = dev->hive->SetValue(key->root, key->path, View(lpValueName), dwType, lpData, cbData);
    return result == reg::ERROR_SUCCESS ? LONG(ERROR_SUCCESS) : KeyResult(dev, key, result);
}

LONG RegDeleteValue(HKEY hKey, LPCWSTR lpValueName)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    reg::Result result = dev->hive->DeleteValue(key->root, key->path, View(lpValueName));
    return result == reg::ERROR_SUCCESS ? LONG(ERROR_SUCCESS) : KeyResult(dev, key, result);
}

LONG RegDeleteKey(HKEY hKey, LPCWSTR lpSubKey)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    return LONG(reg::DeleteSubKey(*dev->hive, *key, View(lpSubKey)));
}

LONG RegCloseKey(HKEY hKey)
{
    if (reg::IsRootKey(hKey))
        return LONG(ERROR_SUCCESS);
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    return dev->keys.Remove(hKey) ? LONG(ERROR_SUCCESS) : LONG(ERROR_INVALID_HANDLE);
}

LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcName, DWORD*, LPWSTR lpClass,
    DWORD* lpcClass, FILETIME* lpftLastWriteTime)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    std::u16string name;
    reg::Result result = dev->hive->EnumKey(key->root, key->path, dwIndex, &name);
    if (result != reg::ERROR_SUCCESS)
        return KeyResult(dev, key, result);
    LONG copied = CopyName(name, lpName, lpcName);
    if (copied != LONG(ERROR_SUCCESS))
        return copied;
    if (lpClass && lpcClass && *lpcClass > 0)
        lpClass[0] = u'\0';
    if (lpcClass)
        *lpcClass = 0;
    if (lpftLastWriteTime)
        *lpftLastWriteTime = FILETIME { 0, 0 };
    return LONG(ERROR_SUCCESS);
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, DWORD* lpcValueName, DWORD*, DWORD* lpType,
    BYTE* lpData, DWORD* lpcbData)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    if (lpData && !lpcbData)
        return LONG(ERROR_INVALID_PARAMETER);
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    reg::Result result = dev->hive->EnumValue(key->root, key->path, dwIndex, &name, &type, &data);
    if (result != reg::ERROR_SUCCESS)
        return KeyResult(dev, key, result);
    LONG copied = CopyName(name, lpValueName, lpcValueName);
    if (copied != LONG(ERROR_SUCCESS))
        return copied;
    if (lpType)
        *lpType = type;
    if (lpcbData) {
        bool fits = !lpData || data.size() <= *lpcbData;
        if (lpData && fits && !data.empty())
            std::memcpy(lpData, data.data(), data.size());
        *lpcbData = DWORD(data.size());
        if (!fits)
            return LONG(ERROR_MORE_DATA);
    }
    return LONG(ERROR_SUCCESS);
}

LONG RegQueryInfoKey(HKEY hKey, DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcValues,
    DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen)
{
    Device* dev = Current();
    if (!dev)
        return LONG(ERROR_NOT_CONNECTED);
    const KeyObject* key = dev->keys.Get(hKey);
    if (!key)
        return LONG(ERROR_INVALID_HANDLE);
    reg::KeyInfo info;
    reg::Result result = dev->hive->QueryInfoKey(key->root, key->path, &info);
    if (result != reg::ERROR_SUCCESS)
        return KeyResult(dev, key, result);
    if (lpcSubKeys)
        *lpcSubKeys = info.subKeys;
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = info.maxSubKeyNameLen;
    if (lpcValues)
        *lpcValues = info.values;
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = info.maxValueNameLen;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = info.maxValueDataLen;
    return LONG(ERROR_SUCCESS);
}

} // namespace ce
