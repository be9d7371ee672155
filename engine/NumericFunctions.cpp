// The dialect's numeric functions that SQLite lacks (or has otherwise):
// CEILING, FLOOR, SIGN, ROUND with its length, POWER, SQUARE, SQRT, PI, EXP,
// LOG, LOG10, the trigonometric functions, DEGREES and RADIANS. Whole numbers
// stay whole where SQL Server keeps the argument's type.
#include "engine/DialectFunctions.h"

#include "engine/EngineErrors.h"
#include "engine/FunctionSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace engine::detail {

namespace {

// The numbers of all arguments. False when the call is answered already: with
// null for a null argument, or with a failure for one that is no number.
bool NumberArgs(sqlite3_context* ctx, int argc, sqlite3_value** argv, NumberValue* out)
{
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return false;
    }
    for (int i = 0; i < argc; ++i) {
        if (!ToNumber(argv[i], out[i])) {
            RaiseError(ctx, ConversionFailed(TextArg(argv[i]), u"float"));
            return false;
        }
    }
    return true;
}

void ResultReal(sqlite3_context* ctx, double v, const char16_t* function)
{
    if (!std::isfinite(v))
        return RaiseError(ctx, InvalidFloatOperation(function));
    sqlite3_result_double(ctx, v);
}

template <double (*Op)(double)> void WholeOrReal(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue n;
    if (!NumberArgs(ctx, argc, argv, &n))
        return;
    if (n.whole)
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(Op(static_cast<double>(n.integer))));
    sqlite3_result_double(ctx, Op(n.real));
}

double Sign(double v)
{
    return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0);
}

void SignOf(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue n;
    if (!NumberArgs(ctx, argc, argv, &n))
        return;
    if (n.whole)
        return sqlite3_result_int(ctx, n.integer > 0 ? 1 : (n.integer < 0 ? -1 : 0));
    sqlite3_result_double(ctx, Sign(n.real));
}

// A real function of one argument, with the range it is defined on.
template <double (*Op)(double), const char16_t* Name, bool (*InDomain)(double)>
void RealFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue n;
    if (!NumberArgs(ctx, argc, argv, &n))
        return;
    if (!InDomain(n.AsReal()))
        return RaiseError(ctx, InvalidFloatOperation(Name));
    ResultReal(ctx, Op(n.AsReal()), Name);
}

bool Any(double)
{
    return true;
}
bool Positive(double v)
{
    return v > 0;
}
bool NotNegative(double v)
{
    return v >= 0;
}
bool UnitRange(double v)
{
    return v >= -1 && v <= 1;
}
bool NotZero(double v)
{
    return v != 0;
}

double Cot(double v)
{
    return 1 / std::tan(v);
}
double Degrees(double v)
{
    return v * 180 / std::numbers::pi;
}
double Radians(double v)
{
    return v * std::numbers::pi / 180;
}
double Square(double v)
{
    return v * v;
}
double Ln(double v)
{
    return std::log(v);
}
double Log10(double v)
{
    return std::log10(v);
}
double Exp(double v)
{
    return std::exp(v);
}
double Sqrt(double v)
{
    return std::sqrt(v);
}
double Sin(double v)
{
    return std::sin(v);
}
double Cos(double v)
{
    return std::cos(v);
}
double Tan(double v)
{
    return std::tan(v);
}
double Asin(double v)
{
    return std::asin(v);
}
double Acos(double v)
{
    return std::acos(v);
}
double Atan(double v)
{
    return std::atan(v);
}
double Ceil(double v)
{
    return std::ceil(v);
}
double Floor(double v)
{
    return std::floor(v);
}

constexpr char16_t kLog[] = u"LOG";
constexpr char16_t kLog10[] = u"LOG10";
constexpr char16_t kExp[] = u"EXP";
constexpr char16_t kSqrt[] = u"SQRT";
constexpr char16_t kSquare[] = u"SQUARE";
constexpr char16_t kSin[] = u"SIN";
constexpr char16_t kCos[] = u"COS";
constexpr char16_t kTan[] = u"TAN";
constexpr char16_t kCot[] = u"COT";
constexpr char16_t kAsin[] = u"ASIN";
constexpr char16_t kAcos[] = u"ACOS";
constexpr char16_t kAtan[] = u"ATAN";
constexpr char16_t kDegrees[] = u"DEGREES";
constexpr char16_t kRadians[] = u"RADIANS";

void LogWithBase(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue n[2]; // x, base
    if (!NumberArgs(ctx, argc, argv, n))
        return;
    if (n[0].AsReal() <= 0 || n[1].AsReal() <= 0 || n[1].AsReal() == 1)
        return RaiseError(ctx, InvalidFloatOperation(kLog));
    ResultReal(ctx, std::log(n[0].AsReal()) / std::log(n[1].AsReal()), kLog);
}

void Atn2(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue n[2]; // y, x
    if (NumberArgs(ctx, argc, argv, n))
        ResultReal(ctx, std::atan2(n[0].AsReal(), n[1].AsReal()), u"ATN2");
}

void Pi(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_double(ctx, std::numbers::pi);
}

// POWER keeps the type of its first argument: a whole number stays whole,
// cut toward zero (POWER(2, -1) = 0).
void Power(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue n[2]; // x, y
    if (!NumberArgs(ctx, argc, argv, n))
        return;
    double v = std::pow(n[0].AsReal(), n[1].AsReal());
    if (!std::isfinite(v))
        return RaiseError(ctx, InvalidFloatOperation(u"POWER"));
    if (n[0].whole && std::fabs(v) < 9.2e18)
        return sqlite3_result_int64(ctx, static_cast<std::int64_t>(std::trunc(v)));
    sqlite3_result_double(ctx, v);
}

// ROUND(x, length [, function]): a negative length rounds left of the point;
// a function other than 0 cuts instead of rounding.
void Round(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    NumberValue x;
    std::int64_t length = 0;
    std::int64_t cut = 0;
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    if (!NumberArgs(ctx, 1, argv, &x) || !IntegerArg(ctx, argv, 1, u"ROUND", length))
        return;
    if (argc == 3 && !IntegerArg(ctx, argv, 2, u"ROUND", cut))
        return;
    if (x.whole) {
        if (length >= 0)
            return sqlite3_result_int64(ctx, x.integer);
        if (length < -18)
            return sqlite3_result_int(ctx, 0);
        std::int64_t unit = 1;
        for (std::int64_t i = 0; i < -length; ++i)
            unit *= 10;
        std::int64_t kept = x.integer / unit * unit;
        std::int64_t rest = x.integer - kept;
        if (!cut && (rest >= unit / 2 || rest <= -unit / 2)) {
            std::int64_t step = rest > 0 ? unit : -unit;
            if (__builtin_add_overflow(kept, step, &kept))
                return RaiseError(ctx, Overflow(u"bigint"));
        }
        return sqlite3_result_int64(ctx, kept);
    }
    long double factor
        = std::pow(10.0L, static_cast<long double>(std::clamp<std::int64_t>(length, -308, 308)));
    long double scaled = static_cast<long double>(x.real) * factor;
    scaled = cut ? std::trunc(scaled) : std::round(scaled);
    ResultReal(ctx, static_cast<double>(scaled / factor), u"ROUND");
}

} // namespace

int RegisterNumericFunctions(sqlite3* db)
{
    const SqlFunction functions[] = {
        { "ceiling", 1, WholeOrReal<Ceil> },
        { "floor", 1, WholeOrReal<Floor> },
        { "sign", 1, SignOf },
        { "round", 2, Round },
        { "round", 3, Round },
        { "power", 2, Power },
        { "pi", 0, Pi },
        { "square", 1, RealFunction<Square, kSquare, Any> },
        { "sqrt", 1, RealFunction<Sqrt, kSqrt, NotNegative> },
        { "exp", 1, RealFunction<Exp, kExp, Any> },
        { "log", 1, RealFunction<Ln, kLog, Positive> },
        { "log", 2, LogWithBase },
        { "log10", 1, RealFunction<Log10, kLog10, Positive> },
        { "sin", 1, RealFunction<Sin, kSin, Any> },
        { "cos", 1, RealFunction<Cos, kCos, Any> },
        { "tan", 1, RealFunction<Tan, kTan, Any> },
        { "cot", 1, RealFunction<Cot, kCot, NotZero> },
        { "asin", 1, RealFunction<Asin, kAsin, UnitRange> },
        { "acos", 1, RealFunction<Acos, kAcos, UnitRange> },
        { "atan", 1, RealFunction<Atan, kAtan, Any> },
        { "atn2", 2, Atn2 },
        { "degrees", 1, RealFunction<Degrees, kDegrees, Any> },
        { "radians", 1, RealFunction<Radians, kRadians, Any> },
    };
    return RegisterAll(db, functions);
}

} // namespace engine::detail
