// The desktop's remote-access interface to the device: the operations of the
// device's remote API under their own names, arguments and results, spoken
// over the device host's socket (see Protocol.h).
//
// Two ways to use it:
//   - the free functions Ce...() work on one process-wide connection, like
//     the platform API they stand in for; safe from any number of threads
//     (requests of different threads take turns);
//   - a RapiConnection object is an independent connection with the same
//     operations as methods (tests use two of them to be two clients).
//
// Connecting: CeRapiInitEx(&init) with init.cbSize == 12 returns S_OK (or
// E_INVALIDARG for a bad record) and starts the attempt; init.heRapiInit is
// an event (a file descriptor) that becomes readable when the attempt has
// ended (wait with CeRapiWaitForInit or poll()), and init.hrRapiInit then
// holds its result: S_OK when connected, RAPI_E_NOT_CONNECTED when no
// device answered, RAPI_E_DEVICE_BUSY when the device refused because it
// serves as many connections as it can. The event belongs to the connection; CeRapiUninit
// closes it. CeRapiInit() connects and returns the result directly.
//
// Transport errors: a refused connection, or any operation without a
// connection, reports RAPI_E_NOT_CONNECTED (0x80072736) through
// CeRapiGetError (RAPI_E_DEVICE_BUSY after a refusal for being busy); a connection that breaks (the device
// stopped or reset, a malformed reply) reports RAPI_E_CONNECTION_LOST (0x80072775). The connection stays
// broken, every operation failing at once, until CeRapiUninit/CeRapiInitEx. Failing operations return their
// failure value (FALSE, INVALID_HANDLE_VALUE, 0xFFFFFFFF, or ERROR_NOT_CONNECTED for the registry) and leave
// CeGetLastError unchanged.
//
// CeGetLastError returns the device's last error as of the calling thread's
// most recent operation on that connection (FALSE results set it; a few
// successes set it too, as on the device: 183 from CeCreateFile with
// CREATE_ALWAYS/OPEN_ALWAYS on an existing file, 0 otherwise from
// CeCreateFile).
//
// Registry values: a value of any size the device holds is read (the caller's
// buffer decides); one is written with at most 1 MiB of data
// (rapi::proto::kMaxValueData), larger data gives ERROR_INVALID_PARAMETER.
//
// The socket: CeRapiSetSocketPath() / RapiConnection::SetSocketPath(), read
// at each init; when never set, home::DeviceSocketPath().
#pragma once

#include "platform/rapi/CeTypes.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// Result of CeRapiWaitForInit.
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;

// What the device says about itself (one request): what the desktop keeps as
// "DeviceType" and "DeviceOemInfo", the OS version and the profile's name.
struct CEDEVICEIDENTITY {
    std::u16string platformType;
    std::u16string oemInfo;
    std::u16string profileName;
    DWORD dwMajorVersion = 0;
    DWORD dwMinorVersion = 0;
    DWORD dwBuildNumber = 0;
};

// A registry value as CeRegWaitValueChange knows it and reports it.
struct CEREGVALUE {
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// One process of the device's table (CeGetProcessList).
struct CEPROCESSENTRY {
    DWORD dwProcessId = 0;
    DWORD dwParentProcessId = 0;
    std::u16string exeFile; // the executable's file name
};

class RapiConnection {
public:
    RapiConnection();
    ~RapiConnection(); // closes the connection
    RapiConnection(const RapiConnection&) = delete;
    RapiConnection& operator=(const RapiConnection&) = delete;

    void SetSocketPath(const std::filesystem::path& path);
    // The socket the next init connects to: the one set, else the default.
    std::filesystem::path SocketPath() const;

    HRESULT CeRapiInitEx(RAPIINIT* init);
    HRESULT CeRapiInit();
    HRESULT CeRapiUninit();
    HRESULT CeRapiGetError();
    DWORD CeGetLastError();

    HANDLE CeCreateFile(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
        DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
    BOOL CeReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
    BOOL CeWriteFile(
        HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped);
    DWORD CeGetFileSize(HANDLE file, DWORD* fileSizeHigh);
    DWORD CeSetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);
    BOOL CeCloseHandle(HANDLE object);
    BOOL CeGetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
    BOOL CeSetFileTime(
        HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);
    BOOL CeDeleteFile(LPCWSTR fileName);
    BOOL CeMoveFile(LPCWSTR existingFileName, LPCWSTR newFileName);
    BOOL CeCopyFile(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
    BOOL CeCreateDirectory(LPCWSTR pathName, void* securityAttributes);
    BOOL CeRemoveDirectory(LPCWSTR pathName);
    DWORD CeGetFileAttributes(LPCWSTR fileName);
    BOOL CeSetFileAttributes(LPCWSTR fileName, DWORD fileAttributes);

    HANDLE CeFindFirstFile(LPCWSTR fileName, CE_FIND_DATA* findData);
    BOOL CeFindNextFile(HANDLE findFile, CE_FIND_DATA* findData);
    BOOL CeFindClose(HANDLE findFile);
    BOOL CeFindAllFiles(LPCWSTR path, DWORD flags, DWORD* foundCount, CE_FIND_DATA** findDataArray);

    BOOL CeCreateProcess(LPCWSTR applicationName, LPCWSTR commandLine, void* processAttributes,
        void* threadAttributes, BOOL inheritHandles, DWORD creationFlags, void* environment,
        LPCWSTR currentDirectory, void* startupInfo, PROCESS_INFORMATION* processInformation);
    BOOL CeGetVersionEx(CEOSVERSIONINFO* versionInformation);
    BOOL CeSystemParametersInfo(UINT action, UINT param, void* pvParam, UINT winIni);
    BOOL CeGetDeviceIdentity(CEDEVICEIDENTITY* identity);

    // Device tools beyond the platform's remote API, for quorvane-cli: the
    // process table (system processes, simulated ROM programs and running
    // device programs, in the device's order); ending one process
    // (ERROR_ACCESS_DENIED for a system process, ERROR_INVALID_PARAMETER when
    // none has that id); restarting the device (clean: a hard reset to the
    // factory image). A restart drops every connection, this one included,
    // so CeResetDevice may fail with RAPI_E_CONNECTION_LOST after the device
    // accepted it; a device that cannot restart answers FALSE with the reason.
    BOOL CeGetProcessList(std::vector<CEPROCESSENTRY>* processes);
    BOOL CeTerminateProcess(DWORD processId);
    BOOL CeResetDevice(BOOL clean);
    // Waits on the device until value `valueName` of `key` differs from
    // `known`, process `processId` (when not 0) has ended, or `timeoutMs`
    // (at most a second) has passed: ERROR_SUCCESS when something changed,
    // WAIT_TIMEOUT when nothing did; *now gets the value as it is,
    // *processRunning (may be null) whether the process runs. The
    // connection is busy meanwhile, so callers wait in short steps.
    LONG CeRegWaitValueChange(HKEY key, LPCWSTR valueName, const CEREGVALUE& known, DWORD processId,
        DWORD timeoutMs, CEREGVALUE* now, BOOL* processRunning);

    LONG CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM samDesired, HKEY* result);
    LONG CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
        REGSAM samDesired, void* securityAttributes, HKEY* result, DWORD* disposition);
    LONG CeRegQueryValueEx(
        HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);
    LONG CeRegSetValueEx(
        HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
    LONG CeRegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD* reserved,
        LPWSTR keyClass, DWORD* classLength, FILETIME* lastWriteTime);
    LONG CeRegEnumValue(HKEY key, DWORD index, LPWSTR valueName, DWORD* valueNameLength, DWORD* reserved,
        DWORD* type, BYTE* data, DWORD* dataSize);
    LONG CeRegQueryInfoKey(HKEY key, LPWSTR keyClass, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
        DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
        DWORD* maxValueLength, DWORD* securityDescriptor, FILETIME* lastWriteTime);
    LONG CeRegDeleteValue(HKEY key, LPCWSTR valueName);
    LONG CeRegDeleteKey(HKEY key, LPCWSTR subKey);
    LONG CeRegCloseKey(HKEY key);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

// ---- The process-wide connection ----------------------------------------------

void CeRapiSetSocketPath(const std::filesystem::path& path);
std::filesystem::path CeRapiGetSocketPath();

// Waits up to `milliseconds` for the init event of CeRapiInitEx:
// WAIT_OBJECT_0 when it is signalled, WAIT_TIMEOUT otherwise.
DWORD CeRapiWaitForInit(std::int32_t event, DWORD milliseconds);

HRESULT CeRapiInitEx(RAPIINIT* init);
HRESULT CeRapiInit();
HRESULT CeRapiUninit();
HRESULT CeRapiGetError();
DWORD CeGetLastError();
// Releases the array of CeFindAllFiles (null is fine).
HRESULT CeRapiFreeBuffer(void* buffer);

HANDLE CeCreateFile(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, void* securityAttributes,
    DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL CeReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped);
BOOL CeWriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void* overlapped);
DWORD CeGetFileSize(HANDLE file, DWORD* fileSizeHigh);
DWORD CeSetFilePointer(HANDLE file, LONG distanceToMove, LONG* distanceToMoveHigh, DWORD moveMethod);
BOOL CeCloseHandle(HANDLE object);
BOOL CeGetFileTime(HANDLE file, FILETIME* creation, FILETIME* lastAccess, FILETIME* lastWrite);
BOOL CeSetFileTime(
    HANDLE file, const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);
BOOL CeDeleteFile(LPCWSTR fileName);
BOOL CeMoveFile(LPCWSTR existingFileName, LPCWSTR newFileName);
BOOL CeCopyFile(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
BOOL CeCreateDirectory(LPCWSTR pathName, void* securityAttributes);
BOOL CeRemoveDirectory(LPCWSTR pathName);
DWORD CeGetFileAttributes(LPCWSTR fileName);
BOOL CeSetFileAttributes(LPCWSTR fileName, DWORD fileAttributes);
HANDLE CeFindFirstFile(LPCWSTR fileName, CE_FIND_DATA* findData);
BOOL CeFindNextFile(HANDLE findFile, CE_FIND_DATA* findData);
BOOL CeFindClose(HANDLE findFile);
BOOL CeFindAllFiles(LPCWSTR path, DWORD flags, DWORD* foundCount, CE_FIND_DATA** findDataArray);
BOOL CeCreateProcess(LPCWSTR applicationName, LPCWSTR commandLine, void* processAttributes,
    void* threadAttributes, BOOL inheritHandles, DWORD creationFlags, void* environment,
    LPCWSTR currentDirectory, void* startupInfo, PROCESS_INFORMATION* processInformation);
BOOL CeGetVersionEx(CEOSVERSIONINFO* versionInformation);
BOOL CeSystemParametersInfo(UINT action, UINT param, void* pvParam, UINT winIni);
BOOL CeGetDeviceIdentity(CEDEVICEIDENTITY* identity);
BOOL CeGetProcessList(std::vector<CEPROCESSENTRY>* processes);
BOOL CeTerminateProcess(DWORD processId);
BOOL CeResetDevice(BOOL clean);
LONG CeRegWaitValueChange(HKEY key, LPCWSTR valueName, const CEREGVALUE& known, DWORD processId,
    DWORD timeoutMs, CEREGVALUE* now, BOOL* processRunning);
LONG CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD options, REGSAM samDesired, HKEY* result);
LONG CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
    REGSAM samDesired, void* securityAttributes, HKEY* result, DWORD* disposition);
LONG CeRegQueryValueEx(
    HKEY key, LPCWSTR valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);
LONG CeRegSetValueEx(
    HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG CeRegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, DWORD* nameLength, DWORD* reserved, LPWSTR keyClass,
    DWORD* classLength, FILETIME* lastWriteTime);
LONG CeRegEnumValue(HKEY key, DWORD index, LPWSTR valueName, DWORD* valueNameLength, DWORD* reserved,
    DWORD* type, BYTE* data, DWORD* dataSize);
LONG CeRegQueryInfoKey(HKEY key, LPWSTR keyClass, DWORD* classLength, DWORD* reserved, DWORD* subKeys,
    DWORD* maxSubKeyLength, DWORD* maxClassLength, DWORD* values, DWORD* maxValueNameLength,
    DWORD* maxValueLength, DWORD* securityDescriptor, FILETIME* lastWriteTime);
LONG CeRegDeleteValue(HKEY key, LPCWSTR valueName);
LONG CeRegDeleteKey(HKEY key, LPCWSTR subKey);
LONG CeRegCloseKey(HKEY key);
