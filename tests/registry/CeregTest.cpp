#include "platform/registry/Cereg.h"

#include "TempHive.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

using namespace reg;
using regtest::Bytes;
using regtest::Dword;

namespace {

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

class CeregTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::string hive = (dir.path() / "hive").string();

    Outcome Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), { "--hive", hive });
        std::ostringstream out, err;
        int code = RunCereg(args, out, err);
        return { code, out.str(), err.str() };
    }

    std::vector<KeyEntry> Tree(const std::string& hiveDir, Root root, std::u16string_view path)
    {
        auto h = regtest::OpenHive(hiveDir);
        std::vector<KeyEntry> tree;
        EXPECT_EQ(h->ReadTree(root, path, &tree), ERROR_SUCCESS);
        return tree;
    }

    std::vector<std::uint8_t> FileBytes(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    }
};

const char kDone[] = "The operation completed successfully.\n";

TEST_F(CeregTest, AddThenQueryShowsTypesAndData)
{
    EXPECT_EQ(Run({ "add", "HKLM\\Software\\Quorvane", "/v", "Status", "/d", "Row 1 of 3" }).out, kDone);
    EXPECT_EQ(
        Run({ "add", "HKLM\\Software\\Quorvane", "/v", "Cancel", "/t", "REG_DWORD", "/d", "1" }).code, 0);
    EXPECT_EQ(
        Run({ "add", "HKLM\\Software\\Quorvane", "/v", "Lines", "/t", "REG_MULTI_SZ", "/d", "a\\0b" }).code,
        0);
    EXPECT_EQ(
        Run({ "add", "HKLM\\Software\\Quorvane", "/v", "Raw", "/t", "REG_BINARY", "/d", "00ff" }).code, 0);
    EXPECT_EQ(Run({ "add", "HKLM\\Software\\Quorvane", "/ve", "/d", "Größe" }).code, 0);
    EXPECT_EQ(Run({ "add", "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Debug", "/f" }).code, 0);

    Outcome q = Run({ "query", "hklm\\SOFTWARE\\quorvane" });
    EXPECT_EQ(q.code, 0);
    EXPECT_EQ(q.err, "");
    EXPECT_EQ(q.out,
        "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\n"
        "    (Default)    REG_SZ    Größe\n"
        "    Cancel    REG_DWORD    0x1\n"
        "    Lines    REG_MULTI_SZ    a\\0b\n"
        "    Raw    REG_BINARY    00FF\n"
        "    Status    REG_SZ    Row 1 of 3\n"
        "\n"
        "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Debug\n");
    q = Run({ "query", "HKLM\\Software\\Quorvane", "/v", "CANCEL" });
    EXPECT_EQ(q.out, "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\n    Cancel    REG_DWORD    0x1\n\n");
    q = Run({ "query", "HKLM\\Software", "/s" });
    EXPECT_EQ(q.out,
        "\nHKEY_LOCAL_MACHINE\\Software\n"
        "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\n"
        "    (Default)    REG_SZ    Größe\n"
        "    Cancel    REG_DWORD    0x1\n"
        "    Lines    REG_MULTI_SZ    a\\0b\n"
        "    Raw    REG_BINARY    00FF\n"
        "    Status    REG_SZ    Row 1 of 3\n"
        "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\\Debug\n\n");

    // The stored bytes are what a Windows registry tool stores.
    auto h = regtest::OpenHive(hive);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(
        h->QueryValue(HKEY_LOCAL_MACHINE, u"Software\\Quorvane", u"Status", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Bytes(std::u16string(u"Row 1 of 3\0", 11)));
    ASSERT_EQ(
        h->QueryValue(HKEY_LOCAL_MACHINE, u"Software\\Quorvane", u"Cancel", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(1));
}

TEST_F(CeregTest, DeleteValuesAndKeys)
{
    ASSERT_EQ(Run({ "add", "HKCU\\a\\b", "/v", "x", "/d", "1" }).code, 0);
    ASSERT_EQ(Run({ "add", "HKCU\\a", "/v", "y", "/d", "2" }).code, 0);
    ASSERT_EQ(Run({ "add", "HKCU\\a", "/ve", "/d", "3" }).code, 0);
    EXPECT_EQ(Run({ "delete", "HKCU\\a", "/v", "Y", "/f" }).out, kDone);
    EXPECT_EQ(Run({ "query", "HKCU\\a", "/v", "y" }).code, 1);
    EXPECT_EQ(Run({ "delete", "HKCU\\a", "/va" }).code, 0);
    EXPECT_EQ(Run({ "query", "HKCU\\a", "/ve" }).code, 1);
    EXPECT_EQ(Run({ "query", "HKCU\\a\\b", "/v", "x" }).code, 0); // sub-keys keep theirs
    EXPECT_EQ(Run({ "delete", "HKCU\\a" }).out, kDone);
    Outcome q = Run({ "query", "HKCU\\a\\b" });
    EXPECT_EQ(q.code, 1);
    EXPECT_EQ(q.err, "ERROR: The system was unable to find the specified registry key or value.\n");
}

TEST_F(CeregTest, ErrorsExitWithOneAndAMessage)
{
    const std::string syntax = "ERROR: Invalid syntax.\nType \"cereg --help\" for usage.\n";
    const std::string badKey = "ERROR: Invalid key name.\nType \"cereg --help\" for usage.\n";
    const std::string missing = "ERROR: The system was unable to find the specified registry key or value.\n";
    ASSERT_EQ(Run({ "add", "HKLM\\k" }).code, 0);
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        { {}, syntax },
        { { "frobnicate", "HKLM" }, syntax },
        { { "query" }, syntax },
        { { "query", "HKLM\\k", "extra" }, syntax },
        { { "query", "HKLM\\k", "/v" }, syntax },
        { { "query", "HKLM\\k", "/v", "a", "/ve" }, syntax },
        { { "add", "HKLM\\k", "/v", "a", "/v", "b" }, syntax },
        { { "delete", "HKLM\\k", "/v", "a", "/va" }, syntax },
        { { "export", "HKLM\\k" }, syntax },
        { { "query", "HKXX\\k" }, badKey },
        { { "query", "HKLM\\a\\\\b" }, badKey },
        { { "add", "Software\\k" }, badKey },
        { { "delete", "HKLM" }, badKey },
        { { "query", "HKLM\\none" }, missing },
        { { "query", "HKLM\\k", "/v", "none" }, missing },
        { { "delete", "HKLM\\none" }, missing },
        { { "delete", "HKLM\\k", "/v", "none" }, missing },
        { { "export", "HKLM\\none", (dir.path() / "x.reg").string() }, missing },
        { { "add", "HKLM\\k", "/v", "d", "/t", "REG_DWORD", "/d", "abc" },
            "ERROR: Invalid syntax. Specify valid numeric value for '/d'.\n" },
        { { "add", "HKLM\\k", "/v", "d", "/t", "REG_TEXT" },
            "ERROR: Invalid type \"REG_TEXT\".\nType \"cereg --help\" for usage.\n" },
        { { "import", (dir.path() / "absent.reg").string() },
            "ERROR: Error opening the file " + (dir.path() / "absent.reg").string()
                + ": No such file or directory\n" },
    };
    for (const Case& c : cases) {
        Outcome o = Run(c.args);
        std::string shown;
        for (const auto& a : c.args)
            shown += a + " ";
        EXPECT_EQ(o.code, 1) << shown;
        EXPECT_EQ(o.err, c.err) << shown;
        EXPECT_EQ(o.out, "") << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "x.reg"));

    std::ostringstream out, err;
    EXPECT_EQ(RunCereg({ "query", "HKLM" }, out, err), 1);
    EXPECT_EQ(err.str(), "ERROR: No hive given: name its folder with --hive DIR.\n");
    std::ostringstream out2, err2;
    std::string empty = (dir.path() / "empty").string();
    EXPECT_EQ(RunCereg({ "--hive", empty, "query", "HKLM" }, out2, err2), 1);
    EXPECT_EQ(err2.str(), "ERROR: No registry hive in " + empty + ".\n");
    EXPECT_FALSE(std::filesystem::exists(empty)); // looking created nothing
}

TEST_F(CeregTest, ImportOfABadFileChangesNothing)
{
    ASSERT_EQ(Run({ "add", "HKLM\\keep", "/v", "v", "/d", "1" }).code, 0);
    std::filesystem::path file = dir.path() / "bad.reg";
    std::ofstream(file, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                             "[-HKLM\\keep]\r\n"
                                             "[HKLM\\new]\r\n"
                                             "\"v\"=dword:1\r\n"
                                             "\"w\"=hex:zz\r\n";
    Outcome o = Run({ "import", file.string() });
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err,
        "ERROR: " + file.string()
            + " is not a valid registry file: line 6: a hex list needs bytes of two hex digits "
              "separated by commas\n");
    EXPECT_EQ(Run({ "query", "HKLM\\keep", "/v", "v" }).code, 0);
    EXPECT_EQ(Run({ "query", "HKLM\\new" }).code, 1);
}

TEST_F(CeregTest, ExportThenImportGivesAnEqualTree)
{
    {
        auto h = regtest::OpenHive(hive);
        std::vector<Change> build = {
            { Change::CreateKey, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ\\deep [x]", u"", REG_NONE,
                {} },
            { Change::CreateKey, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\empty", u"", REG_NONE, {} },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy", u"", REG_SZ,
                Bytes(std::u16string(u"default\0", 8)) },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy", u"Größe \"q\" \\", REG_SZ,
                Bytes(std::u16string(u"wert \\ \"x\"\0", 11)) },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy", u"NoTerminator", REG_SZ,
                Bytes(u"raw") },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy", u"Empty", REG_SZ, {} },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ", u"Bin", REG_BINARY,
                std::vector<std::uint8_t>(300, 0xA5) },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ", u"Multi", REG_MULTI_SZ,
                Bytes(std::u16string(u"eins\0zwei\0drei ✓\0\0", 18)) },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ", u"Exp", REG_EXPAND_SZ,
                Bytes(std::u16string(u"%TEMP%\\x\0", 9)) },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ", u"Dw", REG_DWORD,
                Dword(0xDEADBEEF) },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ", u"Big", REG_DWORD_BIG_ENDIAN,
                { 1, 2, 3, 4 } },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ", u"Q", REG_QWORD,
                { 1, 2, 3, 4, 5, 6, 7, 8 } },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ\\deep [x]", u"Odd", 0xABCDu,
                { 9 } },
            { Change::SetValue, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy\\Δ\\deep [x]", u"None", REG_NONE,
                {} },
        };
        ASSERT_EQ(h->Apply(build), ERROR_SUCCESS);
    }
    std::filesystem::path file = dir.path() / "tree.reg";
    Outcome o = Run({ "export", "hklm\\software\\ünïcödé kéy", file.string() });
    ASSERT_EQ(o.code, 0) << o.err;
    EXPECT_EQ(o.out, kDone);
    std::vector<std::uint8_t> bytes = FileBytes(file);
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(bytes[2], 'W');
    EXPECT_EQ(bytes[3], 0);

    std::string other = (dir.path() / "other").string();
    std::ostringstream out, err;
    ASSERT_EQ(RunCereg({ "--hive", other, "import", file.string() }, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), kDone);
    std::vector<KeyEntry> before = Tree(hive, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy");
    std::vector<KeyEntry> after = Tree(other, HKEY_LOCAL_MACHINE, u"Software\\Ünïcödé Kéy");
    ASSERT_EQ(after.size(), before.size());
    ASSERT_EQ(before.size(), 4u);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(after[i].path, before[i].path);
        ASSERT_EQ(after[i].values.size(), before[i].values.size()) << ToUtf8(before[i].path);
        for (std::size_t j = 0; j < before[i].values.size(); ++j) {
            EXPECT_EQ(after[i].values[j].name, before[i].values[j].name);
            EXPECT_EQ(after[i].values[j].type, before[i].values[j].type) << ToUtf8(before[i].values[j].name);
            EXPECT_EQ(after[i].values[j].data, before[i].values[j].data) << ToUtf8(before[i].values[j].name);
        }
    }
    // The key names keep their spelling too.
    auto h = regtest::OpenHive(other);
    std::u16string stored;
    ASSERT_EQ(h->StoredPath(HKEY_LOCAL_MACHINE, u"SOFTWARE\\ÜNÏCÖDÉ KÉY\\δ", &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, u"Software\\Ünïcödé Kéy\\Δ");
}

TEST_F(CeregTest, ExportRefusesNamesWithLineBreaksAndWritesNoFile)
{
    {
        auto h = regtest::OpenHive(hive);
        ASSERT_EQ(h->CreateKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
        ASSERT_EQ(h->SetValue(HKEY_LOCAL_MACHINE, u"k", u"two\nlines", REG_SZ, nullptr, 0), ERROR_SUCCESS);
    }
    std::filesystem::path file = dir.path() / "k.reg";
    std::ofstream(file) << "previous";
    Outcome o = Run({ "export", "HKLM\\k", file.string() });
    EXPECT_EQ(o.code, 1);
    EXPECT_EQ(o.err, "ERROR: Cannot export: a value name in \"HKEY_LOCAL_MACHINE\\k\" holds a line break.\n");
    EXPECT_EQ(FileBytes(file), (std::vector<std::uint8_t> { 'p', 'r', 'e', 'v', 'i', 'o', 'u', 's' }));
}

TEST_F(CeregTest, TheProgramUsesExitCodes)
{
    std::string program = CEREG_PROGRAM;
    auto run = [&](const std::string& args) {
        int status = std::system((program + " --hive " + hive + " " + args + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("add 'HKLM\\Software\\Q' /v Cancel /t REG_DWORD /d 0x10"), 0);
    EXPECT_EQ(run("query 'HKLM\\Software\\Q' /v Cancel"), 0);
    EXPECT_EQ(run("query 'HKLM\\Software\\Q' /v Missing"), 1);
    EXPECT_EQ(run("bogus"), 1);
    std::FILE* pipe = popen((program + " --hive " + hive + " query 'HKLM\\Software\\Q' 2>&1").c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        text += buffer;
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(text, "\nHKEY_LOCAL_MACHINE\\Software\\Q\n    Cancel    REG_DWORD    0x10\n\n");
}

} // namespace
