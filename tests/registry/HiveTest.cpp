#include "TempHive.h"

#include <lmdb.h>

#include <cstdint>

using namespace reg;
using regtest::Bytes;
using regtest::Dword;

namespace {

class HiveTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    std::unique_ptr<Hive> hive = regtest::OpenHive(dir.path());

    Result Set(std::u16string_view path, std::u16string_view name, std::uint32_t type,
        const std::vector<std::uint8_t>& data)
    {
        return hive->SetValue(
            HKEY_LOCAL_MACHINE, path, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
    }

    std::vector<std::u16string> SubKeys(std::u16string_view path)
    {
        std::vector<std::u16string> out;
        std::u16string name;
        for (std::uint32_t i = 0; hive->EnumKey(HKEY_LOCAL_MACHINE, path, i, &name) == ERROR_SUCCESS; ++i)
            out.push_back(name);
        return out;
    }

    std::vector<std::u16string> ValueNames(std::u16string_view path)
    {
        std::vector<std::u16string> out;
        std::u16string name;
        for (std::uint32_t i = 0;
             hive->EnumValue(HKEY_LOCAL_MACHINE, path, i, &name, nullptr, nullptr) == ERROR_SUCCESS; ++i)
            out.push_back(name);
        return out;
    }
};

TEST_F(HiveTest, CreateKeyMakesParentsAndTellsCreatedFromOpened)
{
    bool created = false;
    EXPECT_EQ(
        hive->CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Brackenloft\\Quorvane", &created), ERROR_SUCCESS);
    EXPECT_TRUE(created);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"Software"), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"Software\\Brackenloft"), ERROR_SUCCESS);
    EXPECT_EQ(
        hive->CreateKey(HKEY_LOCAL_MACHINE, u"\\SOFTWARE\\brackenloft\\QUORVANE\\", &created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Brackenloft", &created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    // The root itself always exists.
    EXPECT_EQ(hive->CreateKey(HKEY_CURRENT_USER, u"", &created), ERROR_SUCCESS);
    EXPECT_FALSE(created);
    EXPECT_EQ(hive->OpenKey(HKEY_CLASSES_ROOT, u"\\"), ERROR_SUCCESS);
}

TEST_F(HiveTest, RootsAreSeparateTrees)
{
    ASSERT_EQ(hive->CreateKey(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows CE Services"), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"Software"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->OpenKey(HKEY_CLASSES_ROOT, u"Software"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->OpenKey(HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows CE Services"), ERROR_SUCCESS);
}

TEST_F(HiveTest, ResultCodesForBadRootsPathsAndNames)
{
    EXPECT_EQ(hive->CreateKey(0x80000003u, u"Software"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(hive->OpenKey(0, u""), ERROR_INVALID_HANDLE);
    EXPECT_EQ(hive->QueryValue(0x12345678u, u"", u"x", nullptr, nullptr), ERROR_INVALID_HANDLE);
    EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"a\\\\b"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"\\\\a"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, std::u16string(256, u'k')), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, std::u16string(u"a\0b", 3)), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"a\\\\b"), ERROR_INVALID_PARAMETER);
    // Nothing was created by the refused calls.
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"a"), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
    EXPECT_EQ(
        hive->SetValue(HKEY_LOCAL_MACHINE, u"k", u"v", REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, u"k", std::u16string(16384, u'n'), REG_SZ, nullptr, 0),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, u"missing", u"v", REG_SZ, nullptr, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"v", nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"missing", u"v", nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->DeleteValue(HKEY_LOCAL_MACHINE, u"k", u"v"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"k\\nope"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"\\"), ERROR_ACCESS_DENIED);
    std::uint32_t size = 0;
    char buffer[4];
    EXPECT_EQ(
        hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"v", nullptr, buffer, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->QueryInfoKey(HKEY_LOCAL_MACHINE, u"k", nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"v", nullptr, buffer, &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveTest, ValuesKeepTypeAndBytesOfAnyType)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Quorvane"), ERROR_SUCCESS);
    const std::u16string_view key = u"Software\\Quorvane";
    struct Case {
        std::u16string name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    const std::vector<Case> cases = {
        { u"Status", REG_SZ, Bytes(u"Row 1 of 3") },
        { u"Path", REG_EXPAND_SZ, Bytes(std::u16string(u"%TEMP%\\x\0", 9)) },
        { u"Font", REG_BINARY, { 0x00, 0xFF, 0x10, 0x80, 0x00 } },
        { u"Cancel", REG_DWORD, Dword(1) },
        { u"Big", REG_DWORD_BIG_ENDIAN, { 0x12, 0x34, 0x56, 0x78 } },
        { u"Multi", REG_MULTI_SZ, Bytes(std::u16string(u"a\0b\0\0", 5)) },
        { u"Odd", 0x1234, { 1, 2, 3 } },
        { u"Empty", REG_SZ, {} },
        { u"", REG_SZ, Bytes(u"default") },
    };
    for (const Case& c : cases)
        ASSERT_EQ(Set(key, c.name, c.type, c.data), ERROR_SUCCESS) << ToUtf8(c.name);
    for (const Case& c : cases) {
        std::uint32_t type = 99;
        std::vector<std::uint8_t> data { 0xEE };
        ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, key, c.name, &type, &data), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(data, c.data) << ToUtf8(c.name);
    }
    // Replacing changes type and size.
    ASSERT_EQ(Set(key, u"Status", REG_DWORD, Dword(7)), ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, key, u"Status", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, Dword(7));
}

TEST_F(HiveTest, BufferQueryReportsNeededSizeAndMoreData)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"s", REG_SZ, Bytes(u"hello")), ERROR_SUCCESS);
    std::uint32_t type = 0, size = 0;
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"s", &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, REG_SZ);

    char16_t small[3] = { u'x', u'x', u'x' };
    size = sizeof small;
    type = 0;
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"s", &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(small, 3), u"xxx"); // nothing copied

    char16_t exact[5];
    size = sizeof exact;
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"s", nullptr, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(exact, 5), u"hello");

    char16_t large[8] = {};
    size = sizeof large;
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"s", nullptr, large, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(std::u16string(large, 6), std::u16string(u"hello\0", 6));

    // Type and size only.
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", u"s", &type, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(HiveTest, NamesAreCaseInsensitiveAndKeepFirstSpelling)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Ärger\\Ωmega"), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\äRGER\\ωMEGA"), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"software\\ARGER"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(u"software"), std::vector<std::u16string> { u"Ärger" });

    ASSERT_EQ(Set(u"Software\\Ärger", u"Größe", REG_DWORD, Dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(
        Set(u"Software\\Ärger", u"GRÖSSE", REG_DWORD, Dword(2)), ERROR_SUCCESS); // ß has no simple upper
    ASSERT_EQ(Set(u"Software\\Ärger", u"gRÖßE", REG_DWORD, Dword(3)), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(u"Software\\Ärger"), (std::vector<std::u16string> { u"GRÖSSE", u"Größe" }));
    std::vector<std::uint8_t> data;
    ASSERT_EQ(
        hive->QueryValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\ÄRGER", u"GRÖßE", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(3));

    // Sigma forms and a character outside the BMP (Deseret) fold together.
    ASSERT_EQ(Set(u"Software", u"ς", REG_SZ, Bytes(u"final")), ERROR_SUCCESS);
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"Software", u"Σ", nullptr, &data), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"Software", u"\U00010428", REG_SZ, Bytes(u"small deseret")), ERROR_SUCCESS);
    EXPECT_EQ(
        hive->QueryValue(HKEY_LOCAL_MACHINE, u"Software", u"\U00010400", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Bytes(u"small deseret"));

    EXPECT_TRUE(NamesEqual(u"ärger", u"ÄRGER"));
    EXPECT_FALSE(NamesEqual(u"straße", u"STRASSE"));
    EXPECT_FALSE(NamesEqual(u"a", u"ab"));
}

TEST_F(HiveTest, EnumerationIsOrderedAndEndsWithNoMoreItems)
{
    for (auto name : { u"beta", u"Alpha", u"gamma", u"DELTA" })
        ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, std::u16string(u"k\\") + name), ERROR_SUCCESS);
    for (auto name : { u"z", u"", u"M", u"a" })
        ASSERT_EQ(Set(u"k", name, REG_DWORD, Dword(1)), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(u"k"), (std::vector<std::u16string> { u"Alpha", u"beta", u"DELTA", u"gamma" }));
    EXPECT_EQ(ValueNames(u"k"), (std::vector<std::u16string> { u"", u"a", u"M", u"z" }));
    std::u16string name = u"unchanged";
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 4, &name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 1000, &name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(name, u"unchanged");
    EXPECT_EQ(hive->EnumValue(HKEY_LOCAL_MACHINE, u"k", 4, &name, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k\\alpha", 0, &name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"nope", 0, &name), ERROR_FILE_NOT_FOUND);
    // Going backwards and jumping use the same order.
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 2, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"DELTA");
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 0, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"Alpha");
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 3, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"gamma");
    // Sub-keys of a sibling never show up.
    EXPECT_EQ(SubKeys(u""), std::vector<std::u16string> { u"k" });

    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_EQ(hive->EnumValue(HKEY_LOCAL_MACHINE, u"k", 3, &name, &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(name, u"z");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, Dword(1));
}

TEST_F(HiveTest, EnumerationAfterAChangeSeesTheChange)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\b"), ERROR_SUCCESS);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\d"), ERROR_SUCCESS);
    std::u16string name;
    ASSERT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 0, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"b");
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\c"), ERROR_SUCCESS);
    ASSERT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 1, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"c");
    ASSERT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"k\\b"), ERROR_SUCCESS);
    ASSERT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 1, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, u"d");
    EXPECT_EQ(hive->EnumKey(HKEY_LOCAL_MACHINE, u"k", 2, &name), ERROR_NO_MORE_ITEMS);
}

TEST_F(HiveTest, QueryInfoKeyCountsAndLongestLengths)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\short"), ERROR_SUCCESS);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\a longer name\\deeper"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"", REG_SZ, Bytes(u"0123456789")), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"name", REG_BINARY, std::vector<std::uint8_t>(100, 1)), ERROR_SUCCESS);
    KeyInfo info;
    ASSERT_EQ(hive->QueryInfoKey(HKEY_LOCAL_MACHINE, u"k", &info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 2u);
    EXPECT_EQ(info.maxSubKeyNameLen, 13u);
    EXPECT_EQ(info.values, 2u);
    EXPECT_EQ(info.maxValueNameLen, 4u);
    EXPECT_EQ(info.maxValueDataLen, 100u);
    ASSERT_EQ(hive->QueryInfoKey(HKEY_LOCAL_MACHINE, u"k\\short", &info), ERROR_SUCCESS);
    EXPECT_EQ(info.subKeys, 0u);
    EXPECT_EQ(info.values, 0u);
    EXPECT_EQ(info.maxValueDataLen, 0u);
    EXPECT_EQ(hive->QueryInfoKey(HKEY_LOCAL_MACHINE, u"k\\none", &info), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveTest, DeleteKeyRemovesTheWholeSubtreeOnly)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\a\\b\\c"), ERROR_SUCCESS);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\a2"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k\\a\\b", u"v", REG_DWORD, Dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k\\a2", u"v", REG_DWORD, Dword(2)), ERROR_SUCCESS);
    ASSERT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"K\\A"), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k\\a"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k\\a\\b\\c"), ERROR_FILE_NOT_FOUND);
    std::vector<std::uint8_t> data;
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k\\a2", u"v", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(2));
    // A key of the same name made again starts empty.
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\a\\b"), ERROR_SUCCESS);
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k\\a\\b", u"v", nullptr, &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(u"k\\a\\b"), std::vector<std::u16string> {});
}

TEST_F(HiveTest, DeleteValueRemovesOneValue)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"a", REG_DWORD, Dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"b", REG_DWORD, Dword(2)), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"", REG_DWORD, Dword(3)), ERROR_SUCCESS);
    EXPECT_EQ(hive->DeleteValue(HKEY_LOCAL_MACHINE, u"k", u"A"), ERROR_SUCCESS);
    EXPECT_EQ(hive->DeleteValue(HKEY_LOCAL_MACHINE, u"k", u""), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(u"k"), std::vector<std::u16string> { u"b" });
    EXPECT_EQ(hive->DeleteValue(HKEY_LOCAL_MACHINE, u"k", u"a"), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveTest, RenameKeyKeepsContentAndRefusesClashes)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\old\\child"), ERROR_SUCCESS);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\other"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k\\old", u"v", REG_DWORD, Dword(5)), ERROR_SUCCESS);
    EXPECT_EQ(hive->RenameKey(HKEY_LOCAL_MACHINE, u"k\\old", u"OTHER"), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(hive->RenameKey(HKEY_LOCAL_MACHINE, u"k\\old", u"a\\b"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->RenameKey(HKEY_LOCAL_MACHINE, u"k\\gone", u"x"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->RenameKey(HKEY_LOCAL_MACHINE, u"", u"x"), ERROR_ACCESS_DENIED);
    ASSERT_EQ(hive->RenameKey(HKEY_LOCAL_MACHINE, u"k\\old", u"New"), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k\\old"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k\\new\\child"), ERROR_SUCCESS);
    std::vector<std::uint8_t> data;
    EXPECT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k\\NEW", u"v", nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(5));
    ASSERT_EQ(hive->RenameKey(HKEY_LOCAL_MACHINE, u"k\\new", u"NEW"), ERROR_SUCCESS); // case only
    EXPECT_EQ(SubKeys(u"k"), (std::vector<std::u16string> { u"NEW", u"other" }));
}

TEST_F(HiveTest, LongNamesBeyondTheDirectKeyFormStayDistinct)
{
    // Value names longer than an LMDB key can hold directly, differing only at the end.
    std::u16string base(400, u'n');
    std::u16string a = base + u"A", b = base + u"B";
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", a, REG_DWORD, Dword(1)), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", b, REG_DWORD, Dword(2)), ERROR_SUCCESS);
    std::u16string lowerA = std::u16string(400, u'N') + u"a";
    std::vector<std::uint8_t> data;
    ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", lowerA, nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(1));
    ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k", b, nullptr, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(2));
    EXPECT_EQ(ValueNames(u"k").size(), 2u);
    std::u16string longest(kMaxValueNameLength, u'x');
    EXPECT_EQ(Set(u"k", longest, REG_SZ, {}), ERROR_SUCCESS);
    // Key names up to 255 units, past the direct form too.
    std::u16string key255(255, u'q');
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\" + key255), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k\\" + std::u16string(255, u'Q')), ERROR_SUCCESS);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"k\\" + std::u16string(254, u'q')), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveTest, ReadTreeAndWriteTreeCopyASubtree)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"src\\b\\x"), ERROR_SUCCESS);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"src\\a"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"src", u"", REG_SZ, Bytes(u"top")), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"src\\b\\x", u"deep", REG_BINARY, { 1, 2, 3 }), ERROR_SUCCESS);
    std::vector<KeyEntry> tree;
    ASSERT_EQ(hive->ReadTree(HKEY_LOCAL_MACHINE, u"src", &tree), ERROR_SUCCESS);
    ASSERT_EQ(tree.size(), 4u);
    EXPECT_EQ(tree[0].path, u"");
    EXPECT_EQ(tree[1].path, u"a");
    EXPECT_EQ(tree[2].path, u"b");
    EXPECT_EQ(tree[3].path, u"b\\x");
    ASSERT_EQ(tree[0].values.size(), 1u);
    EXPECT_EQ(tree[0].values[0].name, u"");
    EXPECT_EQ(tree[0].values[0].data, Bytes(u"top"));
    ASSERT_EQ(tree[3].values.size(), 1u);
    EXPECT_EQ(tree[3].values[0].type, REG_BINARY);

    ASSERT_EQ(hive->WriteTree(HKEY_CURRENT_USER, u"copy", tree), ERROR_SUCCESS);
    std::vector<KeyEntry> copy;
    ASSERT_EQ(hive->ReadTree(HKEY_CURRENT_USER, u"copy", &copy), ERROR_SUCCESS);
    ASSERT_EQ(copy.size(), tree.size());
    for (std::size_t i = 0; i < tree.size(); ++i) {
        EXPECT_EQ(copy[i].path, tree[i].path);
        ASSERT_EQ(copy[i].values.size(), tree[i].values.size());
        for (std::size_t j = 0; j < tree[i].values.size(); ++j) {
            EXPECT_EQ(copy[i].values[j].name, tree[i].values[j].name);
            EXPECT_EQ(copy[i].values[j].type, tree[i].values[j].type);
            EXPECT_EQ(copy[i].values[j].data, tree[i].values[j].data);
        }
    }
    EXPECT_EQ(hive->ReadTree(HKEY_LOCAL_MACHINE, u"none", &tree), ERROR_FILE_NOT_FOUND);

    // A bad entry writes nothing at all.
    std::vector<KeyEntry> bad = { { u"ok", { { u"v", REG_DWORD, Dword(1) } } }, { u"x\\\\y", {} } };
    EXPECT_EQ(hive->WriteTree(HKEY_LOCAL_MACHINE, u"target", bad), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(hive->OpenKey(HKEY_LOCAL_MACHINE, u"target"), ERROR_FILE_NOT_FOUND);
}

TEST_F(HiveTest, ApplyRunsChangesInOrderAllOrNothing)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"k\\old\\sub"), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"k", u"gone", REG_DWORD, Dword(1)), ERROR_SUCCESS);
    std::vector<Change> changes = {
        { Change::CreateKey, HKEY_LOCAL_MACHINE, u"k\\new\\deep", u"", REG_NONE, {} },
        { Change::SetValue, HKEY_LOCAL_MACHINE, u"k\\NEW", u"v", REG_SZ, Bytes(u"x") },
        { Change::DeleteKey, HKEY_LOCAL_MACHINE, u"k\\old", u"", REG_NONE, {} },
        { Change::DeleteKey, HKEY_LOCAL_MACHINE, u"k\\never", u"", REG_NONE, {} },
        { Change::DeleteValue, HKEY_LOCAL_MACHINE, u"k", u"GONE", REG_NONE, {} },
        { Change::DeleteValue, HKEY_LOCAL_MACHINE, u"k\\never", u"v", REG_NONE, {} },
        { Change::SetValue, HKEY_LOCAL_MACHINE, u"k\\new", u"v", REG_DWORD, Dword(9) },
    };
    ASSERT_EQ(hive->Apply(changes), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(u"k"), std::vector<std::u16string> { u"new" });
    EXPECT_EQ(ValueNames(u"k"), std::vector<std::u16string> {});
    std::vector<std::uint8_t> data;
    std::uint32_t type = 0;
    ASSERT_EQ(hive->QueryValue(HKEY_LOCAL_MACHINE, u"k\\new", u"v", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, Dword(9));

    std::vector<Change> failing = {
        { Change::CreateKey, HKEY_LOCAL_MACHINE, u"k\\made", u"", REG_NONE, {} },
        { Change::DeleteKey, HKEY_LOCAL_MACHINE, u"k\\new", u"", REG_NONE, {} },
        { Change::SetValue, HKEY_LOCAL_MACHINE, u"k\\missing", u"v", REG_SZ, {} },
    };
    EXPECT_EQ(hive->Apply(failing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SubKeys(u"k"), std::vector<std::u16string> { u"new" }); // nothing of it happened
    std::vector<Change> rootDelete = { { Change::DeleteKey, HKEY_CURRENT_USER, u"", u"", REG_NONE, {} } };
    EXPECT_EQ(hive->Apply(rootDelete), ERROR_ACCESS_DENIED);
    std::vector<Change> badRoot = { { Change::CreateKey, 7, u"x", u"", REG_NONE, {} } };
    EXPECT_EQ(hive->Apply(badRoot), ERROR_INVALID_HANDLE);
}

TEST_F(HiveTest, StoredPathGivesTheSpellingOfCreation)
{
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"Software\\Brackenloft\\Quorvane"), ERROR_SUCCESS);
    std::u16string stored;
    ASSERT_EQ(
        hive->StoredPath(HKEY_LOCAL_MACHINE, u"\\SOFTWARE\\brackenloft\\QUORVANE\\", &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, u"Software\\Brackenloft\\Quorvane");
    ASSERT_EQ(hive->StoredPath(HKEY_LOCAL_MACHINE, u"", &stored), ERROR_SUCCESS);
    EXPECT_EQ(stored, u"");
    EXPECT_EQ(hive->StoredPath(HKEY_LOCAL_MACHINE, u"software\\nope", &stored), ERROR_FILE_NOT_FOUND);
}

TEST(HiveOpen, ValuesSurviveReopenAndBothSyncModes)
{
    testsupport::TempDir dir;
    {
        auto hive = regtest::OpenHive(dir.path(), Sync::EveryCommit);
        ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Brackenloft\\Quorvane"), ERROR_SUCCESS);
        auto d = Dword(42);
        ASSERT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Brackenloft\\Quorvane", u"ShowFilesizeAs",
                      REG_DWORD, d.data(), 4),
            ERROR_SUCCESS);
    }
    auto hive = regtest::OpenHive(dir.path(), Sync::Lazy);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(hive->QueryValue(
                  HKEY_LOCAL_MACHINE, u"software\\brackenloft\\quorvane", u"showfilesizeas", nullptr, &data),
        ERROR_SUCCESS);
    EXPECT_EQ(data, Dword(42));
    EXPECT_EQ(hive->Sync(), ERROR_SUCCESS);
    // A second Hive on the same folder in one process shares the environment.
    auto again = regtest::OpenHive(dir.path(), Sync::EveryCommit);
    EXPECT_EQ(again->OpenKey(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Brackenloft"), ERROR_SUCCESS);
    EXPECT_EQ(again->Dir(), dir.path());
}

TEST(HiveOpen, RefusesAFolderThatIsNotAHive)
{
    testsupport::TempDir dir;
    {
        std::FILE* f = std::fopen((dir.path() / "data.mdb").c_str(), "wb");
        ASSERT_TRUE(f);
        std::fputs(
            "this is not a database, just some text that is long enough to be read as a header....", f);
        std::fclose(f);
    }
    auto sizeBefore = std::filesystem::file_size(dir.path() / "data.mdb");
    std::string error;
    auto hive = Hive::Open(dir.path(), Sync::Lazy, &error);
    EXPECT_FALSE(hive);
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "data.mdb"), sizeBefore); // left as it was
    EXPECT_NE(error.find("cannot open registry hive " + dir.path().string()), std::string::npos) << error;

    testsupport::TempDir file;
    std::string notFolder = (file.path() / "plain").string();
    std::FILE* f = std::fopen(notFolder.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fclose(f);
    EXPECT_FALSE(Hive::Open(notFolder, Sync::Lazy, &error));
    EXPECT_EQ(error, "cannot open registry hive " + notFolder + ": not a folder");
}

TEST(HiveOpen, MapGrowsPastItsInitialSize)
{
    testsupport::TempDir dir;
    auto hive = regtest::OpenHive(dir.path(), Sync::Lazy, 64 * 1024);
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"big"), ERROR_SUCCESS);
    std::vector<std::uint8_t> chunk(100 * 1024);
    for (int i = 0; i < 40; ++i) {
        for (std::size_t j = 0; j < chunk.size(); ++j)
            chunk[j] = static_cast<std::uint8_t>(i + j);
        std::u16string name = u"v" + FromUtf8(std::to_string(i));
        ASSERT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, u"big", name, REG_BINARY, chunk.data(),
                      static_cast<std::uint32_t>(chunk.size())),
            ERROR_SUCCESS)
            << i;
    }
    hive.reset();
    auto reopened = regtest::OpenHive(dir.path(), Sync::Lazy, 64 * 1024);
    EXPECT_GT(std::filesystem::file_size(dir.path() / "data.mdb"), 4u * 1024 * 1024);
    std::vector<std::uint8_t> data;
    ASSERT_EQ(reopened->QueryValue(HKEY_LOCAL_MACHINE, u"big", u"v39", nullptr, &data), ERROR_SUCCESS);
    ASSERT_EQ(data.size(), chunk.size());
    EXPECT_EQ(data[0], 39);
    EXPECT_EQ(data[1000], static_cast<std::uint8_t>(39 + 1000));
}

// The number of records in a closed hive's store.
std::size_t StoredRecords(const std::filesystem::path& dir)
{
    MDB_env* env = nullptr;
    MDB_txn* txn = nullptr;
    MDB_dbi dbi = 0;
    MDB_stat stat {};
    std::size_t entries = SIZE_MAX;
    if (mdb_env_create(&env) == 0) {
        mdb_env_set_mapsize(env, std::filesystem::file_size(dir / "data.mdb"));
        if (mdb_env_open(env, dir.c_str(), MDB_RDONLY, 0600) == 0
            && mdb_txn_begin(env, nullptr, MDB_RDONLY, &txn) == 0) {
            if (mdb_dbi_open(txn, nullptr, 0, &dbi) == 0 && mdb_stat(txn, dbi, &stat) == 0)
                entries = stat.ms_entries;
            mdb_txn_abort(txn);
        }
        mdb_env_close(env);
    }
    return entries;
}

TEST(HiveOpen, DeletingAKeyTreeFreesEveryRecordItHeld)
{
    testsupport::TempDir dir;
    auto hive = regtest::OpenHive(dir.path());
    ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, u"keep"), ERROR_SUCCESS);
    hive.reset();
    const std::size_t before = StoredRecords(dir.path());
    ASSERT_NE(before, SIZE_MAX);

    hive = regtest::OpenHive(dir.path());
    for (std::u16string key : { u"tree", u"tree\\a", u"tree\\a\\b", u"tree\\c" }) {
        ASSERT_EQ(hive->CreateKey(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
        for (char16_t v : std::u16string_view(u"xyz")) {
            auto d = Dword(v);
            ASSERT_EQ(hive->SetValue(HKEY_LOCAL_MACHINE, key, std::u16string(1, v), REG_DWORD, d.data(), 4),
                ERROR_SUCCESS);
        }
    }
    ASSERT_EQ(hive->DeleteKey(HKEY_LOCAL_MACHINE, u"TREE"), ERROR_SUCCESS);
    hive.reset();
    EXPECT_EQ(StoredRecords(dir.path()), before);
}

TEST(Names, RootsByShortAndFullName)
{
    EXPECT_EQ(RootFromName(u"HKLM"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RootFromName(u"hkey_local_machine"), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(RootFromName(u"HKCU"), HKEY_CURRENT_USER);
    EXPECT_EQ(RootFromName(u"HKEY_CLASSES_ROOT"), HKEY_CLASSES_ROOT);
    EXPECT_EQ(RootFromName(u"HKU"), 0u);
    EXPECT_EQ(RootName(HKEY_CURRENT_USER), u"HKEY_CURRENT_USER");
    EXPECT_EQ(RootName(5), u"");
}

TEST(Names, Utf8RoundTripAndInvalidBytes)
{
    std::u16string text = u"Größe \U0001F600 Ω";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(u"é"), "\xC3\xA9");
    EXPECT_EQ(FromUtf8("a\xFF"
                       "b"),
        u"a\uFFFDb");
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD"); // overlong: one replacement for the whole sequence
    EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

} // namespace
