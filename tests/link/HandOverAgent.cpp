// A device program for the link's tests that hands every request over the
// way the engine-2.0 agent does when a database needs engine 3.0: it logs
// the hand-over, leaves the results file created and empty, starts its
// engine-3.0 sibling (its own path with "2003" -> "2005") with the same
// command line without waiting, and ends with "Status" = "Done." while the
// sibling is still starting.
#include "exchange/Text.h"
#include "platform/ce/Ce.h"

#include <string>

namespace {

HKEY g_key = 0;
HKEY g_debug = 0;
int g_counter = 0;

void SetValue(HKEY key, std::u16string_view name, std::u16string_view text)
{
    const std::u16string valueName(name);
    ce::RegSetValueEx(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()),
        static_cast<DWORD>(text.size() * sizeof(char16_t)));
}

void Log(std::u16string_view text)
{
    ce::SYSTEMTIME now {};
    ce::GetLocalTime(&now);
    SetValue(g_debug, exchange::Format(u"%03d", g_counter++),
        exchange::Format(u"%d:%02d:%02d - %s", int(now.wHour), int(now.wMinute), int(now.wSecond), text));
    SetValue(g_key, u"Status", text);
}

} // namespace

int main()
{
    std::string reason;
    if (!ce::Attach(&reason))
        return 1;
    ce::RegDeleteKey(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane\\Debug");
    ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, nullptr, 0, ce::KEY_ALL_ACCESS,
        nullptr, &g_key, nullptr);
    ce::RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane\\Debug", 0, nullptr, 0, ce::KEY_ALL_ACCESS,
        nullptr, &g_debug, nullptr);
    Log(u"Running...");
    for (auto name : { u"SQLCEversion", u"TotalRows", u"RowsAffected", u"RowsThatWouldBeAffected" })
        SetValue(g_key, name, u"");
    Log(u"Reading in SQL command..");
    SetValue(g_key, u"SQLCEversion", u"2");
    Log(u"Opening \\Quorvane\\SQLresults.txt..");
    HANDLE results = ce::CreateFile(
        u"\\Quorvane\\SQLresults.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    Log(u"Opening data source using SQLCE 2.0 libraries..");
    Log(u"Need to run the SQLCE3.0 version.");
    if (results != INVALID_HANDLE_VALUE)
        ce::CloseHandle(results);
    Log(u"Closing session.");
    Log(u"Need to run the SQLCE 3.0 version.");
    SetValue(g_key, u"Status", u"Running SQLCE3.0 query");
    char16_t own[MAX_PATH + 1] = {};
    DWORD length = ce::GetModuleFileName(0, own, MAX_PATH);
    std::u16string sibling = exchange::ReplaceAll(std::u16string_view(own, length), u"2003", u"2005");
    ce::CreateProcess(sibling.c_str(), ce::GetCommandLine(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
        nullptr, nullptr);
    SetValue(g_key, u"Test", u"9.6");
    Log(u"Done.");
    return 0;
}
