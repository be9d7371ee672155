#include "device/host/FactoryImage.h"

#include "exchange/Text.h"
#include "platform/store/Names.h"

#include <fstream>
#include <system_error>

namespace device {
namespace {

// The UTF-16LE bytes of `text` and its terminator.
void AppendText(std::vector<std::uint8_t>& data, std::u16string_view text)
{
    std::string bytes = exchange::ToUtf16LeBytes(text);
    data.insert(data.end(), bytes.begin(), bytes.end());
    data.push_back(0);
    data.push_back(0);
}

reg::ValueEntry Sz(std::u16string name, std::u16string_view text, std::uint32_t type = reg::REG_SZ)
{
    reg::ValueEntry v;
    v.name = std::move(name);
    v.type = type;
    AppendText(v.data, text);
    return v;
}

reg::ValueEntry Dword(std::u16string name, std::uint32_t number)
{
    reg::ValueEntry v;
    v.name = std::move(name);
    v.type = reg::REG_DWORD;
    for (int i = 0; i < 4; ++i)
        v.data.push_back(std::uint8_t(number >> (8 * i)));
    return v;
}

reg::ValueEntry MultiSz(std::u16string name, std::initializer_list<std::u16string_view> items)
{
    reg::ValueEntry v;
    v.name = std::move(name);
    v.type = reg::REG_MULTI_SZ;
    for (auto item : items)
        AppendText(v.data, item);
    v.data.push_back(0);
    v.data.push_back(0);
    return v;
}

std::u16string Widen(const std::string& s)
{
    return std::u16string(s.begin(), s.end());
}

std::vector<reg::KeyEntry> MachineKeys(const Profile& p)
{
    return {
        { u"Ident", { Sz(u"Name", u"Quorvane"), Sz(u"Desc", p.oemInfo), Sz(u"OrigName", u"Quorvane") } },
        { u"Init",
            { Sz(u"Launch10", u"shell32.exe"), Sz(u"Launch20", u"device.exe"),
                Sz(u"Launch30", u"gwes.exe") } },
        { u"Loader", { MultiSz(u"SystemPath", { u"\\Windows\\" }) } },
        { u"Platform", { Sz(u"Name", p.platformType), Sz(u"Profile", Widen(p.name)) } },
        { u"Software\\Apps", {} },
        { u"Software\\Microsoft\\Shell", { Dword(u"ShowTitleBarClock", 1) } },
        { u"System\\Explorer\\Shell Folders",
            { Sz(u"My Documents", u"\\My Documents"), Sz(u"Program Files", u"\\Program Files"),
                Sz(u"Application Data", u"\\Application Data"), Sz(u"Temp", u"\\Temp") } },
        { u"System\\StorageManager", { Dword(u"PNPUnloadDelay", 4096) } },
    };
}

std::vector<reg::KeyEntry> ClassKeys(const Profile& p)
{
    std::vector<reg::KeyEntry> keys = {
        { u".txt", { Sz(u"", u"txtfile") } },
        { u"txtfile", { Sz(u"", u"Text Document") } },
        { u"txtfile\\DefaultIcon", { Sz(u"", u"\\Windows\\pword.exe,-102") } },
        { u"txtfile\\Shell\\Open\\Command", { Sz(u"", u"pword.exe %1") } },
        { u".psw", { Sz(u"", u"pswfile") } },
        { u"pswfile", { Sz(u"", u"Pocket Word Document") } },
        { u"pswfile\\Shell\\Open\\Command", { Sz(u"", u"\\Windows\\pword.exe %1") } },
        { u".htm", { Sz(u"", u"htmlfile") } },
        { u"htmlfile", { Sz(u"", u"HTML Document") } },
        { u"htmlfile\\Shell\\Open\\Command", { Sz(u"", u"\\Windows\\iexplore.exe %1") } },
        { u".pxl", { Sz(u"", u"pxlfile") } },
        { u"pxlfile", { Sz(u"", u"Pocket Excel Workbook") } },
        { u"pxlfile\\Shell\\Open\\Command", { Sz(u"", u"\\Windows\\pxl.exe %1") } },
        { u".cab", { Sz(u"", u"cabfile") } },
        { u"cabfile", { Sz(u"", u"Cabinet File") } },
        { u"cabfile\\Shell\\Open\\Command", { Sz(u"", u"\\Windows\\wceload.exe \"%1\"") } },
    };
    if (p.engine20) {
        keys.push_back({ u"CLSID\\" + std::u16string(kEngine20Clsid),
            { Sz(u"", u"Microsoft SQL Server CE 2.0 OLE DB Provider") } });
        keys.push_back({ u"CLSID\\" + std::u16string(kEngine20Clsid) + u"\\InprocServer32",
            { Sz(u"", u"\\Windows\\sscedb20.dll") } });
        keys.push_back({ u"CLSID\\" + std::u16string(kEngine20Clsid) + u"\\ProgID",
            { Sz(u"", u"Microsoft.SQLSERVER.OLEDB.CE.2.0") } });
    }
    if (p.engine30) {
        keys.push_back({ u"CLSID\\" + std::u16string(kEngine30Clsid),
            { Sz(u"", u"Microsoft SQL Server 2005 Mobile Edition OLE DB Provider") } });
        keys.push_back({ u"CLSID\\" + std::u16string(kEngine30Clsid) + u"\\InprocServer32",
            { Sz(u"", u"\\Windows\\sqlceoledb30.dll") } });
        keys.push_back({ u"CLSID\\" + std::u16string(kEngine30Clsid) + u"\\ProgID",
            { Sz(u"", u"Microsoft.SQLSERVER.MOBILE.OLEDB.3.0") } });
    }
    return keys;
}

std::vector<reg::KeyEntry> UserKeys(const Profile& p)
{
    return {
        { u"ControlPanel\\Owner", { Sz(u"Owner", u"Quorvane") } },
        { u"Software\\Microsoft", {} },
        { u"Software\\Microsoft\\Today", { Dword(u"Date", 1) } },
        { u"Software\\Quorvane\\Device", { Sz(u"Profile", Widen(p.name)) } },
    };
}

std::string Message(const std::string& what, DWORD code)
{
    return what + " (error " + std::to_string(code) + ")";
}

} // namespace

const std::vector<std::u16string>& RomPrograms()
{
    static const std::vector<std::u16string> names = {
        u"nk.exe",
        u"filesys.exe",
        u"device.exe",
        u"gwes.exe",
        u"shell32.exe",
        u"pword.exe",
        u"pxl.exe",
        u"iexplore.exe",
        u"tmail.exe",
        u"calc.exe",
        u"fexplore.exe",
        u"notes.exe",
    };
    return names;
}

bool IsRomProgram(std::string_view content, std::string* name)
{
    if (!content.starts_with(kRomMagic))
        return false;
    std::string_view rest = content.substr(kRomMagic.size());
    std::size_t end = rest.find('\n');
    if (end == std::string_view::npos || end == 0)
        return false;
    if (name)
        *name = std::string(rest.substr(0, end));
    return true;
}

bool BuildFactoryStore(store::Store& st, const std::vector<ImageFile>& extra, std::string* error)
{
    for (const char16_t* folder :
        { u"\\Windows", u"\\My Documents", u"\\Program Files", u"\\Temp", u"\\Application Data" }) {
        DWORD e = st.CreateDirectory(folder);
        if (e != ERROR_SUCCESS && e != ERROR_ALREADY_EXISTS) {
            *error = Message("cannot create the folder " + store::HostName(folder).value_or("?"), e);
            return false;
        }
    }
    for (const auto& program : RomPrograms()) {
        std::string name = store::HostName(program).value_or("");
        std::string content = std::string(kRomMagic) + name + "\n";
        DWORD e = st.CreateRomFile(u"\\Windows\\" + program, content);
        if (e != ERROR_SUCCESS) {
            *error = Message("cannot create the ROM program " + name, e);
            return false;
        }
    }
    for (const auto& file : extra) {
        std::ifstream in(file.source, std::ios::binary);
        if (!in) {
            *error = "cannot read " + file.source.string();
            return false;
        }
        std::string content((std::istreambuf_iterator<char>(in)), {});
        DWORD e;
        if (file.rom) {
            e = st.CreateRomFile(file.devicePath, content);
        } else {
            std::unique_ptr<store::File> f;
            bool existed = false;
            e = st.CreateFile(
                file.devicePath, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, &f, &existed);
            std::uint32_t done = 0;
            if (e == ERROR_SUCCESS)
                e = f->Write(content.data(), std::uint32_t(content.size()), &done);
        }
        if (e != ERROR_SUCCESS) {
            *error = Message("cannot install " + store::HostName(file.devicePath).value_or("?"), e);
            return false;
        }
    }
    return true;
}

bool BuildFactoryRegistry(reg::Hive& hive, const Profile& profile, std::string* error)
{
    struct Part {
        reg::Root root;
        std::vector<reg::KeyEntry> keys;
    };
    Part parts[] = {
        { reg::HKEY_LOCAL_MACHINE, MachineKeys(profile) },
        { reg::HKEY_CLASSES_ROOT, ClassKeys(profile) },
        { reg::HKEY_CURRENT_USER, UserKeys(profile) },
    };
    for (auto& part : parts) {
        reg::Result r = hive.WriteTree(part.root, u"", part.keys);
        if (r != reg::ERROR_SUCCESS) {
            *error = Message("cannot write the factory registry", DWORD(r));
            return false;
        }
    }
    if (hive.Sync() != reg::ERROR_SUCCESS) {
        *error = "cannot flush the factory registry to disk";
        return false;
    }
    return true;
}

bool EnsureFactoryImage(const std::filesystem::path& files, const std::filesystem::path& registry,
    const Profile& profile, const std::vector<ImageFile>& extra, std::string* error)
{
    std::error_code ec;
    if (!std::filesystem::exists(files)) {
        std::filesystem::path aside = files.string() + ".new";
        std::filesystem::remove_all(aside, ec);
        if (!std::filesystem::create_directory(aside, ec)) {
            *error = "cannot create " + aside.string() + ": " + ec.message();
            return false;
        }
        {
            auto st = store::Store::Open(aside, error);
            if (!st || !BuildFactoryStore(*st, extra, error)) {
                std::filesystem::remove_all(aside, ec);
                return false;
            }
        }
        std::filesystem::rename(aside, files, ec);
        if (ec) {
            *error = "cannot rename " + aside.string() + " into place: " + ec.message();
            std::filesystem::remove_all(aside, ec);
            return false;
        }
    }
    if (!std::filesystem::exists(registry)) {
        std::filesystem::path aside = registry.string() + ".new";
        std::filesystem::remove_all(aside, ec);
        {
            auto hive = reg::Hive::Open(aside, reg::Sync::Lazy, error);
            if (!hive || !BuildFactoryRegistry(*hive, profile, error)) {
                hive.reset();
                std::filesystem::remove_all(aside, ec);
                return false;
            }
        }
        std::filesystem::rename(aside, registry, ec);
        if (ec) {
            *error = "cannot rename " + aside.string() + " into place: " + ec.message();
            std::filesystem::remove_all(aside, ec);
            return false;
        }
    }
    return true;
}

} // namespace device
