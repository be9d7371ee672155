// The texts of an export: desktop field names and column types from the
// device's schema, the CREATE TABLE and INSERT statements, and each row
// value as a literal or as a bound value. The device's answers arrive with
// their transport codes already undone (exchange::SplitFields).
//
// Pure functions over the strings given; safe from any thread.
#pragma once

#include "desktop/link/QueryResult.h"

#include <QString>
#include <QStringList>
#include <QVariant>

namespace dbexport {

// A name whose lower-case form is one of "value", "private", "note",
// "encoding", "type", "text", "string" gets a leading "_"; others are kept.
QString SafeFieldName(const QString& name);
// The safe name as it goes into SQL: in double quotes when it holds a space.
QString QuotedFieldName(const QString& safeName);
// "[name]": table names always go in square brackets.
QString BracketedName(const QString& tableName);

// The desktop column type of a device type text ("int autoinc not null"):
// lower-cased, every "autoinc" removed, the device's default expression
// dropped (" default NEWID()" is the device engine's own SQL, which desktop
// databases refuse, and every exported row carries all its values anyway),
// then the first matching prefix rule applied (int, bigint, tinyint ->
// integer; uniqueidentifier -> varchar(40); real, money -> number for the
// file target; nvarchar -> varchar; ntext( and nchar( -> varchar(; ntext
// and nchar alone -> memo for the file target, else varchar(8000)).
// `note` (may be null) receives "T : Replaced "nchar" field with X." when
// the last rule applied, else stays untouched.
QString MapColumnType(const QString& typeText, const QString& tableName, bool toAccess, QString* note);

// "create table [T] (f1 type1, f2 type2)". `notes` (may be null) receives
// the log lines of renamed fields and replaced nchar columns, in order.
QString CreateTableStatement(const devlink::TableSchema& table, bool toAccess, QStringList* notes);

// "INSERT INTO [T] (f1, f2) VALUES (" with the safe field names.
QString InsertHead(const QString& tableName, const QStringList& columnNames);

// One row value, decided from the device's column type.
struct ExportValue {
    enum class Kind { Null, Number, Text };
    Kind kind = Kind::Null;
    QString text; // the number with a decimal point, or the text as stored

    bool operator==(const ExportValue&) const = default;
};

// The value of one cell: empty or "(null)" is null; a real, float, int,
// smallint, money, decimal or numeric column gives a number whose decimal
// separator (`decimalSeparator`, the one the device was told to use) becomes
// "."; a bit column on the file target gives 1 for "true", else 0; anything
// else is text, with a carriage return put before each lone line feed and
// the binary placeholder's mark removed.
ExportValue ConvertCell(const QString& cell, const QString& typeText, bool toAccess, QChar decimalSeparator);

// The value as a SQL literal: null, the number unquoted, or the text in
// single quotes with every "'" doubled.
QString Literal(const ExportValue& value);
// The value to bind to a prepared statement's placeholder.
QVariant Binding(const ExportValue& value);

// The INSERT statement of one row: the head, the literals joined by ", ", ")".
QString InsertStatement(const QString& head, const QVector<ExportValue>& values);

// The statement as the error dialog shows it for editing (each "," followed
// by a line break and four spaces, " VALUES" on a line of its own), and the
// edited text taken back (those breaks undone).
QString StatementForEditing(const QString& sql);
QString StatementFromEditing(const QString& text);

// "Done.  5 rows copied." style counts: "s" except for exactly one.
QString Plural(int count);

// "Time taken: 7s" under a minute, else "Time taken: 2m 05s".
QString TimeTakenText(qint64 milliseconds);

} // namespace dbexport
