#include "device/server/ValueWait.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace device {

using namespace rapi::proto;

void WaitForValueChange(reg::Hive& hive, const reg::KeyRef& key, const RegWaitValueRequest& request,
    ProcessHost* processes, RegWaitValueReply* reply)
{
    const auto deadline = std::chrono::steady_clock::now()
        + std::chrono::milliseconds(std::min(request.timeoutMs, kMaxValueWaitMs));
    for (;;) {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
        const reg::Result queried = hive.QueryValue(key.root, key.path, request.name, &type, &data);
        const bool present = queried == reg::ERROR_SUCCESS;
        const bool changed = present != (request.knownPresent != 0)
            || (present && (type != request.knownType || data != request.knownData));
        const bool running = request.processId != 0 && processes && processes->IsRunning(request.processId);
        const bool ended = request.processId != 0 && !running;
        if (changed || ended || std::chrono::steady_clock::now() >= deadline) {
            reply->status = Status { changed || ended ? 1u : 0u, present ? 0u : std::uint32_t(queried) };
            reply->present = present;
            reply->type = type;
            // A value too large for one frame counts as changed and is read as usual.
            if (data.size() <= kMaxValueData)
                reply->data = std::move(data);
            reply->processRunning = running;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace device
