// The agent contract (exchange/AgentContract.h) as the desktop's QStrings:
// the names stay spelled in one place, the link and the cli read them here.
#pragma once

#include "exchange/AgentContract.h"

#include <QString>

#include <string_view>

namespace devlink {

// A contract name as a QString (both are UTF-16, so nothing is converted).
inline QString ContractText(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace devlink
