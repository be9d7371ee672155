// What the remote-access server works on: the device's store, registry,
// profile and process host. All outlive the server; each is safe from any
// thread.
#pragma once

#include "device/server/ProcessHost.h"
#include "platform/registry/Hive.h"
#include "platform/store/Profile.h"
#include "platform/store/Store.h"

namespace device {

struct DeviceServices {
    store::Store* store = nullptr;
    reg::Hive* hive = nullptr;
    const Profile* profile = nullptr;
    ProcessHost* processes = nullptr;
};

} // namespace device
