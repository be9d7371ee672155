// One run of a database window's request as the device session's worker
// carries it out: the window's fields taken when the run starts
// (DatabaseRequest), and everything the run learned (DatabaseAnswer), handed
// back to the window thread whole. Rows of a table answer travel separately,
// in batches, so that a window shows the first rows while the rest load.
//
// Plain values, safe to copy between threads; the prompt owner is only
// dereferenced by a prompter on the window thread.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

namespace devlink {

struct DatabaseRequest {
    QString databasePath;
    QString password;
    QString sql; // the request text handed to the agent
    bool tableMode = true; // rows into a grid, else the schema into a tree
    bool loadAnswer = true; // the window is shown and wants the answer read
    bool firstRun = true; // the first run of RunRequest (not a rerun)
    int retryCount = 0; // automatic "support encryption" retries so far
    bool keepResultsBytes = true; // hand the results file back as it was read
    bool packedRows = false; // the rows sink takes a streamed answer's rows packed
    QPointer<QObject> promptOwner;
};

struct DatabaseAnswer {
    bool requestFailed = false; // the request did not reach the agent, or the wait failed
    bool cancelled = false; // the request's token was cancelled
    bool connectionLost = false; // the run ended with the device connection lost
    bool loaded = true; // the answer was read as asked (true when none was asked for)
    bool resultsValid = false; // the answer read was a "<Success>"
    int rowsAffected = -1; // the device's "RowsAffected", or -1
    int totalRows = 1; // the device's "TotalRows", or 1
    // A guarded change ("... LIMIT 1") the agent refused: the device's
    // "RowsThatWouldBeAffected", or -1 when it holds no number.
    int rowsThatWouldBeAffected = -1;

    // What the loader decided after a failed answer.
    bool retryRequested = false;
    bool passwordRejected = false;
    QString sql; // the request text to run next (the edited SQL, "CompactDB")
    int retryCount = 0;
    QString statusText; // a status line the loader set ("Retrying.."), or empty

    // The table answer's columns (rows arrive through the RowSink unless
    // none was given; then they are here too).
    QueryResult result;
    // The schema of a database-mode answer, set when one was read: its
    // tables (none shows "<Blank table>"), or the root alone; and the count
    // of tables that were complete.
    std::optional<QVector<TableSchema>> tables;
    bool schemaRootOnly = false;
    int tableCount = 0;
    QByteArray resultsBytes; // the results file as the agent wrote it
};

// Receives a table answer in parts: first the columns with no rows, then the
// rows in batches (each a QueryResult holding rows only).
using RowSink = std::function<void(QueryResult part)>;

// Rows per batch handed to a RowSink.
inline constexpr int kRowBatch = 2000;

// Runs one request on the calling thread, which must be the device session's
// worker (the request's cancel token and progress are the current ones):
// the query file, the agent, the wait, the counts and, when asked, the
// answer. Messages and questions go through the prompter.
DatabaseAnswer RunDatabaseRequest(const DatabaseRequest& request, const RowSink& rows);

} // namespace devlink
