// The query part of the runner: run the statement, write the header lines,
// then one line per row with "Status" and "Cancel" handled per row.
#include "agent/RequestRunner.h"

#include "agent/ValueWriter.h"
#include "exchange/AgentContract.h"
#include "exchange/ResultsText.h"
#include "exchange/StepMarks.h"
#include "exchange/Text.h"
#include "exchange/Trace.h"
#include "exchange/TransportCodes.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace agent {

namespace {

// "Row %d of %d" built in place: this runs once per output row.
class RowStatusText {
public:
    std::u16string_view Format(long long row, long long total)
    {
        m_text.clear();
        m_text.append(u"Row ");
        AppendNumber(row);
        m_text.append(u" of ");
        AppendNumber(total);
        return m_text;
    }

private:
    void AppendNumber(long long value)
    {
        char16_t digits[24];
        int n = 0;
        unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
        do {
            digits[n++] = static_cast<char16_t>(u'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0)
            m_text.push_back(u'-');
        while (n > 0)
            m_text.push_back(digits[--n]);
    }

    std::u16string m_text = std::u16string(u"Row 0000000000 of 0000000000");
};

} // namespace

bool RequestRunner::QueryWithRows()
{
    std::u16string statement
        = m_args.tableName.empty() ? m_args.statementText : u"SELECT * FROM " + m_args.tableSource;
    m_status.LogLine(exchange::Format(u"Running SQL: \"%s\"..", statement));
    m_longValue.Clear();

    bool result = true;
    std::int64_t total = 0;
    if (!IsSchema()) {
        m_status.LogLine(u"Opening command..");
        std::unique_ptr<engine::Rowset> rowset;
        std::int64_t rowsAffected = 0;
        CSmartAccessor accessor;
        engine::HRESULT hr = m_db.session->Execute(statement, rowset, rowsAffected);
        if (engine::Succeeded(hr) && !rowset)
            hr = engine::E_FAIL; // a statement without rows has nothing to show here
        if (engine::Succeeded(hr))
            hr = accessor.BindColumns(*rowset);
        m_status.LogVerdict(engine::Succeeded(hr));
        exchange::MarkStep("agent: statement run");
        if (engine::Failed(hr)) {
            m_out.WriteText(exchange::kFailedLine);
            m_context.errorText = u"Invalid SQL command.";
            AppendEngineError(m_context.RequestErrors(), m_context.errorText);
            result = false;
        } else {
            result = WriteRows(*rowset, accessor, total);
        }
        rowset.reset();
    }

    // The end of every path of the query part.
    m_longValue.Clear();
    m_context.SetProgress(u"Releasing memory..");
    m_status.LogLine(u"Releasing memory.");
    if (m_args.binarySchema)
        m_out.WriteText(exchange::kSchemaFileEnd);
    m_out.FlushOutput();
    exchange::MarkStep("agent: results written");
    m_status.SetStatusValue(contract::kTotalRows, exchange::Format(u"%d", total));
    m_status.LogLine(u"Closing table..");
    m_db.CloseTableList();
    m_status.LogLine(u"Closing session..");
    m_db.CloseSession();
    m_status.LogLine(u"Closing data source..");
    m_db.CloseDataSource();
    return result;
}

bool RequestRunner::WriteRows(engine::Rowset& rowset, CSmartAccessor& accessor, std::int64_t& total)
{
    // Read once per run: the desktop sets it before it starts the agent.
    m_pointSetting = m_status.ReadStatusString(contract::kDecimalPointChar);
    m_point = exchange::DecimalPoint(m_pointSetting);

    m_status.LogLine(u"Getting record count..");
    bool counted = engine::Succeeded(rowset.GetRowCount(total));
    m_status.LogVerdict(counted);
    if (!counted)
        total = 0;
    m_status.LogLine(exchange::Format(u"%d rows found.", total));
    m_status.LogLine(u"Moving to first record..");
    engine::HRESULT hr = rowset.MoveFirst();
    m_status.LogVerdict(engine::Succeeded(hr));
    bool readFailed = false;
    if (engine::Failed(hr)) {
        m_context.errorText = std::u16string(kReadFailedMessage);
        AppendEngineError(m_context.RequestErrors(), m_context.errorText);
        readFailed = true;
    }

    const auto& columns = accessor.Columns();
    const int columnCount = static_cast<int>(columns.size());
    std::u16string names, types;
    if (m_tableView) {
        names = m_tableView->names;
        types = m_tableView->types;
    } else {
        for (const BoundColumn& column : columns) {
            names += column.name;
            names += u'\t';
            types += exchange::TypesLineWord(column.type);
            types += u'\t';
        }
    }
    m_out.WriteText(exchange::ResultsHeader(
        columnCount, names, types, m_tableView ? std::u16string_view(m_tableView->attributes) : u""));

    m_status.LogLine(u"Reading records..");
    bool cancelled = false;
    RowStatusText rowStatus;
    m_row.reserve(4096);
    long long r = 0;
    while (hr == engine::S_OK) {
        m_status.SetStatus(rowStatus.Format(r + 1, total));
        if (r % 50 == 0) {
            m_status.LogLine(
                exchange::Format(u"    Reading rows %d to %d..", r, std::min<long long>(total - 1, r + 50)));
        }
        m_row.clear();
        AppendRowValues(rowset, accessor);
        m_row.append(u"\r\n");
        m_out.WriteText(m_row);

        hr = rowset.MoveNext();
        if (engine::Failed(hr)) {
            // Rows that stop early must not pass for the whole result.
            m_context.errorText = std::u16string(kReadFailedMessage);
            AppendEngineError(m_context.RequestErrors(), m_context.errorText);
            exchange::DebugOutput(u"***  cmd.MoveNext() produced an error.\r\n");
            readFailed = true;
        }
        std::uint32_t cancel = 0;
        if (m_status.ReadStatusNumber(contract::kCancel, cancel))
            cancelled = cancel == 1;
        if (cancelled)
            break;
        ++r;
    }
    m_status.LogLine(cancelled ? u"User cancelled." : u"Finished reading records.");
    m_status.LogLine(u"Closing DB connection");
    m_out.WriteText(exchange::kEndLine);
    return !readFailed;
}

void RequestRunner::AppendRowValues(engine::Rowset& rowset, CSmartAccessor& accessor)
{
    accessor.GetData(rowset);
    for (const BoundColumn& column : accessor.Columns()) {
        m_context.SetProgress(u"Fetching an item of data..");
        if (column.isLong) {
            AppendLongValue(rowset, column);
            continue;
        }
        const std::uint32_t status = accessor.Status(column);
        if (status & 3) {
            m_row.append(exchange::kNullText);
            m_row.push_back(u'\t');
            continue;
        }
        const std::byte* value = accessor.Value(column);
        const std::size_t room = column.binding.maxLength;
        switch (column.type) {
        case engine::DBTYPE_I2: {
            std::int16_t v;
            std::memcpy(&v, value, sizeof v);
            AppendInteger(m_row, v);
            break;
        }
        case engine::DBTYPE_I4: {
            std::int32_t v;
            std::memcpy(&v, value, sizeof v);
            AppendInteger(m_row, v);
            break;
        }
        case engine::DBTYPE_UI1:
            AppendInteger(m_row, static_cast<std::uint8_t>(value[0]));
            break;
        case engine::DBTYPE_I8: {
            std::int64_t v;
            std::memcpy(&v, value, sizeof v);
            AppendInteger(m_row, v);
            break;
        }
        case engine::DBTYPE_R4: {
            float v;
            std::memcpy(&v, value, sizeof v);
            AppendReal(m_row, v, m_point);
            break;
        }
        case engine::DBTYPE_R8: {
            double v;
            std::memcpy(&v, value, sizeof v);
            AppendReal(m_row, v, m_point);
            break;
        }
        case engine::DBTYPE_DBTIMESTAMP: {
            engine::DbTimestamp v;
            std::memcpy(&v, value, sizeof v);
            AppendTimestamp(m_row, v);
            break;
        }
        case engine::DBTYPE_WSTR: {
            std::size_t chars = std::min<std::size_t>(accessor.Length(column), room - sizeof(char16_t)) / 2;
            std::u16string_view text(reinterpret_cast<const char16_t*>(value), chars);
            AppendUnicodeText(m_row, text.substr(0, text.find(u'\0')));
            break;
        }
        case engine::DBTYPE_BYTES:
            // Binary values travel as their size only.
            m_row.append(exchange::FormatBinaryPlaceholder(accessor.Length(column)));
            break;
        default: {
            std::size_t length = room;
            if (column.type == 129) // 8-bit text ends at its length
                length = std::min<std::size_t>(accessor.Length(column), room);
            std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(value), length);
            m_row.append(exchange::FormatValue(column.type, bytes, status, m_pointSetting));
            break;
        }
        }
    }
}

void RequestRunner::AppendLongValue(engine::Rowset& rowset, const BoundColumn& column)
{
    std::unique_ptr<engine::SequentialStream> stream;
    engine::DBSTATUS status = engine::DBSTATUS_S_OK;
    if (engine::Failed(rowset.GetStream(column.ordinal, stream, &status)) || !stream) {
        m_row.append(exchange::FormatBlobUnavailable());
        return;
    }
    if (column.engineType == engine::DBTYPE_WSTR) {
        // Text columns are written whole, as text, whatever they hold.
        if (status == engine::DBSTATUS_S_ISNULL) {
            m_row.append(exchange::FormatNull());
            return;
        }
        m_out.WriteText(m_row);
        m_row.clear();
        WriteLongText(*stream);
        m_row.push_back(u'\t');
        return;
    }
    m_longValue.Clear();
    std::uint8_t chunk[exchange::LongValueBuffer::kChunkBytes];
    while (true) {
        std::uint32_t read = 0;
        if (engine::Failed(stream->Read(chunk, sizeof chunk, read)))
            break;
        if (!m_longValue.AddChunk(std::span<const std::uint8_t>(chunk, read)))
            break;
    }
    m_row.append(exchange::FormatLongValue(m_longValue));
}

void RequestRunner::WriteLongText(engine::SequentialStream& stream)
{
    LongTextEncoder encoder;
    std::uint8_t chunk[exchange::LongValueBuffer::kChunkBytes + 1];
    std::size_t carried = 0; // an odd byte left from the chunk before
    char16_t units[exchange::LongValueBuffer::kChunkBytes / 2 + 1];
    while (true) {
        std::uint32_t read = 0;
        if (engine::Failed(stream.Read(chunk + carried, exchange::LongValueBuffer::kChunkBytes, read))
            || read == 0)
            break;
        const std::size_t bytes = carried + read;
        const std::size_t count = bytes / 2;
        std::memcpy(units, chunk, count * 2);
        carried = bytes % 2;
        if (carried)
            chunk[0] = chunk[bytes - 1];
        encoder.Encode(std::u16string_view(units, count), m_chunkText);
        m_out.WriteLongText(m_chunkText);
    }
    encoder.Finish(m_chunkText);
    m_out.WriteLongText(m_chunkText);
}

} // namespace agent
