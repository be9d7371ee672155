// quorvane-cli's device commands against a running device: exit statuses,
// outputs and the device's error texts.
#include "tests/cli/CliFixture.h"

#include <sstream>

using testing_cli::Cli;
using testsupport::ReadHostFile;
using testsupport::RunResult;
using testsupport::WriteHostFile;

namespace {

TEST_F(Cli, InfoTellsTheDevice)
{
    RunResult r = Q({ "info" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "Platform: PocketPC\nOEM: Quorvane Pocket PC (Windows Mobile 5.0)\nOS version: 5.1.1700\n"
        "Profile: pocketpc\n");
}

TEST_F(Cli, PutGetListAndRemove)
{
    testsupport::TempDir local;
    std::string content(150000, 'q');
    WriteHostFile(local.path() / "in.bin", content);
    RunResult r = Q({ "put", (local.path() / "in.bin").string(), "\\My Documents\\Data.bin" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadHostFile(files() / "My Documents" / "Data.bin") == content);
    r = Q({ "get", "\\my documents\\data.bin", (local.path() / "out.bin").string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadHostFile(local.path() / "out.bin") == content);

    r = Q({ "ls", "\\My Documents" });
    EXPECT_EQ(r.status, 0);
    ASSERT_EQ(r.out.size(), 47u) << r.out;
    EXPECT_TRUE(r.out.starts_with("----a       150000  ")) << r.out;
    EXPECT_TRUE(r.out.ends_with("  Data.bin\n")) << r.out;
    r = Q({ "ls", "\\Windows\\p*.exe" });
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("-r-s-           25  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  pword.exe\n"), std::string::npos);
    EXPECT_NE(r.out.find("  pxl.exe\n"), std::string::npos);

    r = Q({ "rm", "\\My Documents\\Data.bin" });
    EXPECT_EQ(r.status, 0) << r.err;
    r = Q({ "rm", "\\My Documents\\Data.bin" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "quorvane-cli: cannot delete \\My Documents\\Data.bin: The system cannot find the file "
        "specified. (error 2)\n");
    r = Q({ "get", "\\nothing", (local.path() / "never").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(local.path() / "never"));
    r = Q({ "ls", "\\Nowhere" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err, "quorvane-cli: cannot list \\Nowhere: The system cannot find the file specified. (error 2)\n");
}

TEST_F(Cli, ListingInTheExplorersOrderAndSizeTexts)
{
    testsupport::TempDir local;
    WriteHostFile(local.path() / "a", std::string(1234, 'a'));
    WriteHostFile(local.path() / "b", std::string(999, 'b'));
    ASSERT_EQ(Q({ "mkdir", "\\L" }).status, 0);
    ASSERT_EQ(Q({ "mkdir", "\\L\\zdir" }).status, 0);
    ASSERT_EQ(Q({ "put", (local.path() / "a").string(), "\\L\\a.txt" }).status, 0);
    ASSERT_EQ(Q({ "put", (local.path() / "b").string(), "\\L\\B.txt" }).status, 0);
    RunResult r = Q({ "ls", "--sizes", "\\L" });
    ASSERT_EQ(r.status, 0) << r.err;
    // Folders first without a size, then the files by name, sizes as the
    // explorer's default form groups them.
    const size_t folder = r.out.find("d---- " + std::string(12, ' ') + "  ");
    const size_t first = r.out.find("----a        1,234  ");
    const size_t second = r.out.find("----a          999  ");
    EXPECT_NE(folder, std::string::npos) << r.out;
    EXPECT_LT(folder, first) << r.out;
    EXPECT_LT(first, second) << r.out;
    EXPECT_NE(second, std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  B.txt\n"), std::string::npos) << r.out;
}

TEST_F(Cli, FoldersMovesAndAttributes)
{
    EXPECT_EQ(Q({ "mkdir", "\\Quorvane" }).status, 0);
    RunResult r = Q({ "mkdir", "\\Quorvane" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "quorvane-cli: cannot create the folder \\Quorvane: Cannot create a file when that file already "
        "exists. (error 183)\n");
    EXPECT_EQ(Q({ "mv", "\\Quorvane", "\\Moved" }).status, 0);
    EXPECT_TRUE(std::filesystem::is_directory(files() / "Moved"));
    WriteHostFile(files() / "Moved" / "f.txt", "f");
    r = Q({ "rmdir", "\\Moved" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err, "quorvane-cli: cannot remove the folder \\Moved: The directory is not empty. (error 145)\n");
    EXPECT_EQ(Q({ "attrib", "\\Moved\\f.txt", "+r", "+h" }).status, 0);
    r = Q({ "attrib", "\\Moved\\f.txt" });
    EXPECT_EQ(r.out, "-rh-a  \\Moved\\f.txt\n");
    r = Q({ "rm", "\\Moved\\f.txt" });
    EXPECT_EQ(r.err, "quorvane-cli: cannot delete \\Moved\\f.txt: Access is denied. (error 5)\n");
    EXPECT_EQ(Q({ "attrib", "\\Moved\\f.txt", "-r" }).status, 0);
    EXPECT_EQ(Q({ "attrib", "\\Moved\\f.txt" }).out, "--h-a  \\Moved\\f.txt\n");
    r = Q({ "attrib", "\\Moved\\f.txt", "+x" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Q({ "rm", "\\Moved\\f.txt" }).status, 0);
    EXPECT_EQ(Q({ "rmdir", "\\Moved" }).status, 0);
}

TEST_F(Cli, RegistrySetQueryDelete)
{
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane", "Status", "sz", "Row 3 of 10" }).status, 0);
    EXPECT_EQ(
        Q({ "reg", "set", "HKEY_LOCAL_MACHINE\\Software\\Quorvane", "Cancel", "REG_DWORD", "1" }).status, 0);
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane", "Blob", "binary", "de ad BE ef" }).status, 0);
    EXPECT_EQ(
        Q({ "reg", "add", "HKLM\\Software\\Quorvane", "/v", "List", "/t", "REG_MULTI_SZ", "/d", "one\\0two" })
            .status,
        0);
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane\\Debug", "1", "expand_sz", "%TEMP%" }).status, 0);
    // As cereg prints it, from the same code.
    const std::string key = "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\n"
                            "    Blob    REG_BINARY    DEADBEEF\n"
                            "    Cancel    REG_DWORD    0x1\n"
                            "    List    REG_MULTI_SZ    one\\0two\n"
                            "    Status    REG_SZ    Row 3 of 10\n";
    RunResult r = Q({ "reg", "query", "HKLM\\Software\\Quorvane" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, key + "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\\Debug\n");
    r = Q({ "reg", "query", "HKLM\\Software\\Quorvane", "/s" });
    EXPECT_EQ(
        r.out, key + "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\\Debug\n    1    REG_EXPAND_SZ    %TEMP%\n\n");
    r = Q({ "reg", "query", "HKCR\\txtfile\\Shell\\Open\\Command", "/ve" });
    EXPECT_EQ(r.out,
        "\nHKEY_CLASSES_ROOT\\txtfile\\Shell\\Open\\Command\n    (Default)    REG_SZ    pword.exe %1\n\n");
    // The name as stored, however it was typed.
    r = Q({ "reg", "query", "HKLM\\Software\\Quorvane", "/V", "status" });
    EXPECT_EQ(r.out, "\nHKEY_LOCAL_MACHINE\\Software\\Quorvane\n    Status    REG_SZ    Row 3 of 10\n\n");
    EXPECT_EQ(Q({ "reg", "delete", "HKLM\\Software\\Quorvane", "/v", "Cancel" }).status, 0);
    r = Q({ "reg", "query", "HKLM\\Software\\Quorvane", "Cancel" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "quorvane-cli: cannot read Cancel of HKLM\\Software\\Quorvane: The system cannot find the file "
        "specified. (error 2)\n");

    // A key with sub-keys goes only when the question is answered Yes.
    r = Q({ "reg", "delete", "HKLM\\Software\\Quorvane" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "Quorvane: This will delete the following registry key, and any subkeys.\n\n"
        "HKEY_LOCAL_MACHINE\\Software\\Quorvane\n\nAre you sure ?\n[Cancel]\n"
        "quorvane-cli: reg delete: not confirmed; nothing was deleted (use --yes or /f)\n");
    EXPECT_EQ(Q({ "reg", "query", "HKLM\\Software\\Quorvane\\Debug" }).status, 0);
    EXPECT_EQ(Q({ "reg", "delete", "HKLM\\Software\\Quorvane\\Debug", "--yes" }).status, 0); // no sub-keys
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane\\Debug\\Deeper", "x", "sz", "y" }).status, 0);
    EXPECT_EQ(Q({ "reg", "delete", "HKLM\\Software\\Quorvane", "/f" }).status, 0);
    r = Q({ "reg", "query", "HKLM\\Software\\Quorvane\\Debug" });
    EXPECT_EQ(r.status, 1);

    // The name comes before "--yes", which is no value name.
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Q2", "v", "sz", "x" }).status, 0);
    EXPECT_EQ(Q({ "reg", "delete", "HKLM\\Software\\Q2", "v", "--yes" }).status, 0);

    r = Q({ "reg", "set", "HKLM\\Software\\Quorvane", "n", "dword", "0x1FFFFFFFF" });
    EXPECT_EQ(r.status, 2);
    r = Q({ "reg", "set", "HKXX\\Software", "n", "sz", "x" });
    EXPECT_EQ(r.status, 2);
    r = Q({ "reg", "set", "HKLM\\Software", "n", "qwerty", "1" });
    EXPECT_EQ(r.status, 2);
    r = Q({ "reg", "query", "HKLM\\Software", "/v" });
    EXPECT_EQ(r.status, 2);
}

// Whatever a query prints, reg set takes back: every type name and every
// data text as printed, read again into another key, lists the same.
TEST_F(Cli, RegistryQueryOutputIsTakenBackBySet)
{
    const std::vector<std::vector<std::string>> values = { { "s", "REG_SZ", "text with  spaces" },
        { "e", "REG_EXPAND_SZ", "%WINDIR%\\x" }, { "b", "REG_BINARY", "00ff10" },
        { "d", "REG_DWORD", "4294967295" }, { "be", "REG_DWORD_BIG_ENDIAN", "0x01020304" },
        { "m", "REG_MULTI_SZ", "a\\0b c\\0d" }, { "q", "REG_QWORD", "0x1122334455667788" } };
    for (const auto& v : values)
        ASSERT_EQ(Q({ "reg", "set", "HKLM\\Software\\From", v[0], v[1], v[2] }).status, 0) << v[0];
    const std::string printed = Q({ "reg", "query", "HKLM\\Software\\From" }).out;
    std::istringstream lines(printed);
    int taken = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("    "))
            continue;
        // "    NAME    TYPE    DATA"
        const std::size_t typeAt = line.find("    ", 4) + 4, dataAt = line.find("    ", typeAt) + 4;
        const std::string name = line.substr(4, typeAt - 8), type = line.substr(typeAt, dataAt - 4 - typeAt);
        RunResult r = Q({ "reg", "set", "HKLM\\Software\\To", name, type, line.substr(dataAt) });
        EXPECT_EQ(r.status, 0) << line << "\n" << r.err;
        ++taken;
    }
    EXPECT_EQ(taken, int(values.size()));
    std::string copy = Q({ "reg", "query", "HKLM\\Software\\To" }).out;
    copy.replace(copy.find("\\To\n"), 4, "\\From\n");
    EXPECT_EQ(copy, printed);
}

// reg export writes what cereg writes for the same key (one writer of the
// format), and reg import takes it back; a file with an error, or one that
// fails on the device part way, changes nothing.
TEST_F(Cli, RegistryExportAndImportAreAllOrNothing)
{
    const std::vector<std::vector<std::string>> values
        = { { "s", "REG_SZ", "text \"quoted\" \\ slash" }, { "e", "REG_EXPAND_SZ", "%WINDIR%\\x" },
              { "b", "REG_BINARY", "00ff10" }, { "d", "REG_DWORD", "4294967295" },
              { "be", "REG_DWORD_BIG_ENDIAN", "0x01020304" }, { "m", "REG_MULTI_SZ", "a\\0b c" },
              { "q", "REG_QWORD", "0x1122334455667788" }, { "u", "REG_0x1234", "0102" } };
    for (const auto& v : values)
        ASSERT_EQ(Q({ "reg", "set", "HKLM\\Software\\From", v[0], v[1], v[2] }).status, 0) << v[0];
    ASSERT_EQ(Q({ "reg", "set", "HKLM\\Software\\From\\Sub", "x", "sz", "y" }).status, 0);
    const std::string before = Q({ "reg", "query", "HKLM\\Software\\From", "/s" }).out;

    testsupport::TempDir local;
    const std::string file = (local.path() / "from.reg").string();
    RunResult r = Q({ "reg", "export", "HKLM\\Software\\From", file });
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string cerFile = (local.path() / "cereg.reg").string();
    r = testsupport::RunProgram(
        { (testsupport::BinDir() / "cereg").string(), "--hive", (store() / "registry").string(), "export",
            "HKLM\\Software\\From", cerFile },
        home());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testsupport::ReadHostFile(file), testsupport::ReadHostFile(cerFile));

    ASSERT_EQ(Q({ "reg", "delete", "HKLM\\Software\\From", "/f" }).status, 0);
    r = Q({ "reg", "import", file });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Q({ "reg", "query", "HKLM\\Software\\From", "/s" }).out, before);

    // An error on line 4: the key of line 2 is not created either.
    const std::string bad = (local.path() / "bad.reg").string();
    testsupport::WriteHostFile(bad,
        "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\Software\\Bad]\r\n\"a\"=\"1\"\r\n"
        "\"b\"=dword:xyz\r\n");
    r = Q({ "reg", "import", bad });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(": line 4: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nothing was imported."), std::string::npos) << r.err;
    EXPECT_EQ(Q({ "reg", "query", "HKLM\\Software\\Bad" }).status, 1);

    // The device refuses the last value (over 1 MiB): what came before is undone.
    std::string huge = "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\Software\\From]\r\n"
                       "\"s\"=\"changed\"\r\n[HKEY_LOCAL_MACHINE\\Software\\From\\New]\r\n\"big\"=hex:00";
    for (int i = 0; i < 1024 * 1024; ++i)
        huge += ",00";
    huge += "\r\n";
    const std::string hugeFile = (local.path() / "huge.reg").string();
    testsupport::WriteHostFile(hugeFile, huge);
    r = Q({ "reg", "import", hugeFile });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing was changed."), std::string::npos) << r.err;
    EXPECT_EQ(Q({ "reg", "query", "HKLM\\Software\\From", "/s" }).out, before);
}

TEST_F(Cli, RunAndConnectionFailures)
{
    RunResult r = Q({ "run", "\\Windows\\pword.exe", "-opendoc x" });
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("started \\Windows\\pword.exe (process id ")) << r.out;
    r = Q({ "run", "\\Windows" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: cannot run \\Windows: Access is denied. (error 5)\n");
    StopDevice();
    // One line that says what to do, on a device command as on an agent command.
    const std::string noDevice = "quorvane-cli: no device answers at " + socket().string()
        + "; start one with 'cedevice start --socket " + socket().string() + "'\n";
    r = Q({ "info" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, noDevice);
    r = Q({ "tables", "\\a.sdf" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, noDevice);
    r = Q({ "frobnicate" });
    EXPECT_EQ(r.status, 2);
}

} // namespace
