// The device work of the start-up sequence, which the splash window shows:
// connect to the device (with the connection-error dialog while it does not
// answer), then, on a device of Windows CE 4 or later, copy the agent files
// that are newer on the desktop and test-start the agent, which decides
// whether the device tools may be offered. Each step is announced as the
// splash's status line.
//
// The work runs on the device session's worker; this object only hears of
// it. When the device cannot be reached it says "No Windows Mobile devices
// detected." for a second before it reports that it is done.
//
// Threads: window thread only.
#pragma once

#include <QObject>
#include <QString>

namespace shell {

class StartupSequence : public QObject {
    Q_OBJECT
public:
    struct Outcome {
        bool connected = false;
        bool deviceToolsEnabled = false; // the agent's test start succeeded
    };

    explicit StartupSequence(QObject* parent = nullptr);
    // Forgets the work when it still runs (nothing more is reported).
    ~StartupSequence() override;

    // Starts the work and returns at once. Once only.
    void Start();

    bool isStarted() const { return m_started; }
    bool isDone() const { return m_done; }
    Outcome outcome() const { return m_outcome; }
    QString statusText() const { return m_status; }

signals:
    void statusChanged(const QString& text);
    // The device could not be reached: the main window treats it as gone.
    void deviceMissing();
    void done();

private:
    void SetStatus(const QString& text);

    bool m_started = false;
    bool m_done = false;
    Outcome m_outcome;
    QString m_status;
};

} // namespace shell
