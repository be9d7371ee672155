// The process-wide connection behind the free Ce...() functions.
#include "platform/rapi/Rapi.h"

#include <cstdlib>

namespace {

RapiConnection& Global()
{
    static RapiConnection connection;
    return connection;
}

} // namespace

void CeRapiSetSocketPath(const std::filesystem::path& path)
{
    Global().SetSocketPath(path);
}

LONG CeRegWaitValueChange(HKEY key, LPCWSTR valueName, const CEREGVALUE& known, DWORD processId,
    DWORD timeoutMs, CEREGVALUE* now, BOOL* processRunning)
{
    return Global().CeRegWaitValueChange(key, valueName, known, processId, timeoutMs, now, processRunning);
}

std::filesystem::path CeRapiGetSocketPath()
{
    return Global().SocketPath();
}

HRESULT CeRapiFreeBuffer(void* buffer)
{
    std::free(buffer);
    return S_OK;
}

HRESULT CeRapiInitEx(RAPIINIT* init)
{
    return Global().CeRapiInitEx(init);
}

HRESULT CeRapiInit()
{
    return Global().CeRapiInit();
}

HRESULT CeRapiUninit()
{
    return Global().CeRapiUninit();
}

HRESULT CeRapiGetError()
{
    return Global().CeRapiGetError();
}

DWORD CeGetLastError()
{
    return Global().CeGetLastError();
}

HANDLE CeCreateFile(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
    DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile)
{
    return Global().CeCreateFile(fileName, desiredAccess, shareMode, securityAttributes, creationDisposition,
        flagsAndAttributes, templateFile);
}

BOOL CeReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped)
{
    return Global().CeReadFile(file, buffer, bytesToRead, bytesRead, overlapped);
}

BOOL CeWriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped)
{
    return Global().CeWriteFile(file, buffer, bytesToWrite, bytesWritten, overlapped);
}

DWORD CeGetFileSize(HANDLE file, DWORD* fileSizeHigh)
{
    return Global().CeGetFileSize(file, fileSizeHigh);
}

DWORD CeSetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod)
{
    return Global().CeSetFilePointer(file, distanceToMove, distanceToMoveHigh, moveMethod);
}

BOOL CeCloseHandle(HANDLE object)
{
    return Global().CeCloseHandle(object);
}

BOOL CeGetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite)
{
    return Global().CeGetFileTime(file, creation, lastAccess, lastWrite);
}

BOOL CeSetFileTime(
    HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite)
{
    return Global().CeSetFileTime(file, creation, lastAccess, lastWrite);
}

BOOL CeDeleteFile(LPCWSTR fileName)
{
    return Global().CeDeleteFile(fileName);
}

BOOL CeMoveFile(LPCWSTR existingFileName, LPCWSTR newFileName)
{
    return Global().CeMoveFile(existingFileName, newFileName);
}

BOOL CeCopyFile(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists)
{
    return Global().CeCopyFile(existingFileName, newFileName, failIfExists);
}

BOOL CeCreateDirectory(LPCWSTR pathName, void* securityAttributes)
{
    return Global().CeCreateDirectory(pathName, securityAttributes);
}

BOOL CeRemoveDirectory(LPCWSTR pathName)
{
    return Global().CeRemoveDirectory(pathName);
}

DWORD CeGetFileAttributes(LPCWSTR fileName)
{
    return Global().CeGetFileAttributes(fileName);
}

BOOL CeSetFileAttributes(LPCWSTR fileName, DWORD fileAttributes)
{
    return Global().CeSetFileAttributes(fileName, fileAttributes);
}

HANDLE CeFindFirstFile(LPCWSTR fileName, CE_FIND_DATA* findData)
{
    return Global().CeFindFirstFile(fileName, findData);
}

BOOL CeFindNextFile(HANDLE findFile, CE_FIND_DATA* findData)
{
    return Global().CeFindNextFile(findFile, findData);
}

BOOL CeFindClose(HANDLE findFile)
{
    return Global().CeFindClose(findFile);
}

BOOL CeFindAllFiles(LPCWSTR path, DWORD flags, DWORD* foundCount, CE_FIND_DATA** findDataArray)
{
    return Global().CeFindAllFiles(path, flags, foundCount, findDataArray);
}

BOOL CeCreateProcess(LPCWSTR applicationName, LPCWSTR commandLine, void* processAttributes,
    void* threadAttributes, BOOL inheritHandles, DWORD creationFlags, void* environment,
    LPCWSTR currentDirectory, void* startupInfo, PROCESS_INFORMATION* processInformation)
{
    return Global().CeCreateProcess(applicationName, commandLine, processAttributes, threadAttributes,
        inheritHandles, creationFlags, environment, currentDirectory, startupInfo, processInformation);
}

BOOL CeGetVersionEx(CEOSVERSIONINFO* versionInformation)
{
    return Global().CeGetVersionEx(versionInformation);
}

BOOL CeSystemParametersInfo(UINT action, UINT param, void* pvParam, UINT winIni)
{
    return Global().CeSystemParametersInfo(action, param, pvParam, winIni);
}

BOOL CeGetDeviceIdentity(CEDEVICEIDENTITY* identity)
{
    return Global().CeGetDeviceIdentity(identity);
}

BOOL CeGetProcessList(std::vector<CEPROCESSENTRY>* processes)
{
    return Global().CeGetProcessList(processes);
}

BOOL CeTerminateProcess(DWORD processId)
{
    return Global().CeTerminateProcess(processId);
}

BOOL CeResetDevice(BOOL clean)
{
    return Global().CeResetDevice(clean);
}

LONG CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM samDesired, HKEY* result)
{
    return Global().CeRegOpenKeyEx(key, subKey, options, samDesired, result);
}

LONG CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
    REGSAM samDesired, void* securityAttributes, HKEY* result, DWORD* disposition)
{
    return Global().CeRegCreateKeyEx(
        key, subKey, reserved, keyClass, options, samDesired, securityAttributes, result, disposition);
}

LONG CeRegQueryValueEx(HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize)
{
    return Global().CeRegQueryValueEx(key, valueName, reserved, type, data, dataSize);
}

LONG CeRegSetValueEx(
    HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize)
{
    return Global().CeRegSetValueEx(key, valueName, reserved, type, data, dataSize);
}

LONG CeRegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD* reserved, LPWSTR keyClass,
    DWORD* classLength, FILETIME* lastWriteTime)
{
    return Global().CeRegEnumKeyEx(
        key, index, name, nameLength, reserved, keyClass, classLength, lastWriteTime);
}

LONG CeRegEnumValue(HKEY key, DWORD index, LPWSTR valueName, DWORD* valueNameLength, DWORD* reserved,
    DWORD* type, BYTE* data, DWORD* dataSize)
{
    return Global().CeRegEnumValue(key, index, valueName, valueNameLength, reserved, type, data, dataSize);
}

LONG CeRegQueryInfoKey(HKEY key, LPWSTR keyClass, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
    DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
    DWORD* maxValueLength, DWORD* securityDescriptor, FILETIME* lastWriteTime)
{
    return Global().CeRegQueryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength,
        maxClassLength, values, maxValueNameLength, maxValueLength, securityDescriptor, lastWriteTime);
}

LONG CeRegDeleteValue(HKEY key, LPCWSTR valueName)
{
    return Global().CeRegDeleteValue(key, valueName);
}

LONG CeRegDeleteKey(HKEY key, LPCWSTR subKey)
{
    return Global().CeRegDeleteKey(key, subKey);
}

LONG CeRegCloseKey(HKEY key)
{
    return Global().CeRegCloseKey(key);
}
