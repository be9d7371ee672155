// Registry, process, version and identity operations of RapiConnection.
#include "platform/rapi/RapiImpl.h"

#include <algorithm>
#include <cstring>

using namespace rapi::proto;

namespace {

// The result of a registry call whose exchange failed: the connection is gone.
constexpr LONG kNotConnected = LONG(ERROR_NOT_CONNECTED);

// Applies the caller's data buffer to a value reply, as RegQueryValueEx does.
LONG DeliverValue(LONG result, std::uint32_t replyType, std::uint32_t size,
    const std::vector<std::uint8_t>& bytes, DWORD* type, BYTE* data, DWORD* dataSize)
{
    if (result != LONG(ERROR_SUCCESS) && result != LONG(ERROR_MORE_DATA))
        return result;
    if (type)
        *type = replyType;
    if (!data) {
        // Without a buffer the caller only asks for the size.
        if (dataSize)
            *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (dataSize)
        *dataSize = size;
    if (result == LONG(ERROR_SUCCESS))
        std::memcpy(data, bytes.data(), bytes.size());
    return result;
}

} // namespace

BOOL RapiConnection::CeCreateProcess(LPCWSTR applicationName, LPCWSTR commandLine, void*, void*, BOOL, DWORD,
    void*, LPCWSTR, void*, PROCESS_INFORMATION* processInformation)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    CreateProcessRequest request;
    request.application = TextOf(applicationName);
    request.commandLine = TextOf(commandLine);
    CreateProcessReply reply;
    if (!m_impl->Call(request, &reply) || !reply.status.result)
        return FALSE;
    if (processInformation) {
        processInformation->hProcess = HANDLE(reply.processHandle);
        processInformation->hThread = HANDLE(reply.threadHandle);
        processInformation->dwProcessId = reply.processId;
        processInformation->dwThreadId = reply.threadId;
    }
    return TRUE;
}

BOOL RapiConnection::CeGetVersionEx(CEOSVERSIONINFO* info)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    GetVersionExRequest request;
    GetVersionExReply reply;
    if (!info || !m_impl->Call(request, &reply) || !reply.status.result)
        return FALSE;
    info->dwOSVersionInfoSize = sizeof(CEOSVERSIONINFO);
    info->dwMajorVersion = reply.major;
    info->dwMinorVersion = reply.minor;
    info->dwBuildNumber = reply.build;
    info->dwPlatformId = reply.platformId;
    CopyText(reply.csdVersion, info->szCSDVersion, 128);
    return TRUE;
}

BOOL RapiConnection::CeGetDeviceIdentity(CEDEVICEIDENTITY* identity)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    GetDeviceIdentityRequest request;
    GetDeviceIdentityReply reply;
    if (!identity || !m_impl->Call(request, &reply) || !reply.status.result)
        return FALSE;
    identity->platformType = reply.platformType;
    identity->oemInfo = reply.oemInfo;
    identity->profileName = reply.profileName;
    identity->dwMajorVersion = reply.major;
    identity->dwMinorVersion = reply.minor;
    identity->dwBuildNumber = reply.build;
    return TRUE;
}

BOOL RapiConnection::CeSystemParametersInfo(UINT action, UINT param, void* pvParam, UINT)
{
    auto fail = [&](DWORD error) {
        std::lock_guard<std::mutex> lock(m_impl->mutex);
        m_impl->Record(error);
        return FALSE;
    };
    if (action != SPI_GETPLATFORMTYPE && action != SPI_GETOEMINFO)
        return fail(ERROR_INVALID_PARAMETER);
    CEDEVICEIDENTITY identity;
    if (!CeGetDeviceIdentity(&identity))
        return FALSE;
    const std::u16string& text = action == SPI_GETPLATFORMTYPE ? identity.platformType : identity.oemInfo;
    // `param` is the buffer's size in bytes; the text needs its terminator too.
    if (!pvParam || param / sizeof(WCHAR) < text.size() + 1)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    CopyText(text, static_cast<WCHAR*>(pvParam), param / sizeof(WCHAR));
    return TRUE;
}

LONG RapiConnection::CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD, REGSAM, HKEY* result)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (!result)
        return ERROR_INVALID_PARAMETER;
    RegOpenKeyRequest request;
    request.key = key;
    request.subKey = TextOf(subKey);
    RegOpenKeyReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.status.result == ERROR_SUCCESS)
        *result = reply.key;
    return LONG(reply.status.result);
}

LONG RapiConnection::CeRegCreateKeyEx(
    HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, void*, HKEY* result, DWORD* disposition)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (!result)
        return ERROR_INVALID_PARAMETER;
    RegCreateKeyRequest request;
    request.key = key;
    request.subKey = TextOf(subKey);
    RegCreateKeyReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.status.result == ERROR_SUCCESS) {
        *result = reply.key;
        if (disposition)
            *disposition = reply.disposition;
    }
    return LONG(reply.status.result);
}

LONG RapiConnection::CeRegQueryValueEx(
    HKEY key, LPCWSTR valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataSize)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    RegQueryValueRequest request;
    request.key = key;
    request.name = TextOf(valueName);
    request.bufferSize = data ? *dataSize : 0;
    RegQueryValueReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.data.size() > request.bufferSize) {
        m_impl->Break();
        return kNotConnected;
    }
    return DeliverValue(LONG(reply.status.result), reply.type, reply.size, reply.data, type, data, dataSize);
}

LONG RapiConnection::CeRegWaitValueChange(HKEY key, LPCWSTR valueName, const CEREGVALUE& known,
    DWORD processId, DWORD timeoutMs, CEREGVALUE* now, BOOL* processRunning)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (!now || known.data.size() > kMaxValueData)
        return ERROR_INVALID_PARAMETER;
    RegWaitValueRequest request;
    request.key = key;
    request.name = TextOf(valueName);
    request.knownPresent = known.present;
    request.knownType = known.type;
    request.knownData = known.data;
    request.processId = processId;
    request.timeoutMs = std::min<DWORD>(timeoutMs, kMaxValueWaitMs);
    RegWaitValueReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.status.result > 1)
        return LONG(reply.status.result); // the key handle was refused
    now->present = reply.present != 0;
    now->type = reply.type;
    now->data = std::move(reply.data);
    if (processRunning)
        *processRunning = reply.processRunning ? TRUE : FALSE;
    return reply.status.result == 1 ? ERROR_SUCCESS : LONG(WAIT_TIMEOUT);
}

LONG RapiConnection::CeRegSetValueEx(
    HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if ((!data && dataSize > 0) || dataSize > kMaxValueData)
        return ERROR_INVALID_PARAMETER;
    RegSetValueRequest request;
    request.key = key;
    request.name = TextOf(valueName);
    request.type = type;
    if (data)
        request.data.assign(data, data + dataSize);
    RegSetValueReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    return LONG(reply.status.result);
}

LONG RapiConnection::CeRegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD*,
    LPWSTR keyClass, DWORD* classLength, FILETIME* lastWriteTime)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (!name || !nameLength)
        return ERROR_INVALID_PARAMETER;
    RegEnumKeyRequest request;
    request.key = key;
    request.index = index;
    RegEnumKeyReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.status.result != ERROR_SUCCESS)
        return LONG(reply.status.result);
    // The length goes in with the terminator counted and comes back without it.
    if (*nameLength < reply.name.size() + 1)
        return ERROR_MORE_DATA;
    CopyText(reply.name, name, *nameLength);
    *nameLength = DWORD(reply.name.size());
    if (keyClass && classLength && *classLength > 0)
        keyClass[0] = 0;
    if (classLength)
        *classLength = 0;
    if (lastWriteTime)
        *lastWriteTime = FILETIME { 0, 0 };
    return ERROR_SUCCESS;
}

LONG RapiConnection::CeRegEnumValue(HKEY key, DWORD index, LPWSTR valueName, DWORD* valueNameLength, DWORD*,
    DWORD* type, BYTE* data, DWORD* dataSize)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    if (!valueName || !valueNameLength || (data && !dataSize))
        return ERROR_INVALID_PARAMETER;
    RegEnumValueRequest request;
    request.key = key;
    request.index = index;
    request.bufferSize = data ? *dataSize : 0;
    RegEnumValueReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.data.size() > request.bufferSize) {
        m_impl->Break();
        return kNotConnected;
    }
    LONG result = LONG(reply.status.result);
    if (result != LONG(ERROR_SUCCESS) && result != LONG(ERROR_MORE_DATA))
        return result;
    if (*valueNameLength < reply.name.size() + 1)
        return ERROR_MORE_DATA;
    CopyText(reply.name, valueName, *valueNameLength);
    *valueNameLength = DWORD(reply.name.size());
    return DeliverValue(result, reply.type, reply.size, reply.data, type, data, dataSize);
}

LONG RapiConnection::CeRegQueryInfoKey(HKEY key, LPWSTR keyClass, DWORD* classLength, DWORD*, DWORD* subKeys,
    DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
    DWORD* maxValueLength, DWORD* securityDescriptor, FILETIME* lastWriteTime)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    RegQueryInfoKeyRequest request;
    request.handle = key;
    RegQueryInfoKeyReply reply;
    if (!m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0))
        return kNotConnected;
    if (reply.status.result != ERROR_SUCCESS)
        return LONG(reply.status.result);
    if (keyClass && classLength && *classLength > 0)
        keyClass[0] = 0;
    if (classLength)
        *classLength = 0;
    if (subKeys)
        *subKeys = reply.subKeys;
    if (maxSubKeyLength)
        *maxSubKeyLength = reply.maxSubKeyLen;
    if (maxClassLength)
        *maxClassLength = 0;
    if (values)
        *values = reply.values;
    if (maxValueNameLength)
        *maxValueNameLength = reply.maxValueNameLen;
    if (maxValueLength)
        *maxValueLength = reply.maxValueLen;
    if (securityDescriptor)
        *securityDescriptor = 0;
    if (lastWriteTime)
        *lastWriteTime = FILETIME { 0, 0 };
    return ERROR_SUCCESS;
}

LONG RapiConnection::CeRegDeleteValue(HKEY key, LPCWSTR valueName)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    RegDeleteValueRequest request;
    request.key = key;
    request.name = TextOf(valueName);
    RegDeleteValueReply reply;
    return m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0) ? LONG(reply.status.result)
                                                                     : kNotConnected;
}

LONG RapiConnection::CeRegDeleteKey(HKEY key, LPCWSTR subKey)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    RegDeleteKeyRequest request;
    request.key = key;
    request.name = TextOf(subKey);
    RegDeleteKeyReply reply;
    return m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0) ? LONG(reply.status.result)
                                                                     : kNotConnected;
}

LONG RapiConnection::CeRegCloseKey(HKEY key)
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    RegCloseKeyRequest request;
    request.handle = key;
    RegCloseKeyReply reply;
    return m_impl->Call(request, &reply, ERROR_INVALID_PARAMETER, 0) ? LONG(reply.status.result)
                                                                     : kNotConnected;
}
