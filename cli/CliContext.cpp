#include "cli/CliContext.h"

#include "exchange/Home.h"
#include "platform/rapi/ErrorText.h"
#include "platform/rapi/Rapi.h"

#include <cstdio>

namespace cli {

QString ErrorText(DWORD code)
{
    std::u16string text = SystemErrorText(code);
    QString number = code >= 0x80000000u ? QStringLiteral("0x%1").arg(code, 8, 16, QLatin1Char('0'))
                                         : QString::number(code);
    if (text.empty())
        return QStringLiteral("error %1").arg(number);
    return QString::fromStdU16String(text) + QStringLiteral(" (error %1)").arg(number);
}

CliContext::CliContext()
    : m_out(stdout)
    , m_err(stderr)
{
}

bool CliContext::Connect(const QString& socketPath)
{
    if (!socketPath.isEmpty())
        CeRapiSetSocketPath(socketPath.toStdString());
    RAPIINIT init { sizeof(RAPIINIT), -1, 0 };
    HRESULT result = CeRapiInitEx(&init);
    if (result >= 0 && CeRapiWaitForInit(init.heRapiInit, 1500) == WAIT_OBJECT_0 && init.hrRapiInit >= 0)
        return true;
    if (result >= 0)
        result = init.hrRapiInit;
    m_err << "quorvane-cli: cannot connect to the device: " << ErrorText(DWORD(result)) << Qt::endl;
    // Nothing listens there, most often because no device was started.
    if (DWORD(result) == DWORD(RAPI_E_NOT_CONNECTED)) {
        const QString socket
            = socketPath.isEmpty() ? QString::fromStdString(home::DeviceSocketPath().string()) : socketPath;
        m_err << "quorvane-cli: no device answers at " << socket << "; start one with 'cedevice start'"
              << Qt::endl;
    }
    CeRapiUninit();
    return false;
}

int CliContext::DeviceFailure(const QString& what)
{
    HRESULT transport = CeRapiGetError();
    return Failure(what, transport != S_OK ? DWORD(transport) : CeGetLastError());
}

int CliContext::Failure(const QString& what, DWORD code)
{
    m_err << "quorvane-cli: " << what << ": " << ErrorText(code) << Qt::endl;
    return kFailed;
}

int CliContext::Usage(const QString& problem)
{
    m_err << "quorvane-cli: " << problem << Qt::endl << "Try 'quorvane-cli --help'." << Qt::endl;
    return kUsage;
}

} // namespace cli
