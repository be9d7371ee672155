// Any bytes as what wceload is handed: a cabinet (libmspack through our
// in-memory reader), a manifest, a command line. Each must end without
// fault; a manifest that parses must come back unchanged through its writer.
#include "device/wceload/Cabinet.h"
#include "device/wceload/Manifest.h"
#include "exchange/Text.h"

#include <cstdlib>

namespace {

bool Same(const wceload::Manifest& a, const wceload::Manifest& b)
{
    if (a.application != b.application || a.provider != b.provider || a.installDir != b.installDir
        || a.registryMember != b.registryMember || a.files.size() != b.files.size())
        return false;
    for (std::size_t i = 0; i < a.files.size(); ++i)
        if (a.files[i].member != b.files[i].member || a.files[i].target != b.files[i].target)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size);
    std::string error;
    std::vector<wceload::CabMember> members;
    if (wceload::ReadCabinet(bytes, &members, &error) && !members.empty()) {
        wceload::Manifest fromCab;
        wceload::ParseManifest(members[0].data, &fromCab, &error);
    }
    wceload::Manifest manifest;
    if (wceload::ParseManifest(bytes, &manifest, &error)) {
        wceload::Manifest again;
        if (!wceload::ParseManifest(wceload::FormatManifest(manifest), &again, &error)
            || !Same(manifest, again))
            std::abort();
    }
    wceload::CommandLine commandLine;
    wceload::ParseCommandLine(
        exchange::FromUtf16LeBytes(std::span<const std::uint8_t>(bytes)), &commandLine, &error);
    return 0;
}
