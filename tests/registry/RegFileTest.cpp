#include "platform/registry/RegFile.h"
#include "platform/registry/ValueText.h"

#include "TempHive.h"

using namespace reg;
using regtest::Bytes;
using regtest::Dword;

namespace {

std::vector<std::uint8_t> Utf8File(const std::string& text)
{
    return { text.begin(), text.end() };
}

TEST(RegFile, WritesTheExactTextOfASmallTree)
{
    std::vector<KeyEntry> tree = {
        { u"",
            { { u"", REG_SZ, Bytes(std::u16string(u"a \"q\" \\ b\0", 10)) },
                { u"Cancel", REG_DWORD, Dword(0x1F) }, { u"Na\"me\\", REG_BINARY, { 0x00, 0xAB } },
                { u"NoNul", REG_SZ, Bytes(u"xy") }, { u"Odd", 0x1234, {} } } },
        { u"Sub", { { u"Short", REG_DWORD, { 1, 2 } } } },
    };
    std::u16string text;
    std::string error;
    ASSERT_TRUE(FormatRegFile(HKEY_LOCAL_MACHINE, u"\\Software\\Quorvane", tree, &text, &error)) << error;
    EXPECT_EQ(ToUtf8(text),
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Quorvane]\r\n"
        "@=\"a \\\"q\\\" \\\\ b\"\r\n"
        "\"Cancel\"=dword:0000001f\r\n"
        "\"Na\\\"me\\\\\"=hex:00,ab\r\n"
        "\"NoNul\"=hex(1):78,00,79,00\r\n"
        "\"Odd\"=hex(1234):\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Sub]\r\n"
        "\"Short\"=hex(4):01,02\r\n"
        "\r\n");
    std::vector<std::uint8_t> bytes = EncodeRegFile(u"W\u00e4");
    EXPECT_EQ(bytes, (std::vector<std::uint8_t> { 0xFF, 0xFE, 'W', 0, 0xE4, 0 }));
}

TEST(RegFile, LongHexListsWrapAndReadBack)
{
    std::vector<std::uint8_t> big(100);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    std::vector<KeyEntry> tree = { { u"", { { u"Font", REG_BINARY, big } } } };
    std::u16string text;
    std::string error;
    ASSERT_TRUE(FormatRegFile(HKEY_CURRENT_USER, u"k", tree, &text, &error));
    std::string utf8 = ToUtf8(text);
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = utf8.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, 9u); // heading, blank, key, five value lines, blank
    EXPECT_NE(utf8.find("\"Font\"=hex:00,07,0e,"), std::string::npos);
    EXPECT_NE(utf8.find(",\\\r\n  "), std::string::npos);
    for (std::size_t start = 0, end; (end = utf8.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, 80u);
    std::vector<Change> changes;
    ASSERT_TRUE(ParseRegFile(text, &changes, &error)) << error;
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].data, big);
}

TEST(RegFile, ReadsValuesDeletionsCommentsAndContinuations)
{
    std::string file = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
                       "; a comment\n"
                       "\n"
                       "[HKLM\\Software\\Test]\n"
                       "@=\"d\"\n"
                       "\"S\" = \"x\\\\y \\\"z\\\"\"\n"
                       "\"D\"=dword:FFFFFFFE\n"
                       "\"M\"=hex(7):61,00,00,00,\\\n"
                       "    00,00\n"
                       "\"E\"=hex(2):\n"
                       "\"Gone\"=-\n"
                       "\"Gr\xC3\xB6\xC3\x9F"
                       "e\"=hex:1\n"
                       "[-HKEY_CURRENT_USER\\Old]\n"
                       "[HKEY_CLASSES_ROOT\\.sdf]\n";
    std::vector<Change> changes;
    std::string error;
    ASSERT_TRUE(ParseRegFile(DecodeRegFile(Utf8File(file)), &changes, &error)) << error;
    ASSERT_EQ(changes.size(), 10u);
    EXPECT_EQ(changes[0].kind, Change::CreateKey);
    EXPECT_EQ(changes[0].root, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(changes[0].path, u"Software\\Test");
    EXPECT_EQ(changes[1].name, u"");
    EXPECT_EQ(changes[1].data, Bytes(std::u16string(u"d\0", 2)));
    EXPECT_EQ(changes[2].name, u"S");
    EXPECT_EQ(changes[2].type, REG_SZ);
    EXPECT_EQ(changes[2].data, Bytes(std::u16string(u"x\\y \"z\"\0", 8)));
    EXPECT_EQ(changes[3].data, (std::vector<std::uint8_t> { 0xFE, 0xFF, 0xFF, 0xFF }));
    EXPECT_EQ(changes[4].type, REG_MULTI_SZ);
    EXPECT_EQ(changes[4].data, (std::vector<std::uint8_t> { 0x61, 0, 0, 0, 0, 0 }));
    EXPECT_EQ(changes[5].type, REG_EXPAND_SZ);
    EXPECT_TRUE(changes[5].data.empty());
    EXPECT_EQ(changes[6].kind, Change::DeleteValue);
    EXPECT_EQ(changes[6].name, u"Gone");
    EXPECT_EQ(changes[7].name, u"Größe");
    EXPECT_EQ(changes[7].data, std::vector<std::uint8_t> { 1 });
    EXPECT_EQ(changes[8].kind, Change::DeleteKey);
    EXPECT_EQ(changes[8].root, HKEY_CURRENT_USER);
    EXPECT_EQ(changes[8].path, u"Old");
    EXPECT_EQ(changes[9].root, HKEY_CLASSES_ROOT);
    EXPECT_EQ(changes[9].path, u".sdf");
}

TEST(RegFile, DecodesEveryEncoding)
{
    std::u16string expected = u"Windows Registry Editor Version 5.00\r\n\u00e4";
    std::vector<std::uint8_t> le = EncodeRegFile(expected);
    EXPECT_EQ(DecodeRegFile(le), expected);
    std::vector<std::uint8_t> noMark(le.begin() + 2, le.end());
    EXPECT_EQ(DecodeRegFile(noMark), expected);
    std::vector<std::uint8_t> be { 0xFE, 0xFF };
    for (char16_t c : expected)
        be.insert(be.end(), { static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c & 0xFF) });
    EXPECT_EQ(DecodeRegFile(be), expected);
    EXPECT_EQ(DecodeRegFile(Utf8File(ToUtf8(expected))), expected);
    // Latin-1 bytes that are not UTF-8.
    EXPECT_EQ(DecodeRegFile(Utf8File("REGEDIT4\r\n\xE4")), u"REGEDIT4\r\n\u00e4");
}

TEST(RegFile, OldFormatWidensTextInHexLists)
{
    std::vector<Change> changes;
    std::string error;
    ASSERT_TRUE(ParseRegFile(
        u"REGEDIT4\r\n\r\n[HKLM\\k]\r\n\"P\"=hex(2):41,42,00\r\n\"B\"=hex:41\r\n", &changes, &error))
        << error;
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].data, (std::vector<std::uint8_t> { 0x41, 0, 0x42, 0, 0, 0 }));
    EXPECT_EQ(changes[2].data, std::vector<std::uint8_t> { 0x41 });
}

TEST(RegFile, MalformedFilesNameTheLineAndWhy)
{
    struct Case {
        std::u16string text;
        std::string error;
    };
    const std::u16string head = u"Windows Registry Editor Version 5.00\r\n\r\n";
    const std::vector<Case> cases = {
        { u"", "line 1: the file does not begin with \"Windows Registry Editor Version 5.00\"" },
        { u"\r\nhello\r\n", "line 2: the file does not begin with \"Windows Registry Editor Version 5.00\"" },
        { head + u"\"v\"=\"x\"\r\n", "line 3: a value outside a key" },
        { head + u"[HKLM\\k\r\n", "line 3: a key line must end with \"]\"" },
        { head + u"[HKU\\k]\r\n", "line 3: unknown root key \"HKU\"" },
        { head + u"[HKLM\\a\\\\b]\r\n", "line 3: invalid key name \"HKLM\\a\\\\b\"" },
        { head + u"[-HKLM]\r\n", "line 3: invalid key name \"HKLM\"" },
        { head + u"[HKLM\\k]\r\n\"v\"=\"open\r\n", "line 4: a quoted string is not closed" },
        { head + u"[HKLM\\k]\r\n\"v\"=\"a\" b\r\n", "line 4: unexpected text after a quoted string" },
        { head + u"[HKLM\\k]\r\n\"v\" \"x\"\r\n", "line 4: \"=\" was expected after the value name" },
        { head + u"[HKLM\\k]\r\nv=\"x\"\r\n", "line 4: a quoted string was expected" },
        { head + u"[HKLM\\k]\r\n\"v\"=dword:123456789\r\n", "line 4: dword: needs 1 to 8 hex digits" },
        { head + u"[HKLM\\k]\r\n\"v\"=dword:xyz\r\n", "line 4: dword: needs 1 to 8 hex digits" },
        { head + u"[HKLM\\k]\r\n\"v\"=hex:1,,2\r\n",
            "line 4: a hex list needs bytes of two hex digits separated by commas" },
        { head + u"[HKLM\\k]\r\n\"v\"=hex:123\r\n",
            "line 4: a hex list needs bytes of two hex digits separated by commas" },
        { head + u"[HKLM\\k]\r\n\"v\"=hex(zz):00\r\n", "line 4: hex( needs a hex type number and \")\"" },
        { head + u"[HKLM\\k]\r\n\"v\"=hex(2)00\r\n", "line 4: \":\" was expected after hex(...)" },
        { head + u"[HKLM\\k]\r\n\"v\"=qword:1\r\n", "line 4: unknown kind of data" },
        { head + u"[HKLM\\k]\r\n\"v\"=hex:00,\\\r\n  zz\r\n",
            "line 4: a hex list needs bytes of two hex digits separated by commas" },
    };
    for (const Case& c : cases) {
        std::vector<Change> changes;
        std::string error;
        EXPECT_FALSE(ParseRegFile(c.text, &changes, &error)) << ToUtf8(c.text);
        EXPECT_EQ(error, c.error) << ToUtf8(c.text);
    }
}

TEST(ValueText, TypeNamesBothWays)
{
    for (std::uint32_t type : { REG_NONE, REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_DWORD_BIG_ENDIAN,
             REG_MULTI_SZ, REG_QWORD, 0x1234u }) {
        std::uint32_t back = 99;
        ASSERT_TRUE(TypeFromName(TypeName(type), &back)) << TypeName(type);
        EXPECT_EQ(back, type);
    }
    EXPECT_EQ(TypeName(REG_DWORD_BIG_ENDIAN), "REG_DWORD_BIG_ENDIAN");
    EXPECT_EQ(TypeName(0x1234), "REG_0x1234");
    std::uint32_t type = 0;
    EXPECT_TRUE(TypeFromName("reg_multi_sz", &type));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_FALSE(TypeFromName("REG_TEXT", &type));
}

TEST(ValueText, CommandLineDataLikeAWindowsRegistryTool)
{
    std::vector<std::uint8_t> data;
    std::string error;
    ASSERT_TRUE(DataFromArgument(REG_DWORD, u"4294967295", u"", &data, &error));
    EXPECT_EQ(data, Dword(0xFFFFFFFF));
    ASSERT_TRUE(DataFromArgument(REG_DWORD, u"0x1F", u"", &data, &error));
    EXPECT_EQ(data, Dword(0x1F));
    ASSERT_TRUE(DataFromArgument(REG_DWORD_BIG_ENDIAN, u"0x12345678", u"", &data, &error));
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 0x12, 0x34, 0x56, 0x78 }));
    EXPECT_FALSE(DataFromArgument(REG_DWORD, u"4294967296", u"", &data, &error));
    EXPECT_EQ(error, "Invalid syntax. Specify valid numeric value for '/d'.");
    EXPECT_FALSE(DataFromArgument(REG_DWORD, u"-1", u"", &data, &error));
    EXPECT_FALSE(DataFromArgument(REG_DWORD, u"", u"", &data, &error));
    EXPECT_FALSE(DataFromArgument(REG_DWORD, u"0x", u"", &data, &error));
    ASSERT_TRUE(DataFromArgument(REG_QWORD, u"0x0102030405060708", u"", &data, &error));
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 8, 7, 6, 5, 4, 3, 2, 1 }));
    ASSERT_TRUE(DataFromArgument(REG_BINARY, u"00fF10", u"", &data, &error));
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 0x00, 0xFF, 0x10 }));
    EXPECT_FALSE(DataFromArgument(REG_BINARY, u"abc", u"", &data, &error));
    EXPECT_FALSE(DataFromArgument(REG_BINARY, u"zz", u"", &data, &error));
    ASSERT_TRUE(DataFromArgument(REG_SZ, u"hi", u"", &data, &error));
    EXPECT_EQ(data, Bytes(std::u16string(u"hi\0", 3)));
    ASSERT_TRUE(DataFromArgument(REG_MULTI_SZ, u"a\\0bc", u"", &data, &error));
    EXPECT_EQ(data, Bytes(std::u16string(u"a\0bc\0\0", 6)));
    ASSERT_TRUE(DataFromArgument(REG_MULTI_SZ, u"a,b", u",", &data, &error));
    EXPECT_EQ(data, Bytes(std::u16string(u"a\0b\0\0", 5)));
    ASSERT_TRUE(DataFromArgument(REG_MULTI_SZ, u"", u"", &data, &error));
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 0, 0 }));
    EXPECT_FALSE(DataFromArgument(REG_MULTI_SZ, u"a\\0\\0b", u"", &data, &error));
}

TEST(ValueText, DisplayLikeAQuery)
{
    EXPECT_EQ(DisplayData(REG_SZ, Bytes(std::u16string(u"abc\0junk", 8))), u"abc");
    EXPECT_EQ(DisplayData(REG_SZ, Bytes(u"no terminator")), u"no terminator");
    EXPECT_EQ(DisplayData(REG_MULTI_SZ, Bytes(std::u16string(u"a\0b\0\0", 5))), u"a\\0b");
    EXPECT_EQ(DisplayData(REG_DWORD, Dword(255)), u"0xff");
    EXPECT_EQ(DisplayData(REG_DWORD_BIG_ENDIAN, { 0, 0, 1, 0 }), u"0x100");
    EXPECT_EQ(DisplayData(REG_DWORD, { 1, 2 }), u"0102");
    EXPECT_EQ(DisplayData(REG_BINARY, { 0xAB, 0x01 }), u"AB01");
    EXPECT_EQ(DisplayData(REG_QWORD, { 1, 0, 0, 0, 0, 0, 0, 0x10 }), u"0x1000000000000001");
}

} // namespace
