// The registry operations of the remote-access client against a running device.
#include "DeviceFixture.h"

#include "platform/rapi/Protocol.h"
#include "platform/registry/Hive.h"

#include <chrono>
#include <cstring>
#include <thread>

using testing_device::DeviceTest;

namespace {

class RapiRegistry : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        c = Connect();
    }
    std::unique_ptr<RapiConnection> c;
};

std::vector<BYTE> Utf16Z(std::u16string_view s)
{
    std::vector<BYTE> b;
    for (char16_t ch : s) {
        b.push_back(BYTE(ch));
        b.push_back(BYTE(ch >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

TEST_F(RapiRegistry, CreateSetQueryAndReadBack)
{
    HKEY key = 0;
    DWORD disposition = 0;
    ASSERT_EQ(c->CeRegCreateKeyEx(
                  HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", 0, nullptr, 0, 0, nullptr, &key, &disposition),
        0);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    auto text = Utf16Z(u"Done.");
    ASSERT_EQ(c->CeRegSetValueEx(key, u"Status", 0, REG_SZ, text.data(), DWORD(text.size())), 0);
    DWORD one = 1;
    ASSERT_EQ(c->CeRegSetValueEx(key, u"Cancel", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4), 0);

    // The agent's reading: a zeroed 400-byte buffer of which 200 bytes are offered.
    BYTE buffer[400] = {};
    DWORD type = 0, size = 200;
    ASSERT_EQ(c->CeRegQueryValueEx(key, u"STATUS", nullptr, &type, buffer, &size), 0);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer)), u"Done.");
    // Size only, then a buffer too small.
    size = 0;
    ASSERT_EQ(c->CeRegQueryValueEx(key, u"Status", nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(size, 12u);
    size = 4;
    std::memset(buffer, 0xAB, sizeof buffer);
    EXPECT_EQ(c->CeRegQueryValueEx(key, u"Status", nullptr, &type, buffer, &size), LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, 12u);
    EXPECT_EQ(buffer[0], 0xAB) << "nothing is copied when it does not fit";
    EXPECT_EQ(
        c->CeRegQueryValueEx(key, u"Missing", nullptr, &type, buffer, &size), LONG(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(c->CeRegCloseKey(key), 0);
    EXPECT_EQ(c->CeRegCloseKey(key), LONG(ERROR_INVALID_HANDLE));

    // Opening again finds the key; opening a missing one does not create it.
    ASSERT_EQ(c->CeRegCreateKeyEx(
                  HKEY_LOCAL_MACHINE, u"Software\\Quorvane", 0, nullptr, 0, 0, nullptr, &key, &disposition),
        0);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    HKEY sub = 0;
    EXPECT_EQ(c->CeRegOpenKeyEx(key, u"Debug", 0, 0, &sub), LONG(ERROR_FILE_NOT_FOUND));
    ASSERT_EQ(c->CeRegCreateKeyEx(key, u"Debug", 0, nullptr, 0, 0, nullptr, &sub, nullptr), 0);
    ASSERT_EQ(c->CeRegCloseKey(sub), 0);
    ASSERT_EQ(c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Debug", 0, 0, &sub), 0);
    c->CeRegCloseKey(sub);
    c->CeRegCloseKey(key);
}

TEST_F(RapiRegistry, EnumerationAndInfo)
{
    HKEY key = 0;
    ASSERT_EQ(c->CeRegCreateKeyEx(HKEY_CURRENT_USER, u"Enum", 0, nullptr, 0, 0, nullptr, &key, nullptr), 0);
    for (const char16_t* name : { u"b", u"A", u"c" }) {
        HKEY sub = 0;
        ASSERT_EQ(c->CeRegCreateKeyEx(key, name, 0, nullptr, 0, 0, nullptr, &sub, nullptr), 0);
        c->CeRegCloseKey(sub);
    }
    HKEY deep = 0;
    ASSERT_EQ(c->CeRegCreateKeyEx(key, u"A\\inner", 0, nullptr, 0, 0, nullptr, &deep, nullptr), 0);
    c->CeRegCloseKey(deep);
    DWORD v = 7;
    ASSERT_EQ(c->CeRegSetValueEx(key, u"number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), 0);
    auto text = Utf16Z(u"hello");
    ASSERT_EQ(c->CeRegSetValueEx(key, nullptr, 0, REG_SZ, text.data(), DWORD(text.size())), 0);

    std::vector<std::u16string> keys;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD length = 256;
        LONG r = c->CeRegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (r == LONG(ERROR_NO_MORE_ITEMS))
            break;
        ASSERT_EQ(r, 0);
        EXPECT_EQ(length, std::u16string(name).size());
        keys.push_back(name);
    }
    EXPECT_EQ(keys, std::vector<std::u16string>({ u"A", u"b", u"c" }));
    WCHAR small[1];
    DWORD smallLength = 1;
    EXPECT_EQ(c->CeRegEnumKeyEx(key, 0, small, &smallLength, nullptr, nullptr, nullptr, nullptr),
        LONG(ERROR_MORE_DATA));

    DWORD subKeys = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(c->CeRegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                  &maxName, &maxData, nullptr, nullptr),
        0);
    EXPECT_EQ(subKeys, 3u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 6u);
    EXPECT_EQ(maxData, 12u);

    std::vector<std::pair<std::u16string, DWORD>> seen;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD nameLength = 64, type = 0, size = 64;
        BYTE data[64];
        LONG r = c->CeRegEnumValue(key, i, name, &nameLength, nullptr, &type, data, &size);
        if (r == LONG(ERROR_NO_MORE_ITEMS))
            break;
        ASSERT_EQ(r, 0);
        seen.emplace_back(name, type);
        if (type == REG_DWORD) {
            EXPECT_EQ(size, 4u);
            EXPECT_EQ(data[0], 7);
        }
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(
        seen, (std::vector<std::pair<std::u16string, DWORD>> { { u"", REG_SZ }, { u"number", REG_DWORD } }));
    c->CeRegCloseKey(key);
}

// A value far larger than one frame, stored as an import would store it,
// among small ones: the key lists whole and every value reads back.
TEST_F(RapiRegistry, AValueOfTwoMegabytesIsListedAndReadBack)
{
    std::vector<BYTE> big(2 * rapi::proto::kMaxValueData + 3);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = BYTE(i * 7 + (i >> 13));
    {
        std::string error;
        auto hive = reg::Hive::Open(store() / "registry", reg::Sync::EveryCommit, &error);
        ASSERT_TRUE(hive) << error;
        ASSERT_EQ(hive->CreateKey(reg::HKEY_LOCAL_MACHINE, u"Software\\Big"), 0);
        auto text = Utf16Z(u"small");
        DWORD seven = 7;
        ASSERT_EQ(hive->SetValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Big", u"a", REG_SZ, text.data(),
                      std::uint32_t(text.size())),
            0);
        ASSERT_EQ(hive->SetValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Big", u"Blob", REG_BINARY, big.data(),
                      std::uint32_t(big.size())),
            0);
        ASSERT_EQ(hive->SetValue(reg::HKEY_LOCAL_MACHINE, u"Software\\Big", u"z", REG_DWORD, &seven, 4), 0);
    }
    HKEY key = 0;
    ASSERT_EQ(c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Big", 0, 0, &key), 0);
    DWORD values = 0, maxData = 0;
    ASSERT_EQ(c->CeRegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                  nullptr, &maxData, nullptr, nullptr),
        0);
    EXPECT_EQ(values, 3u);
    EXPECT_EQ(maxData, big.size());

    // As a listing goes: the size first, then the data.
    std::vector<std::pair<std::u16string, std::vector<BYTE>>> listed;
    for (DWORD i = 0;; ++i) {
        WCHAR name[64];
        DWORD nameLength = 64, type = 0, size = 0;
        LONG r = c->CeRegEnumValue(key, i, name, &nameLength, nullptr, &type, nullptr, &size);
        if (r == LONG(ERROR_NO_MORE_ITEMS))
            break;
        ASSERT_EQ(r, 0) << i;
        std::vector<BYTE> data(size);
        nameLength = 64;
        ASSERT_EQ(c->CeRegEnumValue(key, i, name, &nameLength, nullptr, &type, data.data(), &size), 0) << i;
        ASSERT_EQ(size, data.size());
        listed.emplace_back(name, std::move(data));
    }
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0].first, u"a");
    EXPECT_EQ(listed[0].second, Utf16Z(u"small"));
    EXPECT_EQ(listed[1].first, u"Blob");
    EXPECT_TRUE(listed[1].second == big) << "the large value came back changed";
    EXPECT_EQ(listed[2].first, u"z");

    std::vector<BYTE> read(big.size());
    DWORD type = 0, size = DWORD(read.size());
    ASSERT_EQ(c->CeRegQueryValueEx(key, u"Blob", nullptr, &type, read.data(), &size), 0);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_TRUE(read == big);
    size = DWORD(big.size() - 1);
    EXPECT_EQ(c->CeRegQueryValueEx(key, u"Blob", nullptr, &type, read.data(), &size), LONG(ERROR_MORE_DATA));
    EXPECT_EQ(size, big.size());
    // The connection goes on after the parts.
    DWORD seven = 0;
    size = 4;
    ASSERT_EQ(c->CeRegQueryValueEx(key, u"z", nullptr, &type, reinterpret_cast<BYTE*>(&seven), &size), 0);
    EXPECT_EQ(seven, 7u);
    c->CeRegCloseKey(key);
}

TEST_F(RapiRegistry, DeleteValuesAndKeysWithTheirSubKeys)
{
    HKEY key = 0;
    ASSERT_EQ(c->CeRegCreateKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Doomed\\Child\\Grandchild", 0, nullptr, 0,
                  0, nullptr, &key, nullptr),
        0);
    DWORD v = 1;
    ASSERT_EQ(c->CeRegSetValueEx(key, u"x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), 0);
    EXPECT_EQ(c->CeRegDeleteValue(key, u"x"), 0);
    EXPECT_EQ(c->CeRegDeleteValue(key, u"x"), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(c->CeRegDeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Doomed"), 0);
    HKEY gone = 0;
    EXPECT_EQ(c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Doomed\\Child", 0, 0, &gone),
        LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(c->CeRegDeleteKey(HKEY_LOCAL_MACHINE, u"Software\\Doomed"), LONG(ERROR_FILE_NOT_FOUND));
    // The handle of a deleted key says so.
    EXPECT_EQ(
        c->CeRegSetValueEx(key, u"y", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), LONG(ERROR_KEY_DELETED));
    // Nothing is created below it: that would bring the deleted key back.
    HKEY below = 0;
    EXPECT_EQ(c->CeRegCreateKeyEx(key, u"Again", 0, nullptr, 0, 0, nullptr, &below, nullptr),
        LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(
        c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Doomed", 0, 0, &gone), LONG(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(c->CeRegDeleteKey(key, u"Again"), LONG(ERROR_KEY_DELETED));
    EXPECT_EQ(c->CeRegCloseKey(key), 0);
    // Roots cannot be deleted; unknown handles are invalid.
    EXPECT_EQ(c->CeRegDeleteKey(HKEY_LOCAL_MACHINE, u""), LONG(ERROR_ACCESS_DENIED));
    EXPECT_EQ(c->CeRegOpenKeyEx(0x12345, u"x", 0, 0, &gone), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(c->CeRegQueryValueEx(0x80000009u, u"x", nullptr, nullptr, nullptr, nullptr),
        LONG(ERROR_INVALID_HANDLE));
}

TEST_F(RapiRegistry, AWaitForAValueEndsWhenItChangesOrAtItsTimeOut)
{
    HKEY key = 0;
    ASSERT_EQ(c->CeRegCreateKeyEx(
                  HKEY_LOCAL_MACHINE, u"Software\\Watched", 0, nullptr, 0, 0, nullptr, &key, nullptr),
        0);
    const std::vector<BYTE> running = Utf16Z(u"Running...");
    ASSERT_EQ(c->CeRegSetValueEx(key, u"Status", 0, REG_SZ, running.data(), DWORD(running.size())), 0);
    CEREGVALUE known { true, REG_SZ, running };
    CEREGVALUE now;
    BOOL processRunning = TRUE;
    // Unchanged: the wait lasts its time-out and says so.
    EXPECT_EQ(
        c->CeRegWaitValueChange(key, u"Status", known, 0, 50, &now, &processRunning), LONG(WAIT_TIMEOUT));
    EXPECT_EQ(now.data, running);
    // Another client writes while the wait runs: it ends with the new value.
    const std::vector<BYTE> done = Utf16Z(u"Done.");
    std::thread writer([&] {
        auto other = Connect();
        HKEY k = 0;
        other->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Watched", 0, 0, &k);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        other->CeRegSetValueEx(k, u"Status", 0, REG_SZ, done.data(), DWORD(done.size()));
        other->CeRegCloseKey(k);
    });
    EXPECT_EQ(c->CeRegWaitValueChange(key, u"Status", known, 0, 1000, &now, &processRunning), 0);
    writer.join();
    EXPECT_TRUE(now.present);
    EXPECT_EQ(now.data, done);
    // A value that is gone differs from one known to be there; a process
    // that does not run has ended.
    ASSERT_EQ(c->CeRegDeleteValue(key, u"Status"), 0);
    EXPECT_EQ(c->CeRegWaitValueChange(key, u"Status", known, 0, 1000, &now, &processRunning), 0);
    EXPECT_FALSE(now.present);
    EXPECT_EQ(c->CeRegWaitValueChange(key, u"Status", now, 0x7FFF, 1000, &now, &processRunning), 0);
    EXPECT_FALSE(processRunning);
    EXPECT_EQ(
        c->CeRegWaitValueChange(0x12345, u"Status", known, 0, 10, &now, nullptr), LONG(ERROR_INVALID_HANDLE));
    EXPECT_EQ(c->CeRegCloseKey(key), 0);
}

TEST_F(RapiRegistry, FactoryRegistryHoldsAssociationsAndRuntimes)
{
    HKEY key = 0;
    WCHAR text[200];
    DWORD size = sizeof text, type = 0;
    ASSERT_EQ(c->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, u".txt", 0, 0, &key), 0);
    ASSERT_EQ(c->CeRegQueryValueEx(key, u"", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), 0);
    c->CeRegCloseKey(key);
    std::u16string typeName = text;
    EXPECT_EQ(typeName, u"txtfile");
    ASSERT_EQ(
        c->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, (typeName + u"\\Shell\\Open\\Command").c_str(), 0, 0, &key), 0);
    size = sizeof text;
    ASSERT_EQ(c->CeRegQueryValueEx(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size), 0);
    c->CeRegCloseKey(key);
    EXPECT_EQ(std::u16string(text), u"pword.exe %1");
    EXPECT_EQ(c->CeGetFileAttributes(u"\\Windows\\pword.exe"),
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_INROM);
    for (const char16_t* clsid : { u"CLSID\\{76A85B2E-9DE0-4ded-8E69-4DEFDB9C0917}",
             u"CLSID\\{32CE2952-2585-49A6-AEFF-1732076C2945}" }) {
        EXPECT_EQ(c->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, clsid, 0, 0, &key), 0);
        c->CeRegCloseKey(key);
    }
    EXPECT_EQ(c->CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, u"Software\\Apps", 0, 0, &key), 0);
    c->CeRegCloseKey(key);
}

} // namespace
