#include "platform/rapi/ErrorText.h"

namespace {

struct Entry {
    DWORD code;
    const char16_t* text;
};

constexpr Entry kTexts[] = {
    { ERROR_SUCCESS, u"The operation completed successfully." },
    { ERROR_INVALID_FUNCTION, u"Incorrect function." },
    { ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified." },
    { ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified." },
    { ERROR_TOO_MANY_OPEN_FILES, u"The system cannot open the file." },
    { ERROR_ACCESS_DENIED, u"Access is denied." },
    { ERROR_INVALID_HANDLE, u"The handle is invalid." },
    { ERROR_NOT_ENOUGH_MEMORY, u"Not enough storage is available to process this command." },
    { ERROR_INVALID_DATA, u"The data is invalid." },
    { ERROR_NOT_SAME_DEVICE, u"The system cannot move the file to a different disk drive." },
    { ERROR_NO_MORE_FILES, u"There are no more files." },
    { ERROR_WRITE_PROTECT, u"The media is write protected." },
    { ERROR_GEN_FAILURE, u"A device attached to the system is not functioning." },
    { ERROR_SHARING_VIOLATION,
        u"The process cannot access the file because it is being used by another process." },
    { ERROR_HANDLE_EOF, u"Reached the end of the file." },
    { ERROR_NOT_SUPPORTED, u"The request is not supported." },
    { ERROR_FILE_EXISTS, u"The file exists." },
    { ERROR_INVALID_PARAMETER, u"The parameter is incorrect." },
    { ERROR_BROKEN_PIPE, u"The pipe has been ended." },
    { ERROR_DISK_FULL, u"There is not enough space on the disk." },
    { ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small." },
    { ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect." },
    { ERROR_NEGATIVE_SEEK,
        u"An attempt was made to move the file pointer before the beginning of the file." },
    { ERROR_DIR_NOT_EMPTY, u"The directory is not empty." },
    { ERROR_BAD_ARGUMENTS, u"One or more arguments are not correct." },
    { ERROR_BUSY, u"The requested resource is in use." },
    { ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists." },
    { ERROR_BAD_EXE_FORMAT, u"%1 is not a valid Win32 application." },
    { ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long." },
    { ERROR_MORE_DATA, u"More data is available." },
    { ERROR_NO_MORE_ITEMS, u"No more data is available." },
    { ERROR_DIRECTORY, u"The directory name is invalid." },
    { ERROR_CANTREAD, u"The configuration registry key could not be read." },
    { ERROR_CANTWRITE, u"The configuration registry key could not be written." },
    { ERROR_KEY_DELETED,
        u"Illegal operation attempted on a registry key that has been marked for deletion." },
    { ERROR_NOT_CONNECTED, u"This network connection does not exist." },
    { DWORD(RAPI_E_NOT_CONNECTED), u"An operation was attempted on something that is not a socket." },
    { DWORD(RAPI_E_CONNECTION_LOST), u"The remote party has initiated a graceful shutdown sequence." },
    { DWORD(RAPI_E_DEVICE_BUSY),
        u"The device is busy: it serves as many connections as it can. Try again when one has ended." },
    { DWORD(E_FAIL), u"Unspecified error" },
    { DWORD(E_INVALIDARG), u"The parameter is incorrect." },
};

} // namespace

std::u16string SystemErrorText(DWORD code)
{
    for (const auto& e : kTexts)
        if (e.code == code)
            return e.text;
    return {};
}
