// Feeds arbitrary bytes, after a valid greeting, to the server's connection
// loop over a socket pair, against a scratch device. Whatever arrives, the
// loop must end cleanly with the connection, never crash or hang.
#include "device/server/Session.h"
#include "device/store/Profile.h"
#include "platform/rapi/Protocol.h"

#include <cstdlib>
#include <filesystem>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

struct Scratch {
    std::filesystem::path dir;
    std::unique_ptr<store::Store> store;
    std::unique_ptr<reg::Hive> hive;
    device::Profile profile = *device::BuiltInProfile("pocketpc");
    device::DeviceServices services;

    Scratch()
    {
        char tmpl[] = "/tmp/qvfuzz-XXXXXX";
        dir = mkdtemp(tmpl);
        std::filesystem::create_directory(dir / "files");
        std::string error;
        store = store::Store::Open(dir / "files", &error);
        hive = reg::Hive::Open(dir / "registry", reg::Sync::Lazy, &error);
        if (!store || !hive)
            std::abort();
        store->CreateDirectory(u"\\Temp");
        services = { store.get(), hive.get(), &profile, nullptr };
    }
    ~Scratch()
    {
        hive.reset();
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Scratch& Device()
{
    static Scratch scratch;
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Scratch& scratch = Device();
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return 0;
    std::thread client([&] {
        rapi::proto::HelloMsg hello;
        auto frame = rapi::proto::Encode(hello);
        rapi::proto::SendAll(fds[0], frame.data(), frame.size());
        rapi::proto::SendAll(fds[0], data, size);
        shutdown(fds[0], SHUT_WR);
        char sink[65536];
        while (recv(fds[0], sink, sizeof sink, 0) > 0) { }
    });
    // The client sends everything at once and then closes: no wait is long.
    device::ServeConnection(fds[1], scratch.services, std::chrono::milliseconds(1000));
    shutdown(fds[1], SHUT_RDWR);
    client.join();
    close(fds[0]);
    close(fds[1]);
    return 0;
}
