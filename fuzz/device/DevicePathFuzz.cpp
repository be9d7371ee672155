// Parses arbitrary device paths: a parsed path always has valid components
// (a pattern's last one aside) and a bounded length, and its text parses
// again to the same path. Pure parsing, no file system work.
#include "platform/store/DevicePath.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const auto kind = data[0] % 2 ? store::PathKind::Pattern : store::PathKind::Name;
    std::u16string path;
    for (std::size_t i = 1; i + 1 < size; i += 2)
        path.push_back(char16_t(data[i] | (data[i + 1] << 8)));

    store::DevicePath parsed;
    if (store::ParseDevicePath(path, kind, &parsed) != ERROR_SUCCESS)
        return 0;
    if (parsed.Text().size() > store::kMaxPathLength)
        std::abort();
    for (std::size_t i = 0; i < parsed.components.size(); ++i)
        if (!(parsed.wildcard && i + 1 == parsed.components.size())
            && !store::IsValidComponent(parsed.components[i]))
            std::abort();
    store::DevicePath again;
    if (store::ParseDevicePath(parsed.Text(), kind, &again) != ERROR_SUCCESS
        || again.components != parsed.components)
        std::abort();
    return 0;
}
