#include "desktop/database/GridSql.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>

namespace database {
namespace {

bool IsDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The agent's own form ("2006/04/03  09:30:00", also with "-" or "." and
// without seconds or time): year first, so no locale can misread it.
std::optional<QDateTime> ParseAgentForm(const QString& text)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*(\d{4})[/.-](\d{1,2})[/.-](\d{1,2})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?)?\s*$)"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

std::optional<QDateTime> ParseLocaleForm(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    QStringList dates;
    for (QLocale::FormatType type : { QLocale::ShortFormat, QLocale::LongFormat }) {
        QString format = locale.dateFormat(type);
        dates << format;
        // A short form with a two-digit year still takes four digits.
        if (!format.contains(QLatin1String("yyyy")))
            dates << format.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    QStringList times = { QString(), QStringLiteral(" H:mm"), QStringLiteral(" H:mm:ss"),
        QLatin1Char(' ') + locale.timeFormat(QLocale::ShortFormat),
        QLatin1Char(' ') + locale.timeFormat(QLocale::LongFormat) };
    for (const QString& date : dates)
        for (const QString& time : times) {
            const QDateTime value = locale.toDateTime(trimmed, date + time);
            if (value.isValid())
                return value;
        }
    return std::nullopt;
}

// The term of one column: "name IS NULL" or "name=literal".
QString Term(const ColumnSchema& column, const QString& text, const QLocale& locale)
{
    const QString literal = FormatSqlValue(text, column.kind, locale);
    if (literal == QLatin1String("NULL"))
        return QuoteColumnName(column.name) + QStringLiteral(" IS NULL");
    return QuoteColumnName(column.name) + QLatin1Char('=') + literal;
}

} // namespace

std::optional<QDateTime> ParseCellDateTime(const QString& text, const QLocale& locale)
{
    if (auto value = ParseAgentForm(text))
        return value;
    return ParseLocaleForm(text, locale);
}

QString QuoteTableName(const QString& name)
{
    return name.contains(u' ') ? QLatin1Char('[') + name + QLatin1Char(']') : name;
}

QString QuoteColumnName(const QString& name)
{
    return name.contains(u' ') ? QLatin1Char('"') + name + QLatin1Char('"') : name;
}

bool IsSingleTableSelect(const QString& sql, QString* tableName)
{
    static const QString prefix = QStringLiteral("SELECT * FROM ");
    const QString text = sql.trimmed();
    if (!text.startsWith(prefix, Qt::CaseInsensitive))
        return false;
    const QString rest = text.mid(prefix.size()).trimmed();
    QString name;
    if (rest.startsWith(u'[') && rest.endsWith(u']') && rest.size() > 2)
        name = rest.mid(1, rest.size() - 2);
    else
        name = rest;
    // A name in brackets may hold spaces; a bare one is one word.
    const bool bracketed = rest.startsWith(u'[');
    if (name.isEmpty() || name.contains(u'[') || name.contains(u']') || name.contains(u';')
        || (!bracketed && name.contains(QRegularExpression(QStringLiteral("\\s")))))
        return false;
    if (tableName)
        *tableName = name;
    return true;
}

QString SqlPanelRequest(const QString& panelText)
{
    QString text = panelText;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return text;
}

QString AgentDateTimeText(const QDateTime& value)
{
    return value.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

CellCheck CheckCellText(const QString& text, ColumnKind kind, const QLocale& locale)
{
    CellCheck check;
    check.text = text;
    if (text == kNullText || text == QLatin1String("(binary)"))
        return check;
    switch (kind) {
    case ColumnKind::Integer: {
        const QString trimmed = text.trimmed();
        const QStringView digits
            = trimmed.startsWith(u'-') ? QStringView(trimmed).mid(1) : QStringView(trimmed);
        if (!IsDigits(digits) || (trimmed.startsWith(u'-') && digits.isEmpty())) {
            check.ok = false;
            check.error = QStringLiteral("This is not a valid integer.");
        } else {
            check.text = trimmed;
        }
        break;
    }
    case ColumnKind::Real: {
        QString trimmed = text.trimmed();
        const QString separator = locale.decimalPoint();
        const qsizetype separators = trimmed.count(separator);
        QString digits = trimmed;
        digits.remove(separator);
        if (trimmed.isEmpty() || separators > 1 || digits.isEmpty() || !IsDigits(digits)) {
            check.ok = false;
            check.error = QStringLiteral("This is not a valid float.");
            break;
        }
        if (trimmed.startsWith(separator))
            trimmed.prepend(QLatin1Char('0'));
        if (trimmed.endsWith(separator))
            trimmed.append(QLatin1Char('0'));
        check.text = trimmed;
        break;
    }
    case ColumnKind::DateTime: {
        const std::optional<QDateTime> value = ParseCellDateTime(text, locale);
        if (!value) {
            check.ok = false;
            check.error = QStringLiteral("This is not a valid date/time.");
        } else {
            // Kept and sent in the agent's form: a day-first text must not
            // reach the device as month-first.
            check.text = AgentDateTimeText(*value);
        }
        break;
    }
    default:
        break;
    }
    return check;
}

QString FormatSqlValue(const QString& cellText, ColumnKind kind, const QLocale& locale)
{
    if (cellText == kNullText)
        return QStringLiteral("NULL");
    switch (kind) {
    case ColumnKind::Text:
    case ColumnKind::LongText:
    case ColumnKind::Guid: {
        QString text = cellText;
        text.replace(QLatin1Char('\''), QLatin1String("''"));
        text.replace(QLatin1String("\r\n"), kNewlineMarker);
        text.replace(QLatin1Char('\t'), kTabMarker);
        text.replace(QLatin1String("<Binary>"), QString(kBinaryMarker));
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    case ColumnKind::DateTime: {
        const std::optional<QDateTime> value = ParseCellDateTime(cellText, locale);
        return QLatin1Char('\'') + (value ? AgentDateTimeText(*value) : cellText) + QLatin1Char('\'');
    }
    case ColumnKind::Integer:
        return cellText.trimmed();
    case ColumnKind::Real: {
        // A checked decimal (digits and one point) goes unquoted: the
        // device's engine takes no text for a money or real column.
        const CellCheck check = CheckCellText(cellText, kind, locale);
        if (!check.ok)
            return QLatin1Char('\'') + QString(cellText).replace(QLatin1Char('\''), QLatin1String("''"))
                + QLatin1Char('\'');
        return QString(check.text).replace(locale.decimalPoint(), QLatin1String("."));
    }
    }
    return cellText;
}

QString WhereClause(const QVector<ColumnSchema>& columns, const QVector<int>& keyColumns,
    const QStringList& rowTexts, const QVector<bool>& binary, RowChange change, int editColumn,
    bool firstPass, const QLocale& locale)
{
    QStringList terms;
    const auto isBinary = [&](int c) { return c < binary.size() && binary[c]; };
    if (!keyColumns.isEmpty()) {
        for (int c : keyColumns)
            terms << Term(columns[c], rowTexts.value(c), locale);
        return terms.join(QLatin1String(" AND "));
    }
    for (int c = 0; c < columns.size(); ++c) {
        if (isBinary(c))
            continue;
        if (change == RowChange::Update) {
            const ColumnKind kind = columns[c].kind;
            if (kind != ColumnKind::Text && kind != ColumnKind::DateTime && kind != ColumnKind::Integer)
                continue;
        } else if (c == editColumn) {
            continue;
        }
        terms << Term(columns[c], rowTexts.value(c), locale);
    }
    QString where = terms.join(QLatin1String(" AND "));
    if (firstPass)
        where += QStringLiteral(" LIMIT 1");
    return where;
}

QString UpdateStatement(const QString& table, const ColumnSchema& column, const QString& newText,
    const QString& where, const QLocale& locale)
{
    return QStringLiteral("UPDATE %1 SET %2=%3 WHERE ")
               .arg(QuoteTableName(table), QuoteColumnName(column.name),
                   FormatSqlValue(newText, column.kind, locale))
        + where;
}

QString DeleteStatement(const QString& table, const QString& where)
{
    return QStringLiteral("DELETE FROM %1 WHERE ").arg(QuoteTableName(table)) + where;
}

QString InsertStatement(const QString& table, const QVector<ColumnSchema>& columns, const QStringList& texts,
    const QVector<bool>& binary, const QLocale& locale)
{
    QStringList names, values;
    for (int c = 0; c < columns.size(); ++c) {
        const QString text = texts.value(c);
        if (text == kNullText || columns[c].isAutoinc || (c < binary.size() && binary[c]))
            continue;
        names << QuoteColumnName(columns[c].name);
        values << FormatSqlValue(text, columns[c].kind, locale);
    }
    return QStringLiteral("INSERT INTO %1 (").arg(QuoteTableName(table)) + names.join(QLatin1String(", "))
        + QStringLiteral(") VALUES (") + values.join(QLatin1String(", ")) + QLatin1Char(')');
}

QString WithoutLimit(const QString& statement)
{
    QString text = statement;
    if (text.endsWith(QLatin1String(" LIMIT 1")))
        text.chop(8);
    else if (text.endsWith(QLatin1String("LIMIT 1")))
        text.chop(7);
    return text;
}

QString ShownStatement(const QString& statement)
{
    QString text = WithoutLimit(statement);
    text.replace(QLatin1String(" SET "), QLatin1String("\r\nSET "));
    text.replace(QLatin1String(" WHERE "), QLatin1String("\r\nWHERE "));
    return text;
}

namespace {

const QString kNoKeysLine
    = QStringLiteral("This table does not have any Primary Keys defined for it, so individual "
                     "rows cannot be uniquely indentified.");

QString Plural(int n)
{
    return n == 1 ? QString() : QStringLiteral("s");
}

} // namespace

QString GuardedUpdateQuestion(
    const QString& oldText, const QString& newText, int rows, const QString& statement)
{
    return kNoKeysLine + QStringLiteral("\r\n\r\n")
        + QStringLiteral("The following SQL command can be run to change this field's value from \"%1\" to "
                         "\"%2\", however, %3 other row%4 will also be set to this value.")
              .arg(oldText, newText, QString::number(rows - 1), Plural(rows - 1))
        + QStringLiteral("\r\n\r\nSQL command:\r\n") + ShownStatement(statement) + QStringLiteral("\r\n\r\n")
        + QStringLiteral("Do you still want to update the values in these %1 rows ?").arg(rows);
}

QString GuardedDeleteQuestion(int rows, const QString& statement)
{
    return kNoKeysLine + QStringLiteral("\r\n\r\n")
        + QStringLiteral(
            "The following SQL command can be run to delete this row, however, %1 other row%2 will "
            "ALSO be deleted.")
              .arg(QString::number(rows - 1), Plural(rows - 1))
        + QStringLiteral("\r\n\r\nSQL command:\r\n") + ShownStatement(statement) + QStringLiteral("\r\n\r\n")
        + QStringLiteral("Do you still want to delete these %1 rows ?").arg(rows);
}

QStringList NewRowTexts(
    const QVector<ColumnSchema>& columns, const QVector<std::optional<qint64>>& proposedKeys)
{
    QStringList texts;
    for (int c = 0; c < columns.size(); ++c) {
        const ColumnSchema& column = columns[c];
        if (!column.isNotNull) {
            texts << kNullText;
            continue;
        }
        switch (column.kind) {
        case ColumnKind::DateTime:
            texts << QStringLiteral("1900/01/01 00:00");
            break;
        case ColumnKind::Integer: {
            const std::optional<qint64> key = c < proposedKeys.size() ? proposedKeys[c] : std::nullopt;
            texts << (key ? QString::number(*key) : QStringLiteral("0"));
            break;
        }
        case ColumnKind::Real:
            texts << QStringLiteral("0");
            break;
        default:
            texts << QString();
            break;
        }
    }
    return texts;
}

bool FilterKeeps(const RowFilter& filter, QStringView value)
{
    if (!filter.active())
        return true;
    // Trimmed of tabs and spaces only.
    qsizetype begin = 0, end = value.size();
    while (begin < end && (value[begin] == u' ' || value[begin] == u'\t'))
        ++begin;
    while (end > begin && (value[end - 1] == u' ' || value[end - 1] == u'\t'))
        --end;
    const QStringView trimmed = value.mid(begin, end - begin);
    if (filter.mode == RowFilter::Values)
        return std::any_of(filter.values.begin(), filter.values.end(),
            [&](const QString& chosen) { return trimmed == chosen; });
    if (filter.exactMatch)
        return trimmed == filter.text;
    return trimmed.contains(filter.text, Qt::CaseInsensitive);
}

} // namespace database
