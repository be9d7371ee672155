// The database search window's state without a window: the search path and
// whether it may be searched, the "skip \Windows" choice (stored at once as
// "SearchSDF_dsw"), the search itself as one device request that hands its
// rows and "Searching %s..." texts over as it goes and can be cancelled,
// the status line, and the check every 5 seconds that drops rows whose file
// has vanished from the device.
//
// Threads: window thread only; device work runs on the device session.
#pragma once

#include "desktop/explorer/DatabaseSearchModel.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

namespace explorer {

inline const QString kSkipWindowsSetting = QStringLiteral("SearchSDF_dsw");

class DatabaseSearchController : public QObject {
    Q_OBJECT
public:
    explicit DatabaseSearchController(QObject* parent = nullptr);
    ~DatabaseSearchController() override;

    DatabaseSearchModel* model() { return &m_model; }
    QString path() const { return m_path; }
    bool skipWindows() const { return m_skipWindows; }
    // The box is offered only for the root, where "\Windows" lies.
    bool skipWindowsEnabled() const { return m_path == QLatin1String("\\"); }
    bool searching() const { return m_searching; }
    bool pathSearchable() const { return m_pathSearchable; }
    bool connected() const { return m_connected; }
    QString status() const { return m_status; }

    // Shows the search for `path`: the list cleared, the search started
    // `startDelayMs` later, and the vanished-rows check every `checkMs`.
    void Begin(const QString& path, int startDelayMs = 500, int checkMs = 5000);
    // A path typed into the field: searchable once the device says it is an
    // existing folder.
    void SetPath(const QString& path);
    void SetSkipWindows(bool skip);
    void SetConnected(bool connected);
    void Search();
    void Cancel();
    // Stops the timers (the window was hidden).
    void End();
    // The full path of a row, to open it.
    QString FullPathOf(int row) const;

signals:
    void stateChanged();

private:
    void CheckRows();

    DatabaseSearchModel m_model;
    QString m_path;
    bool m_skipWindows = true;
    bool m_searching = false;
    bool m_checking = false;
    bool m_pathSearchable = false;
    bool m_connected = true;
    QString m_status;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    QTimer m_startTimer;
    QTimer m_checkTimer;
    quint64 m_pathGeneration = 0;
};

} // namespace explorer
