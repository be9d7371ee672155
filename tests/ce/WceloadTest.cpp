// wceload: its command line, the manifest, reading cabinets made by gcab,
// the desktop's way of reading a CAB's application name, and whole
// installations run on the device by the process host.
#include "DeviceFixture.h"

#include "device/process/ProcessTable.h"
#include "device/wceload/Cabinet.h"
#include "device/wceload/Manifest.h"
#include "exchange/Text.h"
#include "tests/support/HostFile.h"

#include <fstream>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using cetest::WaitFor;
using testsupport::ReadHostFile;
using namespace wceload;

std::vector<std::uint8_t> Bytes(std::string_view s)
{
    return { s.begin(), s.end() };
}

// Runs gcab to build `cab` from `files` (host paths, stored in that order).
bool RunGcab(const std::filesystem::path& cab, const std::vector<std::filesystem::path>& files)
{
    std::vector<std::string> args { GCAB_PROGRAM, "-c", "-n", cab.string() };
    for (const auto& f : files)
        args.push_back(f.string());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The desktop's reading of a CAB's application: the two strings found 108
// bytes past the 16-bit value at offset 36, "second first".
std::string DesktopApplicationName(const std::string& file)
{
    std::vector<std::uint8_t> buf(12000, 0);
    std::copy_n(file.begin(), std::min<std::size_t>(file.size(), buf.size()), buf.begin());
    if (file.size() < 4 || file.compare(0, 4, "MSCF") != 0)
        return "(Unknown)";
    std::size_t p = 108 + (buf[36] | buf[37] << 8);
    if (p > 12000)
        return "(Unknown)";
    if (buf[p] == 0) {
        auto printable = [&](std::size_t i) { return buf[i] >= 0x20 && buf[i] <= 0x7F; };
        bool found = false;
        for (int i = 0; i < 100 && p > 0 && !found; ++i) {
            --p;
            found = p + 4 < buf.size() && printable(p) && printable(p + 1) && buf[p + 2] == 0
                && printable(p + 3) && printable(p + 4);
        }
        if (!found)
            return "(Unknown)";
        while (p > 0 && buf[p - 1] != 0)
            --p;
    }
    std::string a(reinterpret_cast<const char*>(&buf[p]));
    std::string b(reinterpret_cast<const char*>(&buf[p + a.size() + 1]));
    return b + " " + a;
}

TEST(WceloadCommandLine, OptionsThenAQuotedOrPlainPath)
{
    CommandLine c;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(u"\"\\My Documents\\app.cab\"", &c, &error)) << error;
    EXPECT_TRUE(c.deleteCab);
    EXPECT_FALSE(c.noAskDest);
    EXPECT_EQ(c.cabPath, u"\\My Documents\\app.cab");
    ASSERT_TRUE(ParseCommandLine(u"/noaskdest /delete 0 \"\\app.cab\"", &c, &error)) << error;
    EXPECT_FALSE(c.deleteCab);
    EXPECT_TRUE(c.noAskDest);
    EXPECT_EQ(c.cabPath, u"\\app.cab");
    ASSERT_TRUE(ParseCommandLine(u"  /DELETE 0   \\Temp\\x y.cab  ", &c, &error)) << error;
    EXPECT_FALSE(c.deleteCab);
    EXPECT_EQ(c.cabPath, u"\\Temp\\x y.cab");
    ASSERT_TRUE(ParseCommandLine(u"/delete 1 \\a.cab", &c, &error));
    EXPECT_TRUE(c.deleteCab);

    EXPECT_FALSE(ParseCommandLine(u"", &c, &error));
    EXPECT_EQ(error, "no CAB file given");
    EXPECT_FALSE(ParseCommandLine(u"/delete 2 \\a.cab", &c, &error));
    EXPECT_EQ(error, "/delete takes 0 or 1");
    EXPECT_FALSE(ParseCommandLine(u"/quiet \\a.cab", &c, &error));
    EXPECT_EQ(error, "unknown option /quiet");
    EXPECT_FALSE(ParseCommandLine(u"\"\\a.cab", &c, &error));
    EXPECT_EQ(error, "the CAB path's quotes do not close at its end");
}

TEST(WceloadManifest, FormatsAndParsesBackWithNamesAt100)
{
    Manifest m;
    m.application = "Notes";
    m.provider = "Contoso";
    m.installDir = u"\\Program Files\\Contoso Notes";
    m.files = { { "notes.exe", u"%InstallDir%\\notes.exe" }, { "help.htm", u"\\Windows\\notes.htm" } };
    m.registryMember = "setup.reg";
    auto bytes = FormatManifest(m);
    ASSERT_GT(bytes.size(), 112u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 24), "QUORVANE-CAB-MANIFEST 1\n");
    EXPECT_EQ(std::string(bytes.begin() + 100, bytes.begin() + 114), std::string("Notes\0Contoso\0", 14));
    Manifest back;
    std::string error;
    ASSERT_TRUE(ParseManifest(bytes, &back, &error)) << error;
    EXPECT_EQ(back.application, "Notes");
    EXPECT_EQ(back.provider, "Contoso");
    EXPECT_EQ(back.installDir, m.installDir);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[0].member, "notes.exe");
    EXPECT_EQ(back.files[1].target, u"\\Windows\\notes.htm");
    EXPECT_EQ(back.registryMember, "setup.reg");
    EXPECT_EQ(AppKeyName(back), u"Contoso Notes");
    EXPECT_EQ(InstallDir(back), u"\\Program Files\\Contoso Notes");
    back.installDir.clear();
    EXPECT_EQ(InstallDir(back), u"\\Program Files\\Notes");
    EXPECT_EQ(ExpandInstallDir(u"%installdir%\\a;%INSTALLDIR%", u"\\D"), u"\\D\\a;\\D");
}

TEST(WceloadManifest, RejectsWhatItCannotInstall)
{
    Manifest m;
    m.application = "A";
    m.provider = "P";
    auto base = FormatManifest(m);
    auto with = [&](std::string_view text) {
        auto b = base;
        b.insert(b.end(), text.begin(), text.end());
        return b;
    };
    Manifest out;
    std::string error;
    EXPECT_TRUE(ParseManifest(with("# comment\r\n\r\nFile=a|\\Temp\\a\r\n"), &out, &error)) << error;
    EXPECT_FALSE(ParseManifest(with("Copy=a|\\b\n"), &out, &error));
    EXPECT_EQ(error, "manifest line 1: unknown directive \"copy\"");
    EXPECT_FALSE(ParseManifest(with("File=a|Temp\\a\n"), &out, &error));
    EXPECT_EQ(error, "manifest line 1: File target is not a device path");
    EXPECT_FALSE(ParseManifest(with("File=a|\\Temp\\a*b\n"), &out, &error));
    EXPECT_FALSE(ParseManifest(with("InstallDir=\\A\nInstallDir=\\B\n"), &out, &error));
    EXPECT_EQ(error, "manifest line 2: InstallDir given twice");
    EXPECT_FALSE(ParseManifest(with("Registry=\n"), &out, &error));

    auto noProvider = Bytes(std::string("QUORVANE-CAB-MANIFEST 1\n") + std::string(76, '\0') + "App");
    EXPECT_FALSE(ParseManifest(noProvider, &out, &error));
    EXPECT_EQ(error, "the manifest's application name or provider is missing or invalid");
    auto notManifest = Bytes(std::string(120, 'x'));
    EXPECT_FALSE(ParseManifest(notManifest, &out, &error));
    EXPECT_EQ(error, "the cabinet's first member is not an installation manifest");
}

class CabinetFiles : public ::testing::Test {
protected:
    std::filesystem::path Write(const std::string& name, const std::string& content)
    {
        auto p = m_dir.path() / name;
        std::ofstream(p, std::ios::binary) << content;
        return p;
    }
    std::filesystem::path Write(const std::string& name, const std::vector<std::uint8_t>& content)
    {
        return Write(name, std::string(content.begin(), content.end()));
    }
    testsupport::TempDir m_dir { "qvce" };
};

TEST_F(CabinetFiles, ReadsGcabCabinetsInStoredOrderAndRefusesDamagedOnes)
{
    Manifest m;
    m.application = "Notes";
    m.provider = "Contoso";
    auto manifest = Write("_setup.qvm", FormatManifest(m));
    std::string big(100000, 'b');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = char('a' + (i * 7919) % 26);
    auto cab = m_dir.path() / "t.cab";
    ASSERT_TRUE(RunGcab(cab, { manifest, Write("b.txt", "bee\n"), Write("a.bin", big) }));
    std::string raw = ReadHostFile(cab);

    std::vector<CabMember> members;
    std::string error;
    ASSERT_TRUE(ReadCabinet(Bytes(raw), &members, &error)) << error;
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0].name, "_setup.qvm");
    EXPECT_EQ(members[0].data, FormatManifest(m));
    EXPECT_EQ(members[1].name, "b.txt");
    EXPECT_EQ(std::string(members[1].data.begin(), members[1].data.end()), "bee\n");
    EXPECT_EQ(members[2].name, "a.bin");
    EXPECT_EQ(std::string(members[2].data.begin(), members[2].data.end()), big);
    EXPECT_EQ(DesktopApplicationName(raw), "Contoso Notes");

    std::string damaged = raw;
    damaged[damaged.size() - 500] ^= 0x40;
    EXPECT_FALSE(ReadCabinet(Bytes(damaged), &members, &error));
    EXPECT_EQ(error, "member \"a.bin\": a data block of the cabinet fails its checksum");
    EXPECT_TRUE(members.empty());
    EXPECT_FALSE(ReadCabinet(Bytes(raw.substr(0, raw.size() / 2)), &members, &error));
    EXPECT_FALSE(ReadCabinet(Bytes("just some text, not a cabinet at all"), &members, &error));
    EXPECT_EQ(error, "not a cabinet");
    EXPECT_FALSE(ReadCabinet({}, &members, &error));
}

TEST(WceloadRuntimeCabs, TheDesktopReadsEachRuntimeCabsApplication)
{
    std::map<std::string, std::string> expected {
        { "sqlce.wce4.armv4.cab", "Microsoft SQLCE 2.0" },
        { "sqlce30.ppc.wce5.armv4i.cab", "Microsoft SQL Mobile 2005" },
        { "sqlce30.repl.wce5.armv4i.cab", "Microsoft SQL Mobile 2005 Replication" },
        { "sqlce30.ppc.wce4.armv4.cab", "Microsoft SQL Mobile 2005" },
        { "sqlce30.repl.ppc.wce4.armv4.cab", "Microsoft SQL Mobile 2005 Replication" },
    };
    for (const auto& [name, application] : expected) {
        std::string raw = ReadHostFile(std::filesystem::path(RUNTIME_CAB_DIR) / name);
        ASSERT_FALSE(raw.empty()) << name;
        EXPECT_EQ(DesktopApplicationName(raw), application) << name;
        std::vector<CabMember> members;
        std::string error;
        ASSERT_TRUE(ReadCabinet(Bytes(raw), &members, &error)) << name << ": " << error;
        Manifest m;
        EXPECT_TRUE(ParseManifest(members[0].data, &m, &error)) << name << ": " << error;
    }
}

// Whole installations: wceload copied into the store and run by the process host.
class WceloadDevice : public cetest::DeviceFixture {
protected:
    void SetUp() override
    {
        DeviceFixture::SetUp();
        Put(u"\\Windows\\wceload.exe", ReadHostFile(WCELOAD_PROGRAM));
        device::ProcessTable::Config config;
        config.store = &Store();
        config.deviceDir = m_folder.dir;
        m_table = std::make_unique<device::ProcessTable>(config);
        ASSERT_EQ(Hive().CreateKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Apps"), 0);
    }
    void TearDown() override { m_table.reset(); }

    // Runs wceload with `commandLine` and waits for it to end.
    void Wceload(std::u16string_view commandLine)
    {
        device::ProcessStart started;
        ASSERT_EQ(m_table->CreateProcess(u"\\Windows\\wceload.exe", commandLine, &started), ERROR_SUCCESS);
        ASSERT_TRUE(WaitFor([&] { return m_table->Find(started.processId) != ERROR_SUCCESS; }, 30));
    }

    // A CAB of the manifest, the given members and a registry file.
    std::string MakeCab(
        const Manifest& manifest, const std::vector<std::pair<std::string, std::string>>& members)
    {
        std::vector<std::filesystem::path> files;
        auto dir = m_temp.path() / ("cab" + std::to_string(m_cabs++));
        std::filesystem::create_directories(dir);
        auto add = [&](const std::string& name, const std::string& content) {
            std::ofstream(dir / name, std::ios::binary) << content;
            files.push_back(dir / name);
        };
        auto bytes = FormatManifest(manifest);
        add("_setup.qvm", std::string(bytes.begin(), bytes.end()));
        for (const auto& [name, content] : members)
            add(name, content);
        EXPECT_TRUE(RunGcab(dir / "out.cab", files));
        return ReadHostFile(dir / "out.cab");
    }

    Manifest NotesManifest()
    {
        Manifest m;
        m.application = "Notes";
        m.provider = "Contoso";
        m.files
            = { { "notes.exe", u"%InstallDir%\\notes.exe" }, { "notes.htm", u"\\Windows\\Help\\notes.htm" } };
        m.registryMember = "setup.reg";
        return m;
    }
    std::vector<std::pair<std::string, std::string>> NotesMembers()
    {
        return { { "notes.exe", "NOTES PROGRAM" }, { "notes.htm", "<html>help</html>" },
            { "setup.reg",
                "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\.note]\r\n@=\"notefile\"\r\n\r\n"
                "[HKEY_CLASSES_ROOT\\notefile\\Shell\\Open\\Command]\r\n@=\"%InstallDir%\\\\notes.exe "
                "%1\"\r\n" } };
    }

    // Every host file of the store with its content, and every registry root.
    std::map<std::string, std::string> DeviceState()
    {
        std::map<std::string, std::string> state;
        for (const auto& e : std::filesystem::recursive_directory_iterator(m_folder.Files()))
            state[e.path().lexically_relative(m_folder.Files()).string()]
                = e.is_regular_file() ? ReadHostFile(e.path()) : "<dir>";
        for (reg::Root root : { reg::HKEY_CLASSES_ROOT, reg::HKEY_CURRENT_USER, reg::HKEY_LOCAL_MACHINE }) {
            std::vector<reg::KeyEntry> tree;
            Hive().ReadTree(root, u"", &tree);
            for (const auto& k : tree) {
                std::string key = std::to_string(root) + ":" + exchange::ToUtf8(k.path);
                state[key] = "<key>";
                for (const auto& v : k.values)
                    state[key + "@" + exchange::ToUtf8(v.name)]
                        = std::to_string(v.type) + ":" + std::string(v.data.begin(), v.data.end());
            }
        }
        return state;
    }

    std::u16string RegString(reg::Root root, std::u16string_view key, std::u16string_view name)
    {
        std::vector<std::uint8_t> data;
        if (Hive().QueryValue(root, key, name, nullptr, &data))
            return u"<missing>";
        std::u16string text = exchange::FromUtf16LeBytes(std::span<const std::uint8_t>(data));
        if (!text.empty() && text.back() == u'\0')
            text.pop_back();
        return text;
    }

    std::unique_ptr<device::ProcessTable> m_table;
    int m_cabs = 0;
};

TEST_F(WceloadDevice, InstallsFilesAndRegistryEntriesAndDeletesTheCab)
{
    Put(u"\\My Documents\\notes.cab", MakeCab(NotesManifest(), NotesMembers()));
    Wceload(u"\"\\My Documents\\notes.cab\"");
    EXPECT_EQ(Get(u"\\Program Files\\Notes\\notes.exe"), "NOTES PROGRAM");
    EXPECT_EQ(Get(u"\\Windows\\Help\\notes.htm"), "<html>help</html>");
    EXPECT_EQ(RegString(reg::HKEY_CLASSES_ROOT, u".note", u""), u"notefile");
    EXPECT_EQ(RegString(reg::HKEY_CLASSES_ROOT, u"notefile\\Shell\\Open\\Command", u""),
        u"\\Program Files\\Notes\\notes.exe %1");
    EXPECT_EQ(RegString(reg::HKEY_LOCAL_MACHINE, u"Software\\Apps\\Contoso Notes", u"InstallDir"),
        u"\\Program Files\\Notes");
    std::uint32_t instl = 0, size = 4, type = 0;
    ASSERT_EQ(Hive().QueryValue(
                  reg::HKEY_LOCAL_MACHINE, u"Software\\Apps\\Contoso Notes", u"Instl", &type, &instl, &size),
        0);
    EXPECT_EQ(type, reg::REG_DWORD);
    EXPECT_EQ(instl, 1u);
    EXPECT_EQ(Get(u"\\My Documents\\notes.cab"), "<unreadable>") << "the CAB should be gone";
    // Nothing is left aside.
    for (const auto& e : std::filesystem::recursive_directory_iterator(m_folder.Files()))
        EXPECT_EQ(e.path().filename().string().find("~wceload"), std::string::npos) << e.path();
}

TEST_F(WceloadDevice, DeleteZeroKeepsTheCabAndReinstallingReplacesFiles)
{
    std::string cab = MakeCab(NotesManifest(), NotesMembers());
    Put(u"\\notes.cab", cab);
    Wceload(u"/noaskdest /delete 0 \"\\notes.cab\"");
    EXPECT_EQ(Get(u"\\notes.cab"), cab);
    EXPECT_EQ(Get(u"\\Program Files\\Notes\\notes.exe"), "NOTES PROGRAM");
    Put(u"\\Program Files\\Notes\\notes.exe", "CHANGED BY THE USER");
    Wceload(u"/delete 0 \\notes.cab");
    EXPECT_EQ(Get(u"\\Program Files\\Notes\\notes.exe"), "NOTES PROGRAM");
    EXPECT_EQ(Get(u"\\notes.cab"), cab);
}

TEST_F(WceloadDevice, ADamagedCabLeavesTheDeviceAndTheCabAsTheyWere)
{
    std::string cab = MakeCab(NotesManifest(), NotesMembers());
    std::string damaged = cab;
    damaged[damaged.size() - 20] ^= 0x01;
    Put(u"\\damaged.cab", damaged);
    Put(u"\\notcab.cab", "MSCF but nothing else of a cabinet");
    auto before = DeviceState();
    Wceload(u"\"\\damaged.cab\"");
    Wceload(u"\"\\notcab.cab\"");
    Wceload(u"\"\\missing.cab\"");
    Wceload(u"/bogus \"\\damaged.cab\"");
    EXPECT_EQ(DeviceState(), before);
}

TEST_F(WceloadDevice, AManifestNamingAMissingMemberChangesNothing)
{
    Manifest m = NotesManifest();
    m.files.push_back({ "absent.dll", u"\\Windows\\absent.dll" });
    Put(u"\\broken.cab", MakeCab(m, NotesMembers()));
    auto before = DeviceState();
    Wceload(u"\"\\broken.cab\"");
    EXPECT_EQ(DeviceState(), before);
}

TEST_F(WceloadDevice, AFileThatCannotBeReplacedUndoesEverything)
{
    ASSERT_EQ(Store().CreateDirectory(u"\\Windows\\Help"), 0u);
    Put(u"\\Windows\\Help\\notes.htm", "old help");
    Put(u"\\notes.cab", MakeCab(NotesManifest(), NotesMembers()));
    auto before = DeviceState();
    // The help file is open without sharing deletion, so it cannot be replaced.
    std::unique_ptr<store::File> held;
    bool existed = false;
    ASSERT_EQ(Store().CreateFile(u"\\Windows\\Help\\notes.htm", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING,
                  0, &held, &existed),
        0u);
    Wceload(u"\"\\notes.cab\"");
    held.reset();
    EXPECT_EQ(DeviceState(), before);
    EXPECT_EQ(Get(u"\\Windows\\Help\\notes.htm"), "old help");
}

TEST_F(WceloadDevice, RuntimeCabsRegisterTheEngineClasses)
{
    const std::u16string clsid20 = u"CLSID\\{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}";
    const std::u16string clsid30 = u"CLSID\\{32ce2952-2585-49a6-aeff-1732076c2945}";
    struct Case {
        const char* cab;
        const std::u16string* clsid;
        const char16_t* library;
    };
    const Case cases[] = {
        { "sqlce.wce4.armv4.cab", &clsid20, u"\\Windows\\sscedb20.dll" },
        { "sqlce30.ppc.wce5.armv4i.cab", &clsid30, u"\\Windows\\sqlceoledb30.dll" },
        { "sqlce30.repl.wce5.armv4i.cab", &clsid30, u"\\Windows\\sqlceoledb30.dll" },
        { "sqlce30.ppc.wce4.armv4.cab", &clsid30, u"\\Windows\\sqlceoledb30.dll" },
        { "sqlce30.repl.ppc.wce4.armv4.cab", &clsid30, u"\\Windows\\sqlceoledb30.dll" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cab);
        Hive().DeleteKey(reg::HKEY_CLASSES_ROOT, u"CLSID");
        std::u16string devicePath = u"\\" + exchange::FromUtf8(c.cab);
        Put(devicePath, ReadHostFile(std::filesystem::path(RUNTIME_CAB_DIR) / c.cab));
        Wceload(u"\"" + devicePath + u"\"");
        EXPECT_EQ(Hive().OpenKey(reg::HKEY_CLASSES_ROOT, *c.clsid), 0);
        EXPECT_EQ(RegString(reg::HKEY_CLASSES_ROOT, *c.clsid + u"\\InprocServer32", u""), c.library);
        EXPECT_NE(Get(c.library).find("stand-in"), std::string::npos);
        EXPECT_EQ(Get(devicePath), "<unreadable>");
    }
    EXPECT_EQ(RegString(reg::HKEY_LOCAL_MACHINE, u"Software\\Apps\\Microsoft SQLCE 2.0", u"InstallDir"),
        u"\\Windows");
    EXPECT_EQ(RegString(reg::HKEY_LOCAL_MACHINE, u"Software\\Apps\\Microsoft SQL Mobile 2005 Replication",
                  u"InstallDir"),
        u"\\Windows");
}

} // namespace
