// Error records that a failing provider call leaves for its thread, in the way
// GetErrorInfo hands them out: the caller takes them once, then they are gone.
#pragma once

#include "engine/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace engine {

// One error record. When the description holds a bracketed list of slots
// ("... [ Token line number,Token line offset,Token in error ]"), parameter i
// belongs to slot i; otherwise the parameters are extra details.
struct ErrorRecord {
    HRESULT result = E_FAIL;
    std::uint32_t nativeError = 0;
    std::u16string description;
    std::u16string source;
    std::vector<std::u16string> parameters;
};

// Moves the records of this thread's last failing provider call into `records`
// and clears them. Returns S_OK when there were records, S_FALSE (with
// `records` empty) when the last call succeeded or none failed yet.
// Every provider call clears the records when it starts. Thread rule: each
// thread sees only its own records.
HRESULT GetErrorInfo(std::vector<ErrorRecord>& records);

namespace detail {

// Replaces this thread's records by one record and returns its result code.
HRESULT SetError(ErrorRecord record);

// Clears this thread's records (done at the start of every provider call).
void ClearError();

} // namespace detail

} // namespace engine
