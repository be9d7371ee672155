// The Windows CE system services of the emulated device, for device programs
// (the agent, the stopper, wceload): registry, files, processes, kernel I/O
// control, clock, sleep and debug output, with the names, arguments and
// results of Windows CE. Plain C++, no Qt.
//
// Where the device is
//   A device program is started by the device host (cedevice), which tells it
//   where its device is through the environment:
//
//     QUORVANE_DEVICE_DIR     the device folder (see platform/store/DeviceFolder.h):
//                             the registry hive and the object store are used
//                             from it directly, in this process
//     QUORVANE_CE_HOST_FD     a connected socket to the device host, for the
//                             services only the host can give: the process
//                             table, process start and termination, reboot
//     QUORVANE_CE_MODULE      the program's own device path, as UTF-8
//                             ("\Quorvane\Quorvane2003.exe"): GetModuleFileName
//     QUORVANE_CE_PROCESS_ID  the program's device process id, in decimal:
//                             GetCurrentProcessId
//
//   The library attaches by itself at the first call that needs the device.
//   Without QUORVANE_DEVICE_DIR, registry and file calls fail with
//   ERROR_NOT_CONNECTED; without QUORVANE_CE_HOST_FD (a program run by hand
//   against a device folder), the snapshot, process calls and reboot fail
//   with ERROR_NOT_SUPPORTED. When the host has gone away they fail with
//   ERROR_BROKEN_PIPE.
//
// Results
//   As on Windows CE: registry functions return a LONG Win32 code; the others
//   return TRUE/FALSE, a handle, or a count, and set the calling thread's last
//   error (GetLastError) on failure. A failed CreateFile, FindFirstFile or
//   CreateToolhelp32Snapshot returns INVALID_HANDLE_VALUE; a failed
//   OpenProcess returns 0. Pointers marked "optional" may be null.
//
// Strings
//   UTF-16 (char16_t), NUL-terminated, as LPCWSTR/LPWSTR; counts of
//   characters ("cch") exclude the terminator unless a function says so.
//   Device paths are absolute, "\"-separated, case-insensitive (the rules of
//   platform/store/DevicePath.h).
//
// Threads
//   Every function is safe from any thread. Handles (HKEY, HANDLE) belong to
//   the process and may be used from any thread, but a handle must not be
//   closed while another thread still uses it (as on Windows). The last error
//   is per thread.
#pragma once

#include "platform/rapi/CeTypes.h"

#include <string>

namespace reg {
class Hive;
}

namespace ce {

// ---- Types and constants of the device side --------------------------------

using HMODULE = HANDLE;

// The device clock's local time.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth; // 1..12
    WORD wDayOfWeek; // 0 = Sunday
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// One entry of FindFirstFile/FindNextFile.
struct WIN32_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};

// One process of a toolhelp snapshot. Set dwSize to sizeof(PROCESSENTRY32)
// before Process32First. th32ProcessID and szExeFile (the executable's file
// name, no folder) are filled; cntThreads is 1, th32ParentProcessID the
// starter's id when known, the other fields 0.
struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
    DWORD th32MemoryBase;
    DWORD th32AccessKey;
};

// CreateToolhelp32Snapshot flags: only processes are listed.
inline constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;

// OpenProcess access (any value is accepted; none is checked).
inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_ALL_ACCESS = 0x001F0FFF;

// Registry access (accepted, not checked) and options.
inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_READ = 0x00020019;
inline constexpr REGSAM KEY_WRITE = 0x00020006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;
inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

// Kernel I/O control codes of the hardware layer.
inline constexpr DWORD IOCTL_HAL_GET_DEVICEID = 0x01010054;
inline constexpr DWORD IOCTL_HAL_REBOOT = 0x0101003C;

inline constexpr DWORD INFINITE = 0xFFFFFFFFu;

// ---- Registry -----------------------------------------------------------------
// `hKey` is a root (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE)
// or a key opened here. Sub-key paths: "\"-separated, one leading "\"
// ignored ("\Software\Quorvane" = "Software\Quorvane"). Names are
// case-insensitive and case-preserving. Unknown handles give
// ERROR_INVALID_HANDLE; a key deleted while open gives ERROR_KEY_DELETED on
// later calls through its handle.

// Opens `lpSubKey` below `hKey`, creating it and its missing parents.
// *phkResult receives the new handle; *lpdwDisposition (optional) receives
// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY. Reserved, lpClass,
// dwOptions, samDesired and lpSecurityAttributes are ignored.
LONG RegCreateKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
    REGSAM samDesired, void* lpSecurityAttributes, HKEY* phkResult, DWORD* lpdwDisposition);

// Opens an existing key. ERROR_FILE_NOT_FOUND when it does not exist. A null
// or empty `lpSubKey` opens a new handle to `hKey` itself.
LONG RegOpenKeyEx(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);

// Reads value `lpValueName` (null or empty: the unnamed value). *lpType
// (optional) receives its type. `lpcbData` is in/out: with `lpData` null it
// receives the size; with a buffer of *lpcbData bytes the data is copied when
// it fits, else ERROR_MORE_DATA with the needed size in *lpcbData.
// ERROR_FILE_NOT_FOUND when the value is missing. Allocates nothing: a
// program may poll a value on an open key as often as it likes.
LONG RegQueryValueEx(
    HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// Stores value `lpValueName`: `cbData` bytes of type `dwType` (a string's
// bytes as the caller counts them; nothing is added). Replaces a value of the
// same name. Allocates nothing beyond the hive's own write.
LONG RegSetValueEx(
    HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);

// ERROR_FILE_NOT_FOUND when the value is missing.
LONG RegDeleteValue(HKEY hKey, LPCWSTR lpValueName);

// Deletes `lpSubKey` below `hKey` with all its sub-keys and values (as
// Windows CE does). ERROR_FILE_NOT_FOUND when missing; ERROR_ACCESS_DENIED
// for a root.
LONG RegDeleteKey(HKEY hKey, LPCWSTR lpSubKey);

// Closes a handle from RegCreateKeyEx/RegOpenKeyEx. Closing a root is a
// success that does nothing.
LONG RegCloseKey(HKEY hKey);

// Sub-key number `dwIndex` (0-based): its name into `lpName`, whose size in
// characters (terminator included) is *lpcName; on success *lpcName is the
// name's length without terminator. ERROR_MORE_DATA when the buffer is too
// small; ERROR_NO_MORE_ITEMS past the last. lpClass and lpcClass, when given,
// receive an empty class; lpftLastWriteTime (optional) receives 0.
LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcName, DWORD* lpReserved, LPWSTR lpClass,
    DWORD* lpcClass, FILETIME* lpftLastWriteTime);

// Value number `dwIndex`: name (as RegEnumKeyEx), type (optional) and data
// (as RegQueryValueEx; lpData and lpcbData optional). ERROR_MORE_DATA when
// the name or the data does not fit; ERROR_NO_MORE_ITEMS past the last.
LONG RegEnumValue(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, DWORD* lpcValueName, DWORD* lpReserved,
    DWORD* lpType, BYTE* lpData, DWORD* lpcbData);

// Counts and longest lengths of the key (each pointer optional; the class
// and security arguments of Windows are left out).
LONG RegQueryInfoKey(HKEY hKey, DWORD* lpcSubKeys, DWORD* lpcbMaxSubKeyLen, DWORD* lpcValues,
    DWORD* lpcbMaxValueNameLen, DWORD* lpcbMaxValueLen);

// ---- Files ----------------------------------------------------------------------
// Device paths on the device's object store. Sharing follows Windows and
// holds across every process of the device, remote clients included: an
// open that the others' share modes forbid fails with ERROR_SHARING_VIOLATION.

// Opens or creates a file. dwDesiredAccess: GENERIC_READ and/or
// GENERIC_WRITE (or 0 to query); dwShareMode: FILE_SHARE_*;
// dwCreationDisposition: CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING,
// OPEN_ALWAYS, TRUNCATE_EXISTING; dwFlagsAndAttributes: FILE_ATTRIBUTE_* of
// a new file. CREATE_ALWAYS and OPEN_ALWAYS on an existing file succeed with
// last error ERROR_ALREADY_EXISTS. lpSecurityAttributes and hTemplateFile
// are ignored. INVALID_HANDLE_VALUE on failure (ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND, ERROR_FILE_EXISTS, ERROR_ACCESS_DENIED,
// ERROR_SHARING_VIOLATION, ERROR_INVALID_NAME, ...).
HANDLE CreateFile(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, void* lpSecurityAttributes,
    DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// Reads up to nNumberOfBytesToRead bytes; *lpNumberOfBytesRead is 0 at the
// end of the file (still TRUE). lpOverlapped must be null.
BOOL ReadFile(
    HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead, void* lpOverlapped);

// Writes all bytes at the file position (FALSE with ERROR_DISK_FULL when the
// disk is full; *lpNumberOfBytesWritten says how many made it).
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
    void* lpOverlapped);

// The low 32 bits of the size; *lpFileSizeHigh (optional) the high bits.
// INVALID_FILE_SIZE with a last error on failure (the last error is
// ERROR_SUCCESS when the low bits merely happen to be 0xFFFFFFFF).
DWORD GetFileSize(HANDLE hFile, DWORD* lpFileSizeHigh);

// Moves the file position; returns its low 32 bits (high bits in and out
// through *lpDistanceToMoveHigh, optional). INVALID_SET_FILE_POINTER with a
// last error on failure (ERROR_NEGATIVE_SEEK, ERROR_INVALID_PARAMETER).
DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh, DWORD dwMoveMethod);

// Closes a file, a process handle or a snapshot. FALSE with
// ERROR_INVALID_HANDLE for anything else (find handles close with FindClose).
BOOL CloseHandle(HANDLE hObject);

// Lists the entries that match `lpFileName` (a folder path and a last
// component that may hold * and ?). The first entry fills *lpFindFileData.
// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when nothing matches,
// ERROR_PATH_NOT_FOUND when the folder is missing.
HANDLE FindFirstFile(LPCWSTR lpFileName, WIN32_FIND_DATA* lpFindFileData);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFile(HANDLE hFindFile, WIN32_FIND_DATA* lpFindFileData);
BOOL FindClose(HANDLE hFindFile);

BOOL DeleteFile(LPCWSTR lpFileName);
// Copies content, attributes and write time; with bFailIfExists an existing
// target gives ERROR_FILE_EXISTS. A failed copy leaves no partial target.
BOOL CopyFile(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
// Renames or moves a file or folder; ERROR_ALREADY_EXISTS when the target exists.
BOOL MoveFile(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);
// INVALID_FILE_ATTRIBUTES with a last error when the entry is missing.
DWORD GetFileAttributes(LPCWSTR lpFileName);
BOOL SetFileAttributes(LPCWSTR lpFileName, DWORD dwFileAttributes);
// ERROR_ALREADY_EXISTS when the name is taken. lpSecurityAttributes is ignored.
BOOL CreateDirectory(LPCWSTR lpPathName, void* lpSecurityAttributes);
BOOL RemoveDirectory(LPCWSTR lpPathName);

// ---- Processes --------------------------------------------------------------------
// The device's process table, kept by the device host: the device's own
// system processes (NK.EXE, filesys.exe, device.exe, gwes.exe, shell32.exe,
// ...), which refuse termination; ROM programs started on the device, which
// run as simulated processes; and device programs, which run as host
// processes. A process leaves the table as soon as it ends.

// A snapshot of the process table as it is now. dwFlags must include
// TH32CS_SNAPPROCESS (else ERROR_INVALID_PARAMETER); th32ProcessID is
// ignored. INVALID_HANDLE_VALUE on failure.
HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// The first (next) process of the snapshot. FALSE with ERROR_NO_MORE_FILES
// after the last; ERROR_INVALID_PARAMETER when lppe->dwSize is smaller than
// sizeof(PROCESSENTRY32).
BOOL Process32First(HANDLE hSnapshot, PROCESSENTRY32* lppe);
BOOL Process32Next(HANDLE hSnapshot, PROCESSENTRY32* lppe);
BOOL CloseToolhelp32Snapshot(HANDLE hSnapshot);

// A handle to the running process `dwProcessId`, or 0 with
// ERROR_INVALID_PARAMETER when no such process runs. Close it with CloseHandle.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);

// Ends the process at once. FALSE with ERROR_ACCESS_DENIED for a system
// process; FALSE with ERROR_INVALID_HANDLE when the process has already
// ended or the handle is unknown. uExitCode is recorded nowhere.
BOOL TerminateProcess(HANDLE hProcess, UINT uExitCode);

// Starts device program `pszImageName` (a device path) with the command line
// `pszCmdLine` (optional; passed whole, as one piece). Only the image name,
// the command line and pProcInfo (optional: ids and a process handle to
// close with CloseHandle; hThread is 0) are used. FALSE with
// ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or ERROR_BAD_EXE_FORMAT (the
// file is not a program of this device).
BOOL CreateProcess(LPCWSTR pszImageName, LPCWSTR pszCmdLine, void* psaProcess, void* psaThread,
    BOOL fInheritHandles, DWORD fdwCreate, void* pvEnvironment, LPCWSTR pszCurDir, void* psiStartInfo,
    PROCESS_INFORMATION* pProcInfo);

// This program's device process id (0 when it was not started by the device).
DWORD GetCurrentProcessId();

// With hModule 0: the device path of the running program, copied into
// lpFilename (nSize characters, terminator included; a longer path is cut
// and terminated, with ERROR_INSUFFICIENT_BUFFER). Returns the characters
// copied without the terminator; 0 with a last error on failure.
DWORD GetModuleFileName(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// The program's command line, without the program's name (what WinMain
// receives): the single argument the device host passed, or "" when none.
// The text lives as long as the process.
LPCWSTR GetCommandLine();

// ---- System -----------------------------------------------------------------------

// IOCTL_HAL_GET_DEVICEID: copies the device identifier bytes of the
// device's profile into lpOutBuf; *lpBytesReturned (optional) receives their
// count. A buffer smaller than the identifier gives FALSE with
// ERROR_INSUFFICIENT_BUFFER and the needed count in *lpBytesReturned.
// IOCTL_HAL_REBOOT: restarts the device (a clean boot when
// SetCleanRebootFlag was called); every device process ends, this one too,
// so the call returns only when the device cannot restart (FALSE with the
// reason). Input buffers are ignored. Other codes: FALSE, ERROR_NOT_SUPPORTED.
BOOL KernelIoControl(DWORD dwIoControlCode, void* lpInBuf, DWORD nInBufSize, void* lpOutBuf,
    DWORD nOutBufSize, DWORD* lpBytesReturned);

// Makes the next IOCTL_HAL_REBOOT of this process a clean boot: the store
// and the registry return to the device's factory image.
void SetCleanRebootFlag();

void Sleep(DWORD dwMilliseconds);

// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD GetTickCount();

// The device clock's local date and time.
void GetLocalTime(SYSTEMTIME* lpSystemTime);

// Writes `lpOutputString` as it is to the debug text channel (the trace
// sink of exchange/Trace.h: off unless QUORVANE_TRACE is set).
void OutputDebugString(LPCWSTR lpOutputString);

// The calling thread's last error.
DWORD GetLastError();
void SetLastError(DWORD dwErrCode);

// ---- Attaching (not Windows API) ------------------------------------------------

// Attaches to the device the environment names (see the top of this file),
// as the first call of any function does by itself. False with a one-line
// reason in *error (optional) when QUORVANE_DEVICE_DIR is missing or its
// hive or store cannot be opened; a device program that cannot do without
// its device calls this first to report why.
bool Attach(std::string* error);

// The device registry itself, for device tools that need what the registry
// functions above cannot do: several changes in one transaction
// (reg::Hive::Apply). Null, with ERROR_NOT_CONNECTED, when not attached.
reg::Hive* DeviceRegistry();

// Forgets the device: closes every handle and the host link. The next call
// attaches again from the environment. For tests and tools that switch
// devices; no other thread may use the library meanwhile.
void Detach();

} // namespace ce
