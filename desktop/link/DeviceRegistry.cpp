// The device registry helpers, above all for the agent's key
// "\Software\Quorvane".
#include "desktop/link/DeviceLink.h"

#include "platform/rapi/Rapi.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace devlink {
namespace {

// Opens (creating when missing) a device key; 0 when that failed.
HKEY OpenKey(HKEY root, const QString& keyPath)
{
    const std::u16string path = DevicePath(keyPath);
    HKEY key = 0;
    DWORD disposition = 0;
    if (CeRegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, &disposition) != 0)
        return 0;
    return key;
}

} // namespace

bool ReadDeviceRegValue(HKEY root, const QString& keyPath, const QString& name, void* buffer, DWORD byteSize,
    DWORD* type, DWORD* readBytes)
{
    HKEY key = OpenKey(root, keyPath);
    if (!key)
        return false;
    const std::u16string valueName = DevicePath(name);
    DWORD valueType = 0, size = byteSize;
    LONG result
        = CeRegQueryValueEx(key, valueName.c_str(), nullptr, &valueType, static_cast<BYTE*>(buffer), &size);
    CeRegCloseKey(key);
    if (result != 0)
        return false;
    if (type)
        *type = valueType;
    if (readBytes)
        *readBytes = size;
    return true;
}

bool WriteDeviceRegValue(
    HKEY root, const QString& keyPath, const QString& name, const void* data, DWORD byteSize, DWORD type)
{
    HKEY key = OpenKey(root, keyPath);
    if (!key)
        return false;
    const std::u16string valueName = DevicePath(name);
    LONG result = CeRegSetValueEx(key, valueName.c_str(), 0, type, static_cast<const BYTE*>(data), byteSize);
    CeRegCloseKey(key);
    return result == 0;
}

bool DeleteAgentRegValue(const QString& keyPath, const QString& name)
{
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, keyPath);
    if (!key)
        return false;
    const std::u16string valueName = DevicePath(name);
    LONG result = CeRegDeleteValue(key, valueName.c_str());
    CeRegCloseKey(key);
    return result == 0;
}

QString ReadAgentRegString(const QString& name, bool* ok)
{
    char16_t buffer[200] = {}; // 400 bytes, of which 200 are offered
    bool read = ReadDeviceRegValue(kAgentRoot, kAgentKey, name, buffer, 200);
    if (ok)
        *ok = read;
    if (!read)
        return QString();
    qsizetype length = 0;
    while (length < 100 && buffer[length] != 0)
        ++length;
    return QString::fromUtf16(buffer, length);
}

bool ReadAgentRegDword(const QString& name, quint32* value)
{
    quint32 data = 0;
    DWORD size = 0;
    if (!ReadDeviceRegValue(kAgentRoot, kAgentKey, name, &data, sizeof data, nullptr, &size) || size != 4)
        return false;
    if (value)
        *value = data;
    return true;
}

bool WriteAgentRegDword(const QString& name, quint32 value)
{
    return WriteDeviceRegValue(kAgentRoot, kAgentKey, name, &value, sizeof value, REG_DWORD);
}

bool WriteAgentRegString(const QString& name, const QString& text)
{
    std::u16string data = text.toStdU16String();
    data.push_back(u'\0');
    return WriteDeviceRegValue(
        kAgentRoot, kAgentKey, name, data.data(), static_cast<DWORD>(data.size() * 2), REG_SZ);
}

bool ReadAgentDebugLog(QVector<AgentLogLine>* lines)
{
    lines->clear();
    const std::u16string keyPath = DevicePath(kAgentDebugKey);
    HKEY key = 0;
    if (CeRegOpenKeyEx(kAgentRoot, keyPath.c_str(), 0, 0, &key) != 0)
        return false;
    std::vector<char16_t> name(261);
    std::vector<char16_t> data(1501); // 3000 bytes and a terminator that stays zero
    LONG result = 0;
    for (DWORD index = 0;; ++index) {
        // Both buffers are reset before each call: a shorter value must not
        // show the tail of a longer one.
        std::fill(name.begin(), name.end(), u'\0');
        std::fill(data.begin(), data.end(), u'\0');
        DWORD nameLength = 260;
        DWORD type = 0;
        DWORD dataSize = 3000;
        result = CeRegEnumValue(key, index, name.data(), &nameLength, nullptr, &type,
            reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (result != 0)
            break;
        AgentLogLine line;
        line.name = QString::fromUtf16(name.data(), qsizetype(std::min<DWORD>(nameLength, 260)));
        line.text = QString::fromUtf16(data.data(), qsizetype(std::min<DWORD>(dataSize, 3000) / 2))
                        .section(QChar(u'\0'), 0, 0);
        lines->append(line);
    }
    CeRegCloseKey(key);
    return result == static_cast<LONG>(ERROR_NO_MORE_ITEMS);
}

} // namespace devlink
