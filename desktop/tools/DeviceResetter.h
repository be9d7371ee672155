// A soft or hard reset of the device, once the user has confirmed it: the
// agent is started on the device session with "-softreset" (the engine-2.0
// build) or "-hardreset" (the engine-3.0 build), the self-closing
// running-application box says "Soft-reseting your device.." or
// "Hard-reseting your device..", and deviceGone() tells the main window to
// treat the device as disconnected until the device host reports it again.
//
// When the agent could not be started the device is still there: the user
// is told that it was not reset, and deviceGone() is not sent.
//
// Threads: window thread only; the device is used on the session's worker.
#pragma once

#include <QObject>

namespace tools {

class DeviceResetter : public QObject {
    Q_OBJECT
public:
    explicit DeviceResetter(QObject* parent = nullptr);
    ~DeviceResetter() override;

    // Starts the reset and returns at once; finished() follows.
    void Start(bool hard);
    bool isRunning() const { return m_running; }

    static QString NotResetText();

signals:
    // The agent was started: the device restarts now.
    void deviceGone();
    // The request is over (whether or not the agent was started).
    void finished(bool started);

private:
    bool m_running = false;
};

} // namespace tools
