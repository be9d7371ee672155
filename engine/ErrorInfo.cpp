#include "engine/ErrorInfo.h"

#include <utility>

namespace engine {

namespace {
thread_local std::vector<ErrorRecord> t_records;
}

HRESULT GetErrorInfo(std::vector<ErrorRecord>& records)
{
    records = std::move(t_records);
    t_records.clear();
    return records.empty() ? S_FALSE : S_OK;
}

namespace detail {

HRESULT SetError(ErrorRecord record)
{
    t_records.clear();
    HRESULT hr = record.result;
    t_records.push_back(std::move(record));
    return hr;
}

void ClearError()
{
    t_records.clear();
}

} // namespace detail

} // namespace engine
