// The registry functions of the device programs' platform library, attached
// in-process to a temporary device folder.
#include "CeFixture.h"

namespace {

using namespace ce;
using cetest::CeTest;

TEST_F(CeTest, CreateReportsWhetherTheKeyIsNewAndWritesReachTheHive)
{
    DWORD disposition = 0;
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(SetText(key, u"Status", u"Row 1 of 2"), LONG(ERROR_SUCCESS));
    HKEY again = Create(HKEY_LOCAL_MACHINE, u"Software\\QUORVANE", &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_NE(again, key);

    std::vector<std::uint8_t> data;
    std::uint32_t type = 0;
    ASSERT_EQ(Hive().QueryValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane", u"status", &type, &data), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data.data()), data.size() / 2), u"Row 1 of 2");
    EXPECT_EQ(RegCloseKey(key), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(again), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegCloseKey(again), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), LONG(ERROR_SUCCESS));
}

TEST_F(CeTest, QueryFollowsTheBufferRules)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Quorvane");
    DWORD cancel = 1;
    ASSERT_EQ(RegSetValueEx(key, u"Cancel", 0, REG_DWORD, reinterpret_cast<BYTE*>(&cancel), 4),
        LONG(ERROR_SUCCESS));
    ASSERT_EQ(SetText(key, u"Status", u"Done."), LONG(ERROR_SUCCESS));

    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueEx(key, u"CANCEL", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        LONG(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(size, 4u);

    size = 0;
    EXPECT_EQ(RegQueryValueEx(key, u"Status", nullptr, &type, nullptr, &size), LONG(ERROR_SUCCESS));
    EXPECT_EQ(size, 10u);
    char16_t small[2] = { u'x', u'x' };
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, u"Status", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
        LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(small[0], u'x');
    EXPECT_EQ(RegQueryValueEx(key, u"Status", nullptr, &type, reinterpret_cast<BYTE*>(small), nullptr),
        LONG(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegQueryValueEx(key, u"Missing", nullptr, &type, nullptr, &size), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegQueryValueEx(0x7777, u"Status", nullptr, &type, nullptr, &size), LONG(ERROR_INVALID_HANDLE));
    RegCloseKey(key);
}

TEST_F(CeTest, OpenNeedsAnExistingKeyAndSubKeysJoinTheirParent)
{
    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Nothing", 0, KEY_READ, &key),
        LONG(ERROR_FILE_NOT_FOUND));
    HKEY software = Create(HKEY_LOCAL_MACHINE, u"Software");
    HKEY debug = Create(software, u"\\Quorvane\\Debug");
    ASSERT_EQ(SetText(debug, u"000", u"1:02:03 - Running..."), LONG(ERROR_SUCCESS));
    EXPECT_EQ(Hive().OpenKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Debug"), 0);
    ASSERT_EQ(RegOpenKeyEx(software, u"Quorvane", 0, KEY_READ, &key), LONG(ERROR_SUCCESS));
    HKEY same = 0;
    ASSERT_EQ(RegOpenKeyEx(key, nullptr, 0, KEY_READ, &same), LONG(ERROR_SUCCESS));
    DWORD subKeys = 0, values = 0, maxName = 0;
    ASSERT_EQ(RegQueryInfoKey(same, &subKeys, &maxName, &values, nullptr, nullptr), LONG(ERROR_SUCCESS));
    EXPECT_EQ(subKeys, 1u);
    EXPECT_EQ(maxName, 5u);
    EXPECT_EQ(values, 0u);
    for (HKEY k : { key, same, debug, software })
        EXPECT_EQ(RegCloseKey(k), LONG(ERROR_SUCCESS));
}

TEST_F(CeTest, DeletingAKeyTakesItsSubtreeAndStalesOpenHandles)
{
    HKEY agent = Create(HKEY_LOCAL_MACHINE, u"Software\\Quorvane");
    HKEY debug = Create(agent, u"Debug");
    ASSERT_EQ(SetText(debug, u"000", u"x"), LONG(ERROR_SUCCESS));
    Create(debug, u"Deeper");
    EXPECT_EQ(RegDeleteKey(agent, u"Debug"), LONG(ERROR_SUCCESS));
    EXPECT_EQ(Hive().OpenKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Debug\\Deeper"),
        reg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetText(debug, u"001", u"y"), LONG(ERROR_KEY_DELETED));
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(debug, u"000", nullptr, nullptr, nullptr, &size), LONG(ERROR_KEY_DELETED));
    HKEY below = 0;
    EXPECT_EQ(
        RegCreateKeyEx(debug, u"Again", 0, nullptr, 0, 0, nullptr, &below, nullptr), LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(
        Hive().OpenKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Debug"), reg::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(agent, u"Debug"), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, u""), LONG(ERROR_ACCESS_DENIED));

    ASSERT_EQ(SetText(agent, u"Status", u"a"), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteValue(agent, u"STATUS"), LONG(ERROR_SUCCESS));
    EXPECT_EQ(RegDeleteValue(agent, u"Status"), LONG(ERROR_FILE_NOT_FOUND));
    RegCloseKey(agent);
    RegCloseKey(debug);
}

TEST_F(CeTest, EnumerationCopiesNamesAndDataWithTheirSizes)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Enum");
    Create(key, u"Beta");
    Create(key, u"alpha");
    ASSERT_EQ(SetText(key, u"Name", u"abc"), LONG(ERROR_SUCCESS));

    WCHAR name[16];
    DWORD count = 16;
    ASSERT_EQ(RegEnumKeyEx(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr), LONG(ERROR_SUCCESS));
    EXPECT_EQ(std::u16string(name), u"alpha");
    EXPECT_EQ(count, 5u);
    count = 16;
    ASSERT_EQ(RegEnumKeyEx(key, 1, name, &count, nullptr, nullptr, nullptr, nullptr), LONG(ERROR_SUCCESS));
    EXPECT_EQ(std::u16string(name), u"Beta");
    count = 16;
    EXPECT_EQ(
        RegEnumKeyEx(key, 2, name, &count, nullptr, nullptr, nullptr, nullptr), LONG(ERROR_NO_MORE_ITEMS));
    count = 4;
    EXPECT_EQ(RegEnumKeyEx(key, 1, name, &count, nullptr, nullptr, nullptr, nullptr), LONG(ERROR_MORE_DATA));
    EXPECT_EQ(count, 5u);

    DWORD type = 0, bytes = 2;
    BYTE data[8] = {};
    count = 16;
    EXPECT_EQ(RegEnumValue(key, 0, name, &count, nullptr, &type, data, &bytes), LONG(ERROR_MORE_DATA));
    EXPECT_EQ(bytes, 6u);
    bytes = sizeof data;
    count = 16;
    ASSERT_EQ(RegEnumValue(key, 0, name, &count, nullptr, &type, data, &bytes), LONG(ERROR_SUCCESS));
    EXPECT_EQ(std::u16string(name), u"Name");
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(bytes, 6u);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(data), 3), u"abc");
    count = 16;
    EXPECT_EQ(
        RegEnumValue(key, 1, name, &count, nullptr, nullptr, nullptr, nullptr), LONG(ERROR_NO_MORE_ITEMS));
    RegCloseKey(key);
}

TEST_F(CeTest, WithoutADeviceEveryCallSaysNotConnected)
{
    ce::Detach();
    unsetenv(device::kEnvDeviceDir);
    std::string error;
    EXPECT_FALSE(ce::Attach(&error));
    EXPECT_EQ(error,
        "QUORVANE_DEVICE_DIR is not set: this program runs on the emulated device (start it through "
        "cedevice)");
    HKEY key = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software", 0, 0, &key), LONG(ERROR_NOT_CONNECTED));
    EXPECT_EQ(CreateFile(u"\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_NOT_CONNECTED);
}

} // namespace
