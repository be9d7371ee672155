// Temporary folders: short, under /tmp, and gone afterwards with everything
// in them.
#include "tests/support/TempDir.h"
#include "tests/support/HostFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace testsupport {
namespace {

TEST(TempDir, LiesDirectlyUnderTmpWithItsPrefix)
{
    TempDir dir("qvx");
    ASSERT_TRUE(dir.ok());
    EXPECT_EQ(dir.path().parent_path(), "/tmp");
    EXPECT_TRUE(dir.path().filename().string().starts_with("qvx-"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path()));
}

TEST(TempDir, GoesWithReadOnlyFilesAndFolders)
{
    std::filesystem::path kept;
    {
        TempDir dir;
        kept = dir.path();
        std::filesystem::create_directories(dir.path() / "a" / "b");
        ASSERT_TRUE(WriteHostFile(dir.path() / "a" / "b" / "f", "x"));
        std::filesystem::create_symlink("/", dir.path() / "link");
        chmod((dir.path() / "a" / "b" / "f").c_str(), 0400);
        chmod((dir.path() / "a" / "b").c_str(), 0500);
        chmod((dir.path() / "a").c_str(), 0500);
        chmod(dir.path().c_str(), 0500);
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

} // namespace
} // namespace testsupport
