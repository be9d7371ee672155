#include "desktop/link/DeviceTextFile.h"

#include "desktop/link/DeviceLink.h"
#include "desktop/link/LinkTiming.h"
#include "exchange/ResultsReader.h"
#include "platform/rapi/Rapi.h"

#include <QVector>

namespace devlink {
namespace {

constexpr quint32 kDefaultSize = 20000;

} // namespace

bool DeviceTextFile::Read(const QString& path, bool splitLines)
{
    m_bytes.clear();
    m_text.clear();
    m_lines.clear();
    m_next = 0;

    quint32 size = kDefaultSize;
    QVector<CE_FIND_DATA> records;
    if (RapiCeFindAllFiles(path, FAF_NAME | FAF_SIZE_LOW | FAF_SIZE_HIGH, &records) && records.size() == 1
        && !(records.front().dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        size = records.front().nFileSizeLow;

    HANDLE file = RapiCeCreateFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file == -1 || file == -2) {
        WaitWithMessages(Timing().readFailWaitMs);
        return false;
    }
    QByteArray bytes(qsizetype(size), '\0');
    DWORD done = 0;
    const bool read = size == 0 || CeReadFile(file, bytes.data(), size, &done, nullptr);
    CeCloseHandle(file);
    if (!read) {
        WaitWithMessages(Timing().readFailWaitMs);
        return false;
    }
    bytes.truncate(qsizetype(done));
    m_bytes = bytes;
    if (!path.contains(QLatin1Char('\\') + ContractText(contract::kBinarySchemaFileName))) {
        const std::u16string name = DevicePath(path);
        CeDeleteFile(name.c_str());
    }
    m_text
        = exchange::DeviceTextFromBytes(std::string_view(m_bytes.constData(), std::size_t(m_bytes.size())));
    if (exchange::IsBinarySchema(m_text) || !splitLines)
        return true;
    m_lines = exchange::SplitDeviceLines(m_text);
    return true;
}

QStringList DeviceTextFile::Lines() const
{
    QStringList lines;
    lines.reserve(qsizetype(m_lines.size()));
    for (std::u16string_view line : m_lines)
        lines.append(QString::fromUtf16(line.data(), qsizetype(line.size())));
    return lines;
}

std::optional<QString> DeviceTextFile::FirstLine()
{
    m_next = 0;
    return NextLine();
}

std::optional<QString> DeviceTextFile::NextLine()
{
    if (m_next >= m_lines.size())
        return std::nullopt;
    const std::u16string_view line = m_lines[m_next++];
    return QString::fromUtf16(line.data(), qsizetype(line.size()));
}

} // namespace devlink
