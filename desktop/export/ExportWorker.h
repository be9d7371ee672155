// The export itself: the device's binary schema, one CREATE TABLE per chosen
// table, the table's rows fetched through the agent and inserted into the
// desktop database (ExportTarget), with a log line per step, a status text
// per table and a summary at the end.
//
// RunExport runs on the device session's worker (a window starts it with
// DeviceSession::Start, the command line with RunAndWait): it asks the
// agent itself and sees the request's cancel (CancelRequested) between
// tables and between rows. The listener is called on that thread.
#pragma once

#include "desktop/export/ExportRequest.h"

#include <QString>
#include <QStringList>

namespace dbexport {

// A statement the desktop database refused.
struct ExportErrorQuestion {
    bool isCreate = false; // the CREATE TABLE (else an INSERT)
    QString tableName;
    QString sql;
    QString errorText;
    // An INSERT's record: its fields, their device types and values, and
    // its number (from 1) of all the table's rows.
    QStringList fieldNames, fieldTypes, fieldValues;
    int record = 0;
    int totalRecords = 0;

    // "Unable to create the table "…" :" or "Unable to insert a record into …".
    QString Title() const;
};

enum class ExportChoice { Retry, Skip, Abort };

struct ExportErrorAnswer {
    ExportChoice choice = ExportChoice::Abort;
    QString sql; // Retry: the statement to run instead
};

class ExportListener {
public:
    virtual ~ExportListener();
    // A line of the export's log (without its time).
    virtual void Log(const QString& text) = 0;
    // The status text of a chosen table.
    virtual void SetTableStatus(const QString& table, const QString& status) = 0;
    // Whether the export now waits for the device's agent (whose "Status"
    // the window may show in the table's cell meanwhile).
    virtual void SetWaitingForDevice(const QString& table, bool waiting) = 0;
    // Rows of a table handed to the target so far, of its row count.
    virtual void SetRowProgress(const QString& /*table*/, int /*done*/, int /*total*/) { }
    // A failing statement: Retry (with the possibly edited statement), Skip
    // (the table when creating, the row when inserting) or Abort (the whole
    // export when creating, this table when inserting). May block until the
    // user answers.
    virtual ExportErrorAnswer AskError(const ExportErrorQuestion& question) = 0;
};

struct ExportSummary {
    int tablesSkipped = 0; // not created (Skip, or a data source's table kept)
    int tablesFailed = 0; // creation aborted, rows not fetched, or copying aborted
    int rowsSkipped = 0;
    bool cancelled = false;
    bool stopped = false; // the export could not run or was aborted
    QString finalText; // the last log line before the time taken
};

// The question before an existing file is replaced by an export.
QString OverwriteFileQuestion(const QString& path);

ExportSummary RunExport(const ExportRequest& request, ExportListener& listener);

} // namespace dbexport
