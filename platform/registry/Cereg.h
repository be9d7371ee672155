// The cereg command: inspect and edit any registry hive from a shell.
//
//   cereg --hive DIR query  KEY [/v NAME | /ve] [/s]
//   cereg --hive DIR add    KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
//   cereg --hive DIR delete KEY [/v NAME | /ve | /va] [/f]
//   cereg --hive DIR export KEY FILE [/y]
//   cereg --hive DIR import FILE
//
// KEY is a root ("HKLM", "HKCU", "HKCR" or the full "HKEY_..." names)
// optionally followed by "\" and a path. Texts are UTF-8. cereg never asks:
// add overwrites, delete deletes, export replaces the file (/f and /y are
// accepted for habit's sake). Success prints "The operation completed
// successfully." (add, delete, export, import) and exits 0; a failure prints
// one "ERROR: ..." message on the error stream and exits 1.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace reg {

// Runs one command line (the arguments after the program name) and returns
// the exit code.
int RunCereg(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace reg
