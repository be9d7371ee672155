// A device program for the tests: does what its command line says through
// the device's system services and reports under HKLM\Software\Probe.
//
//   report            values CommandLine, Module, ProcessId; file \Temp\probe.txt
//                     holding "hello from " + the module path (UTF-16LE)
//   sleep MS          sleeps, after setting Ready = 1
//   ps                value Processes: the snapshot's names, each ended by "\n"
//   kill NAME         terminates every process named NAME; value Killed: the count
//   late-kill ID MS   opens process ID, sets Opened = 1, waits MS ms, then
//                     terminates it; value LateKill: 0 or the error
//   start PATH [ARGS] starts PATH with ARGS; values Started (pid) or StartError
//   hold PATH MS      (PATH may hold spaces) opens PATH with share mode 0, sets Held = 1, holds it MS ms,
//                     or sets HoldError
//   reboot [clean]    restarts the device; value RebootError when that returns
//   deviceid          value DeviceId: the identifier bytes (REG_BINARY)
//   anything else     value Unknown = the command line
// Each run first sets Running = its process id and ends with Done = 1.
#include "platform/ce/Ce.h"

#include <cstring>
#include <string>
#include <vector>

using namespace ce;

namespace {

HKEY g_key = 0;

void SetString(const char16_t* name, const std::u16string& text)
{
    RegSetValueEx(g_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.data()), DWORD(text.size() * 2));
}

void SetNumber(const char16_t* name, DWORD value)
{
    RegSetValueEx(g_key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The first word of `line` and the rest after one space.
std::pair<std::u16string, std::u16string> Split(const std::u16string& line)
{
    std::size_t space = line.find(u' ');
    if (space == std::u16string::npos)
        return { line, u"" };
    return { line.substr(0, space), line.substr(space + 1) };
}

DWORD Number(const std::u16string& text)
{
    DWORD n = 0;
    for (char16_t c : text)
        if (c >= u'0' && c <= u'9')
            n = n * 10 + DWORD(c - u'0');
    return n;
}

void Report()
{
    SetString(u"CommandLine", GetCommandLine());
    WCHAR module[MAX_PATH];
    DWORD n = GetModuleFileName(0, module, MAX_PATH);
    SetString(u"Module", std::u16string(module, n));
    SetNumber(u"ProcessId", GetCurrentProcessId());
    HANDLE f = CreateFile(
        u"\\Temp\\probe.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
    if (f != INVALID_HANDLE_VALUE) {
        std::u16string text = u"hello from " + std::u16string(module, n);
        DWORD written = 0;
        WriteFile(f, text.data(), DWORD(text.size() * 2), &written, nullptr);
        CloseHandle(f);
    } else {
        SetNumber(u"FileError", GetLastError());
    }
}

void ListOrKill(const std::u16string& killName)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) {
        SetNumber(u"SnapshotError", GetLastError());
        return;
    }
    std::u16string names;
    DWORD killed = 0;
    PROCESSENTRY32 pe;
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe)) {
        std::u16string name = pe.szExeFile;
        names += name + u"\n";
        if (!killName.empty() && name == killName) {
            HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pe.th32ProcessID);
            if (p) {
                if (TerminateProcess(p, 0))
                    ++killed;
                else
                    SetNumber(u"KillError", GetLastError());
                CloseHandle(p);
            }
        }
    }
    CloseToolhelp32Snapshot(snap);
    if (killName.empty())
        SetString(u"Processes", names);
    else
        SetNumber(u"Killed", killed);
}

} // namespace

int main()
{
    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Probe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &g_key,
            &disposition)
        != ERROR_SUCCESS)
        return 2;
    SetNumber(u"Running", GetCurrentProcessId());
    auto [command, rest] = Split(GetCommandLine());
    if (command == u"report") {
        Report();
    } else if (command == u"sleep") {
        SetNumber(u"Ready", 1);
        Sleep(Number(rest));
    } else if (command == u"ps") {
        ListOrKill(u"");
    } else if (command == u"kill") {
        ListOrKill(rest);
    } else if (command == u"late-kill") {
        auto [id, ms] = Split(rest);
        HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, Number(id));
        if (!p) {
            SetNumber(u"LateKill", GetLastError());
        } else {
            SetNumber(u"Opened", 1);
            Sleep(Number(ms));
            SetNumber(u"LateKill", TerminateProcess(p, 0) ? 0 : GetLastError());
            CloseHandle(p);
        }
    } else if (command == u"start") {
        auto [path, args] = Split(rest);
        PROCESS_INFORMATION pi {};
        if (CreateProcess(
                path.c_str(), args.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi)) {
            SetNumber(u"Started", pi.dwProcessId);
            CloseHandle(pi.hProcess);
        } else {
            SetNumber(u"StartError", GetLastError());
        }
    } else if (command == u"hold") {
        std::size_t last = rest.rfind(u' ');
        std::u16string path = rest.substr(0, last),
                       ms = last == std::u16string::npos ? u"" : rest.substr(last + 1);
        HANDLE f = CreateFile(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
        if (f == INVALID_HANDLE_VALUE) {
            SetNumber(u"HoldError", GetLastError());
        } else {
            SetNumber(u"Held", 1);
            Sleep(Number(ms));
            CloseHandle(f);
        }
    } else if (command == u"reboot") {
        if (rest == u"clean")
            SetCleanRebootFlag();
        KernelIoControl(IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr);
        SetNumber(u"RebootError", GetLastError());
    } else if (command == u"deviceid") {
        std::vector<BYTE> buffer(4096);
        DWORD returned = 0;
        if (KernelIoControl(
                IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer.data(), DWORD(buffer.size()), &returned))
            RegSetValueEx(g_key, u"DeviceId", 0, REG_BINARY, buffer.data(), returned);
        else
            SetNumber(u"DeviceIdError", GetLastError());
    } else {
        SetString(u"Unknown", GetCommandLine());
    }
    SetNumber(u"Done", 1);
    RegCloseKey(g_key);
    return 0;
}
