// How far a recursive delete has come, shared between the device worker
// that deletes and the window that shows it: the worker counts, the window
// reads the counters on its own timer and sets `cancelled`, so neither
// waits for the other.
//
// Safe from any thread.
#pragma once

#include <atomic>

namespace explorer {

struct DeleteProgress {
    std::atomic<int> total { -1 }; // files and folders to delete; -1 until counted
    std::atomic<int> removed { 0 }; // files and folders deleted so far
    std::atomic<bool> cancelled { false }; // set by the window: stop before the next entry
    std::atomic<bool> finished { false }; // set by the worker when the delete is over
};

} // namespace explorer
