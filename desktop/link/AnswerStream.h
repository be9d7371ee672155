// The answer to a query read from the device as it streams: the results
// file in blocks, line by line, and its rows handed on in small parts, so
// that an answer of any length takes the same memory and its first rows can
// be printed before the last ones are read. The lines are those a whole
// read finds (exchange::SplitDeviceLines: a line ends at CR LF, an empty
// line ends them all).
//
// Runs where device work runs: on the device session's worker. One reader
// per file; use it on one thread.
#pragma once

#include "desktop/link/DatabaseRequest.h"
#include "platform/rapi/CeTypes.h"

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace devlink {

class DeviceLineReader {
public:
    DeviceLineReader() = default;
    ~DeviceLineReader();
    DeviceLineReader(const DeviceLineReader&) = delete;
    DeviceLineReader& operator=(const DeviceLineReader&) = delete;

    // Opens the device file for reading; false when it cannot be opened.
    bool Open(const QString& path);
    // The next line, valid until the next call; nothing once the lines have
    // ended or a read failed (failed()).
    std::optional<std::u16string_view> Next();
    bool failed() const { return m_failed; }
    void Close();

private:
    bool Refill();

    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::string m_bytes; // read, not yet text (an odd last byte waits for its pair)
    std::u16string m_pending; // text after the last whole line
    std::u16string m_block; // whole lines, being handed out
    std::vector<std::u16string_view> m_lines;
    std::size_t m_next = 0;
    bool m_endOfFile = false;
    bool m_ended = false;
    bool m_failed = false;
};

// Rows per part a streamed answer hands on.
inline constexpr int kStreamedRows = 256;

enum class StreamEnd {
    Streamed, // a "<Success>" answer: its header, then its rows went to `rows`
    NotSuccess, // the file could not be opened, or it is no success: read it whole instead
    Unreadable, // a success whose table could not be read (no "Cols: " line, a failed read)
    Cancelled, // the request was cancelled while the rows were read
};

// Reads the answer of the query on `databasePath` that just ran: a success
// is streamed to `rows` (first the columns without rows, then the rows in
// parts of `rowsPerPart`; see RowSink), the engine version it reports is remembered
// for the database as the desktop's loader does, and the file is deleted
// once read. Anything else is left on the device untouched for the
// desktop's loader, which asks the questions a failure calls for.
// How the rows of each part are held: as strings (QueryResult::rows) or
// packed (QueryResult::packed).
enum class RowForm { Strings, Packed };
StreamEnd StreamQueryAnswer(const QString& databasePath, int totalRows, const RowSink& rows,
    int rowsPerPart = kStreamedRows, RowForm form = RowForm::Strings);

} // namespace devlink
