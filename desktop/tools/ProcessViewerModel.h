// The process viewer without its window: the list of the device's processes
// as the agent reports them, the status text under it, which buttons are
// shown and usable, and the kill of a process by name. Every query runs on
// the device session; a 500 ms timer starts it and, while it runs, shows
// how long it has taken ("00:03  Loading processes info..").
//
//   Show()      a new query of the process list ("Querying processes...")
//   Kill()      "-killprocess NAME" for the selected row: the agent kills it
//               and lists what is left
//   Refresh()   the list again: always a plain list, never the kill again
//   Close()     the running query is cancelled and its answer dropped
//
// On Smartphone and plain Windows CE devices the agent is not started: only
// the old results file is removed, so the read that follows finds nothing
// and says so ("Unable to open results file on the device.").
//
// Threads: window thread only; the device is used on the session's worker.
#pragma once

#include "desktop/link/DeviceSession.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStandardItemModel>
#include <QTimer>

namespace tools {

// The buttons of the window: which are shown, which may be pressed.
struct ProcessViewerButtons {
    bool cancelShown = true;
    bool killShown = false;
    bool killEnabled = false;
    bool refreshShown = false;
    bool refreshEnabled = false;

    friend bool operator==(const ProcessViewerButtons&, const ProcessViewerButtons&) = default;
};

class ProcessViewerModel : public QObject {
    Q_OBJECT
public:
    explicit ProcessViewerModel(QObject* parent = nullptr);
    // Cancels a query still queued or running.
    ~ProcessViewerModel() override;

    // The list: one row a process, one column "Process name".
    QStandardItemModel* list() { return &m_list; }
    QString statusText() const { return m_statusText; }
    const ProcessViewerButtons& buttons() const { return m_buttons; }
    bool isBusy() const { return m_busy; }
    // The agent's command line of the next query.
    QString commandLine() const { return m_commandLine; }

    // The window is shown: a query starts at the next tick of the timer.
    void Show();
    // The window is closed or hidden.
    void Close();
    // The user selected `row` (-1: none); decides whether "&Kill Process"
    // may be pressed.
    void SelectRow(int row);
    // Kills the process of the selected row.
    void Kill();
    void Refresh();

    // The right-click menu's one item for a row: "Stop the process: "NAME""
    // or, for the agent's own row, "Cannot stop this process." (disabled).
    static QString StopItemText(const QString& rowText);
    static bool CanStop(const QString& rowText);

    // The timer's interval (500 ms); tests may shorten it.
    void SetTickMs(int milliseconds) { m_timer.setInterval(milliseconds); }

signals:
    void statusTextChanged(const QString& text);
    void buttonsChanged();
    // A query has ended and the list shows its answer.
    void queryFinished();

private:
    void OnTick();
    void StartQuery();
    void OnQueryEnded(
        quint64 generation, devlink::RequestEnd end, bool ran, const QStringList& names, bool listed);
    void SetStatus(const QString& text);
    void SetButtons(const ProcessViewerButtons& buttons);
    void CancelQuery();

    QStandardItemModel m_list;
    QString m_statusText;
    ProcessViewerButtons m_buttons;
    QString m_commandLine;
    int m_selectedRow = -1;
    bool m_busy = false;
    QTimer m_timer;
    QElapsedTimer m_startTime;
    devlink::DeviceSession::RequestId m_requestId = 0;
    // Tags each query, so that the answer of one cancelled by Close is
    // dropped if it still arrives.
    quint64 m_generation = 0;
};

} // namespace tools
