// A running device on a fresh store, and quorvane-cli run against it.
#pragma once

#include "tests/device/DeviceFixture.h"

#include <random>

namespace testing_cli {

using testing_device::CommandResult;

class Cli : public testing_device::DeviceTest {
protected:
    // quorvane-cli with `args`, on this test's device.
    CommandResult Q(std::vector<std::string> args)
    {
        args.insert(args.begin(), { QV_CLI, "--socket", socket().string() });
        return testing_device::RunProgram(args, home());
    }

    // quorvane-cli with `args`, its standard input read from `input`.
    CommandResult QWithInput(const std::vector<std::string>& args, const std::filesystem::path& input)
    {
        std::string line = std::string("exec '") + QV_CLI + "' --socket '" + socket().string() + "'";
        for (const std::string& arg : args)
            line += " '" + arg + "'";
        line += " < '" + input.string() + "'";
        return testing_device::RunProgram({ "/bin/sh", "-c", line }, home());
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
