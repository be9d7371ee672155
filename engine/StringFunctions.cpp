// LEN, DATALENGTH, SUBSTRING, CHARINDEX, PATINDEX, LEFT, RIGHT, REPLICATE,
// SPACE, STUFF, STR, NCHAR and ISNULL. Texts count UTF-16 code units, as the
// engine's nchar and nvarchar do; searches ignore ASCII case, as the engine's
// text comparisons do.
#include "engine/DialectFunctions.h"

#include "engine/EngineErrors.h"
#include "engine/FunctionSupport.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace engine::detail {

namespace {

// Units [begin, end) of the value (bytes of a blob), clamped to what it holds.
void ResultPart(sqlite3_context* ctx, sqlite3_value* v, std::int64_t begin, std::int64_t end)
{
    if (sqlite3_value_type(v) == SQLITE_BLOB) {
        const auto* bytes = static_cast<const char*>(sqlite3_value_blob(v));
        std::int64_t size = sqlite3_value_bytes(v);
        begin = std::clamp<std::int64_t>(begin, 0, size);
        end = std::clamp<std::int64_t>(end, begin, size);
        sqlite3_result_blob(ctx, bytes + begin, static_cast<int>(end - begin), SQLITE_TRANSIENT);
        return;
    }
    std::u16string_view text = TextArg(v);
    std::int64_t size = static_cast<std::int64_t>(text.size());
    begin = std::clamp<std::int64_t>(begin, 0, size);
    end = std::clamp<std::int64_t>(end, begin, size);
    ResultText(ctx, text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

void Len(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (type == SQLITE_BLOB)
        return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    std::u16string_view text = TextArg(argv[0]);
    std::size_t end = text.find_last_not_of(u' ');
    sqlite3_result_int64(ctx, end == std::u16string_view::npos ? 0 : static_cast<std::int64_t>(end + 1));
}

void DataLength(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL:
        return sqlite3_result_null(ctx);
    case SQLITE_BLOB:
        return sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    case SQLITE_TEXT:
        return sqlite3_result_int(ctx, sqlite3_value_bytes16(argv[0]));
    case SQLITE_INTEGER: {
        std::int64_t v = sqlite3_value_int64(argv[0]);
        return sqlite3_result_int(ctx, v >= INT32_MIN && v <= INT32_MAX ? 4 : 8);
    }
    default:
        return sqlite3_result_int(ctx, 8);
    }
}

void Substring(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    std::int64_t start = 0;
    std::int64_t length = 0;
    if (!IntegerArg(ctx, argv, 1, u"SUBSTRING", start) || !IntegerArg(ctx, argv, 2, u"SUBSTRING", length))
        return;
    if (length < 0)
        return RaiseError(ctx, InvalidArgument(3, u"SUBSTRING"));
    // A start before the first character still counts its length from there.
    // (Beyond 2^40 either way any text is passed, and nothing overflows.)
    const std::int64_t far = std::int64_t { 1 } << 40;
    std::int64_t begin = std::clamp(start, -far, far) - 1;
    ResultPart(ctx, argv[0], begin, begin + std::min(length, far));
}

void LeftOrRight(sqlite3_context* ctx, sqlite3_value** argv, bool left)
{
    if (AnyNull(2, argv))
        return sqlite3_result_null(ctx);
    std::int64_t n = 0;
    if (!IntegerArg(ctx, argv, 1, left ? u"LEFT" : u"RIGHT", n))
        return;
    if (n < 0)
        return RaiseError(ctx, InvalidArgument(2, left ? u"LEFT" : u"RIGHT"));
    std::int64_t size = sqlite3_value_type(argv[0]) == SQLITE_BLOB
        ? sqlite3_value_bytes(argv[0])
        : static_cast<std::int64_t>(TextArg(argv[0]).size());
    if (left)
        ResultPart(ctx, argv[0], 0, n);
    else
        ResultPart(ctx, argv[0], size - std::min(n, size), size);
}

void Left(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    LeftOrRight(ctx, argv, true);
}

void Right(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    LeftOrRight(ctx, argv, false);
}

void CharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    std::int64_t start = 1;
    if (argc == 3 && !IntegerArg(ctx, argv, 2, u"CHARINDEX", start))
        return;
    std::u16string find = UpperAscii(TextArg(argv[0]));
    std::u16string text = UpperAscii(TextArg(argv[1]));
    if (find.empty() || start > static_cast<std::int64_t>(text.size()))
        return sqlite3_result_int(ctx, 0);
    std::size_t at = text.find(find, static_cast<std::size_t>(std::max<std::int64_t>(start, 1) - 1));
    sqlite3_result_int64(ctx, at == std::u16string::npos ? 0 : static_cast<std::int64_t>(at) + 1);
}

// Whether the pattern element at p[at] (_, [abc], [^a-z] or a character)
// matches `c`; `length` is the element's length in the pattern.
bool ElementMatches(std::u16string_view p, std::size_t at, char16_t c, std::size_t& length)
{
    length = 1;
    if (p[at] == u'_')
        return true;
    std::size_t close = p[at] == u'[' ? p.find(u']', at + 2) : std::u16string_view::npos;
    if (close == std::u16string_view::npos)
        return p[at] == c;
    std::u16string_view set = p.substr(at + 1, close - at - 1);
    length = close - at + 1;
    bool negate = set.front() == u'^';
    if (negate)
        set.remove_prefix(1);
    bool in = false;
    for (std::size_t i = 0; i < set.size(); ++i) {
        if (i + 2 < set.size() && set[i + 1] == u'-') {
            in = in || (c >= set[i] && c <= set[i + 2]);
            i += 2;
        } else {
            in = in || set[i] == c;
        }
    }
    return in != negate;
}

// Whether the LIKE pattern `p` matches all of `t`. Only the latest % is
// backtracked to, which keeps the time at most length times length.
bool Matches(std::u16string_view p, std::u16string_view t)
{
    std::size_t pi = 0;
    std::size_t ti = 0;
    std::size_t starP = std::u16string_view::npos;
    std::size_t starT = 0;
    while (ti < t.size()) {
        std::size_t length = 0;
        if (pi < p.size() && p[pi] == u'%') {
            starP = ++pi;
            starT = ti;
        } else if (pi < p.size() && ElementMatches(p, pi, t[ti], length)) {
            pi += length;
            ++ti;
        } else if (starP != std::u16string_view::npos) {
            pi = starP;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == u'%')
        ++pi;
    return pi == p.size();
}

void PatIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    std::u16string pattern = UpperAscii(TextArg(argv[0]));
    std::u16string text = UpperAscii(TextArg(argv[1]));
    // A leading % lets the match start anywhere; the rest of the pattern must
    // then match from that start (a trailing % takes what follows).
    std::u16string_view rest = pattern;
    bool anywhere = false;
    while (!rest.empty() && rest.front() == u'%') {
        rest.remove_prefix(1);
        anywhere = true;
    }
    if (rest.empty())
        return sqlite3_result_int(ctx, anywhere && !text.empty() ? 1 : 0);
    std::size_t last = anywhere ? text.size() : 0;
    for (std::size_t i = 0; i <= last; ++i) {
        if (Matches(rest, std::u16string_view(text).substr(i)))
            return sqlite3_result_int64(ctx, static_cast<std::int64_t>(i) + 1);
    }
    sqlite3_result_int(ctx, 0);
}

void Repeat(sqlite3_context* ctx, std::u16string_view unit, std::int64_t count)
{
    if (count < 0)
        return sqlite3_result_null(ctx);
    // A result beyond the connection's length limit fails as SQLite's own do.
    const std::int64_t limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1) / 2;
    if (!unit.empty() && count > limit / static_cast<std::int64_t>(unit.size()))
        return sqlite3_result_error_toobig(ctx);
    std::u16string out;
    out.reserve(static_cast<std::size_t>(count) * unit.size());
    for (std::int64_t i = 0; i < count; ++i)
        out += unit;
    ResultText(ctx, out);
}

void Replicate(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::int64_t count = 0;
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    if (IntegerArg(ctx, argv, 1, u"REPLICATE", count))
        Repeat(ctx, TextArg(argv[0]), count);
}

void Space(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    std::int64_t count = 0;
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    if (IntegerArg(ctx, argv, 0, u"SPACE", count))
        Repeat(ctx, u" ", count);
}

void Stuff(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (AnyNull(3, argv))
        return sqlite3_result_null(ctx);
    std::int64_t start = 0;
    std::int64_t length = 0;
    if (!IntegerArg(ctx, argv, 1, u"STUFF", start) || !IntegerArg(ctx, argv, 2, u"STUFF", length))
        return;
    std::u16string text(TextArg(argv[0]));
    std::int64_t size = static_cast<std::int64_t>(text.size());
    if (start < 1 || start > size || length < 0)
        return sqlite3_result_null(ctx);
    std::size_t at = static_cast<std::size_t>(start - 1);
    text.replace(at, static_cast<std::size_t>(std::min(length, size - (start - 1))), TextArg(argv[3]));
    ResultText(ctx, text);
}

// STR(number [, length [, decimals]]): right-aligned in `length` characters,
// with fewer decimals when they do not fit, and asterisks when the whole part does not.
void Str(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (AnyNull(argc, argv))
        return sqlite3_result_null(ctx);
    NumberValue n;
    if (!ToNumber(argv[0], n))
        return RaiseError(ctx, ConversionFailed(TextArg(argv[0]), u"float"));
    std::int64_t length = 10;
    std::int64_t decimals = 0;
    if (argc > 1 && !IntegerArg(ctx, argv, 1, u"STR", length))
        return;
    if (argc > 2 && !IntegerArg(ctx, argv, 2, u"STR", decimals))
        return;
    if (length < 1 || length > 8000 || decimals < 0)
        return sqlite3_result_null(ctx);
    decimals = std::min<std::int64_t>(decimals, 16);
    for (std::int64_t d = decimals; d >= 0; --d) {
        // Halves round away from zero (printf would round them to even).
        long double scale = std::pow(10.0L, static_cast<long double>(d));
        double rounded = static_cast<double>(std::round(n.AsReal() * scale) / scale);
        char buf[400];
        int written = std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(d), rounded);
        if (written > 0 && written <= length)
            return ResultText(ctx, std::string(static_cast<std::size_t>(length - written), ' ') + buf);
    }
    ResultText(ctx, std::string(static_cast<std::size_t>(length), '*'));
}

void NChar(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    NumberValue n;
    if (!ToNumber(argv[0], n) || !n.whole || n.integer < 0 || n.integer > 0xFFFF)
        return sqlite3_result_null(ctx);
    char16_t c = static_cast<char16_t>(n.integer);
    ResultText(ctx, std::u16string_view(&c, 1));
}

void IsNull(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

} // namespace

int RegisterStringFunctions(sqlite3* db)
{
    const SqlFunction functions[] = {
        { "len", 1, Len },
        { "datalength", 1, DataLength },
        { "substring", 3, Substring },
        { "left", 2, Left },
        { "right", 2, Right },
        { "charindex", 2, CharIndex },
        { "charindex", 3, CharIndex },
        { "patindex", 2, PatIndex },
        { "replicate", 2, Replicate },
        { "space", 1, Space },
        { "stuff", 4, Stuff },
        { "str", 1, Str },
        { "str", 2, Str },
        { "str", 3, Str },
        { "nchar", 1, NChar },
        { "isnull", 2, IsNull },
    };
    return RegisterAll(db, functions);
}

} // namespace engine::detail
