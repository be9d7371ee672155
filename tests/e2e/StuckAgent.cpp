// A device program that stands in for an agent that never finishes: it
// reports "Running..." as the agent does at its start, then waits without
// ever writing "Done." until it is stopped or a minute has passed.
#include "platform/ce/Ce.h"

#include <string>

int main()
{
    std::string reason;
    if (!ce::Attach(&reason))
        return 1;
    HKEY key = 0;
    if (ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, nullptr, 0, ce::KEY_ALL_ACCESS,
            nullptr, &key, nullptr)
        == ERROR_SUCCESS) {
        const std::u16string_view text = u"Running...";
        ce::RegSetValueEx(key, u"Status", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
            static_cast<DWORD>(text.size() * sizeof(char16_t)));
        ce::RegCloseKey(key);
    }
    for (int i = 0; i < 600; ++i)
        ce::Sleep(100);
    return 0;
}
