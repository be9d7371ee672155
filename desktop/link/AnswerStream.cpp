#include "desktop/link/AnswerStream.h"

#include "desktop/link/AgentInvocation.h"
#include "desktop/link/DeviceFileCopy.h"
#include "desktop/link/DeviceLink.h"
#include "desktop/settings/SettingsStore.h"
#include "exchange/ResultsReader.h"
#include "platform/rapi/Rapi.h"

#include <span>

namespace devlink {
namespace {

// The lines before the first row: "Cols: ", perhaps "Rows affected: ", then
// the names, types and attributes.
constexpr std::size_t kHeaderLines = 5;

} // namespace

DeviceLineReader::~DeviceLineReader()
{
    Close();
}

bool DeviceLineReader::Open(const QString& path)
{
    Close();
    const std::u16string name = DevicePath(path);
    m_file = CeCreateFile(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    return m_file != INVALID_HANDLE_VALUE;
}

void DeviceLineReader::Close()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CeCloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

std::optional<std::u16string_view> DeviceLineReader::Next()
{
    if (m_next >= m_lines.size() && !Refill())
        return std::nullopt;
    return m_lines[m_next++];
}

bool DeviceLineReader::Refill()
{
    m_lines.clear();
    m_next = 0;
    while (!m_ended) {
        // Whole lines only: up to the last CR LF, or all that is left at the end.
        const std::size_t cut = m_pending.rfind(u"\r\n");
        if (cut != std::u16string::npos || m_endOfFile) {
            const std::size_t size = cut != std::u16string::npos ? cut + 2 : m_pending.size();
            m_block.assign(m_pending, 0, size);
            m_pending.erase(0, size);
            m_lines = exchange::SplitDeviceLines(m_block);
            // Where the lines stopped short of the block, an empty line ended them.
            const std::size_t end = m_lines.empty()
                ? 0
                : std::size_t(m_lines.back().data() + m_lines.back().size() - m_block.data());
            if (m_lines.empty() || (end != size && end + 2 != size) || (m_endOfFile && m_pending.empty()))
                m_ended = true;
            if (!m_lines.empty())
                return true;
            continue;
        }
        char buffer[kCopyBlockBytes];
        DWORD read = 0;
        if (!CeReadFile(m_file, buffer, sizeof buffer, &read, nullptr)) {
            m_failed = m_ended = true;
            break;
        }
        m_bytes.append(buffer, read);
        m_endOfFile = read == 0;
        const std::size_t whole = m_endOfFile ? m_bytes.size() : m_bytes.size() & ~std::size_t(1);
        m_pending += exchange::DeviceTextFromBytes(std::string_view(m_bytes.data(), whole));
        m_bytes.erase(0, whole);
    }
    return false;
}

StreamEnd StreamQueryAnswer(
    const QString& databasePath, int totalRows, const RowSink& rows, int rowsPerPart, RowForm form)
{
    DeviceLineReader reader;
    if (!reader.Open(kResultsFilePath))
        return StreamEnd::NotSuccess;
    const std::optional<std::u16string_view> first = reader.Next();
    if (!first || *first != u"<Success>")
        return StreamEnd::NotSuccess;
    // As the desktop's loader does after every success: the engine version
    // chooses the agent build of the next request on this database.
    settings::WriteString(
        EngineSettingName(databasePath), ReadAgentRegString(ContractText(contract::kSqlCeVersion)));

    std::vector<std::u16string> head;
    while (head.size() < kHeaderLines) {
        const std::optional<std::u16string_view> line = reader.Next();
        if (!line)
            break;
        head.emplace_back(*line);
    }
    const std::vector<std::u16string_view> headViews(head.begin(), head.end());
    exchange::TableAnswerReader answer { std::span<const std::u16string_view>(headViews) };
    if (!answer.ok())
        return StreamEnd::Unreadable;
    const QueryResult header = MakeQueryHeader(answer.header(), totalRows);
    rows(header);

    QueryResult part;
    part.columnCount = header.columnCount;
    auto take = [&](std::u16string_view line) {
        if (form == RowForm::Packed)
            AppendPackedRowLine(part, line);
        else
            AppendRowLine(part, line);
        if (part.rowCount() < rowsPerPart)
            return;
        // The next part of packed rows is likely the size of this one.
        const std::size_t characters = part.packed.text.size();
        rows(std::move(part));
        part = QueryResult();
        part.columnCount = header.columnCount;
        if (form == RowForm::Packed) {
            part.packed.text.reserve(characters + characters / 8);
            part.packed.bounds.reserve(std::size_t(rowsPerPart) * std::size_t(header.columnCount + 1));
            part.packed.kinds.reserve(std::size_t(rowsPerPart) * std::size_t(header.columnCount));
        }
    };
    while (const std::optional<std::u16string_view> line = answer.NextRow())
        take(*line);
    bool cancelled = false;
    if (!answer.header().sawEnd) {
        while (const std::optional<std::u16string_view> line = reader.Next()) {
            if (*line == u"<end>")
                break;
            take(*line);
            if (CancelRequested()) {
                cancelled = true;
                break;
            }
        }
    }
    if (part.rowCount() > 0)
        rows(std::move(part));
    if (cancelled)
        return StreamEnd::Cancelled;
    if (reader.failed())
        return StreamEnd::Unreadable;
    reader.Close();
    // Every results file is read once.
    const std::u16string name = DevicePath(kResultsFilePath);
    CeDeleteFile(name.c_str());
    return StreamEnd::Streamed;
}

} // namespace devlink
