// Notices between instances of the desktop program on this machine. Each
// instance that opens windows listens on a local socket of its own,
// "quorvane-desktop-<pid>.sock" in the run folder (the folder of the
// device's socket, which QUORVANE_HOME moves). A start with "-connected" or
// "-disconnected" connects to every such socket and sends one line, and the
// instance hands the notice to each of its top-level windows whose title
// contains "Quorvane" or "Registry editor" and that is enabled, as the event
// kDeviceConnectedEvent or kDeviceDisconnectedEvent (user messages 3 and 2).
//
// A socket left by an instance that died is removed by the next notice.
//
// Threads: window thread (the channel); NotifyRunningInstances from a
// program's main thread, with a QCoreApplication alive.
#pragma once

#include "desktop/ui/DeviceNoticeEvents.h"

#include <QEvent>
#include <QLocalServer>
#include <QObject>
#include <QString>

namespace shell {

enum class DeviceNotice { Connected, Disconnected };

using ui::kDeviceConnectedEvent;
using ui::kDeviceDisconnectedEvent;

// The folder where instances listen.
QString InstanceFolder();

class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    // Stops listening and removes the socket.
    ~InstanceChannel() override;

    // Starts listening. False, with *error saying why, when it cannot (the
    // program then runs without hearing of devices).
    bool Listen(QString* error);
    QString socketPath() const;

    // Hands a notice to this instance's windows, as a received one is.
    // Returns how many windows got it.
    static int DeliverToWindows(DeviceNotice notice);

signals:
    // A notice arrived (after it was handed to the windows).
    void noticeReceived(shell::DeviceNotice notice);

private:
    void OnConnection();

    QLocalServer m_server;
};

// Sends `notice` to every running instance; returns how many were reached.
int NotifyRunningInstances(DeviceNotice notice);

} // namespace shell
