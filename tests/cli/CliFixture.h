// A running device on a fresh store, and quorvane-cli run against it.
#pragma once

#include "tests/device/DeviceFixture.h"
#include "tests/support/BuiltPrograms.h"
#include "tests/support/HostFile.h"
#include "tests/support/Program.h"

#include <random>

namespace testing_cli {

using testsupport::RunResult;

class Cli : public testing_device::DeviceTest {
protected:
    // quorvane-cli with `args`, on this test's device.
    RunResult Q(std::vector<std::string> args)
    {
        args.insert(args.begin(), { testsupport::Cli().string(), "--socket", socket().string() });
        return testsupport::RunProgram(args, home());
    }

    // quorvane-cli with `args`, its standard input read from `input`.
    RunResult QWithInput(std::vector<std::string> args, const std::filesystem::path& input)
    {
        args.insert(args.begin(), { testsupport::Cli().string(), "--socket", socket().string() });
        return testsupport::RunProgram(args, { .home = home(), .input = input });
    }
};

// `size` bytes of a fixed pseudo-random sequence.
inline std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes)
        b = char(random() & 0xFF);
    return bytes;
}

} // namespace testing_cli
