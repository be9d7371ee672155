// The program-wide connection: InitRapi, UninitRapi, the retrying connects,
// the lost-connection test and ActiveSync's desktop values.
#include "desktop/link/DeviceLink.h"

#include "desktop/link/LinkTiming.h"
#include "desktop/link/Prompter.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/Text.h"
#include "platform/rapi/Rapi.h"

#include <atomic>
#include <cstring>
#include <mutex>

namespace devlink {
namespace {

// The record handed to CeRapiInitEx; all zero until the first InitRapi.
RAPIINIT g_init {};
std::atomic<int> g_connected { 0 };
std::recursive_mutex g_initMutex;

const QString kActiveSyncKey = QStringLiteral("Software\\Microsoft\\Windows CE Services");

void ResetRecord()
{
    std::memset(&g_init, 0, sizeof g_init);
    g_init.cbSize = sizeof(RAPIINIT);
}

bool IsTransportLoss(HRESULT error)
{
    return error == RAPI_E_NOT_CONNECTED || error == RAPI_E_CONNECTION_LOST;
}

} // namespace

bool InitRapi()
{
    std::lock_guard lock(g_initMutex);
    if (g_init.cbSize == 0)
        ResetRecord();
    HRESULT result = CeRapiInitEx(&g_init);
    if (result < 0) {
        if (g_init.heRapiInit > 0) {
            TraceLine(QStringLiteral("Uninitialising RAPI...\r\n"));
            CeRapiUninit();
            ResetRecord();
        }
        return false;
    }
    TraceLine(QStringLiteral("Initialising RAPI...\r\n"));
    DWORD wait = g_init.heRapiInit >= 0
        ? CeRapiWaitForInit(g_init.heRapiInit, static_cast<DWORD>(Timing().initWaitMs))
        : WAIT_TIMEOUT;
    if (wait == WAIT_OBJECT_0 && g_init.hrRapiInit >= 0) {
        g_connected = 1;
        WriteActiveSyncValues();
        return true;
    }
    CeRapiUninit();
    return false;
}

void UninitRapi()
{
    std::lock_guard lock(g_initMutex);
    if (g_connected != 1)
        return;
    CeRapiUninit();
    ResetRecord();
    g_connected = 0;
}

bool IsConnected()
{
    return g_connected == 1;
}

bool ConnectWithRetries(const StatusSink& status)
{
    if (g_connected == 1)
        return true;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (InitRapi())
            return true;
        if (status)
            status(QString::fromStdU16String(exchange::Format(u"Connecting to device, retry %d..", attempt)));
        // The device may be coming up (after a reset, say): give it time,
        // with or without a window that shows it.
        WaitWithMessages(Timing().connectRetryWaitMs);
    }
    return false;
}

bool ConnectToDevice(const StatusSink& status)
{
    {
        std::lock_guard lock(g_initMutex);
        ResetRecord();
    }
    if (ConnectWithRetries(status))
        return true;
    for (;;) {
        ConnectionErrorRequest request;
        request.caption = QStringLiteral("Connection error");
        request.message = QStringLiteral("Unable to connect to your device.");
        request.advice
            = QStringLiteral("Please make sure your device is connected to your computer, and that "
                             "there is a green (not gray) ActiveSync icon in your taskbar.");
        request.retryIntervalMs = Timing().connectionDialogRetryMs;
        request.tryConnect = [] { return InitRapi(); };
        ConnectionErrorAnswer answer = CurrentPrompter().AskConnectionError(request);
        if (answer == ConnectionErrorAnswer::Connected) {
            if (status)
                status(QStringLiteral("Connected."));
            return true;
        }
        if (answer == ConnectionErrorAnswer::Cancel)
            return false;
        if (status)
            status(QStringLiteral("Connecting to device.."));
        if (ConnectWithRetries(status))
            return true;
    }
}

int IsRAPIopen()
{
    TraceLine(QStringLiteral("IsRAPIopen()\r\n"));
    HRESULT transport = CeRapiGetError();
    DWORD device = CeGetLastError();
    // A link that ended its connection after a loss (and could not make a
    // new one) is as lost as the transport says.
    if (IsTransportLoss(transport) || !IsConnected()) {
        for (;;) {
            // The client keeps a lost connection broken until it is started
            // again, so the connection is ended first and truly re-made.
            UninitRapi();
            if (ConnectToDevice())
                return kRapiReopened;
            PromptAnswer answer = ShowMessage(QStringLiteral("Connection error"),
                QStringLiteral("The ActiveSync connection to the device has been lost.\r\n\r\n"
                               "Please make sure the device is connected to your PC, and that ActiveSync\r\n"
                               "is running.\r\n"),
                PromptIcon::None, PromptButtons::AbortRetryIgnore);
            if (answer == PromptAnswer::Abort)
                return kRapiAbort;
            if (answer == PromptAnswer::Ignore)
                return kRapiIgnore;
        }
    }
    DWORD code = transport != S_OK ? static_cast<DWORD>(transport) : device;
    TraceLine(QString::fromStdU16String(exchange::Format(
        u"IsRAPIopen():  An error occured: \"%s\".\r\n", DeviceErrorText(code).toStdU16String())));
    return kRapiOtherError;
}

bool WriteActiveSyncValues()
{
    CEDEVICEIDENTITY identity;
    if (!CeGetDeviceIdentity(&identity))
        return false;
    bool ok = settings::WriteString(reg::HKEY_CURRENT_USER, kActiveSyncKey, QStringLiteral("DeviceType"),
        QString::fromStdU16String(identity.platformType));
    ok = settings::WriteString(reg::HKEY_CURRENT_USER, kActiveSyncKey, QStringLiteral("DeviceOemInfo"),
             QString::fromStdU16String(identity.oemInfo))
        && ok;
    ok = settings::WriteDword(
             reg::HKEY_LOCAL_MACHINE, kActiveSyncKey, QStringLiteral("MajorVersion"), identity.dwMajorVersion)
        && ok;
    ok = settings::WriteDword(
             reg::HKEY_LOCAL_MACHINE, kActiveSyncKey, QStringLiteral("MinorVersion"), identity.dwMinorVersion)
        && ok;
    return ok;
}

} // namespace devlink
