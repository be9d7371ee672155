#include "cli/RowWriter.h"

#include <QRegularExpression>

namespace cli {
namespace {

using devlink::CellKind;
using Type = TypedCell::Type;

// The type's name without its length and attributes: "nvarchar(40)" -> "nvarchar".
QString BaseType(const QString& typeText)
{
    QString base = typeText.trimmed().toLower();
    const qsizetype cut = base.indexOf(QRegularExpression(QStringLiteral("[ (]")));
    return cut < 0 ? base : base.left(cut);
}

bool IsNumberType(const QString& base)
{
    static const QStringList kTypes = { QStringLiteral("int"), QStringLiteral("smallint"),
        QStringLiteral("tinyint"), QStringLiteral("bigint"), QStringLiteral("real"), QStringLiteral("float"),
        QStringLiteral("money"), QStringLiteral("numeric") };
    return kTypes.contains(base);
}

// The text as a JSON number ("-12", "0.5"), or nothing.
std::optional<QString> AsNumber(const QString& text, QChar decimalSeparator)
{
    QString number = text;
    if (decimalSeparator != u'.' && number.count(decimalSeparator) == 1 && !number.contains(u'.'))
        number.replace(decimalSeparator, QLatin1Char('.'));
    static const QRegularExpression kNumber(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]+)?$"));
    if (!kNumber.match(number).hasMatch())
        return std::nullopt;
    return number;
}

// The agent's "%d/%02d/%02d  %02d:%02d:%02d" as ISO 8601, or nothing.
std::optional<QString> AsIsoDateTime(const QString& text)
{
    static const QRegularExpression kDate(
        QStringLiteral("^([0-9]{1,4})/([0-9]{2})/([0-9]{2})  ([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
    const QRegularExpressionMatch m = kDate.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    return QStringLiteral("%1-%2-%3T%4:%5:%6")
        .arg(m.captured(1).rightJustified(4, QLatin1Char('0')), m.captured(2), m.captured(3), m.captured(4),
            m.captured(5), m.captured(6));
}

// The byte count of a binary placeholder (U+0006 and "%lu bytes").
QString ByteCountOf(const QString& cell)
{
    qsizetype end = 1;
    while (end < cell.size() && cell[end].isDigit() && cell[end].unicode() < 128)
        ++end;
    return end > 1 ? cell.mid(1, end - 1) : QStringLiteral("0");
}

void AppendCsvText(QString& out, const QString& text)
{
    const bool quote = text.isEmpty() || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
    if (!quote) {
        out += text;
        return;
    }
    out += QLatin1Char('"');
    for (QChar c : text) {
        if (c == u'"')
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

QString JsonBool(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

TypedCell TypeCell(
    const devlink::ColumnSchema& column, CellKind kind, const QString& cell, QChar decimalSeparator)
{
    if (kind == CellKind::Null)
        return { Type::Null, QString() };
    if (kind == CellKind::Binary)
        return { Type::ByteCount, ByteCountOf(cell) };
    const QString base = BaseType(column.typeText);
    if ((base == QLatin1String("bit") || base == QLatin1String("int"))
        && (cell == QLatin1String("true") || cell == QLatin1String("false")))
        return { Type::Boolean, cell };
    if (IsNumberType(base)) {
        if (std::optional<QString> number = AsNumber(cell, decimalSeparator))
            return { Type::Number, *number };
    }
    if (base == QLatin1String("datetime")) {
        if (std::optional<QString> iso = AsIsoDateTime(cell))
            return { Type::Text, *iso };
    }
    return { Type::Text, cell };
}

RowWriter::RowWriter(OutputFormat format, const OutputOptions& options)
    : m_format(format)
    , m_options(options)
{
}

QString RowWriter::Begin(const devlink::QueryResult& header)
{
    m_columns = header.columns;
    QString out;
    switch (m_format) {
    case OutputFormat::Json:
        out = QStringLiteral("{\"columns\":[");
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            const devlink::ColumnSchema& column = m_columns[c];
            if (c > 0)
                out += QLatin1Char(',');
            out += QStringLiteral("{\"name\":") + JsonString(column.name) + QStringLiteral(",\"type\":")
                + JsonString(column.typeText) + QStringLiteral(",\"primaryKey\":")
                + JsonBool(column.isPrimaryKey) + QStringLiteral(",\"notNull\":") + JsonBool(column.isNotNull)
                + QStringLiteral(",\"autoinc\":") + JsonBool(column.isAutoinc) + QLatin1Char('}');
        }
        out += QStringLiteral("],\n\"rows\":[");
        break;
    case OutputFormat::Tsv:
    case OutputFormat::Csv:
        if (!m_options.header)
            break;
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            if (c > 0)
                out += m_format == OutputFormat::Tsv ? QLatin1Char('\t') : QLatin1Char(',');
            if (m_format == OutputFormat::Tsv)
                AppendWithVisibleBreaks(out, m_columns[c].name, true);
            else
                AppendCsvText(out, m_columns[c].name);
        }
        out += m_format == OutputFormat::Tsv ? QStringLiteral("\n") : QStringLiteral("\r\n");
        break;
    case OutputFormat::Table:
    case OutputFormat::Raw:
        break;
    }
    return out;
}

QString RowWriter::Rows(const devlink::QueryResult& part)
{
    QString out;
    // Most cells need no escape: the texts' own length is a close guess.
    qsizetype guess = 0;
    for (const QStringList& row : part.rows)
        for (const QString& cell : row)
            guess += cell.size() + 3;
    out.reserve(guess);
    for (qsizetype r = 0; r < part.rows.size(); ++r)
        AppendRow(out, part, r);
    return out;
}

QString RowWriter::End()
{
    return m_format == OutputFormat::Json ? QStringLiteral("]}\n") : QString();
}

void RowWriter::AppendRow(QString& out, const devlink::QueryResult& part, qsizetype row)
{
    const QStringList& cells = part.rows[row];
    const qsizetype columns = m_columns.size();
    if (m_format == OutputFormat::Json)
        out += m_anyRow ? QStringLiteral(",\n[") : QStringLiteral("\n[");
    m_anyRow = true;
    for (qsizetype c = 0; c < columns; ++c) {
        if (c > 0)
            out += m_format == OutputFormat::Tsv ? QLatin1Char('\t') : QLatin1Char(',');
        const QString cell = c < cells.size() ? cells[c] : QString();
        const CellKind kind = CellKindAt(part, row, c);
        if (m_format == OutputFormat::Tsv) {
            if (kind == CellKind::Null)
                out += m_options.nullText.value_or(QStringLiteral("\\N"));
            else if (c < cells.size())
                AppendWithVisibleBreaks(out, ShownCell(cell, kind), true);
            continue;
        }
        AppendTyped(out, TypeCell(m_columns[c], kind, cell, m_options.decimalSeparator));
    }
    switch (m_format) {
    case OutputFormat::Json:
        out += QLatin1Char(']');
        break;
    case OutputFormat::Csv:
        out += QStringLiteral("\r\n");
        break;
    default:
        out += QLatin1Char('\n');
    }
}

void RowWriter::AppendTyped(QString& out, const TypedCell& cell) const
{
    const bool json = m_format == OutputFormat::Json;
    auto appendText = [&](const QString& text) {
        if (json)
            out += JsonString(text);
        else
            AppendCsvText(out, text);
    };
    switch (cell.type) {
    case Type::Null:
        out += json ? QStringLiteral("null") : m_options.nullText.value_or(QString());
        return;
    case Type::ByteCount:
        if (m_options.binaryAsText)
            appendText(QStringLiteral("(Binary: %1 bytes)").arg(cell.text));
        else
            out += cell.text;
        return;
    case Type::Number:
    case Type::Boolean:
        out += cell.text;
        return;
    case Type::Text:
        appendText(cell.text);
        return;
    }
}

QString FormatRows(const devlink::QueryResult& result, OutputFormat format, const OutputOptions& options)
{
    RowWriter writer(format, options);
    QString text = writer.Begin(result);
    text += writer.Rows(result);
    text += writer.End();
    return text;
}

} // namespace cli
