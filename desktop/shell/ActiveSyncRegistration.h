// The program's registration for device notifications: the desktop hive's
// HKEY_LOCAL_MACHINE keys "...\Windows CE Services\AutoStartOnConnect" and
// "...\AutoStartOnDisconnect" each hold a string
// value "Quorvane" with the program's path in double quotes and
// "-connected" or "-disconnected"; the device host runs them when the
// device comes and goes.
//
// Safe from any thread (it writes the settings store).
#pragma once

#include <QString>

namespace shell {

inline const QString kAutoStartOnConnectKey
    = QStringLiteral("Software\\Microsoft\\Windows CE Services\\AutoStartOnConnect");
inline const QString kAutoStartOnDisconnectKey
    = QStringLiteral("Software\\Microsoft\\Windows CE Services\\AutoStartOnDisconnect");

// Writes both values for `programPath` (the running program's own file);
// true when both were stored.
bool RegisterWithActiveSync(const QString& programPath);

} // namespace shell
