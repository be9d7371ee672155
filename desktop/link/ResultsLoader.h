// Loading a request's answer: the results file with its failure questions,
// the table answer and the binary schema. It runs where the request runs
// (the device session's worker), reads and parses the answer there in one
// pass, and keeps what it learned in a DatabaseAnswer for the window.
//
// One loader per request run; use it on one thread.
#pragma once

#include "desktop/link/DatabaseRequest.h"

#include <QStringList>

#include <string>
#include <string_view>
#include <vector>

namespace devlink {

class ResultsLoader {
public:
    // `rows` (may be null) receives a table answer in parts; without it the
    // rows stay in answer().result.
    explicit ResultsLoader(const DatabaseRequest& request, RowSink rows = {});

    // Reads and parses the answer of the request that just ran: waits for
    // the results file, turns a failure into its question, remembers the
    // engine version, then reads the rows (table mode) or the schema file
    // (database mode). True when it was a success and was loaded; with
    // `stopAfterStatus` only the status is checked.
    bool LoadResults(int totalRows, bool stopAfterStatus);
    // Reads a DBSchema.bin text into answer().tables (null: the root alone);
    // true when the schema was malformed (after saying so).
    bool LoadSchema(const std::u16string* text);

    DatabaseAnswer& answer() { return m_answer; }

private:
    bool IsSchemaRequest() const;
    void HandleFailure(const QStringList& lines);
    void ShowSqlError(const QString& error, const QString& code, const QString& details);
    bool LoadTableAnswer(const std::vector<std::u16string_view>& lines, int totalRows);
    bool ReadSchemaFile();

    DatabaseRequest m_request;
    RowSink m_rows;
    DatabaseAnswer m_answer;
};

} // namespace devlink
