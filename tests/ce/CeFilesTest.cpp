// The file functions of the device programs' platform library, and the
// system functions that need no device host.
#include "CeFixture.h"

#include <cstring>
#include <thread>

namespace {

using namespace ce;
using cetest::CeTest;

TEST_F(CeTest, FilesWrittenByAProgramAreTheStoresFiles)
{
    HANDLE f
        = CreateFile(u"\\Temp\\out.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(f, "abcdef", 6, &written, nullptr));
    EXPECT_EQ(written, 6u);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(f, &high), 6u);
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(SetFilePointer(f, -2, nullptr, FILE_END), 4u);
    ASSERT_TRUE(WriteFile(f, "XY", 2, &written, nullptr));
    EXPECT_EQ(SetFilePointer(f, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    BYTE buffer[4];
    DWORD read = 9;
    EXPECT_FALSE(ReadFile(f, buffer, 4, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(read, 0u);
    ASSERT_TRUE(CloseHandle(f));
    EXPECT_FALSE(CloseHandle(f));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Get(u"\\temp\\OUT.TXT"), "abcdXY");

    f = CreateFile(u"\\Temp\\out.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    char text[16] = {};
    ASSERT_TRUE(ReadFile(f, text, sizeof text, &read, nullptr));
    EXPECT_EQ(std::string(text, read), "abcdXY");
    ASSERT_TRUE(ReadFile(f, text, sizeof text, &read, nullptr));
    EXPECT_EQ(read, 0u);
    CloseHandle(f);
}

TEST_F(CeTest, CreateDispositionsReportExistingFilesAsWindowsDoes)
{
    Put(u"\\Temp\\a.txt", "old");
    EXPECT_EQ(
        CreateFile(u"\\Temp\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    HANDLE f = CreateFile(u"\\Temp\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(f);
    EXPECT_EQ(Get(u"\\Temp\\a.txt"), "");
    EXPECT_EQ(CreateFile(u"\\Nowhere\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, 0),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(
        CreateFile(u"\\Temp\\b.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        CreateFile(u"\\Temp\\a?.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST_F(CeTest, AnExclusiveOpenShutsOutTheOtherSideUntilClosed)
{
    Put(u"\\My Documents\\db.sdf", "data");
    HANDLE mine = CreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0);
    ASSERT_NE(mine, INVALID_HANDLE_VALUE);
    std::unique_ptr<store::File> other;
    bool existed = false;
    EXPECT_EQ(Store().CreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0,
                  &other, &existed),
        ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(DeleteFile(u"\\My Documents\\db.sdf"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(mine);
    EXPECT_EQ(Store().CreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0,
                  &other, &existed),
        ERROR_SUCCESS);
    // Reading while others may only read: the agent's lock test.
    HANDLE probe
        = CreateFile(u"\\My Documents\\db.sdf", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, 0);
    EXPECT_NE(probe, INVALID_HANDLE_VALUE);
    CloseHandle(probe);
}

TEST_F(CeTest, FindListsMatchesAndEndsWithNoMoreFiles)
{
    Put(u"\\Temp\\one.sdf", "1");
    Put(u"\\Temp\\Two.SDF", "22");
    Put(u"\\Temp\\three.txt", "333");
    WIN32_FIND_DATA data;
    HANDLE find = FindFirstFile(u"\\Temp\\*.sdf", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    std::vector<std::pair<std::u16string, DWORD>> seen { { data.cFileName, data.nFileSizeLow } };
    while (FindNextFile(find, &data))
        seen.emplace_back(data.cFileName, data.nFileSizeLow);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], (std::pair<std::u16string, DWORD>(u"Two.SDF", 2)));
    EXPECT_EQ(seen[1], (std::pair<std::u16string, DWORD>(u"one.sdf", 1)));

    find = FindFirstFile(u"\\Temp\\ONE.SDF", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"one.sdf");
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_NE(FileTimeToU64(data.ftLastWriteTime), 0u);
    FindClose(find);
    EXPECT_EQ(FindFirstFile(u"\\Temp\\*.bin", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(FindFirstFile(u"\\Gone\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(CeTest, CopyMoveDeleteAndAttributes)
{
    Put(u"\\Temp\\a.txt", "abc");
    EXPECT_TRUE(CopyFile(u"\\Temp\\a.txt", u"\\Temp\\b.txt", TRUE));
    EXPECT_FALSE(CopyFile(u"\\Temp\\a.txt", u"\\Temp\\b.txt", TRUE));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
    EXPECT_TRUE(MoveFile(u"\\Temp\\b.txt", u"\\My Documents\\c.txt"));
    EXPECT_EQ(Get(u"\\My Documents\\c.txt"), "abc");
    EXPECT_EQ(GetFileAttributes(u"\\Temp\\b.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(SetFileAttributes(u"\\My Documents\\c.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributes(u"\\My Documents\\c.txt"), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(DeleteFile(u"\\My Documents\\c.txt"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetFileAttributes(u"\\Temp"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(CreateDirectory(u"\\Program Files\\", nullptr));
    EXPECT_FALSE(CreateDirectory(u"\\program files", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(RemoveDirectory(u"\\Program Files"));
    EXPECT_TRUE(DeleteFile(u"\\Temp\\a.txt"));
}

TEST_F(CeTest, DeviceIdentifierComesFromTheProfile)
{
    std::vector<BYTE> buffer(4096, 0xEE);
    DWORD returned = 0;
    ASSERT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer.data(), 4096, &returned));
    ASSERT_EQ(returned, m_profile.identifier.size());
    EXPECT_TRUE(std::equal(m_profile.identifier.begin(), m_profile.identifier.end(), buffer.begin()));
    EXPECT_EQ(buffer[returned], 0xEE);
    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, buffer.data(), 16, &returned));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(returned, m_profile.identifier.size());
    EXPECT_FALSE(KernelIoControl(0x01010000, nullptr, 0, nullptr, 0, &returned));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
}

TEST_F(CeTest, WithoutAHostProcessServicesAreNotSupported)
{
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(OpenProcess(PROCESS_TERMINATE, FALSE, 0x42), 0);
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    SetCleanRebootFlag();
    EXPECT_FALSE(KernelIoControl(IOCTL_HAL_REBOOT, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(GetCurrentProcessId(), 0u);
    WCHAR module[MAX_PATH];
    EXPECT_EQ(GetModuleFileName(0, module, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(CeTest, LastErrorBelongsToEachThread)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    DWORD seen = 1;
    std::thread other([&] {
        SetLastError(ERROR_SHARING_VIOLATION);
        seen = GetLastError();
    });
    other.join();
    EXPECT_EQ(seen, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(CeTest, LocalTimeIsTheHostsLocalTime)
{
    SYSTEMTIME st {};
    std::time_t before = std::time(nullptr);
    GetLocalTime(&st);
    std::time_t after = std::time(nullptr);
    struct tm a, b;
    localtime_r(&before, &a);
    localtime_r(&after, &b);
    EXPECT_TRUE(st.wYear == a.tm_year + 1900 || st.wYear == b.tm_year + 1900);
    EXPECT_TRUE(st.wMinute == a.tm_min || st.wMinute == b.tm_min);
    EXPECT_TRUE(st.wMonth >= 1 && st.wMonth <= 12);
    EXPECT_LT(st.wMilliseconds, 1000);
}

} // namespace
