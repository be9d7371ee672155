// The file operations of the remote-access client against a running device.
#include "DeviceFixture.h"

#include "tests/support/HostFile.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

using testing_device::DeviceTest;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

class RapiFiles : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        c = Connect();
    }
    // Writes `content` to a new device file through the client.
    void Put(const char16_t* path, const std::string& content)
    {
        HANDLE h = c->CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << c->CeGetLastError();
        DWORD written = 0;
        ASSERT_TRUE(c->CeWriteFile(h, content.data(), DWORD(content.size()), &written, nullptr));
        ASSERT_EQ(written, content.size());
        ASSERT_TRUE(c->CeCloseHandle(h));
    }
    std::string Get(const char16_t* path)
    {
        HANDLE h = c->CeCreateFile(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
        if (h == INVALID_HANDLE_VALUE)
            return "<error " + std::to_string(c->CeGetLastError()) + ">";
        DWORD high = 0;
        DWORD size = c->CeGetFileSize(h, &high);
        std::string data(size, '\0');
        DWORD read = 0;
        EXPECT_TRUE(c->CeReadFile(h, data.data(), size, &read, nullptr));
        data.resize(read);
        EXPECT_TRUE(c->CeCloseHandle(h));
        return data;
    }
    std::unique_ptr<RapiConnection> c;
};

TEST_F(RapiFiles, CreateWriteReadRoundTripInBlocksOfSixtyThousandBytes)
{
    std::string data(1000000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7 + i / 256);
    HANDLE h = c->CeCreateFile(u"\\My Documents\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), 0u);
    for (std::size_t at = 0; at < data.size(); at += 60000) {
        DWORD n = DWORD(std::min<std::size_t>(60000, data.size() - at)), written = 0;
        ASSERT_TRUE(c->CeWriteFile(h, data.data() + at, n, &written, nullptr));
        ASSERT_EQ(written, n);
    }
    ASSERT_TRUE(c->CeCloseHandle(h));
    EXPECT_TRUE(ReadHostFile(files() / "My Documents" / "big.bin") == data);
    // A read larger than one protocol chunk comes back whole.
    EXPECT_TRUE(Get(u"\\MY DOCUMENTS\\BIG.BIN") == data);
}

TEST_F(RapiFiles, CreateFileResultsAndLastErrors)
{
    EXPECT_EQ(c->CeCreateFile(u"\\nope.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(c->CeCreateFile(u"\\nope\\x.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(
        c->CeCreateFile(u"\\a<b", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_INVALID_NAME);
    EXPECT_EQ(c->CeCreateFile(u"\\Windows", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
    Put(u"\\f.txt", "x");
    HANDLE h = c->CeCreateFile(u"\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_ALREADY_EXISTS);
    c->CeCloseHandle(h);
    h = c->CeCreateFile(u"\\f.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), 0u);
    c->CeCloseHandle(h);
    EXPECT_EQ(
        c->CeCreateFile(u"\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0x80, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(c->CeCreateFile(u"\\f.txt", GENERIC_WRITE, 0, nullptr, 9, 0x80, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(RapiFiles, HandlesOfOtherKindsOrClosedOnesAreInvalid)
{
    Put(u"\\f.txt", "abc");
    HANDLE h = c->CeCreateFile(u"\\f.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(c->CeCloseHandle(h));
    char buf[4];
    DWORD n = 7;
    EXPECT_FALSE(c->CeReadFile(h, buf, 3, &n, nullptr));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(c->CeGetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(c->CeCloseHandle(h));
    EXPECT_EQ(c->CeGetFileSize(h, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_INVALID_HANDLE);
    CE_FIND_DATA fd;
    HANDLE find = c->CeFindFirstFile(u"\\*", &fd);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(c->CeCloseHandle(find)) << "a search is closed with CeFindClose";
    EXPECT_FALSE(c->CeWriteFile(find, "x", 1, &n, nullptr));
    EXPECT_TRUE(c->CeFindClose(find));
    EXPECT_FALSE(c->CeFindClose(find));
    EXPECT_EQ(c->CeGetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(RapiFiles, SizesPointersAndEndOfFile)
{
    Put(u"\\f.bin", "0123456789");
    HANDLE h = c->CeCreateFile(u"\\f.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    DWORD high = 5;
    EXPECT_EQ(c->CeGetFileSize(h, &high), 10u);
    EXPECT_EQ(high, 0u);
    // With a high part, the distance is the 64-bit value high:low.
    LONG moveHigh = -1;
    EXPECT_EQ(c->CeSetFilePointer(h, -4, &moveHigh, FILE_END), 6u);
    EXPECT_EQ(moveHigh, 0);
    char buf[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(c->CeReadFile(h, buf, 16, &read, nullptr));
    EXPECT_EQ(std::string(buf, read), "6789");
    ASSERT_TRUE(c->CeReadFile(h, buf, 16, &read, nullptr));
    EXPECT_EQ(read, 0u) << "reading at the end succeeds with nothing";
    EXPECT_EQ(c->CeSetFilePointer(h, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(c->CeGetLastError(), ERROR_NEGATIVE_SEEK);
    DWORD written = 1;
    EXPECT_FALSE(c->CeWriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
    c->CeCloseHandle(h);
}

// Small reads of a file nobody else may write are served in larger pieces;
// the caller still sees exactly the file and its own position.
TEST_F(RapiFiles, SmallReadsAndSeeksSeeExactlyTheFile)
{
    std::string data(3000000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = char((i * 131) >> 3);
    testsupport::WriteHostFile(files() / "Temp" / "r.bin", data);
    for (DWORD share : { DWORD(0), DWORD(FILE_SHARE_READ), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE) }) {
        HANDLE h = c->CeCreateFile(u"\\Temp\\r.bin", GENERIC_READ, share, nullptr, OPEN_EXISTING, 0x80, 0);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        char buf[70000];
        DWORD read = 0;
        ASSERT_TRUE(c->CeReadFile(h, buf, 10, &read, nullptr));
        ASSERT_EQ(read, 10u);
        EXPECT_EQ(std::string(buf, 10), data.substr(0, 10));
        EXPECT_EQ(c->CeSetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u) << share;
        EXPECT_EQ(c->CeSetFilePointer(h, -5, nullptr, FILE_CURRENT), 5u);
        ASSERT_TRUE(c->CeReadFile(h, buf, 60000, &read, nullptr));
        ASSERT_EQ(read, 60000u);
        EXPECT_TRUE(std::string(buf, read) == data.substr(5, 60000));
        // Across the end of a piece fetched ahead.
        EXPECT_EQ(c->CeSetFilePointer(h, 1048570, nullptr, FILE_BEGIN), 1048570u);
        ASSERT_TRUE(c->CeReadFile(h, buf, 20, &read, nullptr));
        EXPECT_EQ(std::string(buf, read), data.substr(1048570, 20));
        EXPECT_EQ(c->CeSetFilePointer(h, -100, nullptr, FILE_END), 2999900u);
        ASSERT_TRUE(c->CeReadFile(h, buf, 70000, &read, nullptr));
        EXPECT_EQ(read, 100u);
        EXPECT_EQ(std::string(buf, read), data.substr(2999900));
        ASSERT_TRUE(c->CeReadFile(h, buf, 70000, &read, nullptr));
        EXPECT_EQ(read, 0u);
        // Read the whole file in small pieces.
        c->CeSetFilePointer(h, 0, nullptr, FILE_BEGIN);
        std::string all;
        do {
            ASSERT_TRUE(c->CeReadFile(h, buf, 4096, &read, nullptr));
            all.append(buf, read);
        } while (read > 0);
        EXPECT_TRUE(all == data) << share;
        ASSERT_TRUE(c->CeCloseHandle(h));
    }
    // A reader that lets others write sees their writes between its reads.
    HANDLE reader = c->CeCreateFile(
        u"\\Temp\\r.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0x80, 0);
    HANDLE writer = c->CeCreateFile(
        u"\\Temp\\r.bin", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0x80, 0);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    char buf[8];
    DWORD n = 0;
    ASSERT_TRUE(c->CeReadFile(reader, buf, 4, &n, nullptr));
    c->CeSetFilePointer(writer, 4, nullptr, FILE_BEGIN);
    ASSERT_TRUE(c->CeWriteFile(writer, "WXYZ", 4, &n, nullptr));
    ASSERT_TRUE(c->CeReadFile(reader, buf, 4, &n, nullptr));
    EXPECT_EQ(std::string(buf, 4), "WXYZ");
    c->CeCloseHandle(reader);
    c->CeCloseHandle(writer);
}

TEST_F(RapiFiles, FileTimesSetAndRead)
{
    HANDLE h = c->CeCreateFile(u"\\t.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FILETIME created = U64ToFileTime(127799568000000000ull);
    FILETIME written = U64ToFileTime(127799568000000000ull + 36000000000ull);
    ASSERT_TRUE(c->CeSetFileTime(h, &created, nullptr, &written));
    FILETIME c2 {}, a2 {}, w2 {};
    ASSERT_TRUE(c->CeGetFileTime(h, &c2, &a2, &w2));
    EXPECT_EQ(FileTimeToU64(c2), FileTimeToU64(created));
    EXPECT_EQ(FileTimeToU64(w2), FileTimeToU64(written));
    c->CeCloseHandle(h);
    CE_FIND_DATA* found = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(
        c->CeFindAllFiles(u"\\t.txt", FAF_NAME | FAF_CREATION_TIME | FAF_LASTWRITE_TIME, &count, &found));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(FileTimeToU64(found[0].ftCreationTime), 127799568000000000ull);
    EXPECT_EQ(FileTimeToU64(found[0].ftLastWriteTime), 127799568000000000ull + 36000000000ull);
    CeRapiFreeBuffer(found);
    struct stat st;
    ASSERT_EQ(stat((files() / "t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1135483200 + 3600);
    // Without write access the times stay.
    h = c->CeCreateFile(u"\\t.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0x80, 0);
    EXPECT_FALSE(c->CeSetFileTime(h, nullptr, nullptr, &created));
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
    c->CeCloseHandle(h);
}

TEST_F(RapiFiles, DeleteMoveCopyAndFolders)
{
    Put(u"\\My Documents\\a.txt", "A");
    EXPECT_FALSE(c->CeDeleteFile(u"\\My Documents\\none.txt"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(c->CeCopyFile(u"\\My Documents\\a.txt", u"\\Temp\\b.txt", TRUE));
    EXPECT_FALSE(c->CeCopyFile(u"\\My Documents\\a.txt", u"\\Temp\\b.txt", TRUE));
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_EXISTS);
    EXPECT_EQ(Get(u"\\Temp\\b.txt"), "A");
    EXPECT_TRUE(c->CeMoveFile(u"\\Temp\\b.txt", u"\\Temp\\c.txt"));
    EXPECT_FALSE(c->CeMoveFile(u"\\Temp\\c.txt", u"\\My Documents\\A.TXT"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(c->CeMoveFile(u"\\Temp\\gone.txt", u"\\Temp\\d.txt"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(c->CeDeleteFile(u"\\TEMP\\C.TXT"));
    EXPECT_FALSE(std::filesystem::exists(files() / "Temp" / "c.txt"));

    EXPECT_TRUE(c->CeCreateDirectory(u"\\Quorvane", nullptr));
    EXPECT_FALSE(c->CeCreateDirectory(u"\\Quorvane", nullptr));
    EXPECT_EQ(c->CeGetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(c->CeCreateDirectory(u"\\No\\Such", nullptr));
    EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
    Put(u"\\Quorvane\\SQLquery.txt", "q");
    EXPECT_FALSE(c->CeRemoveDirectory(u"\\Quorvane"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(c->CeRemoveDirectory(u"\\Quorvane\\SQLquery.txt"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_DIRECTORY);
    EXPECT_TRUE(c->CeDeleteFile(u"\\Quorvane\\SQLquery.txt"));
    EXPECT_TRUE(c->CeRemoveDirectory(u"\\Quorvane"));
    EXPECT_FALSE(c->CeRemoveDirectory(u"\\Quorvane"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RapiFiles, AttributesRoundTripAndGuardReadOnlyFiles)
{
    EXPECT_EQ(c->CeGetFileAttributes(u"\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(c->CeGetFileAttributes(u"\\My Documents"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(c->CeGetFileAttributes(u"\\nothing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
    Put(u"\\r.txt", "r");
    EXPECT_EQ(c->CeGetFileAttributes(u"\\r.txt"), FILE_ATTRIBUTE_ARCHIVE);
    ASSERT_TRUE(c->CeSetFileAttributes(u"\\r.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(c->CeGetFileAttributes(u"\\R.TXT"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(c->CeDeleteFile(u"\\r.txt"));
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(
        c->CeCreateFile(u"\\r.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
    ASSERT_TRUE(c->CeSetFileAttributes(u"\\r.txt", 0));
    EXPECT_EQ(c->CeGetFileAttributes(u"\\r.txt"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(c->CeDeleteFile(u"\\r.txt"));
    EXPECT_FALSE(c->CeSetFileAttributes(u"\\r.txt", 0));
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RapiFiles, FindFirstNextAndClose)
{
    Put(u"\\My Documents\\one.sdf", "1");
    Put(u"\\My Documents\\two.sdf", "22");
    Put(u"\\My Documents\\note.txt", "333");
    CE_FIND_DATA fd {};
    HANDLE h = c->CeFindFirstFile(u"\\My Documents\\*.SDF", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::vector<std::pair<std::u16string, DWORD>> seen;
    do {
        seen.emplace_back(fd.cFileName, fd.nFileSizeLow);
        EXPECT_EQ(fd.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
        EXPECT_NE(FileTimeToU64(fd.ftLastWriteTime), 0u);
    } while (c->CeFindNextFile(h, &fd));
    EXPECT_EQ(c->CeGetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(c->CeFindClose(h));
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(std::u16string(u"one.sdf"), DWORD(1)));
    EXPECT_EQ(seen[1], std::make_pair(std::u16string(u"two.sdf"), DWORD(2)));
    EXPECT_EQ(c->CeFindFirstFile(u"\\My Documents\\*.none", &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(c->CeFindFirstFile(u"\\Nowhere\\*", &fd), INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(RapiFiles, FindAllFilesHonoursTheFieldMaskAndFoldersOnly)
{
    Put(u"\\My Documents\\data.sdf", std::string(1234, 'd'));
    ASSERT_TRUE(c->CeCreateDirectory(u"\\My Documents\\Sub", nullptr));
    DWORD count = 0;
    CE_FIND_DATA* found = nullptr;
    // The explorer's listing: name, sizes, write time, attributes.
    ASSERT_TRUE(c->CeFindAllFiles(u"\\My Documents\\*", 0xB9, &count, &found));
    ASSERT_EQ(count, 2u);
    std::sort(found, found + count, [](const CE_FIND_DATA& a, const CE_FIND_DATA& b) {
        return std::u16string(a.cFileName) < b.cFileName;
    });
    EXPECT_EQ(std::u16string(found[0].cFileName), u"Sub");
    EXPECT_EQ(found[0].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(std::u16string(found[1].cFileName), u"data.sdf");
    EXPECT_EQ(found[1].nFileSizeLow, 1234u);
    EXPECT_EQ(found[1].dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(FileTimeToU64(found[1].ftCreationTime), 0u) << "creation time was not asked for";
    CeRapiFreeBuffer(found);
    // Folders only, names and attributes.
    ASSERT_TRUE(c->CeFindAllFiles(u"\\*", 0x4081, &count, &found));
    std::vector<std::u16string> names;
    for (DWORD i = 0; i < count; ++i)
        names.push_back(found[i].cFileName);
    CeRapiFreeBuffer(found);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
        std::vector<std::u16string>(
            { u"Application Data", u"My Documents", u"Program Files", u"Temp", u"Windows" }));
    // Names only: a size is not filled.
    ASSERT_TRUE(c->CeFindAllFiles(u"\\My Documents\\data.sdf", FAF_NAME, &count, &found));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(found[0].nFileSizeLow, 0u);
    CeRapiFreeBuffer(found);
    // Size without name: the name stays empty.
    ASSERT_TRUE(c->CeFindAllFiles(u"\\My Documents\\data.sdf", FAF_SIZE_LOW, &count, &found));
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(found[0].nFileSizeLow, 1234u);
    EXPECT_EQ(found[0].cFileName[0], 0);
    CeRapiFreeBuffer(found);
    // Nothing matches: success with no records; a missing folder fails.
    ASSERT_TRUE(c->CeFindAllFiles(u"\\My Documents\\*.xyz", FAF_NAME, &count, &found));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(found, nullptr);
    EXPECT_FALSE(c->CeFindAllFiles(u"\\Missing\\*", FAF_NAME, &count, &found));
    EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(RapiFiles, FindAllFilesReturnsLargeFoldersWhole)
{
    for (int i = 0; i < 2500; ++i)
        WriteHostFile(files() / "Temp" / ("file" + std::to_string(i) + ".dat"), "");
    DWORD count = 0;
    CE_FIND_DATA* found = nullptr;
    ASSERT_TRUE(c->CeFindAllFiles(u"\\Temp\\*.dat", FAF_NAME, &count, &found));
    EXPECT_EQ(count, 2500u);
    std::vector<std::u16string> names;
    for (DWORD i = 0; i < count; ++i)
        names.push_back(found[i].cFileName);
    CeRapiFreeBuffer(found);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.front(), u"file0.dat");
}

TEST_F(RapiFiles, ConfinementAttacksThroughTheProtocol)
{
    testsupport::TempDir outside;
    WriteHostFile(outside.path() / "secret", "secret");
    std::filesystem::create_symlink(outside.path() / "secret", files() / "Temp" / "planted");
    std::filesystem::create_symlink(outside.path(), files() / "Temp" / "plantedDir");
    WriteHostFile(store() / "beside", "beside");

    EXPECT_EQ(Get(u"\\..\\beside"), "<error 2>");
    EXPECT_EQ(Get(u"\\..\\..\\..\\..\\..\\etc\\passwd"), "<error 3>");
    EXPECT_EQ(Get(u"\\Temp\\planted"), "<error 2>");
    EXPECT_EQ(Get(u"\\Temp\\plantedDir\\secret"), "<error 3>");
    EXPECT_EQ(c->CeCreateFile(u"\\Temp\\planted", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(c->CeCopyFile(u"\\Windows\\pword.exe", u"\\Temp\\plantedDir\\copy", FALSE));
    EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(c->CeMoveFile(u"\\Temp", u"\\Temp\\plantedDir\\moved"));
    EXPECT_EQ(ReadHostFile(outside.path() / "secret"), "secret");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outside.path()), {}), 1);

    // Very long paths and names.
    std::u16string longName(300, u'x');
    EXPECT_EQ(c->CeCreateFile((u"\\" + longName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0x80, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILENAME_EXCED_RANGE);
    // Folders nest until the path would pass 259 characters.
    std::u16string deep;
    for (;;) {
        std::u16string next = deep + u"\\folder0123";
        if (next.size() > 259) {
            EXPECT_FALSE(c->CeCreateDirectory(next.c_str(), nullptr));
            EXPECT_EQ(c->CeGetLastError(), ERROR_PATH_NOT_FOUND);
            break;
        }
        ASSERT_TRUE(c->CeCreateDirectory(next.c_str(), nullptr)) << next.size();
        deep = next;
    }
    std::u16string huge(40000, u'a');
    EXPECT_EQ(c->CeGetFileAttributes((u"\\" + huge).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(c->CeGetLastError(), ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(c->CeRapiGetError(), S_OK)
        << "an over-long string is refused by the client, not the connection";
    // Names Windows forbids.
    for (const char16_t* bad : { u"\\a:b", u"\\a|b", u"\\a\"b", u"\\a*b", u"\\a?b", u"\\a/b",
             u"\\a\x01"
             "b" }) {
        EXPECT_FALSE(c->CeCreateDirectory(bad, nullptr));
        EXPECT_EQ(c->CeGetLastError(), ERROR_INVALID_NAME);
    }
}

} // namespace
