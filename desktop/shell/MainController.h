// The main window's state without the window: whether the device is
// connected, which device-dependent commands may be used, whether the
// explorer panes take input, and the program's restart when a device that
// came back cannot be reached. It turns the start-up sequence's outcome and
// the instances' notices (user messages 3 and 2) into that state; every
// device call runs on the device session, never on the window thread.
//
//   after the splash   not connected: the database search is disallowed.
//                      Connected: the engine-2.0 agent is copied when newer;
//                      the process viewer and both resets are allowed when
//                      that succeeded, the registry editor and the search
//                      always. Then "ActiveSyncWarning" is set to "1" when
//                      ActiveSync's "MajorVersion" and "MinorVersion" exist
//                      and the major version is below 4.
//   connected          500 ms later (timer 9) the link reconnects; when that
//                      fails the program starts anew (restartRequested, then
//                      closeRequested). When it succeeds the explorer takes
//                      input again, the agent files are deployed and
//                      test-started (which decides whether databases can
//                      be opened), and the four device tools follow the
//                      copy of the engine-2.0 agent.
//   disconnected       the link's connection is ended, the explorer takes no
//                      input, the four device tools are disallowed.
//   update check       after the start-up sequence with a device, a check
//                      for a newer release runs unless "CheckForUpdates" is
//                      0; when it finds one and UpdateAnnouncementWanted(),
//                      updateAnnounced carries the tip's text.
//
// Threads: window thread only.
#pragma once

#include "desktop/shell/MainMenu.h"
#include "desktop/shell/StartupSequence.h"
#include "desktop/update/OnlineUpdateThread.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <functional>

namespace shell {

class MainController : public QObject {
    Q_OBJECT
public:
    explicit MainController(QObject* parent = nullptr);
    ~MainController() override;

    bool isConnected() const { return m_connected; }
    bool restartRequested() const { return m_restartRequested; }
    // The start-up check's work and record.
    update::OnlineUpdateThread* updateCheck() { return &m_updateCheck; }
    bool explorerEnabled() const { return m_explorerEnabled; }
    // Whether the device can run the database engine: the agent's test
    // start (TestRunAgent) at the last connection succeeded. False without a
    // device.
    bool canRunEngine() const { return m_canRunEngine; }
    // Whether the device's state allows `command` (commands that do not need
    // the device are always allowed).
    bool IsAllowed(Command command) const;

    // Starts a new instance of the program (without arguments); true when it
    // started. The program's own file by default; tests put something else.
    void SetInstanceStarter(std::function<bool()> starter) { m_startInstance = std::move(starter); }

    // Step 3 on of the start-up sequence, once the splash has closed.
    void OnStartupDone(const StartupSequence::Outcome& outcome);
    // User messages 3 and 2.
    void OnDeviceConnected();
    void OnDeviceDisconnected();

signals:
    // IsAllowed or explorerEnabled changed.
    void stateChanged();
    // The start-up sequence has ended (its device work included).
    void startupFinished();
    // The explorer's tree should take the keyboard focus.
    void focusTreeRequested();
    // The window should close (a new instance has taken over).
    void closeRequested();
    // The start-up check found a newer release and may say so.
    void updateAnnounced(const QString& text);
    // A connection is up and its device work done: the engine runtime
    // check follows each one.
    void deviceReady();

private:
    void Reconnect();
    void SetAllowed(Command command, bool allowed);
    void SetDeviceTools(bool processViewerAndResets, bool registryEditor);
    void CheckActiveSyncVersion();
    void OnUpdateCheckFinished();

    bool m_connected = false;
    bool m_restartRequested = false;
    bool m_explorerEnabled = true;
    bool m_canRunEngine = false;
    // The device-dependent commands allowed now; until the start-up
    // sequence says otherwise, none.
    QSet<Command> m_allowed;
    QTimer m_reconnectTimer;
    std::function<bool()> m_startInstance;
    update::OnlineUpdateThread m_updateCheck;
};

} // namespace shell
