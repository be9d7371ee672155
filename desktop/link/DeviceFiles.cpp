// The retrying file wrappers and the device file helpers.
#include "desktop/link/DeviceLink.h"

#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "exchange/Text.h"
#include "platform/rapi/ErrorText.h"
#include "platform/rapi/Rapi.h"

namespace devlink {
namespace {

// A request that the device keeps dropping would otherwise be repeated
// without end, each repeat reconnecting successfully.
constexpr int kMaxReopenRepeats = 10;

bool IsTransportLoss(HRESULT error)
{
    return error == RAPI_E_NOT_CONNECTED || error == RAPI_E_CONNECTION_LOST;
}

QString Q(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

} // namespace

std::u16string DevicePath(const QString& path)
{
    return path.toStdU16String();
}

QString DeviceErrorText(DWORD code)
{
    return QString::fromStdU16String(SystemErrorText(code));
}

HANDLE RapiCeCreateFile(const QString& path, DWORD access, DWORD share, void* security, DWORD disposition,
    DWORD attributes, HANDLE templateFile)
{
    TraceLine(QStringLiteral("RapiCeCreateFile()\r\n"));
    const std::u16string name = DevicePath(path);
    bool reconnected = false;
    for (int attempt = 1; attempt <= 10; ++attempt) {
        HANDLE handle
            = CeCreateFile(name.c_str(), access, share, security, disposition, attributes, templateFile);
        if (handle != INVALID_HANDLE_VALUE)
            return handle;
        HRESULT transport = CeRapiGetError();
        // After a transport failure the device error is an old one.
        if (transport == S_OK && CeGetLastError() == ERROR_SHARING_VIOLATION)
            return -1;
        bool reopened = false;
        if (!reconnected && IsTransportLoss(transport)) {
            UninitRapi();
            reopened = ConnectWithRetries();
            reconnected = true;
        }
        WaitWithMessages(Timing().createFileRetryWaitMs);
        // A connection made anew here is tried at once; asking whether it
        // is open would only find nothing lost any more and give up.
        if (reopened && attempt < 10)
            continue;
        if (IsRAPIopen() != kRapiReopened || attempt == 10)
            return -2;
    }
    return -2;
}

qint64 RapiCeGetFileAttributes(const QString& path)
{
    TraceLine(QStringLiteral("RapiCeGetFileAttributes()\r\n"));
    const std::u16string name = DevicePath(path);
    for (int repeat = 0; repeat <= kMaxReopenRepeats; ++repeat) {
        DWORD attributes = CeGetFileAttributes(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            return attributes;
        if (IsRAPIopen() != kRapiReopened)
            break;
    }
    return -2;
}

int RapiCeSetFileAttributes(const QString& path, DWORD attributes)
{
    TraceLine(QStringLiteral("RapiCeSetFileAttributes()\r\n"));
    const std::u16string name = DevicePath(path);
    for (int repeat = 0; repeat <= kMaxReopenRepeats; ++repeat) {
        if (CeSetFileAttributes(name.c_str(), attributes))
            return 1;
        if (IsRAPIopen() != kRapiReopened)
            break;
    }
    return -2;
}

bool RapiCeMoveFile(const QString& from, const QString& to)
{
    TraceLine(QStringLiteral("RapiCeMoveFile()\r\n"));
    const std::u16string source = DevicePath(from), target = DevicePath(to);
    for (int repeat = 0; repeat <= kMaxReopenRepeats; ++repeat) {
        if (CeMoveFile(source.c_str(), target.c_str()))
            return true;
        if (IsRAPIopen() != kRapiReopened)
            break;
    }
    ShowDeviceError(Q(
        exchange::Format(u"Unable to rename this file/directory.\r\n\r\nFrom:\t%s\r\nTo:\t%s\r\n\r\nError: ",
            source, target)));
    return false;
}

bool RapiCeFindAllFiles(const QString& path, DWORD fieldMask, QVector<CE_FIND_DATA>* records)
{
    const std::u16string name = DevicePath(path);
    if (records)
        records->clear();
    for (int repeat = 0; repeat <= kMaxReopenRepeats; ++repeat) {
        DWORD count = 0;
        CE_FIND_DATA* array = nullptr;
        if (CeFindAllFiles(name.c_str(), fieldMask, &count, &array)) {
            if (records && array)
                *records = QVector<CE_FIND_DATA>(array, array + count);
            CeRapiFreeBuffer(array);
            return true;
        }
        CeRapiFreeBuffer(array);
        if (IsRAPIopen() != kRapiReopened)
            break;
    }
    return false;
}

bool DeviceFileExists(const QString& path)
{
    QVector<CE_FIND_DATA> records;
    return RapiCeFindAllFiles(path, FAF_NAME, &records) && !records.isEmpty();
}

bool GetDeviceFileSize(const QString& path, quint32* size)
{
    QVector<CE_FIND_DATA> records;
    if (!RapiCeFindAllFiles(path, FAF_NAME | FAF_SIZE_LOW | FAF_SIZE_HIGH, &records) || records.size() != 1)
        return false;
    if (size)
        *size = records.front().nFileSizeLow;
    return true;
}

bool WriteDeviceBytes(HANDLE file, const void* data, DWORD byteCount)
{
    DWORD written = 0;
    return CeWriteFile(file, data, byteCount, &written, nullptr) && written == byteCount;
}

bool WriteDeviceString(HANDLE file, const QString& text)
{
    const std::string bytes = exchange::ToUtf16LeBytes(text.toStdU16String());
    return WriteDeviceBytes(file, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void ShowDeviceError(const QString& prefix)
{
    DWORD code = CeGetLastError();
    if (code == 0)
        code = static_cast<DWORD>(CeRapiGetError());
    QString text = code == 0 ? prefix + QStringLiteral("Unknown error") : prefix + DeviceErrorText(code);
    ShowMessage(QStringLiteral("Error"), text, PromptIcon::Warning);
}

bool DeviceOsAtLeast4()
{
    CEOSVERSIONINFO info {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!CeGetVersionEx(&info))
        return true;
    return info.dwMajorVersion >= 4;
}

bool DeviceOsAtLeast5()
{
    CEOSVERSIONINFO info {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!CeGetVersionEx(&info))
        return false;
    return info.dwMajorVersion >= 5;
}

} // namespace devlink
