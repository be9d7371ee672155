#include "TempStore.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using testing_store::StoreTest;

namespace {

DWORD OpenWith(
    store::Store& s, std::u16string_view path, DWORD access, DWORD share, std::unique_ptr<store::File>* f)
{
    bool existed = false;
    return s.CreateFile(path, access, share, OPEN_EXISTING, 0, f, &existed);
}

TEST_F(StoreTest, ShareModeZeroExcludesEveryOtherOpenUntilClosed)
{
    Put(u"\\f", "x");
    std::unique_ptr<store::File> holder, other;
    ASSERT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, 0, &holder), 0u);
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &other),
        ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenWith(s(), u"\\F", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &other),
        ERROR_SHARING_VIOLATION);
    bool existed;
    EXPECT_EQ(s().CreateFile(u"\\f", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &other, &existed),
        ERROR_SHARING_VIOLATION);
    EXPECT_EQ(s().DeleteFile(u"\\f"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(s().MoveFile(u"\\f", u"\\g"), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ, &other), ERROR_SHARING_VIOLATION);
    // A query-only open (no read or write access) takes no part.
    EXPECT_EQ(OpenWith(s(), u"\\f", 0, 0, &other), 0u);
    holder.reset();
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ | GENERIC_WRITE, 0, &other), 0u);
    other.reset();
    EXPECT_EQ(s().DeleteFile(u"\\f"), 0u);
}

TEST_F(StoreTest, SharingFollowsWindowsRulesForEachAccess)
{
    Put(u"\\f", "x");
    std::unique_ptr<store::File> a, b;
    // Two readers that share reading.
    ASSERT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ, &a), 0u);
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ, &b), 0u);
    // A writer is refused: the readers do not share writing.
    std::unique_ptr<store::File> c;
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &c),
        ERROR_SHARING_VIOLATION);
    // A reader that does not share writing may join readers that do not write.
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ, &c), 0u);
    a.reset();
    b.reset();
    c.reset();
    // A writer sharing read and write lets a reader in, but not an exclusive reader.
    ASSERT_EQ(OpenWith(s(), u"\\f", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &a), 0u);
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &b), 0u);
    EXPECT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ, &c), ERROR_SHARING_VIOLATION);
    // Deleting needs every open to share deleting.
    EXPECT_EQ(s().DeleteFile(u"\\f"), ERROR_SHARING_VIOLATION);
    a.reset();
    b.reset();
    ASSERT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, &a), 0u);
    EXPECT_EQ(s().DeleteFile(u"\\f"), 0u);
}

TEST_F(StoreTest, TwoStoresOnOneRootSeeEachOthersSharing)
{
    Put(u"\\f", "x");
    std::string error;
    auto second = store::Store::Open(root(), &error);
    ASSERT_TRUE(second) << error;
    std::unique_ptr<store::File> a, b;
    ASSERT_EQ(OpenWith(s(), u"\\f", GENERIC_READ, 0, &a), 0u);
    EXPECT_EQ(OpenWith(*second, u"\\f", GENERIC_READ, FILE_SHARE_READ, &b), ERROR_SHARING_VIOLATION);
}

// A device program in another process holds the file; when it dies, for
// whatever reason, the file is free again.
TEST_F(StoreTest, SharingHoldsAcrossProcessesAndEndsWithTheHolder)
{
    Put(u"\\db.sdf", "x");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string err;
        auto own = store::Store::Open(root(), &err);
        std::unique_ptr<store::File> f;
        bool existed;
        char ok = own
                && own->CreateFile(
                       u"\\DB.SDF", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0, &f, &existed)
                    == 0
            ? 'y'
            : 'n';
        (void)!write(ready[1], &ok, 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    close(ready[0]);
    ASSERT_EQ(ok, 'y');
    std::unique_ptr<store::File> f;
    EXPECT_EQ(OpenWith(s(), u"\\db.sdf", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &f),
        ERROR_SHARING_VIOLATION);
    EXPECT_EQ(s().DeleteFile(u"\\db.sdf"), ERROR_SHARING_VIOLATION);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(OpenWith(s(), u"\\db.sdf", GENERIC_READ, 0, &f), 0u);
}

} // namespace
