#include "platform/store/Names.h"

#include "exchange/CaseFold.h"
#include "exchange/Text.h"

namespace store {

std::optional<std::string> HostName(std::u16string_view name)
{
    return exchange::ToUtf8Strict(name);
}

std::optional<std::u16string> DeviceName(std::string_view hostName)
{
    return exchange::FromUtf8Strict(hostName);
}

std::u32string Fold(std::u16string_view name)
{
    return exchange::FoldCase(name);
}

std::u32string FoldUtf8(std::string_view hostName)
{
    const std::optional<std::u16string> name = exchange::FromUtf8Strict(hostName);
    return name ? exchange::FoldCase(*name) : std::u32string();
}

bool SameName(std::u16string_view a, std::u16string_view b)
{
    return Fold(a) == Fold(b);
}

} // namespace store
