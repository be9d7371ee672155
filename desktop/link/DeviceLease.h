// The device-wide lease. The agent's query file, its results file and its
// "Status" value exist once per device, so only one program at a time (the
// desktop program or one quorvane-cli command) may work with the agent. The
// lease is a lock file in the desktop cache folder named after the device's
// socket; a holder that dies releases it.
//
// Inside one process the lease is shared: a command-line program holds it
// for its whole command, and the requests it runs meanwhile find it held.
// Safe from any thread.
#pragma once

#include <QString>

#include <functional>

namespace devlink {

class CancelToken;

class DeviceLease {
public:
    enum class Outcome {
        Held, // this process holds the lease (or no lock file can be made: see Acquire)
        Busy, // another process kept it for the whole wait
        Cancelled, // the token was cancelled while waiting
    };

    // For the device reached through `socketPath` (empty: the client's
    // current socket). Not held until Acquire.
    explicit DeviceLease(const QString& socketPath = QString());
    // Releases the lease when this object holds it.
    ~DeviceLease();
    DeviceLease(const DeviceLease&) = delete;
    DeviceLease& operator=(const DeviceLease&) = delete;

    // Takes the lease, waiting up to `waitMs` (-1: without limit) while
    // another process holds it; `waiting` (when set) is told once whom it
    // waits for. A cache folder that cannot hold the lock file does not stop
    // the work: Held is returned without a lock.
    Outcome Acquire(int waitMs, const CancelToken* token = nullptr,
        const std::function<void(const QString&)>& waiting = {});
    bool held() const { return m_held; }

    // The lock file of the device reached through `socketPath`.
    static QString LockPath(const QString& socketPath);

private:
    QString m_path;
    bool m_held = false;
};

} // namespace devlink
