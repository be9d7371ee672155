// Returning a running device's store and registry to the factory image (a
// hard reset), while the device host keeps its Store and Hive open: the
// store's folder stays and loses its content, the hive stays and loses its
// keys, and both are then laid out as for a new device.
//
// A marker file in the device folder covers the time in between: when the
// host dies half-way, the next start finds the marker and builds a new
// image from scratch (see DiscardUnfinishedRestore).
#pragma once

#include "device/host/FactoryImage.h"
#include "platform/store/DeviceFolder.h"

#include <string>
#include <vector>

namespace device {

// The marker's file name inside the device folder.
inline constexpr const char* kRestoreMarker = "factory-restore.pending";

// Wipes and rebuilds. Call only when no device program and no client is
// left. False with a reason.
bool RestoreFactoryImage(const DeviceFolder& folder, store::Store& store, reg::Hive& hive,
    const Profile& profile, const std::vector<ImageFile>& extra, std::string* error);

// At start-up, before EnsureFactoryImage: when a restore was interrupted,
// removes the half-restored store and registry folders so that a new image
// is built. False with a reason when they cannot be removed.
bool DiscardUnfinishedRestore(const DeviceFolder& folder, std::string* error);

} // namespace device
