// What the engine's SQL functions share: reading arguments as UTF-16 text and
// numbers, giving results, failing a statement with one of the engine's error
// records, and registering a table of functions on a connection.
#pragma once

#include "engine/ErrorInfo.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_context;
// sqlite3.h names the value type this way.
struct Mem;
typedef struct Mem sqlite3_value;

namespace engine::detail {

struct SqlFunction {
    const char* name;
    int args; // -1: any number
    void (*call)(sqlite3_context*, int, sqlite3_value**);
};

// Registers deterministic UTF-8 functions with `userData`; returns an SQLite result code.
int RegisterAll(sqlite3* db, std::span<const SqlFunction> functions, void* userData = nullptr);

// The value as UTF-16 text (numbers in SQLite's text form); valid until the
// value is read in another form.
std::u16string_view TextArg(sqlite3_value* value);
bool AnyNull(int argc, sqlite3_value** argv);

void ResultText(sqlite3_context* ctx, std::u16string_view text);
void ResultText(sqlite3_context* ctx, const std::string& utf8);

// A number as SQLite holds it: whole numbers exactly, others as doubles.
struct NumberValue {
    bool whole = true;
    std::int64_t integer = 0;
    double real = 0;
    double AsReal() const { return whole ? static_cast<double>(integer) : real; }
};

// A number written as text, with spaces around allowed: an optional sign,
// digits, an optional fraction and exponent.
bool ParseNumber(std::u16string_view text, NumberValue& out);
// An integer or real value as it is, a text parsed; false for blobs, nulls and other texts.
bool ToNumber(sqlite3_value* value, NumberValue& out);
void ResultNumber(sqlite3_context* ctx, const NumberValue& number);

// A whole-number argument (lengths, positions, counts): reals are cut toward
// zero. False, with the statement failed naming the argument, when it is none.
bool IntegerArg(
    sqlite3_context* ctx, sqlite3_value** argv, int index, const char16_t* function, std::int64_t& out);

// Fails the running statement with `record`, which the provider then reports
// in place of SQLite's message.
void RaiseError(sqlite3_context* ctx, ErrorRecord record);
// The record raised on this thread whose message SQLite reports as `message`.
bool TakeRaisedError(std::u16string_view message, ErrorRecord& out);

} // namespace engine::detail
