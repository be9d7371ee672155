#include "desktop/database/MaintenanceFiles.h"

#include "desktop/database/ResultsGrid.h"
#include "exchange/Text.h"

#include <QDir>
#include <QSaveFile>

namespace database {
namespace {

constexpr qsizetype kMaxExportCell = 33000;

QString ExportCell(const QString& text)
{
    const QString cell = text.left(kMaxExportCell);
    return cell.contains(QLatin1Char(',')) ? QLatin1Char('"') + cell + QLatin1Char('"') : cell;
}

void AppendLine(QByteArray* bytes, const QStringList& cells)
{
    const QString line = cells.join(QLatin1Char('\t')) + QStringLiteral("\r\n");
    bytes->append(QByteArray::fromStdString(exchange::ToUtf16LeBytes(
        std::u16string_view(reinterpret_cast<const char16_t*>(line.utf16()), std::size_t(line.size())))));
}

} // namespace

QString CreateTableSection(const QString& schemaText, const QString& table)
{
    const QString bracketed = QLatin1Char('[') + table + QLatin1Char(']');
    for (const QString& name : { bracketed, table }) {
        const QString start = QStringLiteral("create table ") + name + QStringLiteral("\r\n");
        qsizetype from = 0;
        while ((from = schemaText.indexOf(start, from, Qt::CaseInsensitive)) >= 0) {
            // Only a statement that starts a line (or the text).
            if (from == 0 || schemaText[from - 1] == u'\n')
                break;
            from += start.size();
        }
        if (from < 0)
            continue;
        const QString close = QStringLiteral("\r\n)\r\n");
        const qsizetype end = schemaText.indexOf(close, from + start.size());
        return end < 0 ? schemaText.mid(from) : schemaText.mid(from, end + close.size() - from);
    }
    return QString();
}

QString WriteSchemaFile(const QString& folder, const QString& text)
{
    if (folder.isEmpty())
        return QString();
    const QString path = QDir(folder).filePath(QStringLiteral("schema.txt"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(text.toUtf8());
    return file.commit() ? path : QString();
}

QByteArray GridExportBytes(const ResultsGrid& grid)
{
    QByteArray bytes;
    QStringList cells;
    for (int c = 0; c < grid.columnCount(); ++c)
        cells << ExportCell(grid.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
    AppendLine(&bytes, cells);
    for (int r = 0; r < grid.rowCount(); ++r) {
        cells.clear();
        for (int c = 0; c < grid.columnCount(); ++c)
            cells << ExportCell(grid.DisplayText(r, c));
        AppendLine(&bytes, cells);
    }
    return bytes;
}

bool WriteGridExport(const ResultsGrid& grid, const QString& path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(GridExportBytes(grid));
    return file.commit();
}

} // namespace database
