// quorvane-cli's find-databases and install against a real device: which
// databases the search lists with and without "\Windows" and its count
// message, and CAB packages installed by the device's own installer, kept
// or removed as asked, with a package that is not a CAB changing nothing.
#include "tests/cli/CliFixture.h"

#include <algorithm>
#include <fstream>
#include <sstream>

using testing_cli::Cli;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteHostFile;

namespace {

namespace fs = std::filesystem;

bool KeyExists(RapiConnection& c, HKEY root, const std::u16string& path)
{
    HKEY key = 0;
    if (c.CeRegOpenKeyEx(root, path.c_str(), 0, 0, &key) != 0)
        return false;
    c.CeRegCloseKey(key);
    return true;
}

// The full paths of the rows printed (the text after the date).
std::vector<std::string> Paths(const std::string& out)
{
    std::vector<std::string> paths;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find("  \\");
        if (at != std::string::npos)
            paths.push_back(line.substr(at + 2));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST_F(Cli, FindDatabasesSkipsWindowsUnlessAskedAndCountsInWords)
{
    // Made through the device, as a user would.
    testsupport::TempDir local;
    WriteHostFile(local.path() / "Orders.sdf", "x");
    WriteHostFile(local.path() / "notes.txt", "x");
    WriteHostFile(local.path() / "Stock.SDF", "12345");
    WriteHostFile(local.path() / "Hidden.sdf", "x");
    for (const char* folder : { "\\Data", "\\Data\\Deep", "\\Data\\folder.sdf" })
        ASSERT_EQ(Q({ "mkdir", folder }).status, 0) << folder;
    for (const auto& [file, target] : std::vector<std::pair<std::string, std::string>> {
             { "Orders.sdf", "\\My Documents" }, { "notes.txt", "\\My Documents" },
             { "Stock.SDF", "\\Data\\Deep" }, { "Hidden.sdf", "\\Windows" } }) {
        RunResult put = Q({ "put", (local.path() / file).string(), target });
        ASSERT_EQ(put.status, 0) << put.err;
    }

    RunResult r = Q({ "find-databases" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(
        Paths(r.out), (std::vector<std::string> { "\\Data\\Deep\\Stock.SDF", "\\My Documents\\Orders.sdf" }))
        << r.out;
    EXPECT_EQ(r.err, "2 SQLCE databases found.\n");
    // Size and date as the search window shows them.
    EXPECT_NE(r.out.find("         5  "), std::string::npos) << r.out;

    r = Q({ "find-databases", "--windows", "\\" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Paths(r.out),
        (std::vector<std::string> {
            "\\Data\\Deep\\Stock.SDF", "\\My Documents\\Orders.sdf", "\\Windows\\Hidden.sdf" }));
    EXPECT_EQ(r.err, "3 SQLCE databases found.\n");

    r = Q({ "find-databases", "\\windows" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "0 SQLCE databases found.\n");

    r = Q({ "find-databases", "\\Data" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "1 SQLCE database found.\n");

    r = Q({ "find-databases", "\\My Documents\\notes.txt" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err, "quorvane-cli: find-databases: \\My Documents\\notes.txt is not a folder on the device\n");
}

// A device whose profile comes without the engine runtimes.
class CliWithoutRuntimes : public Cli {
protected:
    void SetUp() override
    {
        std::ofstream(home() / "bare.profile") << "base = pocketpc\nname = bare\nruntimes = none\n";
        StartDevice({ "--profile", (home() / "bare.profile").string() });
    }
};

TEST_F(CliWithoutRuntimes, InstallRunsTheDeviceInstallerAndKeepsTheCabAsAsked)
{
    auto device = Connect();
    const std::u16string clsid20 = u"CLSID\\{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}";
    const std::u16string clsid30 = u"CLSID\\{32ce2952-2585-49a6-aeff-1732076c2945}";
    ASSERT_FALSE(KeyExists(*device, HKEY_CLASSES_ROOT, clsid20));

    // "DontDeleteCab" is missing, which counts as set: the CAB stays.
    RunResult r = Q({ "install", (testsupport::BinDir() / "sqlce.wce4.armv4.cab").string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "Copying sqlce.wce4.armv4.cab to \\sqlce.wce4.armv4.cab\n"
        "Installing \"Microsoft SQLCE 2.0\"\n"
        "Installed \"Microsoft SQLCE 2.0\"\n");
    EXPECT_TRUE(KeyExists(*device, HKEY_CLASSES_ROOT, clsid20));
    EXPECT_TRUE(fs::exists(files() / "sqlce.wce4.armv4.cab"));

    // Installed again: the notice, and the installer's key deleted first.
    r = Q({ "install", "--delete-cab", (testsupport::BinDir() / "sqlce.wce4.armv4.cab").string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Installing \"Microsoft SQLCE 2.0\" (installed already)\n"), std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(files() / "sqlce.wce4.armv4.cab"));

    r = Q({ "install", "-d", (testsupport::BinDir() / "sqlce30.ppc.wce5.armv4i.cab").string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(KeyExists(*device, HKEY_CLASSES_ROOT, clsid30));
    EXPECT_FALSE(fs::exists(files() / "sqlce30.ppc.wce5.armv4i.cab"));
}

TEST_F(CliWithoutRuntimes, InstallOfAFileThatIsNoCabFailsAndChangesNothing)
{
    const fs::path junk = home() / "junk.cab";
    WriteHostFile(junk, std::string(3000, 'j'));
    RunResult r = Q({ "install", "--delete-cab", junk.string() });
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("Installing \"(Unknown)\"\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "quorvane-cli: install: the device's installer did not install \\junk.cab\n");
    // The installer leaves a package it could not install where it was.
    EXPECT_TRUE(fs::exists(files() / "junk.cab"));

    r = Q({ "install", junk.string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("names no application"), std::string::npos) << r.err;

    r = Q({ "install", "-k", "-d", junk.string() });
    EXPECT_EQ(r.status, 2);
}

} // namespace
