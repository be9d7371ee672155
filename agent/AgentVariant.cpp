#include "agent/AgentVariant.h"

#include "exchange/ResultsText.h"

namespace agent {

const AgentVariant& Engine20Variant()
{
    static const AgentVariant variant {
        2,
        u"{76A85B2E-9DE0-4DED-8E69-4DEFDB9C0917}",
        exchange::kEngine2Text,
        u"2",
        u"Using SQLCE v2.0 libraries.",
        u"Opening data source using SQLCE 2.0 libraries..",
    };
    return variant;
}

const AgentVariant& Engine30Variant()
{
    static const AgentVariant variant {
        3,
        u"{32CE2952-2585-49A6-AEFF-1732076C2945}",
        exchange::kEngine3Text,
        u"3",
        u"Using SQLCE v3.0 libraries.",
        u"Opening data source using SQLCE 3.0 libraries..",
    };
    return variant;
}

const AgentVariant& VariantFor(int engineVersion)
{
    return engineVersion == 3 ? Engine30Variant() : Engine20Variant();
}

} // namespace agent
