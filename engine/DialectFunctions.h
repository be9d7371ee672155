// The SQL Server functions and operators of the dialect that SQLite lacks or
// does differently, registered on every connection under their own names (the
// statement translation passes date parts and types to them as texts).
#pragma once

#include "engine/DateTimeText.h"
#include "engine/FunctionSupport.h"

namespace engine::detail {

// Each returns an SQLite result code.
int RegisterDateFunctions(sqlite3* db); // dateadd datediff datepart datename year month day
int RegisterStringFunctions(sqlite3* db); // len substring charindex patindex left right ...
int RegisterNumericFunctions(sqlite3* db); // ceiling floor power sqrt sign round pi log ...
// qv_add(a, b, kinds) and qv_sub(a, b, kinds): + and - decided by the operand
// kinds (KindPair; Unknown ones by the values); qv_div(a, b) and qv_mod(a, b):
// / and % that fail on a zero divisor.
int RegisterOperatorFunctions(sqlite3* db);
// convert(type, value, style, kind): `type` as TypeText writes it, `style`
// null or a number, `kind` the value's ValueKind when the statement knows it.
int RegisterConvertFunction(sqlite3* db);

// A date-time from a value: a text in any form ParseDateStyle reads without a
// style, or a number of days from 1900-01-01 (fractions are parts of a day).
bool ToDate(sqlite3_value* value, DateTime& out);
void ResultDate(sqlite3_context* ctx, const DateTime& value);

} // namespace engine::detail
