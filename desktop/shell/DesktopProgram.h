// The desktop program `quorvane` from its command line (CommandLine.h) to
// its end: prints --help and --version; hands "-connected" and
// "-disconnected" to running instances without opening a window; runs the
// online update's hand-over for "-upgrade" (exit status 0 when it installed
// the downloaded release); otherwise
// registers with ActiveSync, moves remembered passwords of older releases,
// listens for device notices and opens the window the command line asks
// for. A window asked for without a display is named on standard error and
// the program ends with status 1.
//
// Threads: the program's main thread, before any Qt application object
// exists.
#pragma once

namespace shell {

// The program's exit status.
int RunDesktopProgram(int argc, char** argv);

} // namespace shell
