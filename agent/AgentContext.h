// What one agent run carries from step to step: its build, its status store,
// its reach into the device's files, the engine's installation check, and
// the run's error text and hand-over flag.
#pragma once

#include "agent/AgentFiles.h"
#include "agent/AgentStatus.h"
#include "agent/AgentVariant.h"
#include "agent/EngineError.h"
#include "engine/Provider.h"
#include "exchange/AgentContract.h"

#include <string>
#include <utility>

namespace agent {

struct AgentContext {
    AgentContext(const AgentVariant& variant, AgentStatus& status, AgentFiles& files,
        engine::ClassRegistered classRegistered)
        : variant(variant)
        , status(status)
        , files(files)
        , classRegistered(std::move(classRegistered))
    {
    }

    const AgentVariant& variant;
    AgentStatus& status;
    AgentFiles& files;
    // Whether a provider class is installed on the device.
    engine::ClassRegistered classRegistered;

    // The first failure that matters; it ends up in the results file's error block.
    std::u16string errorText;
    // Set by the engine-2.0 agent when the engine-3.0 agent must answer.
    bool needsEngine3 = false;

    // "Progress" := `text`. Writing the text the value already holds changes
    // nothing, so repeats are skipped: the per-value path stays one
    // registry write per row.
    void SetProgress(std::u16string_view text)
    {
        if (text == m_progress)
            return;
        m_progress = std::u16string(text);
        status.SetStatusValue(contract::kProgress, text);
    }

    // The error scope of a request run (the hand-over flag may change).
    EngineErrorScope RequestErrors() { return { status, variant.engineVersion == 2, &needsEngine3 }; }
    // The error scope of compaction and creation (the flag is left alone).
    EngineErrorScope MaintenanceErrors() { return { status, false, nullptr }; }

private:
    std::u16string m_progress;
};

} // namespace agent
