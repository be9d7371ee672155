// quorvane-cli's copies as cp and scp make them: folders as targets on
// either side, "-" for the standard streams, patterns in device paths and
// whole trees with -r, each file byte for byte; mv into a folder; and a
// replaced device file that is either the old one or the whole new one.
#include "tests/cli/CliFixture.h"

#include <map>
#include <set>

using testing_cli::Cli;
using testing_cli::RandomBytes;
using testsupport::ReadHostFile;
using testsupport::RunResult;
using testsupport::TempDir;
using testsupport::WriteHostFile;

namespace {

namespace fs = std::filesystem;

// Every file below `root` with its content, and every folder, by relative path.
std::map<std::string, std::string> Tree(const fs::path& root)
{
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = fs::relative(entry.path(), root).string();
        tree[name] = entry.is_directory() ? std::string("<folder>") : ReadHostFile(entry.path());
    }
    return tree;
}

std::set<std::string> Names(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

TEST_F(Cli, CopiesIntoFoldersThroughStandardStreamsAndByPattern)
{
    TempDir local;
    const std::string a = RandomBytes(150001, 1), b = "second file\n";
    WriteHostFile(local.path() / "a.bin", a);
    WriteHostFile(local.path() / "b.txt", b);
    // Several sources into a device folder keep their names.
    RunResult r = Q(
        { "put", (local.path() / "a.bin").string(), (local.path() / "b.txt").string(), "\\My Documents" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadHostFile(files() / "My Documents" / "a.bin") == a);
    EXPECT_EQ(ReadHostFile(files() / "My Documents" / "b.txt"), b);

    const fs::path out = local.path() / "out";
    fs::create_directory(out);
    r = Q({ "get", "\\My Documents\\*.bin", out.string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Names(out), std::set<std::string> { "a.bin" });
    EXPECT_TRUE(ReadHostFile(out / "a.bin") == a);
    r = Q({ "get", "\\my documents\\B.TXT", out.string() + "/" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadHostFile(out / "B.TXT"), b);

    // "-": standard output and standard input.
    r = Q({ "get", "\\My Documents\\a.bin", "-" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == a);
    r = QWithInput({ "put", "-", "\\Temp\\from-stdin.bin" }, local.path() / "a.bin");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadHostFile(files() / "Temp" / "from-stdin.bin") == a);

    // What cannot be done is said before anything is copied.
    r = Q({ "get", "\\My Documents\\a.bin", "\\My Documents\\b.txt", (local.path() / "none").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: get: " + (local.path() / "none").string() + " is not a folder\n");
    EXPECT_FALSE(fs::exists(local.path() / "none"));
    r = Q({ "get", "\\My Documents\\*.xyz", out.string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: no device file matches \\My Documents\\*.xyz\n");
    r = Q({ "put", local.path().string(), "\\Temp" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: omitting the folder " + local.path().string() + " (use -r)\n");
    r = Q({ "put", "-", "\\Temp" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: \\Temp is a folder: name the device file to write\n");
}

TEST_F(Cli, FolderTreesRoundTripByteForByte)
{
    TempDir local;
    const fs::path top = local.path() / "top";
    fs::create_directories(top / "sub" / "empty");
    WriteHostFile(top / "x.sdf", RandomBytes(60000, 2)); // exactly one block
    WriteHostFile(top / "sub" / "y.bin", RandomBytes(120001, 3));
    WriteHostFile(top / "sub" / "zero", "");
    RunResult r = Q({ "put", "-r", top.string(), "\\Temp" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Tree(files() / "Temp" / "top") == Tree(top));

    // Into a folder that exists the tree goes under its name; to a new name it becomes that name.
    const fs::path back = local.path() / "back";
    fs::create_directory(back);
    r = Q({ "get", "-r", "\\Temp\\top", back.string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Tree(back / "top") == Tree(top));
    r = Q({ "get", "--recursive", "\\Temp\\top", (local.path() / "renamed").string() });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Tree(local.path() / "renamed") == Tree(top));
    r = Q({ "get", "\\Temp\\top", back.string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: omitting the folder \\Temp\\top (use -r)\n");
}

TEST_F(Cli, AReplacedFileIsTheWholeNewOneAndAnUnwritableOneStays)
{
    TempDir local;
    const std::string fresh = RandomBytes(200000, 4);
    WriteHostFile(local.path() / "new.bin", fresh);
    WriteHostFile(files() / "Temp" / "hello.txt", "old content");
    RunResult r = Q({ "put", (local.path() / "new.bin").string(), "\\Temp\\hello.txt" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadHostFile(files() / "Temp" / "hello.txt") == fresh);
    // Nothing of the copy's own is left beside it.
    EXPECT_EQ(Names(files() / "Temp"), std::set<std::string> { "hello.txt" });

    // A read-only target is refused before any byte travels, as before.
    ASSERT_EQ(Q({ "attrib", "\\Temp\\hello.txt", "+r" }).status, 0);
    r = Q({ "put", (local.path() / "new.bin").string(), "\\Temp\\hello.txt" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: cannot create \\Temp\\hello.txt: Access is denied. (error 5)\n");
    EXPECT_EQ(Names(files() / "Temp"), std::set<std::string> { "hello.txt" });
    r = Q({ "put", (local.path() / "new.bin").string(), "\\Nowhere\\x.bin" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
        "quorvane-cli: cannot create \\Nowhere\\x.bin: The system cannot find the path specified. (error "
        "3)\n");
}

TEST_F(Cli, MovesIntoAFolderAndListsLong)
{
    WriteHostFile(files() / "a.txt", "a");
    WriteHostFile(files() / "b.txt", "b");
    RunResult r = Q({ "mv", "\\a.txt", "\\b.txt", "\\Temp" });
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Names(files() / "Temp"), (std::set<std::string> { "a.txt", "b.txt" }));
    EXPECT_EQ(Q({ "mv", "\\Temp\\a.txt", "\\My Documents\\" }).status, 0);
    EXPECT_EQ(ReadHostFile(files() / "My Documents" / "a.txt"), "a");
    r = Q({ "mv", "\\Temp\\b.txt", "\\My Documents\\a.txt", "\\Temp\\none" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quorvane-cli: mv: \\Temp\\none is not a folder on the device\n");

    const RunResult longList = Q({ "ls", "-l", "\\Temp" });
    EXPECT_EQ(longList.status, 0) << longList.err;
    EXPECT_EQ(longList.out, Q({ "ls", "\\Temp" }).out);
    EXPECT_NE(longList.out.find("  b.txt\n"), std::string::npos) << longList.out;
}

} // namespace
