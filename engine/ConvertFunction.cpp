// CONVERT(type, value [, style]) and CAST(value AS type): a value becomes a
// value of one of the engine's types, as SQL Server converts it.
#include "engine/DialectFunctions.h"

#include "engine/DateMath.h"
#include "engine/DateStyles.h"
#include "engine/EngineErrors.h"
#include "engine/FunctionSupport.h"
#include "engine/GuidText.h"
#include "engine/SqlTypes.h"
#include "engine/ValueKinds.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace engine::detail {

namespace {

struct Request {
    sqlite3_context* ctx;
    sqlite3_value* value;
    SqlType type;
    int style; // kNoStyle when none was given
    ValueKind kind; // what the statement knows of the value
};

std::u16string TypeLabel(const Request& r)
{
    return std::u16string(TypeName(r.type.type));
}

void Fail(const Request& r)
{
    RaiseError(r.ctx, ConversionFailed(TextArg(r.value), TypeLabel(r)));
}

// A number's text: whole numbers in full, others with up to 15 significant digits.
std::string NumberText(const NumberValue& n)
{
    if (n.whole)
        return std::to_string(n.integer);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", n.real);
    return buf;
}

// The value as a date-time when it is one: a known date-time, or an unknown
// text that reads as one when a style asks for date formatting.
bool ReadsAsDate(const Request& r, DateTime& date)
{
    if (r.kind == ValueKind::Date)
        return ToDate(r.value, date);
    return r.kind == ValueKind::Unknown && r.style != kNoStyle && sqlite3_value_type(r.value) == SQLITE_TEXT
        && ToDate(r.value, date);
}

void ToText(const Request& r)
{
    std::u16string text;
    DateTime date;
    NumberValue number;
    int type = sqlite3_value_type(r.value);
    if (ReadsAsDate(r, date)) {
        if (!FormatDateStyle(date, r.style == kNoStyle ? 0 : r.style, text))
            return RaiseError(r.ctx, InvalidArgument(3, u"CONVERT"));
    } else if (r.kind == ValueKind::Date) {
        return RaiseError(r.ctx, ConversionFailed(TextArg(r.value), u"datetime"));
    } else if (r.kind == ValueKind::Bit && type == SQLITE_TEXT) {
        bool b = false;
        if (!ParseBit(TextArg(r.value), b))
            return Fail(r);
        text = b ? u"1" : u"0";
    } else if (type == SQLITE_BLOB) {
        // The bytes are the text's UTF-16 code units.
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(r.value));
        int size = sqlite3_value_bytes(r.value);
        for (int i = 0; i + 1 < size; i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    } else if (type != SQLITE_TEXT && ToNumber(r.value, number)) {
        std::string digits = NumberText(number);
        text.assign(digits.begin(), digits.end());
    } else {
        text = TextArg(r.value);
    }
    if (r.type.type == EngineType::NVarChar && text.size() > r.type.length)
        text.resize(r.type.length);
    if (r.type.type == EngineType::NChar)
        text.resize(r.type.length, u' ');
    ResultText(r.ctx, text);
}

void ToDateTime(const Request& r)
{
    DateTime date;
    bool ok = sqlite3_value_type(r.value) == SQLITE_TEXT ? ParseDateStyle(TextArg(r.value), r.style, date)
                                                         : ToDate(r.value, date);
    if (!ok)
        return RaiseError(r.ctx, ConversionFailed(TextArg(r.value), u"datetime"));
    ResultDate(r.ctx, date);
}

// The value as a number for the numeric types; a date-time counts days from
// 1900-01-01, a bit is 1 or 0, bytes are a big-endian whole number.
bool NumberOf(const Request& r, NumberValue& out)
{
    int type = sqlite3_value_type(r.value);
    DateTime date;
    if (r.kind == ValueKind::Date) {
        if (!ToDate(r.value, date))
            return false;
        out = NumberValue { false, 0, static_cast<double>(ToOffset(date)) / static_cast<double>(kMsPerDay) };
        return true;
    }
    if (type == SQLITE_TEXT && r.kind == ValueKind::Bit) {
        bool b = false;
        if (!ParseBit(TextArg(r.value), b))
            return false;
        out = NumberValue { true, b ? 1 : 0, 0 };
        return true;
    }
    if (type == SQLITE_BLOB) {
        const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(r.value));
        int size = sqlite3_value_bytes(r.value);
        std::uint64_t v = 0;
        for (int i = size > 8 ? size - 8 : 0; i < size; ++i)
            v = (v << 8) | bytes[i];
        out = NumberValue { true, static_cast<std::int64_t>(v), 0 };
        return true;
    }
    return ToNumber(r.value, out);
}

void ToWholeNumber(const Request& r)
{
    NumberValue n;
    if (!NumberOf(r, n))
        return Fail(r);
    if (!n.whole) {
        // A date-time rounds to the nearest day; other reals are cut toward zero.
        double v = r.kind == ValueKind::Date ? std::floor(n.real + 0.5) : std::trunc(n.real);
        if (!(std::fabs(v) < 9.2e18))
            return RaiseError(r.ctx, Overflow(TypeLabel(r)));
        if (sqlite3_value_type(r.value) == SQLITE_TEXT && r.kind != ValueKind::Date)
            return Fail(r); // '1.5' is not a whole number
        n = NumberValue { true, static_cast<std::int64_t>(v), 0 };
    }
    std::int64_t lo = std::numeric_limits<std::int64_t>::min();
    std::int64_t hi = std::numeric_limits<std::int64_t>::max();
    if (r.type.type == EngineType::Int) {
        lo = std::numeric_limits<std::int32_t>::min();
        hi = std::numeric_limits<std::int32_t>::max();
    } else if (r.type.type == EngineType::SmallInt) {
        lo = -32768;
        hi = 32767;
    } else if (r.type.type == EngineType::TinyInt) {
        lo = 0;
        hi = 255;
    }
    if (n.integer < lo || n.integer > hi)
        return RaiseError(r.ctx, Overflow(TypeLabel(r)));
    sqlite3_result_int64(r.ctx, n.integer);
}

void ToRealNumber(const Request& r)
{
    NumberValue n;
    if (!NumberOf(r, n))
        return Fail(r);
    double v = n.AsReal();
    if (r.type.type == EngineType::Real)
        v = static_cast<float>(v);
    if (!std::isfinite(v))
        return RaiseError(r.ctx, Overflow(TypeLabel(r)));
    sqlite3_result_double(r.ctx, v);
}

// money and numeric(p, s): rounded to their scale, within their precision.
void ToScaledNumber(const Request& r)
{
    NumberValue n;
    if (!NumberOf(r, n))
        return Fail(r);
    int scale = r.type.type == EngineType::Money ? 4 : r.type.scale;
    int digits = r.type.type == EngineType::Money ? 15 : r.type.precision - r.type.scale;
    long double v = n.AsReal();
    long double factor = std::pow(10.0L, scale);
    v = std::round(v * factor) / factor;
    if (!(std::fabs(v) < std::pow(10.0L, digits)))
        return RaiseError(r.ctx, Overflow(TypeLabel(r)));
    if (scale == 0 && n.whole)
        return sqlite3_result_int64(r.ctx, n.integer);
    sqlite3_result_double(r.ctx, static_cast<double>(v));
}

void ToBit(const Request& r)
{
    NumberValue n;
    bool b = false;
    if (sqlite3_value_type(r.value) == SQLITE_TEXT && ParseBit(TextArg(r.value), b))
        return sqlite3_result_int(r.ctx, b ? 1 : 0);
    if (!NumberOf(r, n))
        return Fail(r);
    sqlite3_result_int(r.ctx, n.AsReal() != 0 ? 1 : 0);
}

void ToGuid(const Request& r)
{
    GuidBytes g {};
    int type = sqlite3_value_type(r.value);
    if (type == SQLITE_BLOB && sqlite3_value_bytes(r.value) == 16)
        std::memcpy(g.data(), sqlite3_value_blob(r.value), 16);
    else if (type != SQLITE_TEXT || !ParseGuid(TextArg(r.value), g))
        return Fail(r);
    ResultText(r.ctx, FormatGuid(g));
}

void ToBytes(const Request& r)
{
    std::string bytes;
    NumberValue n;
    int type = sqlite3_value_type(r.value);
    bool number = false;
    if (type == SQLITE_BLOB) {
        bytes.assign(static_cast<const char*>(sqlite3_value_blob(r.value)),
            static_cast<std::size_t>(sqlite3_value_bytes(r.value)));
    } else if (type == SQLITE_TEXT) {
        for (char16_t c : TextArg(r.value)) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
    } else if (ToNumber(r.value, n) && n.whole) {
        // Whole numbers big-endian, in four bytes when they fit an int.
        int width = n.integer >= std::numeric_limits<std::int32_t>::min()
                && n.integer <= std::numeric_limits<std::int32_t>::max()
            ? 4
            : 8;
        for (int i = width - 1; i >= 0; --i)
            bytes.push_back(static_cast<char>((static_cast<std::uint64_t>(n.integer) >> (8 * i)) & 0xFF));
        number = true;
    } else {
        return Fail(r);
    }
    // A rowversion is a binary(8). A number is cut or padded on its high side, other bytes at their end.
    const std::size_t length = r.type.type == EngineType::RowVersion ? 8 : r.type.length;
    const bool fixed = r.type.type == EngineType::Binary || r.type.type == EngineType::RowVersion;
    if (r.type.type != EngineType::Image && bytes.size() > length)
        bytes.erase(number ? 0 : length, bytes.size() - length);
    if (fixed && bytes.size() < length)
        bytes.insert(number ? 0 : bytes.size(), length - bytes.size(), '\0');
    sqlite3_result_blob(r.ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

void Convert(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    Request r { ctx, argv[1], {}, kNoStyle, ValueKind::Unknown };
    // The type text is the same on every row: it is parsed once per statement.
    if (const auto* cached = static_cast<const SqlType*>(sqlite3_get_auxdata(ctx, 0))) {
        r.type = *cached;
    } else {
        if (!ParseSqliteDeclaration(TextArg(argv[0]), r.type))
            return RaiseError(ctx, InvalidDataType(TextArg(argv[0])));
        sqlite3_set_auxdata(ctx, 0, new SqlType(r.type), [](void* p) { delete static_cast<SqlType*>(p); });
    }
    if (sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        std::int64_t style = 0;
        if (!IntegerArg(ctx, argv, 2, u"CONVERT", style))
            return;
        r.style = style < 0 || style > 1000 ? 1000 : static_cast<int>(style);
    }
    int kind = sqlite3_value_int(argv[3]);
    if (kind > 0 && kind < kValueKinds)
        r.kind = static_cast<ValueKind>(kind);
    switch (r.type.type) {
    case EngineType::NChar:
    case EngineType::NVarChar:
    case EngineType::NText:
        return ToText(r);
    case EngineType::DateTime:
        return ToDateTime(r);
    case EngineType::Int:
    case EngineType::SmallInt:
    case EngineType::TinyInt:
    case EngineType::BigInt:
        return ToWholeNumber(r);
    case EngineType::Real:
    case EngineType::Float:
        return ToRealNumber(r);
    case EngineType::Money:
    case EngineType::Numeric:
        return ToScaledNumber(r);
    case EngineType::Bit:
        return ToBit(r);
    case EngineType::UniqueIdentifier:
        return ToGuid(r);
    case EngineType::Binary:
    case EngineType::VarBinary:
    case EngineType::Image:
    case EngineType::RowVersion:
        return ToBytes(r);
    }
    Fail(r);
}

} // namespace

int RegisterConvertFunction(sqlite3* db)
{
    const SqlFunction functions[] = { { "convert", 4, Convert } };
    return RegisterAll(db, functions);
}

} // namespace engine::detail
