// A device program for the link's tests that stands in for an agent that
// never finishes: it logs "Running..." as the agent does, then waits without
// ever writing "Done." until it is stopped (the stopper, a device stop) or
// ten minutes have passed.
#include "platform/ce/Ce.h"

#include <string>

namespace {

void SetStatus(std::u16string_view text)
{
    HKEY key = 0;
    if (ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, nullptr, 0, ce::KEY_ALL_ACCESS,
            nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return;
    ce::RegSetValueEx(key, u"Status", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
        static_cast<DWORD>(text.size() * sizeof(char16_t)));
    ce::RegCloseKey(key);
}

} // namespace

int main()
{
    std::string reason;
    if (!ce::Attach(&reason))
        return 1;
    SetStatus(u"Running...");
    for (int i = 0; i < 6000; ++i)
        ce::Sleep(100);
    return 0;
}
