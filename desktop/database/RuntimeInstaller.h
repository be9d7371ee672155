// The engine runtime window's state without a window: the texts and check
// boxes for what the device has, the countdown of the automatic window, the
// "DisplayWhenDeviceConnects" box, and the installation of the ticked
// runtimes as one device request whose texts arrive as it goes.
//
// Threads: window thread only; the installation runs on the device
// session's worker.
#pragma once

#include "desktop/database/EngineRuntimes.h"
#include "desktop/explorer/CopyJob.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace database {

class RuntimeInstaller : public QObject {
    Q_OBJECT
public:
    // `presence` as read from the device; `osAtLeast5` picks the engine 3.0
    // CABs; `cabDirectory` is where they are (the program's folder).
    RuntimeInstaller(const RuntimePresence& presence, bool osAtLeast5, bool automatic,
        const QString& cabDirectory, QObject* parent = nullptr);
    ~RuntimeInstaller() override;

    const RuntimeWindowTexts& texts() const { return m_texts; }
    bool automatic() const { return m_automatic; }
    // "Cancel", or "Cancel (%d)" while the automatic window counts down.
    QString cancelText() const;
    QString installingFile() const { return m_installingFile; }
    QString statusLine() const { return m_statusLine; }

    // Starts the countdown (automatic windows) and the check that the device
    // is still there. `tickMs` and `deviceCheckMs` are shortened by tests.
    void Start(int tickMs = 1000, int deviceCheckMs = 3000);
    // The "&Show this warning each time a device connects." box: stores the
    // setting and stops the countdown.
    void SetDisplayWhenConnects(bool display);
    // The waits of Install; tests shorten them.
    void setTiming(const RuntimeInstallTiming& timing) { m_timing = timing; }
    // Installs the ticked, missing runtimes whose CABs are present.
    void Install(bool want20, bool want30);
    // Stops the installation's copy (the copy window's Cancel).
    void CancelCopy();

signals:
    void cancelTextChanged();
    void progressChanged();
    // The window should close: the countdown ran out, the device went away,
    // or the installation ended (`reason` says which).
    void closeRequested(const QString& reason);
    // A CAB's copy to the device began, counted in `job` as it goes (for the
    // copy window), and ended.
    void copyStarted(std::shared_ptr<explorer::CopyJob> job);
    void copyEnded();

private:
    void Tick();
    void CheckDevice();

    bool m_osAtLeast5;
    bool m_automatic;
    QString m_cabDirectory;
    RuntimeWindowTexts m_texts;
    RuntimeInstallTiming m_timing;
    QTimer m_countdown;
    QTimer m_deviceCheck;
    int m_secondsLeft = 11;
    bool m_counting = false;
    bool m_installing = false;
    bool m_checking = false;
    QString m_installingFile;
    QString m_statusLine;
    quint64 m_request = 0; // the installation's device request while it runs
};

} // namespace database
