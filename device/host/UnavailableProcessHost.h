// The process host used until device programs can run: it checks that the
// program exists, then answers that starting it is not supported.
#pragma once

#include "device/server/ProcessHost.h"
#include "device/store/Store.h"

namespace device {

class UnavailableProcessHost : public ProcessHost {
public:
    explicit UnavailableProcessHost(store::Store& store)
        : m_store(store)
    {
    }

    // ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND / ERROR_INVALID_NAME for a
    // missing program, ERROR_ACCESS_DENIED for a folder, else ERROR_NOT_SUPPORTED.
    DWORD CreateProcess(std::u16string_view application, std::u16string_view, ProcessStart*) override
    {
        DWORD attributes = 0;
        DWORD error = m_store.GetAttributes(application, &attributes);
        if (error != ERROR_SUCCESS)
            return error;
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return ERROR_ACCESS_DENIED;
        return ERROR_NOT_SUPPORTED;
    }

private:
    store::Store& m_store;
};

} // namespace device
