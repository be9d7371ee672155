// What every quorvane-cli command works with: the connected device, the
// output streams, and the way failures are reported (the device's error
// text on stderr, a non-zero exit status).
#pragma once

#include "platform/rapi/CeTypes.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace cli {

// Exit statuses.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
inline constexpr int kInterrupted = 130; // as a shell reports a program ended by Ctrl-C

class CliContext {
public:
    CliContext();

    QTextStream& out() { return m_out; }
    QTextStream& err() { return m_err; }

    // The device's socket as the command line named it; empty for the usual one.
    QString socketPath() const { return m_socketPath; }
    void setSocketPath(const QString& path) { m_socketPath = path; }

    // Connects to the device on the chosen socket. False (with the message
    // printed) when no device answers.
    bool Connect();

    // Prints "quorvane-cli: <what>: <device error text>" for the device's
    // last error (or the transport error when the connection broke) and
    // returns kFailed.
    int DeviceFailure(const QString& what);
    // The same for an error code the caller already has (registry results).
    int Failure(const QString& what, DWORD code);
    // "quorvane-cli: <text>" on stderr; returns kFailed.
    int Fail(const QString& text);
    // "quorvane-cli: <problem>" and where to read more (the command's help
    // when `command` is given); returns kUsage.
    int Usage(const QString& problem, const QString& command = QString());

private:
    QTextStream m_out;
    QTextStream m_err;
    QString m_socketPath;
};

// The text of a code as the device reports it, with its number.
QString ErrorText(DWORD code);

// The one message for a device that does not answer, on every command:
// "no device answers at SOCKET; start one with 'cedevice start'" (with
// "--socket SOCKET" when the socket is not the usual one).
QString NoDeviceMessage(const QString& socketPath);

// UTF-16 of a QString for the remote-access calls.
inline LPCWSTR W(const QString& s)
{
    return reinterpret_cast<LPCWSTR>(s.utf16());
}

} // namespace cli
