// Writes a CAB installation manifest, for the build's runtime CABs:
//
//   wceload_manifest OUT APPLICATION PROVIDER [InstallDir=DIR] [File=MEMBER|PATH]... [Registry=MEMBER]
#include "device/wceload/Manifest.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr,
            "usage: wceload_manifest OUT APPLICATION PROVIDER [InstallDir=DIR] [File=MEMBER|PATH]... "
            "[Registry=MEMBER]\n");
        return 2;
    }
    wceload::Manifest m;
    m.application = argv[2];
    m.provider = argv[3];
    std::vector<std::uint8_t> bytes = wceload::FormatManifest(m);
    for (int i = 4; i < argc; ++i) {
        bytes.insert(bytes.end(), argv[i], argv[i] + std::char_traits<char>::length(argv[i]));
        bytes.push_back('\n');
    }
    // What is written must read back: the installer reads it the same way.
    wceload::Manifest check;
    std::string error;
    if (!wceload::ParseManifest(bytes, &check, &error)) {
        std::fprintf(stderr, "wceload_manifest: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "wceload_manifest: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
