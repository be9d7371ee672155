// A device program for the link's tests that plays an agent left over from
// an earlier run of the device: as soon as a new request clears "Status", it
// writes an answer of its own ("999 rows affected") and "Done.", before the
// request's own agent has even started.
#include "platform/ce/Ce.h"

#include <string>

namespace {

void SetValue(HKEY key, std::u16string_view name, std::u16string_view text)
{
    const std::u16string value(name);
    ce::RegSetValueEx(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
        static_cast<DWORD>(text.size() * sizeof(char16_t)));
}

} // namespace

int main()
{
    std::string reason;
    if (!ce::Attach(&reason))
        return 1;
    HKEY key = 0;
    if (ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, nullptr, 0, ce::KEY_ALL_ACCESS,
            nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return 1;
    for (int i = 0; i < 2000; ++i) {
        DWORD size = 0;
        if (ce::RegQueryValueEx(key, u"Status", nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND)
            break;
        ce::Sleep(5);
    }
    const std::u16string answer = u"<Success>\r\nCols: 0\r\n999";
    HANDLE results = ce::CreateFile(
        u"\\Quorvane\\SQLresults.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (results != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        ce::WriteFile(results, answer.data(), DWORD(answer.size() * 2), &written, nullptr);
        ce::CloseHandle(results);
    }
    SetValue(key, u"RowsAffected", u"999");
    SetValue(key, u"Status", u"Done.");
    ce::RegCloseKey(key);
    return 0;
}
