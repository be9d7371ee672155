// Any bytes as the start of a CAB file: the name reader must end without
// reading outside them, and a name it gives must be usable as a key name.

#include "exchange/CabHeader.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace exchange;
    // An exact-size copy, so that AddressSanitizer sees a read past the end.
    std::vector<std::uint8_t> bytes(data, data + size);
    CabApplication application;
    if (ReadCabApplication(bytes, application) != CabHeaderResult::Named)
        return 0;
    const std::string name = CabApplicationName(application);
    if (application.first.empty() || application.second.empty() || name.find('\\') != std::string::npos)
        std::abort();
    return 0;
}
