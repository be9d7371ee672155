// Where the build puts the programs that tests and benchmarks start.
//
// Safe from any thread.
#pragma once

#include <filesystem>

namespace testsupport {

// The build's program folder (build/bin): cedevice, quorvane-cli, the agent
// builds and the stopper under their ".dll" names.
std::filesystem::path BinDir();

// BinDir() / "cedevice".
std::filesystem::path Cedevice();

// BinDir() / "quorvane-cli".
std::filesystem::path Cli();

} // namespace testsupport
