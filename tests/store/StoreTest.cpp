#include "TempStore.h"

#include "platform/store/FileMeta.h"
#include "tests/support/HostFile.h"

#include <algorithm>
#include <limits>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using testing_store::StoreTest;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

std::vector<std::u16string> Names(const std::vector<store::FindEntry>& entries)
{
    std::vector<std::u16string> names;
    for (const auto& e : entries)
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
}

DWORD Open(store::Store& s, std::u16string_view path, DWORD access, DWORD share, DWORD disposition,
    std::unique_ptr<store::File>* f = nullptr)
{
    std::unique_ptr<store::File> local;
    bool existed = false;
    return s.CreateFile(path, access, share, disposition, FILE_ATTRIBUTE_NORMAL, f ? f : &local, &existed);
}

TEST_F(StoreTest, WritesLandInTheHostFolderUnderTheDeviceName)
{
    ASSERT_EQ(s().CreateDirectory(u"\\My Documents"), 0u);
    Put(u"\\My Documents\\Note.txt", "hello");
    EXPECT_EQ(ReadHostFile(root() / "My Documents" / "Note.txt"), "hello");
    EXPECT_EQ(Get(u"\\My Documents\\Note.txt"), "hello");
}

TEST_F(StoreTest, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling)
{
    ASSERT_EQ(s().CreateDirectory(u"\\Temp"), 0u);
    Put(u"\\Temp\\MixedCase.TXT", "one");
    EXPECT_EQ(Get(u"\\TEMP\\mixedcase.txt"), "one");
    // Replacing through another spelling keeps the first one.
    Put(u"\\temp\\MIXEDCASE.txt", "two");
    std::vector<store::FindEntry> found;
    ASSERT_EQ(s().Find(u"\\Temp\\*", FAF_NAME, &found), 0u);
    EXPECT_EQ(Names(found), std::vector<std::u16string>({ u"MixedCase.TXT" }));
    EXPECT_EQ(Get(u"\\Temp\\MixedCase.TXT"), "two");
    EXPECT_EQ(s().CreateDirectory(u"\\TEMP"), ERROR_ALREADY_EXISTS);
    // Non-ASCII letters fold as well.
    Put(u"\\Ärger.txt", "x");
    EXPECT_EQ(Get(u"\\äRGER.TXT"), "x");
    // An ASCII name is found through a spelling with a letter outside ASCII
    // that folds to one of its letters (U+017F, long s, folds to S).
    Put(u"\\Stock.txt", "s");
    EXPECT_EQ(Get(u"\\\u017FTOCK.TXT"), "s");
}

TEST_F(StoreTest, CreateDispositionsAndTheirErrors)
{
    std::unique_ptr<store::File> f;
    bool existed = true;
    EXPECT_EQ(
        s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, OPEN_EXISTING, 0, &f, &existed), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING, 0, &f, &existed),
        ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, CREATE_NEW, 0, &f, &existed), 0u);
    EXPECT_FALSE(existed);
    f.reset();
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, CREATE_NEW, 0, &f, &existed), ERROR_FILE_EXISTS);
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, OPEN_ALWAYS, 0, &f, &existed), 0u);
    EXPECT_TRUE(existed);
    f.reset();
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, 0, 0, &f, &existed), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_WRITE, 0, 6, 0, &f, &existed), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(s().CreateFile(u"\\a.txt", GENERIC_READ, 0, TRUNCATE_EXISTING, 0, &f, &existed),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(s().CreateFile(u"\\missing\\a.txt", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &f, &existed),
        ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().CreateFile(u"\\a.txt\\b", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &f, &existed),
        ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(
        s().CreateFile(u"\\bad|name", GENERIC_WRITE, 0, CREATE_ALWAYS, 0, &f, &existed), ERROR_INVALID_NAME);
    EXPECT_EQ(s().CreateFile(u"\\", GENERIC_READ, 0, OPEN_EXISTING, 0, &f, &existed), ERROR_ACCESS_DENIED);
    ASSERT_EQ(s().CreateDirectory(u"\\dir"), 0u);
    EXPECT_EQ(s().CreateFile(u"\\dir", GENERIC_READ, 0, OPEN_EXISTING, 0, &f, &existed), ERROR_ACCESS_DENIED);
}

TEST_F(StoreTest, CreateAlwaysTruncatesAndTruncateExistingEmpties)
{
    Put(u"\\f", "long content");
    Put(u"\\f", "s");
    EXPECT_EQ(Get(u"\\f"), "s");
    ASSERT_EQ(Open(s(), u"\\f", GENERIC_WRITE, 0, TRUNCATE_EXISTING), 0u);
    EXPECT_EQ(Get(u"\\f"), "");
}

TEST_F(StoreTest, ReadAndWriteNeedTheirAccess)
{
    Put(u"\\f", "data");
    std::unique_ptr<store::File> f;
    ASSERT_EQ(Open(s(), u"\\f", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, &f), 0u);
    std::uint32_t done = 9;
    EXPECT_EQ(f->Write("x", 1, &done), ERROR_ACCESS_DENIED);
    EXPECT_EQ(done, 0u);
    ASSERT_EQ(Open(s(), u"\\g", GENERIC_WRITE, 0, CREATE_ALWAYS, &f), 0u);
    char buf[4];
    EXPECT_EQ(f->Read(buf, 4, &done), ERROR_ACCESS_DENIED);
}

TEST_F(StoreTest, SeekAndSize)
{
    Put(u"\\f", "0123456789");
    std::unique_ptr<store::File> f;
    ASSERT_EQ(Open(s(), u"\\f", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, &f), 0u);
    std::uint64_t size = 0, pos = 0;
    ASSERT_EQ(f->Size(&size), 0u);
    EXPECT_EQ(size, 10u);
    ASSERT_EQ(f->Seek(-3, FILE_END, &pos), 0u);
    EXPECT_EQ(pos, 7u);
    char buf[8] = {};
    std::uint32_t done = 0;
    ASSERT_EQ(f->Read(buf, 8, &done), 0u);
    EXPECT_EQ(std::string(buf, done), "789");
    ASSERT_EQ(f->Read(buf, 8, &done), 0u);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(f->Seek(-1, FILE_BEGIN, &pos), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(f->Seek(0, 7, &pos), ERROR_INVALID_PARAMETER);
    // A device file's size is 32 bits: no position past it, no write growing
    // the file past it (a copy of such a file would fill the host's disk).
    EXPECT_EQ(f->Seek(std::int64_t(1) << 32, FILE_BEGIN, &pos), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(f->Seek(INT64_MAX, FILE_END, &pos), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(f->Seek(INT64_MIN, FILE_END, &pos), ERROR_NEGATIVE_SEEK);
    ASSERT_EQ(f->Seek(0xFFFFFFFF, FILE_BEGIN, &pos), 0u);
    std::uint32_t written = 7;
    EXPECT_EQ(f->Write("x", 1, &written), ERROR_DISK_FULL);
    EXPECT_EQ(written, 0u);
}

TEST_F(StoreTest, AttributesAreKeptAndReported)
{
    Put(u"\\f", "x");
    DWORD a = 0;
    ASSERT_EQ(s().GetAttributes(u"\\f", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_EQ(s().SetAttributes(u"\\f", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY), 0u);
    ASSERT_EQ(s().GetAttributes(u"\\F", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    ASSERT_EQ(s().SetAttributes(u"\\f", 0), 0u);
    ASSERT_EQ(s().GetAttributes(u"\\f", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_NORMAL);
    // The directory bit cannot be set on a file, and a folder always has it.
    ASSERT_EQ(s().SetAttributes(u"\\f", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM), 0u);
    ASSERT_EQ(s().GetAttributes(u"\\f", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_SYSTEM);
    ASSERT_EQ(s().CreateDirectory(u"\\d"), 0u);
    ASSERT_EQ(s().GetAttributes(u"\\d", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(s().GetAttributes(u"\\", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(s().GetAttributes(u"\\nope", &a), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(a, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(s().GetAttributes(u"\\nope\\x", &a), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().SetAttributes(u"\\nope", 0), ERROR_FILE_NOT_FOUND);
    // A file the host put there reads as archive; a written file gets archive back.
    WriteHostFile(root() / "host.bin", "h");
    ASSERT_EQ(s().GetAttributes(u"\\host.bin", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_EQ(s().SetAttributes(u"\\host.bin", FILE_ATTRIBUTE_NORMAL), 0u);
    std::unique_ptr<store::File> f;
    ASSERT_EQ(Open(s(), u"\\host.bin", GENERIC_WRITE, 0, OPEN_EXISTING, &f), 0u);
    std::uint32_t done = 0;
    ASSERT_EQ(f->Write("y", 1, &done), 0u);
    ASSERT_EQ(s().GetAttributes(u"\\host.bin", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(StoreTest, ReadOnlyFilesRefuseWritingAndDeletingButMayBeRenamed)
{
    Put(u"\\ro.txt", "keep");
    ASSERT_EQ(s().SetAttributes(u"\\ro.txt", FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_EQ(Open(s(), u"\\ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(s(), u"\\ro.txt", GENERIC_READ, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().DeleteFile(u"\\ro.txt"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Get(u"\\ro.txt"), "keep");
    EXPECT_EQ(s().MoveFile(u"\\ro.txt", u"\\ro2.txt"), 0u);
    ASSERT_EQ(s().SetAttributes(u"\\ro2.txt", FILE_ATTRIBUTE_NORMAL), 0u);
    EXPECT_EQ(s().DeleteFile(u"\\ro2.txt"), 0u);
}

TEST_F(StoreTest, RomFilesCanBeReadButNeverChanged)
{
    ASSERT_EQ(s().CreateDirectory(u"\\Windows"), 0u);
    ASSERT_EQ(s().CreateRomFile(u"\\Windows\\pword.exe", "ROM"), 0u);
    DWORD a = 0;
    ASSERT_EQ(s().GetAttributes(u"\\windows\\PWORD.EXE", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_INROM);
    EXPECT_EQ(Get(u"\\Windows\\pword.exe"), "ROM");
    EXPECT_EQ(s().SetAttributes(u"\\Windows\\pword.exe", FILE_ATTRIBUTE_NORMAL), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().MoveFile(u"\\Windows\\pword.exe", u"\\p.exe"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().DeleteFile(u"\\Windows\\pword.exe"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(s(), u"\\Windows\\pword.exe", GENERIC_WRITE, 0, OPEN_EXISTING), ERROR_ACCESS_DENIED);
    // A copy is an ordinary file.
    ASSERT_EQ(s().CopyFile(u"\\Windows\\pword.exe", u"\\copy.exe", true), 0u);
    ASSERT_EQ(s().GetAttributes(u"\\copy.exe", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
}

TEST_F(StoreTest, TimesRoundTripAndWriteTimeFollowsTheHost)
{
    std::unique_ptr<store::File> f;
    ASSERT_EQ(Open(s(), u"\\t", GENERIC_WRITE, 0, CREATE_ALWAYS, &f), 0u);
    // 2005-12-25 04:00:00 UTC and neighbours, in 100 ns units since 1601.
    const std::uint64_t c = 127799568000000000ull, a = c + 10000000, w = c + 1234567;
    ASSERT_EQ(f->SetTimes(&c, &a, &w), 0u);
    std::uint64_t c2 = 0, a2 = 0, w2 = 0;
    ASSERT_EQ(f->GetTimes(&c2, &a2, &w2), 0u);
    EXPECT_EQ(c2, c);
    EXPECT_EQ(a2, a);
    EXPECT_EQ(w2, w);
    // The write time is the host's modification time.
    struct stat st;
    ASSERT_EQ(stat((root() / "t").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1135483200);
    EXPECT_EQ(st.st_mtim.tv_nsec, 123456700);
    // Only the given times change.
    const std::uint64_t w3 = w + 50000000;
    ASSERT_EQ(f->SetTimes(nullptr, nullptr, &w3), 0u);
    ASSERT_EQ(f->GetTimes(&c2, &a2, &w2), 0u);
    EXPECT_EQ(c2, c);
    EXPECT_EQ(a2, a);
    EXPECT_EQ(w2, w3);
    std::vector<store::FindEntry> found;
    ASSERT_EQ(
        s().Find(u"\\t", FAF_NAME | FAF_CREATION_TIME | FAF_LASTWRITE_TIME | FAF_LASTACCESS_TIME, &found),
        0u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].creation, c);
    EXPECT_EQ(found[0].access, a);
    EXPECT_EQ(found[0].write, w3);
    // Setting times needs write access.
    f.reset();
    ASSERT_EQ(Open(s(), u"\\t", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, &f), 0u);
    EXPECT_EQ(f->SetTimes(&c, nullptr, nullptr), ERROR_ACCESS_DENIED);
}

TEST_F(StoreTest, DeleteAndRemoveDirectoryErrors)
{
    ASSERT_EQ(s().CreateDirectory(u"\\d"), 0u);
    Put(u"\\d\\f", "x");
    EXPECT_EQ(s().DeleteFile(u"\\d"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().DeleteFile(u"\\nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().DeleteFile(u"\\nope\\f"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().RemoveDirectory(u"\\d"), ERROR_DIR_NOT_EMPTY);
    EXPECT_EQ(s().RemoveDirectory(u"\\d\\f"), ERROR_DIRECTORY);
    EXPECT_EQ(s().RemoveDirectory(u"\\"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().RemoveDirectory(u"\\nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().CreateDirectory(u"\\d\\f"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(s().CreateDirectory(u"\\x\\y"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().CreateDirectory(u"\\"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(s().DeleteFile(u"\\D\\F"), 0u);
    ASSERT_EQ(s().SetAttributes(u"\\d", FILE_ATTRIBUTE_READONLY), 0u);
    EXPECT_EQ(s().RemoveDirectory(u"\\d"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(s().SetAttributes(u"\\d", 0), 0u);
    EXPECT_EQ(s().RemoveDirectory(u"\\d"), 0u);
    EXPECT_FALSE(std::filesystem::exists(root() / "d"));
}

TEST_F(StoreTest, MoveRenamesMovesAndRefusesToOverwrite)
{
    ASSERT_EQ(s().CreateDirectory(u"\\a"), 0u);
    ASSERT_EQ(s().CreateDirectory(u"\\b"), 0u);
    Put(u"\\a\\one.txt", "1");
    Put(u"\\b\\two.txt", "2");
    EXPECT_EQ(s().MoveFile(u"\\a\\one.txt", u"\\b\\TWO.TXT"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(s().MoveFile(u"\\a\\none", u"\\b\\x"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().MoveFile(u"\\a\\one.txt", u"\\c\\x"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().MoveFile(u"\\a\\one.txt", u"\\b\\bad?"), ERROR_INVALID_NAME);
    EXPECT_EQ(s().MoveFile(u"\\a\\one.txt", u"\\b\\one.txt"), 0u);
    EXPECT_EQ(Get(u"\\b\\one.txt"), "1");
    // A change of case only renames the entry.
    EXPECT_EQ(s().MoveFile(u"\\b\\one.txt", u"\\b\\ONE.txt"), 0u);
    EXPECT_TRUE(std::filesystem::exists(root() / "b" / "ONE.txt"));
    EXPECT_FALSE(std::filesystem::exists(root() / "b" / "one.txt"));
    // Folders move with their content, but not into themselves.
    EXPECT_EQ(s().MoveFile(u"\\b", u"\\a\\b"), 0u);
    EXPECT_EQ(Get(u"\\a\\b\\two.txt"), "2");
    EXPECT_EQ(s().MoveFile(u"\\a", u"\\a\\b\\inner"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().MoveFile(u"\\", u"\\x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(s().MoveFile(u"\\a", u"\\"), ERROR_ALREADY_EXISTS);
}

TEST_F(StoreTest, CopyKeepsContentAttributesAndWriteTime)
{
    Put(u"\\src", std::string(200000, 'z'));
    ASSERT_EQ(s().SetAttributes(u"\\src", FILE_ATTRIBUTE_HIDDEN), 0u);
    EXPECT_EQ(s().CopyFile(u"\\src", u"\\dst", true), 0u);
    EXPECT_TRUE(Get(u"\\dst") == std::string(200000, 'z'));
    DWORD a = 0;
    ASSERT_EQ(s().GetAttributes(u"\\dst", &a), 0u);
    EXPECT_EQ(a, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    std::vector<store::FindEntry> src, dst;
    ASSERT_EQ(s().Find(u"\\src", FAF_LASTWRITE_TIME, &src), 0u);
    ASSERT_EQ(s().Find(u"\\dst", FAF_LASTWRITE_TIME, &dst), 0u);
    ASSERT_EQ(src.size(), 1u);
    ASSERT_EQ(dst.size(), 1u);
    EXPECT_EQ(src[0].write, dst[0].write);
    EXPECT_EQ(s().CopyFile(u"\\src", u"\\dst", true), ERROR_FILE_EXISTS);
    Put(u"\\small", "s");
    EXPECT_EQ(s().CopyFile(u"\\small", u"\\dst", false), 0u);
    EXPECT_EQ(Get(u"\\dst"), "s");
    EXPECT_EQ(s().CopyFile(u"\\none", u"\\dst", false), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().CopyFile(u"\\small", u"\\small", false), ERROR_SHARING_VIOLATION);
}

TEST_F(StoreTest, FindListsMatchesWithTheAskedFields)
{
    ASSERT_EQ(s().CreateDirectory(u"\\Docs"), 0u);
    ASSERT_EQ(s().CreateDirectory(u"\\Docs\\Sub"), 0u);
    Put(u"\\Docs\\a.sdf", std::string(10, 'a'));
    Put(u"\\Docs\\B.SDF", "b");
    Put(u"\\Docs\\c.txt", "c");
    std::vector<store::FindEntry> found;
    ASSERT_EQ(s().Find(u"\\docs\\*.sdf", FAF_NAME, &found), 0u);
    EXPECT_EQ(Names(found), std::vector<std::u16string>({ u"B.SDF", u"a.sdf" }));
    ASSERT_EQ(s().Find(u"\\Docs\\*", FAF_NAME | FAF_ATTRIBUTES | FAF_FOLDERS_ONLY, &found), 0u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, u"Sub");
    EXPECT_EQ(found[0].attributes, FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_EQ(s().Find(u"\\Docs\\a.sdf", FAF_NAME | FAF_SIZE_LOW | FAF_ATTRIBUTES | FAF_OID, &found), 0u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].size, 10u);
    EXPECT_EQ(found[0].attributes, FILE_ATTRIBUTE_ARCHIVE);
    struct stat st;
    ASSERT_EQ(stat((root() / "Docs" / "a.sdf").c_str(), &st), 0);
    EXPECT_EQ(found[0].oid, DWORD(st.st_ino));
    // Fields not asked for stay zero.
    ASSERT_EQ(s().Find(u"\\Docs\\A.SDF", FAF_NAME, &found), 0u);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name, u"a.sdf");
    EXPECT_EQ(found[0].size, 0u);
    EXPECT_EQ(found[0].attributes, 0u);
    EXPECT_EQ(found[0].write, 0u);
    ASSERT_EQ(s().Find(u"\\Docs\\*.none", FAF_NAME, &found), 0u);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(s().Find(u"\\Nope\\*", FAF_NAME, &found), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().Find(u"\\Docs\\c.txt\\*", FAF_NAME, &found), ERROR_PATH_NOT_FOUND);
    ASSERT_EQ(s().Find(u"\\*", FAF_NAME, &found), 0u);
    EXPECT_EQ(Names(found), std::vector<std::u16string>({ u"Docs" }));
}

TEST_F(StoreTest, SymlinksPlantedInTheStoreAreNeverFollowed)
{
    testsupport::TempDir outside;
    WriteHostFile(outside.path() / "secret", "secret");
    std::filesystem::create_directory(outside.path() / "dir");
    WriteHostFile(outside.path() / "dir" / "inner", "inner");
    std::filesystem::create_symlink(outside.path() / "secret", root() / "link");
    std::filesystem::create_symlink(outside.path() / "dir", root() / "dirlink");

    EXPECT_EQ(Open(s(), u"\\link", GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(s(), u"\\link", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(s(), u"\\LINK", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Open(s(), u"\\dirlink\\inner", GENERIC_READ, 0, OPEN_EXISTING), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Open(s(), u"\\dirlink\\new", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_PATH_NOT_FOUND);
    DWORD a = 0;
    EXPECT_EQ(s().GetAttributes(u"\\link", &a), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().SetAttributes(u"\\link", FILE_ATTRIBUTE_HIDDEN), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().DeleteFile(u"\\link"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().CreateDirectory(u"\\dirlink\\x"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(s().MoveFile(u"\\link", u"\\moved"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(s().CopyFile(u"\\link", u"\\copied", false), ERROR_FILE_NOT_FOUND);
    std::vector<store::FindEntry> found;
    ASSERT_EQ(s().Find(u"\\*", FAF_NAME, &found), 0u);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(s().Find(u"\\dirlink\\*", FAF_NAME, &found), ERROR_PATH_NOT_FOUND);
    // The outside is untouched, and no xattr was put on it.
    EXPECT_EQ(ReadHostFile(outside.path() / "secret"), "secret");
    EXPECT_EQ(getxattr((outside.path() / "secret").c_str(), store::kMetaAttribute, nullptr, 0), -1);
    EXPECT_FALSE(std::filesystem::exists(outside.path() / "dir" / "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(root() / "link"));
}

TEST_F(StoreTest, DotDotNeverLeavesTheRoot)
{
    WriteHostFile(m_dir.path() / "beside", "beside the store");
    EXPECT_EQ(Open(s(), u"\\..\\beside", GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(s(), u"\\..\\..\\..\\..\\beside", GENERIC_WRITE, 0, CREATE_ALWAYS), 0u);
    // It was created inside the store.
    EXPECT_TRUE(std::filesystem::exists(root() / "beside"));
    EXPECT_EQ(ReadHostFile(m_dir.path() / "beside"), "beside the store");
    ASSERT_EQ(s().CreateDirectory(u"\\d"), 0u);
    Put(u"\\d\\..\\..\\d\\f", "f");
    EXPECT_EQ(ReadHostFile(root() / "d" / "f"), "f");
}

TEST_F(StoreTest, HostNamesTheDeviceCannotHoldAreNotListed)
{
    WriteHostFile(root() / "ok.txt", "");
    WriteHostFile(root() / "co:lon", "");
    WriteHostFile(root() / "back\\slash", "");
    WriteHostFile(root() / "trail.", "");
    WriteHostFile(root()
            / std::string("bad\xff"
                          "utf8"),
        "");
    mkfifo((root() / "fifo").c_str(), 0600);
    std::vector<store::FindEntry> found;
    ASSERT_EQ(s().Find(u"\\*", FAF_NAME | FAF_ATTRIBUTES, &found), 0u);
    EXPECT_EQ(Names(found), std::vector<std::u16string>({ u"ok.txt" }));
    // A FIFO is never opened (which would block), nor replaced.
    EXPECT_EQ(Open(s(), u"\\fifo", GENERIC_READ, 0, OPEN_EXISTING), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(s(), u"\\fifo", GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_ACCESS_DENIED);
}

TEST_F(StoreTest, LongNamesReachTheHostLimits)
{
    std::u16string name(255, u'n');
    Put(u"\\" + name, "x");
    EXPECT_EQ(Get(u"\\" + name), "x");
    // 255 UTF-16 units of a 3-byte UTF-8 character exceed the host's 255 bytes.
    std::u16string wide(100, u'€');
    EXPECT_EQ(Open(s(), u"\\" + wide, GENERIC_WRITE, 0, CREATE_ALWAYS), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(Open(s(), u"\\" + std::u16string(256, u'n'), GENERIC_WRITE, 0, CREATE_ALWAYS),
        ERROR_FILENAME_EXCED_RANGE);
}

// A host file may carry any time another program stamped on it; the device
// sees the nearest time a FILETIME holds, never a wrapped one.
TEST(FileTimes, HostTimesBeyondAFileTimeSaturate)
{
    constexpr auto kLatest = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(store::FileTimeFromTimespec({ 0, 0 }), 116444736000000000u);
    EXPECT_EQ(store::FileTimeFromTimespec({ 1, 999999999 }), 116444736019999999u);
    EXPECT_EQ(store::FileTimeFromTimespec({ -11644473601, 0 }), 0u);
    EXPECT_EQ(store::FileTimeFromTimespec({ std::numeric_limits<time_t>::min(), 0 }), 0u);
    EXPECT_EQ(store::FileTimeFromTimespec({ 1844674407370, 0 }), kLatest);
    EXPECT_EQ(store::FileTimeFromTimespec({ std::numeric_limits<time_t>::max(), 0 }), kLatest);
    const struct timespec back = store::TimespecFromFileTime(116444736019999999u);
    EXPECT_EQ(back.tv_sec, 1);
    EXPECT_EQ(back.tv_nsec, 999999900);
}

} // namespace
