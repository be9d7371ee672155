// + and - of the dialect where the statement does not fix both operand types
// (the kinds it knows come in the third argument, the values decide the
// rest), and / and % that refuse a zero divisor.
#include "engine/DialectFunctions.h"

#include "engine/DateMath.h"
#include "engine/EngineErrors.h"
#include "engine/FunctionSupport.h"
#include "engine/GuidText.h"
#include "engine/ValueKinds.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <string>

namespace engine::detail {

namespace {

ValueKind KindOfValue(sqlite3_value* v, ValueKind known)
{
    int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL)
        return ValueKind::Null;
    // A kind known from the statement holds for its values; a null literal's
    // kind says nothing of the value ISNULL or COALESCE put in its place.
    if (known != ValueKind::Unknown && known != ValueKind::Null)
        return known;
    switch (type) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return ValueKind::Number;
    case SQLITE_BLOB:
        return ValueKind::Binary;
    default:
        return ValueKind::Text;
    }
}

std::u16string_view NumberTypeName(sqlite3_value* v)
{
    return sqlite3_value_type(v) == SQLITE_FLOAT ? u"float" : u"int";
}

// An operand of a numeric + or -; a text must be a number, a bit 1 or 0.
bool Operand(sqlite3_value* v, ValueKind kind, NumberValue& out)
{
    if (kind == ValueKind::Bit && sqlite3_value_type(v) == SQLITE_TEXT) {
        bool b = false;
        if (!ParseBit(TextArg(v), b))
            return false;
        out = NumberValue { true, b ? 1 : 0, 0 };
        return true;
    }
    return ToNumber(v, out);
}

void AddNumbers(sqlite3_context* ctx, sqlite3_value** argv, const ValueKind kinds[2], bool subtract)
{
    NumberValue n[2];
    for (int i = 0; i < 2; ++i) {
        if (!Operand(argv[i], kinds[i], n[i]))
            return RaiseError(ctx, ConversionFailed(TextArg(argv[i]), NumberTypeName(argv[1 - i])));
    }
    NumberValue result;
    if (n[0].whole && n[1].whole) {
        bool overflow = subtract ? __builtin_sub_overflow(n[0].integer, n[1].integer, &result.integer)
                                 : __builtin_add_overflow(n[0].integer, n[1].integer, &result.integer);
        if (!overflow)
            return ResultNumber(ctx, result);
    }
    // As SQLite's own arithmetic: beyond 64 bits a whole number becomes a real.
    result.whole = false;
    result.real = subtract ? n[0].AsReal() - n[1].AsReal() : n[0].AsReal() + n[1].AsReal();
    ResultNumber(ctx, result);
}

// An operand of date arithmetic as milliseconds from 1900-01-01; numbers count days.
bool Offset(sqlite3_value* v, ValueKind kind, std::int64_t& out)
{
    if (kind == ValueKind::Number || kind == ValueKind::Bit) {
        NumberValue n;
        if (!Operand(v, kind, n) || !(std::fabs(n.AsReal()) < 4.0e6))
            return false;
        out = std::llround(n.AsReal() * static_cast<double>(kMsPerDay));
        return true;
    }
    DateTime d;
    if (!ToDate(v, d))
        return false;
    out = ToOffset(d);
    return true;
}

void DateArithmetic(sqlite3_context* ctx, sqlite3_value** argv, const ValueKind kinds[2], bool subtract)
{
    std::int64_t offsets[2] = { 0, 0 };
    for (int i = 0; i < 2; ++i) {
        if (!Offset(argv[i], kinds[i], offsets[i]))
            return RaiseError(ctx,
                ConversionFailed(TextArg(argv[i]), kinds[i] == ValueKind::Number ? u"int" : u"datetime"));
    }
    DateTime result;
    if (!FromOffset(subtract ? offsets[0] - offsets[1] : offsets[0] + offsets[1], result))
        return RaiseError(ctx, Overflow(u"datetime"));
    ResultDate(ctx, result);
}

void JoinTexts(sqlite3_context* ctx, sqlite3_value** argv)
{
    std::u16string text(TextArg(argv[0]));
    text += TextArg(argv[1]);
    ResultText(ctx, text);
}

void JoinBytes(sqlite3_context* ctx, sqlite3_value** argv)
{
    std::string bytes(static_cast<const char*>(sqlite3_value_blob(argv[0])),
        static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
    const void* second = sqlite3_value_blob(argv[1]);
    bytes.append(static_cast<const char*>(second), static_cast<std::size_t>(sqlite3_value_bytes(argv[1])));
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

// A text of a kind the statement did not give, next to a number: a number
// when it reads as one, else a date-time when it reads as one (the column of
// a subquery or view loses its date-time type on the way).
void ReadUnknownText(sqlite3_value* v, ValueKind& kind)
{
    NumberValue n;
    DateTime d;
    if (!ToNumber(v, n) && ToDate(v, d))
        kind = ValueKind::Date;
}

void Calculate(sqlite3_context* ctx, sqlite3_value** argv, bool subtract)
{
    int pair = sqlite3_value_int(argv[2]);
    if (pair < 0 || pair >= kValueKinds * kValueKinds)
        pair = 0;
    const ValueKind known[2]
        = { static_cast<ValueKind>(pair / kValueKinds), static_cast<ValueKind>(pair % kValueKinds) };
    ValueKind kinds[2] = { KindOfValue(argv[0], known[0]), KindOfValue(argv[1], known[1]) };
    for (int i = 0; i < 2; ++i) {
        if (known[i] == ValueKind::Unknown && kinds[i] == ValueKind::Text
            && kinds[1 - i] == ValueKind::Number)
            ReadUnknownText(argv[i], kinds[i]);
    }
    switch (Arithmetic(kinds[0], kinds[1], subtract)) {
    case Operation::Null:
        return sqlite3_result_null(ctx);
    case Operation::AddNumbers:
        return AddNumbers(ctx, argv, kinds, subtract);
    case Operation::JoinTexts:
        return JoinTexts(ctx, argv);
    case Operation::JoinBytes:
        return JoinBytes(ctx, argv);
    case Operation::DateArithmetic:
        return DateArithmetic(ctx, argv, kinds, subtract);
    case Operation::Invalid:
        break;
    }
    RaiseError(ctx, InvalidOperands(subtract ? u"-" : u"+", KindTypeName(kinds[0]), KindTypeName(kinds[1])));
}

// / and % as SQLite computes them (whole numbers stay whole), but a zero
// divisor fails the statement instead of giving null.
void Divide(sqlite3_context* ctx, sqlite3_value** argv, bool remainder)
{
    if (AnyNull(2, argv))
        return sqlite3_result_null(ctx);
    NumberValue n[2];
    for (int i = 0; i < 2; ++i) {
        if (!ToNumber(argv[i], n[i]))
            return RaiseError(ctx, ConversionFailed(TextArg(argv[i]), NumberTypeName(argv[1 - i])));
    }
    if (n[1].AsReal() == 0)
        return RaiseError(ctx, DivisionByZero());
    if (n[0].whole && n[1].whole && !(n[0].integer == INT64_MIN && n[1].integer == -1))
        return sqlite3_result_int64(
            ctx, remainder ? n[0].integer % n[1].integer : n[0].integer / n[1].integer);
    double a = n[0].AsReal();
    double b = n[1].AsReal();
    sqlite3_result_double(ctx, remainder ? std::fmod(a, b) : a / b);
}

void Add(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Calculate(ctx, argv, false);
}

void Subtract(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Calculate(ctx, argv, true);
}

} // namespace

int RegisterOperatorFunctions(sqlite3* db)
{
    const SqlFunction functions[] = {
        { "qv_add", 3, Add },
        { "qv_sub", 3, Subtract },
        { "qv_div", 2, [](sqlite3_context* ctx, int, sqlite3_value** argv) { Divide(ctx, argv, false); } },
        { "qv_mod", 2, [](sqlite3_context* ctx, int, sqlite3_value** argv) { Divide(ctx, argv, true); } },
    };
    return RegisterAll(db, functions);
}

} // namespace engine::detail
