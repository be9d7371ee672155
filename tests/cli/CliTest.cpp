// quorvane-cli's device commands against a running device: exit statuses,
// outputs and the device's error texts.
#include "cli/RegistryCommands.h"
#include "tests/device/DeviceFixture.h"
#include "tests/support/HostFile.h"

using testing_device::DeviceTest;
using testsupport::ReadHostFile;
using testsupport::RunProgram;
using testsupport::RunResult;
using testsupport::WriteHostFile;

namespace {

class Cli : public DeviceTest {
protected:
    RunResult Q(std::vector<std::string> args)
    {
        args.insert(args.begin(), { testsupport::Cli().string(), "--socket", socket().string() });
        return RunProgram(args, home());
    }
};

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
        Q({ "reg", "set", "HKEY_LOCAL_MACHINE\\Software\\Quorvane", "Cancel", "dword", "1" }).status, 0);
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane", "Blob", "binary", "de ad BE ef" }).status, 0);
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane", "List", "multi_sz", "one\\0two" }).status, 0);
    EXPECT_EQ(Q({ "reg", "set", "HKLM\\Software\\Quorvane\\Debug", "1", "expand_sz", "%TEMP%" }).status, 0);
    RunResult r = Q({ "reg", "query", "HKLM\\Software\\Quorvane" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "HKEY_LOCAL_MACHINE\\Software\\Quorvane\n"
        "    Blob    REG_BINARY    de ad be ef\n"
        "    Cancel    REG_DWORD    0x00000001 (1)\n"
        "    List    REG_MULTI_SZ    one\\0two\n"
        "    Status    REG_SZ    Row 3 of 10\n"
        "\n"
        "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Debug\n");
    r = Q({ "reg", "query", "HKCR\\txtfile\\Shell\\Open\\Command", "(Default)" });
    EXPECT_EQ(
        r.out, "HKEY_CLASSES_ROOT\\txtfile\\Shell\\Open\\Command\n    (Default)    REG_SZ    pword.exe %1\n");
    EXPECT_EQ(Q({ "reg", "delete", "HKLM\\Software\\Quorvane", "Cancel" }).status, 0);
    r = Q({ "reg", "query", "HKLM\\Software\\Quorvane", "Cancel" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "quorvane-cli: cannot read Cancel of HKLM\\Software\\Quorvane: The system cannot find the file "
        "specified. (error 2)\n");
    EXPECT_EQ(Q({ "reg", "delete", "HKLM\\Software\\Quorvane" }).status, 0);
    r = Q({ "reg", "query", "HKLM\\Software\\Quorvane\\Debug" });
    EXPECT_EQ(r.status, 1);
    r = Q({ "reg", "set", "HKLM\\Software\\Quorvane", "n", "dword", "0x1FFFFFFFF" });
    EXPECT_EQ(r.status, 2);
    r = Q({ "reg", "set", "HKXX\\Software", "n", "sz", "x" });
    EXPECT_EQ(r.status, 2);
    r = Q({ "reg", "set", "HKLM\\Software", "n", "qword", "1" });
    EXPECT_EQ(r.status, 2);
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
    r = Q({ "info" });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.starts_with(
        "quorvane-cli: cannot connect to the device: An operation was attempted on something that is not "
        "a socket. (error 0x80072736)\nquorvane-cli: no device answers at "))
        << r.err;
    EXPECT_TRUE(r.err.ends_with("; start one with 'cedevice start'\n")) << r.err;
    r = Q({ "frobnicate" });
    EXPECT_EQ(r.status, 2);
}

TEST(CliValues, EncodingAndFormattingOfRegistryData)
{
    DWORD type = 0;
    QByteArray data;
    QString why;
    ASSERT_TRUE(cli::EncodeValue(QStringLiteral("sz"), QStringLiteral("Aé"), &type, &data, &why));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, QByteArray("A\0\xe9\0\0\0", 6));
    ASSERT_TRUE(cli::EncodeValue(QStringLiteral("dword"), QStringLiteral("0xDEADBEEF"), &type, &data, &why));
    EXPECT_EQ(data, QByteArray("\xef\xbe\xad\xde", 4));
    EXPECT_FALSE(cli::EncodeValue(QStringLiteral("dword"), QStringLiteral("-1"), &type, &data, &why));
    EXPECT_FALSE(cli::EncodeValue(QStringLiteral("binary"), QStringLiteral("abc"), &type, &data, &why));
    EXPECT_FALSE(cli::EncodeValue(QStringLiteral("binary"), QStringLiteral("zz"), &type, &data, &why));
    ASSERT_TRUE(cli::EncodeValue(QStringLiteral("multi_sz"), QStringLiteral("a\\0b"), &type, &data, &why));
    EXPECT_EQ(data, QByteArray("a\0\0\0b\0\0\0\0\0", 10));
    EXPECT_EQ(cli::FormatValue(REG_DWORD_BIG_ENDIAN, QByteArray("\0\0\1\0", 4)),
        QStringLiteral("0x00000100 (256)"));
    EXPECT_EQ(cli::FormatValue(REG_DWORD, QByteArray("\1\2", 2)), QStringLiteral("01 02"));
    cli::ParsedKey key;
    ASSERT_TRUE(cli::ParseKey(QStringLiteral("hkey_current_user\\Software\\"), &key));
    EXPECT_EQ(key.root, HKEY_CURRENT_USER);
    EXPECT_EQ(key.path, QStringLiteral("Software"));
    ASSERT_TRUE(cli::ParseKey(QStringLiteral("HKCR"), &key));
    EXPECT_EQ(key.path, QString());
    EXPECT_FALSE(cli::ParseKey(QStringLiteral("Software\\x"), &key));
}

} // namespace
