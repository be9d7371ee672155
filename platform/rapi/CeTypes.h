// The Windows CE vocabulary shared by the desktop's remote-access client, the
// emulated device and the device programs: integer types, handles, error
// codes, file attributes, the find record and the version record, with the
// values the device reports.
//
// Strings are UTF-16 (char16_t); a handle is a signed pointer-sized integer so
// that INVALID_HANDLE_VALUE is -1 as callers compare it.
//
// Header only; safe from any thread.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using WCHAR = char16_t;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;
using REGSAM = std::uint32_t;
using HANDLE = std::intptr_t;
using HKEY = std::uint32_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
// Transport results of CeRapiGetError: no connection at all (refused, never
// made, not initialised) and a connection that was lost.
inline constexpr HRESULT RAPI_E_NOT_CONNECTED = static_cast<HRESULT>(0x80072736u);
inline constexpr HRESULT RAPI_E_CONNECTION_LOST = static_cast<HRESULT>(0x80072775u);
// The device answered but refused the connection: it serves as many as it
// can (the HRESULT form of ERROR_BUSY).
inline constexpr HRESULT RAPI_E_DEVICE_BUSY = static_cast<HRESULT>(0x800700AAu);

// Win32 error codes the device reports (CeGetLastError, registry results).
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_INVALID_FUNCTION = 1;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr DWORD ERROR_INVALID_DATA = 13;
inline constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
inline constexpr DWORD ERROR_NO_MORE_FILES = 18;
inline constexpr DWORD ERROR_WRITE_PROTECT = 19;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_HANDLE_EOF = 38;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_FILE_EXISTS = 80;
inline constexpr DWORD ERROR_INVALID_PARAMETER = 87;
inline constexpr DWORD ERROR_BROKEN_PIPE = 109;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr DWORD ERROR_INVALID_NAME = 123;
inline constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
inline constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
inline constexpr DWORD ERROR_BAD_ARGUMENTS = 160;
inline constexpr DWORD ERROR_BUSY = 170;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
inline constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr DWORD ERROR_MORE_DATA = 234;
inline constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
inline constexpr DWORD ERROR_DIRECTORY = 267;
inline constexpr DWORD ERROR_CANTREAD = 1012;
inline constexpr DWORD ERROR_CANTWRITE = 1013;
inline constexpr DWORD ERROR_KEY_DELETED = 1018;
inline constexpr DWORD ERROR_NOT_CONNECTED = 2250;

// File attributes. FILE_ATTRIBUTE_INROM marks a program of the device's ROM:
// it can be read and run but never written, moved or deleted.
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_INROM = 0x40;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;

// CeCreateFile access, sharing and disposition.
inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x01;
inline constexpr DWORD FILE_SHARE_WRITE = 0x02;
inline constexpr DWORD FILE_SHARE_DELETE = 0x04;
inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

// CeSetFilePointer.
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// CeFindAllFiles field mask and flags.
inline constexpr DWORD FAF_ATTRIBUTES = 0x01;
inline constexpr DWORD FAF_CREATION_TIME = 0x02;
inline constexpr DWORD FAF_LASTACCESS_TIME = 0x04;
inline constexpr DWORD FAF_LASTWRITE_TIME = 0x08;
inline constexpr DWORD FAF_SIZE_HIGH = 0x10;
inline constexpr DWORD FAF_SIZE_LOW = 0x20;
inline constexpr DWORD FAF_OID = 0x40;
inline constexpr DWORD FAF_NAME = 0x80;
inline constexpr DWORD FAF_FOLDERS_ONLY = 0x4000;

// Registry roots, types and results (the hive uses the same numbers).
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// CeGetVersionEx platform id.
inline constexpr DWORD VER_PLATFORM_WIN32_CE = 3;

// CeSystemParametersInfo actions.
inline constexpr UINT SPI_GETPLATFORMTYPE = 257;
inline constexpr UINT SPI_GETOEMINFO = 258;

inline constexpr DWORD MAX_PATH = 260;

// 100-nanosecond intervals since 1 January 1601 (UTC).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// One entry of a directory listing.
struct CE_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};

struct CEOSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

// The record of CeRapiInitEx. heRapiInit is the connection's init event: a
// file descriptor that becomes readable once the attempt has ended (wait with
// CeRapiWaitForInit or poll()); hrRapiInit then holds the attempt's result.
// Both belong to the connection: CeRapiUninit closes the event.
struct RAPIINIT {
    DWORD cbSize;
    std::int32_t heRapiInit;
    HRESULT hrRapiInit;
};
static_assert(sizeof(RAPIINIT) == 12, "the init record is 12 bytes, as callers fill it");

inline constexpr std::uint64_t FileTimeToU64(FILETIME t)
{
    return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

inline constexpr FILETIME U64ToFileTime(std::uint64_t v)
{
    return FILETIME { DWORD(v & 0xFFFFFFFFu), DWORD(v >> 32) };
}
