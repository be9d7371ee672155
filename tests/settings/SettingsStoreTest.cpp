#include "SettingsFixture.h"

#include "exchange/Trace.h"

#include <fstream>
#include <iterator>

using namespace settings;

namespace {

const std::u16string kBase = u"SOFTWARE\\Brackenloft\\Quorvane";
const std::u16string kSdfs = kBase + u"\\SDFs";

class SettingsStoreTest : public SettingsFixture { };

TEST_F(SettingsStoreTest, KeysAreBuiltFromTheBaseKey)
{
    EXPECT_EQ(BaseKey(), QStringLiteral("SOFTWARE\\Brackenloft\\Quorvane"));
    EXPECT_EQ(ExtensionsKey(), QStringLiteral("SOFTWARE\\Brackenloft\\Quorvane\\Extensions"));
    EXPECT_EQ(SdfsKey(), QStringLiteral("SOFTWARE\\Brackenloft\\Quorvane\\SDFs"));
    EXPECT_EQ(TooltipsKey(), QStringLiteral("SOFTWARE\\Brackenloft\\Quorvane\\Tooltips"));
}

TEST_F(SettingsStoreTest, TheHiveLiesUnderQuorvaneHome)
{
    ASSERT_TRUE(WriteDword(QStringLiteral("CopyFilesWhen"), 2));
    EXPECT_TRUE(std::filesystem::exists(home_ / "desktop" / "registry" / "data.mdb"));
    // A fresh open (another run of the program) sees the value.
    CloseSettingsHive();
    quint32 value = 0;
    ASSERT_TRUE(ReadDword(QStringLiteral("copyfileswhen"), &value));
    EXPECT_EQ(value, 2u);
}

TEST_F(SettingsStoreTest, ReadingAMissingSettingCreatesTheKeyAndKeepsTheDefault)
{
    EXPECT_FALSE(KeyExists(reg::HKEY_LOCAL_MACHINE, kBase));
    quint32 showFilesizeAs = 1;
    EXPECT_FALSE(ReadDword(QStringLiteral("ShowFilesizeAs"), &showFilesizeAs));
    EXPECT_EQ(showFilesizeAs, 1u);
    EXPECT_TRUE(KeyExists(reg::HKEY_LOCAL_MACHINE, kBase));
    QString text = QStringLiteral("default");
    EXPECT_FALSE(ReadString(QStringLiteral("DefaultDir"), &text));
    EXPECT_EQ(text, QString()); // a missing text reads as empty
    EXPECT_FALSE(ReadDword(reg::HKEY_CURRENT_USER, QStringLiteral("Software\\Microsoft\\Windows CE Services"),
        QStringLiteral("DeviceType"), &showFilesizeAs));
    EXPECT_TRUE(KeyExists(reg::HKEY_CURRENT_USER, u"Software\\Microsoft\\Windows CE Services"));
}

TEST_F(SettingsStoreTest, TypedValuesAreStoredAsTheirRegistryTypes)
{
    ASSERT_TRUE(WriteDword(QStringLiteral("SQLpercent"), 0x01020304));
    ASSERT_TRUE(WriteString(QStringLiteral("DefaultDir"), QStringLiteral("\\My Documents")));
    const unsigned char font[5] = { 1, 0, 0xFF, 0x80, 7 };
    ASSERT_TRUE(WriteBinary(QStringLiteral("Font"), font, 5));
    ASSERT_TRUE(WriteDword(reg::HKEY_LOCAL_MACHINE,
        QStringLiteral("Software\\Microsoft\\Windows CE Services"), QStringLiteral("GuestOnly"), 1));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kBase, u"SQLpercent", &type, &data));
    EXPECT_EQ(type, reg::REG_DWORD);
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 4, 3, 2, 1 }));
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kBase, u"DefaultDir", &type, &data));
    EXPECT_EQ(type, reg::REG_SZ);
    EXPECT_EQ(data, Utf16Bytes(u"\\My Documents")); // the characters, no terminator
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kBase, u"Font", &type, &data));
    EXPECT_EQ(type, reg::REG_BINARY);
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 1, 0, 0xFF, 0x80, 7 }));
    ASSERT_TRUE(Raw(
        reg::HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows CE Services", u"GuestOnly", &type, &data));
    EXPECT_EQ(data, (std::vector<std::uint8_t> { 1, 0, 0, 0 }));

    quint32 value = 0;
    ASSERT_TRUE(ReadDword(QStringLiteral("SQLpercent"), &value));
    EXPECT_EQ(value, 0x01020304u);
    QString text;
    ASSERT_TRUE(ReadString(QStringLiteral("defaultdir"), &text));
    EXPECT_EQ(text, QStringLiteral("\\My Documents"));
    unsigned char back[8] = { 9, 9, 9, 9, 9, 9, 9, 9 };
    quint32 got = 0;
    ASSERT_TRUE(ReadBinary(QStringLiteral("Font"), back, sizeof back, &got));
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(std::vector<unsigned char>(back, back + 8),
        (std::vector<unsigned char> { 1, 0, 0xFF, 0x80, 7, 9, 9, 9 }));
}

TEST_F(SettingsStoreTest, ReadsThatDoNotFitLeaveTheDefault)
{
    const unsigned char two[2] = { 5, 6 };
    ASSERT_TRUE(WriteBinary(QStringLiteral("Short"), two, 2));
    quint32 value = 77;
    EXPECT_FALSE(ReadDword(QStringLiteral("Short"), &value));
    EXPECT_EQ(value, 77u);
    const unsigned char eight[8] = { 1, 2, 3, 4, 5, 6, 7, 8 };
    ASSERT_TRUE(WriteBinary(QStringLiteral("Long"), eight, 8));
    EXPECT_FALSE(ReadDword(QStringLiteral("Long"), &value));
    EXPECT_EQ(value, 77u);
    unsigned char small[4] = { 0, 0, 0, 0 };
    EXPECT_FALSE(ReadBinary(QStringLiteral("Long"), small, 4));
    EXPECT_EQ(std::vector<unsigned char>(small, small + 4), (std::vector<unsigned char> { 0, 0, 0, 0 }));
    EXPECT_FALSE(ReadBinary(QStringLiteral("Missing"), small, 4));
}

TEST_F(SettingsStoreTest, ReadStringTakesAtMost3000BytesUpToTheFirstNul)
{
    QString longText(2000, QLatin1Char('x'));
    ASSERT_TRUE(WriteString(QStringLiteral("Long"), longText));
    QString text;
    ASSERT_TRUE(ReadString(QStringLiteral("Long"), &text));
    EXPECT_EQ(text, QString(1500, QLatin1Char('x')));
    // A value written by another program with a terminator and more after it.
    reg::Hive* hive = SettingsHive();
    std::vector<std::uint8_t> data = Utf16Bytes(std::u16string(u"ab\0cd\0", 6));
    ASSERT_EQ(hive->SetValue(reg::HKEY_LOCAL_MACHINE, kBase, u"Nul", reg::REG_SZ, data.data(), 12),
        reg::ERROR_SUCCESS);
    ASSERT_TRUE(ReadString(QStringLiteral("Nul"), &text));
    EXPECT_EQ(text, QStringLiteral("ab"));
}

TEST_F(SettingsStoreTest, DeleteValueInBothForms)
{
    ASSERT_TRUE(WriteDword(QStringLiteral("RegistryDelete"), 1));
    ASSERT_TRUE(WriteString(ExtensionsKey(), QStringLiteral("txt"), QStringLiteral("1")));
    EXPECT_TRUE(DeleteValue(QStringLiteral("RegistryDelete")));
    EXPECT_FALSE(DeleteValue(QStringLiteral("RegistryDelete")));
    EXPECT_TRUE(DeleteValue(ExtensionsKey(), QStringLiteral("TXT")));
    QString text;
    EXPECT_FALSE(ReadString(reg::HKEY_LOCAL_MACHINE, ExtensionsKey(), QStringLiteral("txt"), &text));
}

TEST_F(SettingsStoreTest, RememberedPasswordsAreScrambledUnderSdfs)
{
    ASSERT_TRUE(SetRememberedPassword(QStringLiteral("\\My Documents\\orders.sdf"), QStringLiteral("pw")));
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kSdfs, u"_My Documents_orders.sdf", &type, &data));
    EXPECT_EQ(type, reg::REG_SZ);
    EXPECT_EQ(data, Utf16Bytes(u"_F~"));
    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\My Documents\\orders.sdf")), QStringLiteral("pw"));
    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\My Documents\\other.sdf")), QString());

    // Characters above 127 survive.
    const QString wide = QStringLiteral("pässwörd€");
    ASSERT_TRUE(SetRememberedPassword(QStringLiteral("\\a.sdf"), wide));
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kSdfs, u"_a.sdf", &type, &data));
    EXPECT_EQ(data, Utf16Bytes(u"_F\u00e4^^~\u00f6Vd\u20a5"));
    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\a.sdf")), wide);

    // A path with no backslash is stored under its own name.
    ASSERT_TRUE(SetRememberedPassword(QStringLiteral("orders.sdf"), QStringLiteral("secret")));
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kSdfs, u"orders.sdf", &type, &data));
    EXPECT_EQ(data, Utf16Bytes(u"_^l\\Vlf"));
    EXPECT_EQ(RememberedPasswordName(QStringLiteral("\\My Documents\\orders.sdf")),
        QStringLiteral("_My Documents_orders.sdf"));

    // A value stored in plain text (no leading "_") is the password itself.
    ASSERT_TRUE(WriteString(SdfsKey(), QStringLiteral("_plain.sdf"), QStringLiteral("open")));
    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\plain.sdf")), QStringLiteral("open"));
}

TEST_F(SettingsStoreTest, StartUpMovesPlainPasswordsButNotEngineSettings)
{
    std::filesystem::path traceFile = home_ / "trace.txt";
    setenv("QUORVANE_TRACE", traceFile.c_str(), 1);
    exchange::ConfigureTrace();
    ASSERT_TRUE(WriteString(QStringLiteral("_My Documents_orders.sdf"), QStringLiteral("Geheim")));
    ASSERT_TRUE(WriteString(QStringLiteral("SQLCE__My Documents_orders.sdf"), QStringLiteral("3")));
    ASSERT_TRUE(WriteDword(QStringLiteral("sqlce__a.sdf"), 2));
    ASSERT_TRUE(WriteString(QStringLiteral("DefaultDir"), QStringLiteral("\\x.sdf"))); // in the data only
    ASSERT_TRUE(WriteString(QStringLiteral("_old.sdf.bak"), QStringLiteral("pw2")));
    ASSERT_TRUE(WriteString(QStringLiteral("Unrelated"), QStringLiteral("keep")));

    EXPECT_EQ(MigrateRememberedPasswords(), 2);
    unsetenv("QUORVANE_TRACE");
    exchange::ConfigureTrace();

    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\My Documents\\orders.sdf")), QStringLiteral("Geheim"));
    std::vector<std::uint8_t> data;
    std::uint32_t type = 0;
    EXPECT_FALSE(Raw(reg::HKEY_LOCAL_MACHINE, kBase, u"_My Documents_orders.sdf", &type, &data));
    // Engine-version settings stay where they are, unchanged.
    ASSERT_TRUE(Raw(reg::HKEY_LOCAL_MACHINE, kBase, u"SQLCE__My Documents_orders.sdf", &type, &data));
    EXPECT_EQ(data, Utf16Bytes(u"3"));
    quint32 version = 0;
    EXPECT_TRUE(ReadDword(QStringLiteral("SQLCE__a.sdf"), &version));
    EXPECT_EQ(version, 2u);
    EXPECT_FALSE(Raw(reg::HKEY_LOCAL_MACHINE, kSdfs, u"SQLCE__My Documents_orders.sdf", &type, &data));
    // Any name holding ".sdf" counts; data does not.
    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\old.sdf.bak")), QStringLiteral("pw2"));
    QString kept;
    EXPECT_TRUE(ReadString(QStringLiteral("DefaultDir"), &kept));
    EXPECT_EQ(kept, QStringLiteral("\\x.sdf"));
    EXPECT_FALSE(Raw(reg::HKEY_LOCAL_MACHINE, kSdfs, u"DefaultDir", &type, &data));
    EXPECT_TRUE(ReadString(QStringLiteral("Unrelated"), &kept));
    EXPECT_EQ(kept, QStringLiteral("keep"));

    std::ifstream in(traceFile, std::ios::binary);
    std::string trace((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(trace.find("File: _My Documents_orders.sdf  Password: (not shown)\r\n"), std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("Geheim"), std::string::npos) << trace;

    // A second start finds nothing more to move and keeps the engine settings.
    EXPECT_EQ(MigrateRememberedPasswords(), 0);
    EXPECT_TRUE(ReadDword(QStringLiteral("SQLCE__a.sdf"), &version));
}

TEST_F(SettingsStoreTest, AnUnusableHiveFailsQuietly)
{
    // The hive's place is taken by a plain file.
    std::filesystem::create_directories(home_ / "desktop");
    std::ofstream(home_ / "desktop" / "registry") << "not a folder";
    CloseSettingsHive();
    EXPECT_EQ(SettingsHive(), nullptr);
    quint32 value = 5;
    EXPECT_FALSE(WriteDword(QStringLiteral("x"), 1));
    EXPECT_FALSE(ReadDword(QStringLiteral("x"), &value));
    EXPECT_EQ(value, 5u);
    QString text = QStringLiteral("old");
    EXPECT_FALSE(ReadString(QStringLiteral("x"), &text));
    EXPECT_EQ(text, QString());
    EXPECT_FALSE(SetRememberedPassword(QStringLiteral("\\a.sdf"), QStringLiteral("pw")));
    EXPECT_EQ(GetRememberedPassword(QStringLiteral("\\a.sdf")), QString());
    EXPECT_EQ(MigrateRememberedPasswords(), 0);
}

} // namespace
