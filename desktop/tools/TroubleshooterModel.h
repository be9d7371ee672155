// The troubleshooting log: the agent's step log, which the agent keeps as
// the values of the device key "SOFTWARE\Quorvane\Debug", as a list of three
// columns: the value's name, the time before the first " - " of its text and
// the status after it. Refresh() reads it on the device session; Export()
// writes it as a text file for support.
//
// Threads: window thread only; the device is read on the session's worker.
#pragma once

#include "desktop/link/DeviceSession.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QVector>

namespace tools {

// One row of the log.
struct LogRow {
    QString name;
    QString time;
    QString status;

    friend bool operator==(const LogRow&, const LogRow&) = default;
};

// A log value as a row: split at the first " - "; without one, an empty
// time and the whole text as status.
LogRow SplitLogLine(const QString& name, const QString& text);

// The export file's bytes: "time  status" and CR LF per row, in list order,
// UTF-16LE without a byte-order mark; the names are not written.
QByteArray ExportBytes(const QVector<LogRow>& rows);

class TroubleshooterModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TroubleshooterModel(QObject* parent = nullptr);
    // Cancels a refresh still queued or running.
    ~TroubleshooterModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QVector<LogRow>& rows() const { return m_rows; }
    bool isRefreshing() const { return m_refreshing; }

    // Empties the list and reads the log again; returns at once, refreshed()
    // follows. A key that cannot be opened (no log yet, no device) leaves
    // the list empty; nothing is shown to the user. A refresh asked while
    // one runs is dropped.
    void Refresh();

    // Writes ExportBytes of the rows to `filePath` (complete or not at all).
    // False when the file could not be written.
    bool Export(const QString& filePath) const;

    // The column widths of the list: 50, 80 and 500 pixels.
    static int ColumnWidth(int column);

signals:
    void refreshStarted();
    void refreshed();

private:
    void TakeRows(QVector<LogRow> rows);

    QVector<LogRow> m_rows;
    bool m_refreshing = false;
};

} // namespace tools
