#include "desktop/tools/TroubleshooterModel.h"

#include "desktop/link/DeviceLink.h"

#include <QSaveFile>

namespace tools {

LogRow SplitLogLine(const QString& name, const QString& text)
{
    LogRow row;
    row.name = name;
    const qsizetype split = text.indexOf(QStringLiteral(" - "));
    if (split < 0) {
        row.status = text;
    } else {
        row.time = text.left(split);
        row.status = text.mid(split + 3);
    }
    return row;
}

QByteArray ExportBytes(const QVector<LogRow>& rows)
{
    QByteArray bytes;
    for (const LogRow& row : rows) {
        const QString line = row.time + QStringLiteral("  ") + row.status + QStringLiteral("\r\n");
        for (QChar c : line) {
            const char16_t unit = c.unicode();
            bytes.append(char(unit & 0xFF));
            bytes.append(char(unit >> 8));
        }
    }
    return bytes;
}

TroubleshooterModel::TroubleshooterModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

TroubleshooterModel::~TroubleshooterModel()
{
    devlink::DeviceSession::Instance().Forget(this);
}

int TroubleshooterModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TroubleshooterModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant TroubleshooterModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size() || role != Qt::DisplayRole)
        return {};
    const LogRow& row = m_rows[index.row()];
    switch (index.column()) {
    case 0:
        return row.name;
    case 1:
        return row.time;
    case 2:
        return row.status;
    }
    return {};
}

QVariant TroubleshooterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("  ");
    case 1:
        return QStringLiteral("Time");
    case 2:
        return QStringLiteral("Status");
    }
    return {};
}

int TroubleshooterModel::ColumnWidth(int column)
{
    static const int widths[] = { 50, 80, 500 };
    return column >= 0 && column < 3 ? widths[column] : 0;
}

void TroubleshooterModel::Refresh()
{
    if (m_refreshing)
        return;
    devlink::TraceLine(QStringLiteral("RefreshDisplay()\r\n"));
    m_refreshing = true;
    TakeRows({});
    emit refreshStarted();
    auto rows = std::make_shared<QVector<LogRow>>();
    devlink::DeviceSession::Instance().Start(
        this,
        [rows](devlink::RequestContext&) {
            devlink::TraceLine(QStringLiteral("EnumerateRegistryValues()\r\n"));
            QVector<devlink::AgentLogLine> lines;
            devlink::ReadAgentDebugLog(&lines);
            for (const devlink::AgentLogLine& line : lines)
                rows->append(SplitLogLine(line.name, line.text));
            devlink::TraceLine(QStringLiteral("EnumerateRegistryValues() ends.\r\n"));
        },
        [this, rows](devlink::RequestEnd) {
            m_refreshing = false;
            TakeRows(std::move(*rows));
            emit refreshed();
        });
}

void TroubleshooterModel::TakeRows(QVector<LogRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

bool TroubleshooterModel::Export(const QString& filePath) const
{
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = ExportBytes(m_rows);
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace tools
