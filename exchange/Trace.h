// The trace sink shared by every Quorvane program: the stand-in for the
// debugger text channel. Nothing here is ever shown to the user.
//
// Off by default. The environment variable QUORVANE_TRACE selects it:
//   unset, empty or "0"   off
//   "1"                   standard error
//   anything else         appended to the file of that name
// The setting is read at the first trace and again on ConfigureTrace().
// UTF-16 text is written as UTF-8. Every function is safe from any thread;
// each call's text is written whole, never interleaved with another.
#pragma once

#include <string_view>

namespace exchange {

// Plain debug output: `text` as it is (callers end their lines with "\r\n").
void DebugOutput(std::u16string_view text);
void DebugOutput(std::string_view utf8Text);

// "%s : %s" with the local time as "%H:%M:%S" and `text`.
void TraceLine(std::u16string_view text);
void TraceLine(std::string_view utf8Text);

// Reads QUORVANE_TRACE again (closing a file opened before). Returns false
// when a file was named but cannot be opened for appending; tracing is then off.
bool ConfigureTrace();

// True when traces currently go somewhere.
bool TraceEnabled();

} // namespace exchange
