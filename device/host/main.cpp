// cedevice: the emulated Windows CE device.
#include "device/host/DeviceHost.h"
#include "exchange/Home.h"
#include "platform/store/Profile.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

const char* kUsage
    = "usage: cedevice start [--store DIR] [--socket PATH] [--profile NAME|FILE] [--foreground]\n"
      "       cedevice stop [--store DIR]\n"
      "       cedevice status [--store DIR]\n"
      "       cedevice profiles\n";

int Usage(const std::string& problem)
{
    if (!problem.empty())
        std::cerr << "cedevice: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage("");
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    device::HostOptions options;
    options.storeDir = home::DeviceDir();
    options.socketPath = home::DeviceSocketPath();
    bool haveSocket = false, haveProfile = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0')
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--store" && value(&v)) {
            options.storeDir = v;
        } else if (arg == "--socket" && value(&v)) {
            options.socketPath = v;
            haveSocket = true;
        } else if (arg == "--profile" && value(&v)) {
            options.profile = v;
            haveProfile = true;
        } else if (arg == "--foreground") {
            options.foreground = true;
        } else {
            return Usage("unexpected argument \"" + arg + "\"");
        }
    }
    std::error_code ec;
    options.storeDir = std::filesystem::absolute(options.storeDir, ec);
    options.socketPath = std::filesystem::absolute(options.socketPath, ec);

    if (command == "start")
        return device::StartDevice(options);
    if (haveSocket || haveProfile || options.foreground)
        return Usage("\"" + command + "\" takes only --store");
    if (command == "stop")
        return device::StopDevice(options.storeDir);
    if (command == "status")
        return device::DeviceStatus(options.storeDir);
    if (command == "profiles") {
        for (const auto& name : device::BuiltInProfileNames())
            std::cout << name << "\n";
        return 0;
    }
    return Usage("unknown command \"" + command + "\"");
}
