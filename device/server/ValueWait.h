// The device side of a wait for a registry value to change: what the
// desktop's wait for the agent asks instead of polling "Status".
#pragma once

#include "device/server/ProcessHost.h"
#include "platform/rapi/Protocol.h"
#include "platform/registry/KeyHandle.h"

namespace device {

// Checks value `request.name` of `key` and process `request.processId` every
// millisecond until the value differs from the known one, the process has
// ended or the time-out (clamped to kMaxValueWaitMs) has passed, and fills
// `reply` with what it found. Blocks the calling connection's thread.
void WaitForValueChange(reg::Hive& hive, const reg::KeyRef& key,
    const rapi::proto::RegWaitValueRequest& request, ProcessHost* processes,
    rapi::proto::RegWaitValueReply* reply);

} // namespace device
