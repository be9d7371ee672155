#include "cli/CliContext.h"

#include "exchange/Home.h"
#include "platform/rapi/ErrorText.h"
#include "platform/rapi/Rapi.h"

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

QString NoDeviceMessage(const QString& socketPath)
{
    const QString usual = QString::fromStdString(home::DeviceSocketPath().string());
    const QString socket = socketPath.isEmpty() ? usual : socketPath;
    const QString start = socket == usual ? QStringLiteral("cedevice start")
                                          : QStringLiteral("cedevice start --socket %1").arg(socket);
    return QStringLiteral("no device answers at %1; start one with '%2'").arg(socket, start);
}

CliContext::CliContext()
    : m_out(stdout)
    , m_err(stderr)
{
}

bool CliContext::Connect()
{
    RAPIINIT init { sizeof(RAPIINIT), -1, 0 };
    HRESULT result = CeRapiInitEx(&init);
    if (result >= 0 && CeRapiWaitForInit(init.heRapiInit, 1500) == WAIT_OBJECT_0 && init.hrRapiInit >= 0)
        return true;
    if (result >= 0)
        result = init.hrRapiInit;
    CeRapiUninit();
    // Nothing listens there, most often because no device was started.
    if (DWORD(result) == DWORD(RAPI_E_NOT_CONNECTED)) {
        Fail(NoDeviceMessage(m_socketPath));
        return false;
    }
    const QString socket
        = m_socketPath.isEmpty() ? QString::fromStdString(home::DeviceSocketPath().string()) : m_socketPath;
    Failure(QStringLiteral("cannot connect to the device at %1").arg(socket), DWORD(result));
    return false;
}

int CliContext::DeviceFailure(const QString& what)
{
    HRESULT transport = CeRapiGetError();
    return Failure(what, transport != S_OK ? DWORD(transport) : CeGetLastError());
}

int CliContext::Failure(const QString& what, DWORD code)
{
    return Fail(what + QStringLiteral(": ") + ErrorText(code));
}

int CliContext::Fail(const QString& text)
{
    m_out.flush();
    m_err << "quorvane-cli: " << text << Qt::endl;
    return kFailed;
}

int CliContext::Usage(const QString& problem, const QString& command)
{
    m_out.flush();
    m_err << "quorvane-cli: " << problem << Qt::endl
          << "Try 'quorvane-cli " << (command.isEmpty() ? QString() : command + QLatin1Char(' '))
          << "--help'." << Qt::endl;
    return kUsage;
}

} // namespace cli
