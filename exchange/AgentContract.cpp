#include "exchange/AgentContract.h"

#include "exchange/Text.h"

namespace contract {

std::u16string_view AgentExeFor(int engineVersion, std::u16string_view platform)
{
    const int engine = engineVersion == 3 ? 3 : 2;
    std::u16string_view pocketPc;
    for (const AgentBuild& build : kAgentBuilds) {
        if (build.engineVersion != engine)
            continue;
        if (build.platform == platform)
            return build.exeName;
        if (build.platform == u"PocketPC")
            pocketPc = build.exeName;
    }
    return pocketPc;
}

bool IsAgentExecutable(std::u16string_view exeName)
{
    if (exchange::EqualsIgnoreAsciiCase(exeName, kOldAgentExe))
        return true;
    for (const AgentBuild& build : kAgentBuilds) {
        if (exchange::EqualsIgnoreAsciiCase(exeName, build.exeName))
            return true;
    }
    return false;
}

std::u16string DesktopCopyName(std::u16string_view exeName)
{
    const std::size_t n = kDeviceProgramSuffix.size();
    if (exeName.size() >= n
        && exchange::EqualsIgnoreAsciiCase(exeName.substr(exeName.size() - n), kDeviceProgramSuffix))
        exeName.remove_suffix(n);
    return std::u16string(exeName) + std::u16string(kDesktopCopySuffix);
}

} // namespace contract
