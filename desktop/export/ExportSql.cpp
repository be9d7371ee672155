#include "desktop/export/ExportSql.h"

#include <array>

namespace dbexport {
namespace {

bool ContainsAny(const QString& text, std::initializer_list<const char*> words)
{
    for (const char* word : words)
        if (text.contains(QLatin1String(word)))
            return true;
    return false;
}

// The type text without the device's default expression. The engine lists
// the attributes as autoinc, default, not null, so the expression runs up to
// a trailing " not null" or to the end.
QString WithoutDefault(const QString& type)
{
    const qsizetype start = type.indexOf(QLatin1String(" default "));
    if (start < 0)
        return type;
    const QLatin1String notNull(" not null");
    const QString tail = type.endsWith(notNull) ? QString(notNull) : QString();
    return type.left(start) + tail;
}

// Every lone line feed gets a carriage return before it; line breaks the
// device sent as its marker arrive as CR LF already.
QString WithCarriageReturns(const QString& text)
{
    if (!text.contains(QLatin1Char('\n')))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\n') {
            const bool afterCr = i > 0 && text[i - 1] == u'\r';
            const bool beforeCr = i + 1 < text.size() && text[i + 1] == u'\r';
            if (!afterCr && !beforeCr)
                out += QLatin1Char('\r');
        }
        out += c;
    }
    return out;
}

} // namespace

QString SafeFieldName(const QString& name)
{
    static const std::array<QLatin1String, 7> reserved = { QLatin1String("value"), QLatin1String("private"),
        QLatin1String("note"), QLatin1String("encoding"), QLatin1String("type"), QLatin1String("text"),
        QLatin1String("string") };
    const QString lower = name.toLower();
    for (const QLatin1String& word : reserved)
        if (lower == word)
            return QLatin1Char('_') + name;
    return name;
}

QString QuotedFieldName(const QString& safeName)
{
    return safeName.contains(QLatin1Char(' ')) ? QLatin1Char('"') + safeName + QLatin1Char('"') : safeName;
}

QString BracketedName(const QString& tableName)
{
    return QLatin1Char('[') + tableName + QLatin1Char(']');
}

QString MapColumnType(const QString& typeText, const QString& tableName, bool toAccess, QString* note)
{
    QString type = WithoutDefault(typeText.toLower());
    type.remove(QLatin1String("autoinc"));
    const QString longText = toAccess ? QStringLiteral("memo") : QStringLiteral("varchar(8000)");
    struct Rule {
        const char* prefix;
        QString replacement;
        bool onlyToAccess;
    };
    const Rule rules[] = {
        { "int", QStringLiteral("integer"), false },
        { "bigint", QStringLiteral("integer"), false },
        { "tinyint", QStringLiteral("integer"), false },
        { "uniqueidentifier", QStringLiteral("varchar(40)"), false },
        { "real", QStringLiteral("number"), true },
        { "money", QStringLiteral("number"), true },
        { "nvarchar", QStringLiteral("varchar"), false },
        { "ntext(", QStringLiteral("varchar("), false },
        { "ntext", longText, false },
        { "nchar(", QStringLiteral("varchar("), false },
        { "nchar", longText, false },
    };
    for (const Rule& rule : rules) {
        const QLatin1String prefix(rule.prefix);
        if ((rule.onlyToAccess && !toAccess) || !type.startsWith(prefix))
            continue;
        if (note && prefix == QLatin1String("nchar"))
            *note = QStringLiteral("%1 : Replaced \"nchar\" field with %2.").arg(tableName, rule.replacement);
        return rule.replacement + type.mid(prefix.size());
    }
    return type;
}

QString CreateTableStatement(const devlink::TableSchema& table, bool toAccess, QStringList* notes)
{
    QStringList fields;
    for (const devlink::ColumnSchema& column : table.columns) {
        const QString safe = SafeFieldName(column.name);
        if (notes && safe != column.name)
            notes->append(QStringLiteral("Changed field name from \"%1\" to \"_%1\".").arg(column.name));
        QString note;
        const QString type = MapColumnType(column.typeText, table.name, toAccess, &note);
        if (notes && !note.isEmpty())
            notes->append(note);
        fields.append(QuotedFieldName(safe) + QLatin1Char(' ') + type);
    }
    return QStringLiteral("create table %1 (%2)")
        .arg(BracketedName(table.name), fields.join(QLatin1String(", ")));
}

QString InsertHead(const QString& tableName, const QStringList& columnNames)
{
    QStringList fields;
    for (const QString& name : columnNames)
        fields.append(QuotedFieldName(SafeFieldName(name)));
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (")
        .arg(BracketedName(tableName), fields.join(QLatin1String(", ")));
}

ExportValue ConvertCell(const QString& cell, const QString& typeText, bool toAccess, QChar decimalSeparator)
{
    if (cell.isEmpty() || cell == QLatin1String("(null)"))
        return {};
    const QString type = typeText.toLower();
    if (ContainsAny(type, { "real", "float", "int", "money", "decimal", "numeric" })) {
        QString number = cell;
        // The device writes numbers with the desktop's separator; SQL wants a point.
        if (decimalSeparator != u'.')
            number.replace(decimalSeparator, QLatin1Char('.'));
        return { ExportValue::Kind::Number, number };
    }
    if (toAccess && type.contains(QLatin1String("bit")))
        return { ExportValue::Kind::Number,
            cell == QLatin1String("true") ? QStringLiteral("1") : QStringLiteral("0") };
    QString text = WithCarriageReturns(cell);
    text.remove(QChar(u'\u0006'));
    return { ExportValue::Kind::Text, text };
}

QString Literal(const ExportValue& value)
{
    switch (value.kind) {
    case ExportValue::Kind::Null:
        return QStringLiteral("null");
    case ExportValue::Kind::Number:
        return value.text;
    case ExportValue::Kind::Text:
        break;
    }
    QString quoted = value.text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QVariant Binding(const ExportValue& value)
{
    if (value.kind == ExportValue::Kind::Null)
        return QVariant(QMetaType(QMetaType::QString));
    return value.text;
}

QString InsertStatement(const QString& head, const QVector<ExportValue>& values)
{
    QString sql = head;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            sql += QLatin1String(", ");
        sql += Literal(values[i]);
    }
    return sql + QLatin1Char(')');
}

QString StatementForEditing(const QString& sql)
{
    QString text = sql;
    text.replace(QLatin1String(","), QLatin1String(",\r\n    "));
    text.replace(QLatin1String(" VALUES"), QLatin1String("\r\nVALUES"));
    return text;
}

QString StatementFromEditing(const QString& text)
{
    QString sql = text;
    // An edit box may hand back bare line feeds.
    sql.replace(QLatin1String(",\r\n    "), QLatin1String(","));
    sql.replace(QLatin1String(",\n    "), QLatin1String(","));
    sql.replace(QLatin1String("\r\nVALUES"), QLatin1String(" VALUES"));
    sql.replace(QLatin1String("\nVALUES"), QLatin1String(" VALUES"));
    return sql;
}

QString Plural(int count)
{
    return count == 1 ? QString() : QStringLiteral("s");
}

QString TimeTakenText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    if (seconds < 60)
        return QStringLiteral("Time taken: %1s").arg(seconds);
    return QStringLiteral("Time taken: %1m %2s").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace dbexport
