#include "engine/FunctionSupport.h"

#include "engine/EngineErrors.h"
#include "engine/Utf.h"

#include <sqlite3.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace engine::detail {

namespace {

// The record a function raised, kept until the provider turns SQLite's
// failure into an error record (on the same thread, right after the step).
thread_local std::optional<ErrorRecord> t_raised;
thread_local std::string t_raisedMessage;

bool IsSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

} // namespace

int RegisterAll(sqlite3* db, std::span<const SqlFunction> functions, void* userData)
{
    for (const auto& f : functions) {
        int rc = sqlite3_create_function(
            db, f.name, f.args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, userData, f.call, nullptr, nullptr);
        if (rc != SQLITE_OK)
            return rc;
    }
    return SQLITE_OK;
}

std::u16string_view TextArg(sqlite3_value* v)
{
    const void* p = sqlite3_value_text16(v);
    int n = sqlite3_value_bytes16(v);
    return p ? std::u16string_view(static_cast<const char16_t*>(p), static_cast<std::size_t>(n) / 2)
             : std::u16string_view();
}

bool AnyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i) {
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    }
    return false;
}

void ResultText(sqlite3_context* ctx, std::u16string_view text)
{
    sqlite3_result_text16(ctx, text.data(), static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
}

void ResultText(sqlite3_context* ctx, const std::string& utf8)
{
    sqlite3_result_text(ctx, utf8.c_str(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

bool ParseNumber(std::u16string_view text, NumberValue& out)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    if (begin == end || end - begin > 400)
        return false;
    std::string ascii;
    bool whole = true;
    bool digits = false;
    for (std::size_t i = begin; i < end; ++i) {
        char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits = true;
        } else if (c == u'.' || c == u'e' || c == u'E') {
            whole = false;
        } else if (c != u'+' && c != u'-') {
            return false;
        }
        ascii.push_back(static_cast<char>(c));
    }
    if (!digits)
        return false;
    char* stop = nullptr;
    errno = 0;
    if (whole) {
        long long v = std::strtoll(ascii.c_str(), &stop, 10);
        if (*stop == '\0' && errno == 0) {
            out = NumberValue { true, v, 0 };
            return true;
        }
    }
    errno = 0;
    double d = std::strtod(ascii.c_str(), &stop);
    if (*stop != '\0' || !std::isfinite(d))
        return false;
    out = NumberValue { false, 0, d };
    return true;
}

bool ToNumber(sqlite3_value* v, NumberValue& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        out = NumberValue { true, sqlite3_value_int64(v), 0 };
        return true;
    case SQLITE_FLOAT:
        out = NumberValue { false, 0, sqlite3_value_double(v) };
        return true;
    case SQLITE_TEXT:
        return ParseNumber(TextArg(v), out);
    default:
        return false;
    }
}

void ResultNumber(sqlite3_context* ctx, const NumberValue& number)
{
    if (number.whole)
        sqlite3_result_int64(ctx, number.integer);
    else
        sqlite3_result_double(ctx, number.real);
}

bool IntegerArg(
    sqlite3_context* ctx, sqlite3_value** argv, int index, const char16_t* function, std::int64_t& out)
{
    NumberValue n;
    if (!ToNumber(argv[index], n) || (!n.whole && !(std::fabs(n.real) < 9.2e18))) {
        RaiseError(ctx, InvalidArgument(index + 1, function));
        return false;
    }
    out = n.whole ? n.integer : static_cast<std::int64_t>(n.real);
    return true;
}

void RaiseError(sqlite3_context* ctx, ErrorRecord record)
{
    t_raisedMessage = ToUtf8(record.description);
    t_raised = std::move(record);
    sqlite3_result_error(ctx, t_raisedMessage.c_str(), static_cast<int>(t_raisedMessage.size()));
}

bool TakeRaisedError(std::u16string_view message, ErrorRecord& out)
{
    if (!t_raised || message != ToUtf16(t_raisedMessage))
        return false;
    out = std::move(*t_raised);
    t_raised.reset();
    return true;
}

} // namespace engine::detail
