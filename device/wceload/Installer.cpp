#include "device/wceload/Installer.h"

#include "device/wceload/Cabinet.h"
#include "exchange/Text.h"
#include "platform/ce/Ce.h"
#include "platform/registry/Hive.h"
#include "platform/registry/RegFile.h"
#include "platform/store/DevicePath.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace wceload {
namespace {

using namespace ce;

std::string Utf8(std::u16string_view text)
{
    return exchange::ToUtf8(text);
}

std::string Failure(const std::string& what, DWORD error)
{
    return what + " (error " + std::to_string(error) + ")";
}

bool ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>* bytes, std::string* error)
{
    HANDLE f = CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
    if (f == INVALID_HANDLE_VALUE) {
        *error = Failure("cannot open " + Utf8(path), GetLastError());
        return false;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(f, &high);
    std::uint64_t size = std::uint64_t(high) << 32 | low;
    if (size > kMaxCabinetBytes) {
        CloseHandle(f);
        *error = Utf8(path) + " is too large to be a CAB";
        return false;
    }
    bytes->resize(std::size_t(size));
    std::size_t done = 0;
    while (done < bytes->size()) {
        DWORD n = 0;
        if (!ReadFile(f, bytes->data() + done, DWORD(bytes->size() - done), &n, nullptr) || n == 0) {
            DWORD e = GetLastError();
            CloseHandle(f);
            *error = Failure("cannot read " + Utf8(path), e);
            return false;
        }
        done += n;
    }
    CloseHandle(f);
    return true;
}

bool WriteWholeFile(const std::u16string& path, const std::vector<std::uint8_t>& data, DWORD* error)
{
    HANDLE f = CreateFile(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    if (f == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    DWORD written = 0;
    bool ok = data.empty() || WriteFile(f, data.data(), DWORD(data.size()), &written, nullptr);
    *error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(f);
    if (!ok)
        DeleteFile(path.c_str());
    return ok;
}

std::u16string Parent(const std::u16string& path)
{
    std::size_t slash = path.rfind(u'\\');
    return slash == 0 || slash == std::u16string::npos ? u"\\" : path.substr(0, slash);
}

bool Exists(const std::u16string& path)
{
    return GetFileAttributes(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) with %InstallDir% expanded.
void ExpandValue(reg::Change* change, std::u16string_view installDir)
{
    if (change->type != reg::REG_SZ && change->type != reg::REG_EXPAND_SZ
        && change->type != reg::REG_MULTI_SZ)
        return;
    std::u16string text = exchange::FromUtf16LeBytes(std::span<const std::uint8_t>(change->data));
    std::string bytes = exchange::ToUtf16LeBytes(ExpandInstallDir(text, installDir));
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    if (change->data.size() % 2)
        data.push_back(change->data.back());
    change->data = std::move(data);
}

reg::Change SetString(const std::u16string& key, std::u16string name, std::u16string_view text)
{
    std::string bytes = exchange::ToUtf16LeBytes(text);
    reg::Change c { reg::Change::SetValue, reg::HKEY_LOCAL_MACHINE, key, std::move(name), reg::REG_SZ, {} };
    c.data.assign(bytes.begin(), bytes.end());
    c.data.push_back(0);
    c.data.push_back(0);
    return c;
}

// Everything the installation will write, checked before anything is.
struct Plan {
    Manifest manifest;
    std::u16string installDir;
    struct File {
        std::u16string target;
        const std::vector<std::uint8_t>* data;
    };
    std::vector<File> files;
    std::vector<reg::Change> registry;
};

bool MakePlan(const std::vector<CabMember>& members, Plan* plan, std::string* error)
{
    if (members.empty()) {
        *error = "the cabinet is empty";
        return false;
    }
    if (!ParseManifest(members[0].data, &plan->manifest, error))
        return false;
    std::map<std::string, const CabMember*> byName;
    for (const auto& m : members)
        byName.emplace(m.name, &m);
    plan->installDir = InstallDir(plan->manifest);
    store::DevicePath dir;
    if (store::ParseDevicePath(plan->installDir, store::PathKind::Name, &dir) != ERROR_SUCCESS) {
        *error = "the installation folder " + Utf8(plan->installDir) + " is not a device path";
        return false;
    }
    plan->installDir = dir.Text();
    std::vector<std::u16string> seen;
    for (const auto& f : plan->manifest.files) {
        auto it = byName.find(f.member);
        if (it == byName.end()) {
            *error = "the manifest names a member the cabinet lacks: " + f.member;
            return false;
        }
        store::DevicePath target;
        if (store::ParseDevicePath(
                ExpandInstallDir(f.target, plan->installDir), store::PathKind::Name, &target)
                != ERROR_SUCCESS
            || target.IsRoot()) {
            *error = "not a device path: " + Utf8(f.target);
            return false;
        }
        std::u16string path = target.Text();
        std::u16string folded = exchange::ToUpperAscii(path);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end()) {
            *error = "the manifest installs " + Utf8(path) + " twice";
            return false;
        }
        seen.push_back(folded);
        DWORD attributes = GetFileAttributes(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            *error = "a folder is in the way of " + Utf8(path);
            return false;
        }
        plan->files.push_back({ path, &it->second->data });
    }
    if (!plan->manifest.registryMember.empty()) {
        auto it = byName.find(plan->manifest.registryMember);
        if (it == byName.end()) {
            *error = "the manifest names a member the cabinet lacks: " + plan->manifest.registryMember;
            return false;
        }
        std::string why;
        if (!reg::ParseRegFile(reg::DecodeRegFile(it->second->data), &plan->registry, &why)) {
            *error = "registry member " + plan->manifest.registryMember + ": " + why;
            return false;
        }
        for (auto& change : plan->registry)
            ExpandValue(&change, plan->installDir);
    }
    std::u16string appKey = u"Software\\Apps\\" + AppKeyName(plan->manifest);
    plan->registry.push_back({ reg::Change::CreateKey, reg::HKEY_LOCAL_MACHINE, appKey, {}, 0, {} });
    plan->registry.push_back(SetString(appKey, u"InstallDir", plan->installDir));
    reg::Change instl { reg::Change::SetValue, reg::HKEY_LOCAL_MACHINE, appKey, u"Instl", reg::REG_DWORD,
        { 1, 0, 0, 0 } };
    plan->registry.push_back(std::move(instl));
    return true;
}

// What has been written so far, to be undone when a later step fails.
class Journal {
public:
    ~Journal()
    {
        if (!m_committed)
            Undo();
    }

    bool EnsureFolder(const std::u16string& path, std::string* error)
    {
        store::DevicePath parsed;
        store::ParseDevicePath(path, store::PathKind::Name, &parsed);
        store::DevicePath prefix;
        for (const auto& c : parsed.components) {
            prefix.components.push_back(c);
            std::u16string p = prefix.Text();
            DWORD attributes = GetFileAttributes(p.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            if (!CreateDirectory(p.c_str(), nullptr)) {
                *error = Failure("cannot create the folder " + Utf8(p), GetLastError());
                return false;
            }
            m_folders.push_back(p);
        }
        return true;
    }

    bool Stage(const std::u16string& target, const std::vector<std::uint8_t>& data, std::string* error)
    {
        std::u16string temp = Aside(target, u"new");
        DWORD e = ERROR_SUCCESS;
        if (!WriteWholeFile(temp, data, &e)) {
            *error = Failure("cannot write " + Utf8(temp), e);
            return false;
        }
        m_staged.push_back({ target, temp, {}, false });
        return true;
    }

    // Moves every staged file into place, keeping replaced files aside.
    bool Place(std::string* error)
    {
        for (auto& s : m_staged) {
            if (Exists(s.target)) {
                std::u16string old = Aside(s.target, u"old");
                if (!MoveFile(s.target.c_str(), old.c_str())) {
                    *error = Failure("cannot replace " + Utf8(s.target), GetLastError());
                    return false;
                }
                s.replaced = old;
            }
            if (!MoveFile(s.temp.c_str(), s.target.c_str())) {
                *error = Failure("cannot move " + Utf8(s.target) + " into place", GetLastError());
                return false;
            }
            s.placed = true;
        }
        return true;
    }

    void Commit()
    {
        m_committed = true;
        for (const auto& s : m_staged)
            if (!s.replaced.empty())
                DeleteFile(s.replaced.c_str());
    }

private:
    struct Staged {
        std::u16string target, temp, replaced;
        bool placed;
    };

    std::u16string Aside(const std::u16string& target, std::u16string_view kind)
    {
        std::u16string base = Parent(target);
        if (base != u"\\")
            base += u'\\';
        return base + u"~wceload-" + std::u16string(kind) + u"-"
            + exchange::Format(u"%u-%u", GetCurrentProcessId(), m_next++) + u".tmp";
    }

    void Undo()
    {
        for (auto it = m_staged.rbegin(); it != m_staged.rend(); ++it) {
            if (it->placed)
                DeleteFile(it->target.c_str());
            else
                DeleteFile(it->temp.c_str());
            if (!it->replaced.empty())
                MoveFile(it->replaced.c_str(), it->target.c_str());
        }
        for (auto it = m_folders.rbegin(); it != m_folders.rend(); ++it)
            RemoveDirectory(it->c_str());
    }

    std::vector<std::u16string> m_folders;
    std::vector<Staged> m_staged;
    unsigned m_next = 0;
    bool m_committed = false;
};

void Report(const std::string& line)
{
    OutputDebugString(exchange::FromUtf8("wceload: " + line + "\r\n").c_str());
    std::fprintf(stderr, "wceload: %s\n", line.c_str());
}

} // namespace

bool InstallCab(const std::u16string& cabPath, std::string* error)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(cabPath, &bytes, error))
        return false;
    std::vector<CabMember> members;
    if (!ReadCabinet(bytes, &members, error))
        return false;
    Plan plan;
    if (!MakePlan(members, &plan, error))
        return false;
    reg::Hive* hive = DeviceRegistry();
    if (!hive) {
        *error = "the device registry is not available";
        return false;
    }

    Journal journal;
    if (!journal.EnsureFolder(plan.installDir, error))
        return false;
    for (const auto& f : plan.files)
        if (!journal.EnsureFolder(Parent(f.target), error) || !journal.Stage(f.target, *f.data, error))
            return false;
    if (!journal.Place(error))
        return false;
    reg::Result r = hive->Apply(plan.registry);
    if (r != reg::ERROR_SUCCESS) {
        *error = Failure("cannot write the registry entries", DWORD(r));
        return false;
    }
    journal.Commit();
    return true;
}

int RunWceload(std::u16string_view commandLine)
{
    CommandLine cmd;
    std::string error;
    if (!ParseCommandLine(commandLine, &cmd, &error)) {
        Report(error + " (usage: wceload [/noaskdest] [/delete 0] \"\\path\\file.cab\")");
        return 2;
    }
    if (!Attach(&error)) {
        Report(error);
        return 1;
    }
    if (!InstallCab(cmd.cabPath, &error)) {
        Report(Utf8(cmd.cabPath) + " was not installed: " + error);
        return 1;
    }
    if (cmd.deleteCab && !DeleteFile(cmd.cabPath.c_str()))
        Report(Failure(Utf8(cmd.cabPath) + " was installed but cannot be deleted", GetLastError()));
    return 0;
}

} // namespace wceload
