// Connect and disconnect notifications: the commands the desktop stores
// under its hive's HKEY_LOCAL_MACHINE key
// "Software\Microsoft\Windows CE Services\AutoStartOnConnect" (or
// "...\AutoStartOnDisconnect"), one string value each, run when the device
// connects (starts) or disconnects (stops).
//
// A command is a program path in double quotes followed by its arguments
// (an unquoted first word is taken as the program too). Arguments are split
// at blanks; double quotes group blanks into one argument and are removed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace device {

enum class Notification { Connect, Disconnect };

inline constexpr const char16_t* kAutoStartOnConnectKey
    = u"Software\\Microsoft\\Windows CE Services\\AutoStartOnConnect";
inline constexpr const char16_t* kAutoStartOnDisconnectKey
    = u"Software\\Microsoft\\Windows CE Services\\AutoStartOnDisconnect";

// The program and its arguments of one command; empty when it names none.
std::vector<std::string> SplitCommand(const std::u16string& command);

// Starts every command of the notification from the desktop hive in folder
// `desktopHive` (nothing when the hive does not exist), detached: they run
// on after the device host, with its environment plus `extraEnvironment`
// ("NAME=value"). Returns one line per command that could not be started.
std::vector<std::string> RunNotification(Notification which, const std::filesystem::path& desktopHive,
    const std::vector<std::string>& extraEnvironment);

} // namespace device
