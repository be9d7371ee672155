// What differs between the agent's builds: the engine version it serves,
// the provider class it loads and its engine texts.
//
// Pure data; safe from any thread.
#pragma once

#include <string_view>

namespace agent {

struct AgentVariant {
    int engineVersion; // 2 or 3
    std::u16string_view engineClass; // the provider class identifier
    std::u16string_view engineText; // "v2.0" / "v3.0": the results file's error block
    std::u16string_view versionDigit; // "2" / "3": the value "SQLCEversion"
    std::u16string_view librariesLine; // the verbose log line naming the engine libraries
    std::u16string_view openingLine; // the log line before the data source opens
};

// The engine-2.0 and engine-3.0 builds.
const AgentVariant& Engine20Variant();
const AgentVariant& Engine30Variant();
const AgentVariant& VariantFor(int engineVersion);

} // namespace agent
