// quorvane-cli's device commands: info, ls, get, put, rm, mkdir, rmdir, mv,
// attrib and run. Each takes its positional arguments (after the command
// name) and returns the exit status.
#pragma once

#include "cli/CliContext.h"

namespace cli {

int Info(CliContext& cx, const QStringList& args);
int List(CliContext& cx, const QStringList& args);
int GetFile(CliContext& cx, const QStringList& args);
int PutFile(CliContext& cx, const QStringList& args);
int Remove(CliContext& cx, const QStringList& args);
int MakeDirectory(CliContext& cx, const QStringList& args);
int RemoveDirectory(CliContext& cx, const QStringList& args);
int Move(CliContext& cx, const QStringList& args);
int Attrib(CliContext& cx, const QStringList& args);
int RunProgram(CliContext& cx, const QStringList& args);

// "drhsa" letters of the attributes, '-' for each one not set.
QString AttributeLetters(DWORD attributes);

} // namespace cli
