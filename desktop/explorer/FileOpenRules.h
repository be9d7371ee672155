// How the explorer opens a device file that is not a folder, program, CAB
// or database: the file's extension picks one of four open methods,
// remembered per extension in the settings under "\Extensions" (value named
// by the extension: "0" copy to the PC and open there, "1" open on the
// device, "2" built-in text editor, "3" do not open; extension + "_app": the
// device program, "%1" standing for the file; extension + "_process": "1"
// when the editor runs as a separate copy of the program).
//
// Settings functions are safe from any thread; the text functions are pure.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace explorer {

enum class OpenMethod { CopyToPc = 0, OnDevice = 1, Editor = 2, DoNotOpen = 3 };

// The text after the last full stop of a name (or of a path's last part),
// lower-cased; empty when there is none ("a.b.JPEG" -> "jpeg").
QString FileExtension(const QString& name);

// The remembered method of an extension (its value's first character, "0"
// to "3"); none when there is no usable value.
std::optional<OpenMethod> StoredOpenMethod(const QString& extension);
void StoreOpenMethod(const QString& extension, OpenMethod method);
// extension + "_app"; none when missing.
std::optional<QString> StoredApplication(const QString& extension);
void StoreApplication(const QString& extension, const QString& application);
// extension + "_process" is "1".
bool StoredSeparateProcess(const QString& extension);
void StoreSeparateProcess(const QString& extension, bool separate);

// The program file of a program text: lower-cased, up to and including the
// first ".exe" (the whole text when there is none).
QString ProgramFileOf(const QString& application);

// The device program and command line that open `devicePath` with
// `application`. With "%1" the path takes its place; the program is the text
// up to ".exe" (without the double quotes of a quoted program) and the
// arguments are the rest, trimmed of blanks and double quotes at both ends. Without
// "%1" the program file gets the path, in double quotes, as its argument.
struct DeviceCommand {
    QString program;
    QString arguments;
};
DeviceCommand DeviceCommandFor(const QString& application, const QString& devicePath);

// The arguments of a new copy of the program that opens the database
// `devicePath` by itself: the path alone, as one argument (a blank in it
// stays). A remembered password is not handed over on the command line,
// where every local user could read it in the process list: the new copy
// takes the same remembered password from the settings itself.
QStringList SeparateDatabaseArguments(const QString& devicePath);

} // namespace explorer
