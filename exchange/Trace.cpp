#include "exchange/Trace.h"

#include "exchange/Text.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>

namespace exchange {
namespace {

struct TraceState {
    std::mutex mutex;
    bool configured = false;
    std::FILE* out = nullptr;
    bool ownsFile = false;
};

TraceState& State()
{
    static TraceState state;
    return state;
}

// Caller holds the mutex.
bool ConfigureLocked(TraceState& state)
{
    if (state.ownsFile && state.out)
        std::fclose(state.out);
    state.out = nullptr;
    state.ownsFile = false;
    state.configured = true;

    const char* value = std::getenv("QUORVANE_TRACE");
    const std::string setting = value ? value : "";
    if (setting.empty() || setting == "0")
        return true;
    if (setting == "1") {
        state.out = stderr;
        return true;
    }
    state.out = std::fopen(setting.c_str(), "a");
    state.ownsFile = state.out != nullptr;
    return state.out != nullptr;
}

void Write(const std::string& bytes)
{
    TraceState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.configured)
        ConfigureLocked(state);
    if (!state.out)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), state.out);
    std::fflush(state.out);
}

std::string LocalTimeText()
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char text[16];
    std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return std::string(text, length);
}

} // namespace

void DebugOutput(std::u16string_view text)
{
    Write(ToUtf8(text));
}

void DebugOutput(std::string_view utf8Text)
{
    Write(std::string(utf8Text));
}

void TraceLine(std::u16string_view text)
{
    Write(LocalTimeText() + " : " + ToUtf8(text));
}

void TraceLine(std::string_view utf8Text)
{
    Write(LocalTimeText() + " : " + std::string(utf8Text));
}

bool ConfigureTrace()
{
    TraceState& state = State();
    std::lock_guard lock(state.mutex);
    return ConfigureLocked(state);
}

bool TraceEnabled()
{
    TraceState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.configured)
        ConfigureLocked(state);
    return state.out != nullptr;
}

} // namespace exchange
