// Feeds arbitrary bytes to one connection's session of the remote-access
// server as the frames they spell (a header, then that many payload bytes),
// against a scratch device. Whatever arrives, each request is decoded inside
// its own payload and then answered or refused: never a crash or a hang.
// No socket and no thread per input, so that millions of inputs run a minute;
// the socket loop around the session is a few lines over the same decoder.
#include "FuzzScratch.h"
#include "device/server/Session.h"
#include "platform/rapi/Protocol.h"
#include "platform/store/Profile.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

using namespace rapi::proto;

struct Scratch {
    std::filesystem::path dir;
    std::unique_ptr<store::Store> store;
    std::unique_ptr<reg::Hive> hive;
    device::Profile profile = *device::BuiltInProfile("pocketpc");
    device::DeviceServices services;

    Scratch()
    {
        dir = fuzzscratch::MakeFolder();
        std::filesystem::create_directory(dir / "files");
        std::string error;
        store = store::Store::Open(dir / "files", &error);
        hive = reg::Hive::Open(dir / "registry", reg::Sync::Lazy, &error);
        if (!store || !hive)
            std::abort();
        Reset();
        services = { store.get(), hive.get(), &profile, nullptr };
    }
    void Reset()
    {
        fuzzscratch::Empty(dir / "files");
        store->CreateDirectory(u"\\Temp");
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
    if (fuzzscratch::NowAndThen())
        Device().Reset();
    device::Session session(Device().services);
    const device::Session::Sender send = [](std::span<const std::uint8_t> frame) {
        FrameHeader header;
        // Every reply the session sends must be a frame a client can read.
        if (frame.size() < kHeaderSize || !DecodeHeader(frame.data(), &header)
            || header.length != frame.size() - kHeaderSize)
            std::abort();
        return true;
    };
    std::size_t pos = 0;
    while (size - pos >= kHeaderSize) {
        FrameHeader header;
        if (!DecodeHeader(data + pos, &header))
            break;
        pos += kHeaderSize;
        if (header.length > size - pos)
            break;
        // The payload in an allocation of its own size: a read past its end
        // leaves the allocation and the sanitizer reports it.
        const std::vector<std::uint8_t> payload(data + pos, data + pos + header.length);
        pos += header.length;
        if (header.flags != 0 || !session.Handle(header.op, payload, send))
            break;
    }
    return 0;
}
