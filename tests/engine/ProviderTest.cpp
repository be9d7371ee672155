// The provider: creation by class identifier, opening and creating databases
// of both engine versions, encryption with a password (checked from outside
// with the sqlite3 and sqlcipher shells), and compaction.
#include "EngineFixture.h"

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace enginetest {
namespace {

using namespace engine;

class ProviderTest : public EngineTest { };

TEST_F(ProviderTest, ProviderIsCreatedOnlyForARegisteredEngineClass)
{
    std::vector<std::u16string> asked;
    auto only30 = [&](std::u16string_view clsid) {
        asked.emplace_back(clsid);
        return clsid == kEngine30Class;
    };
    std::unique_ptr<Provider> p;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateProvider(kEngine20Class, only30, p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(S_OK, CreateProvider(u"{32ce2952-2585-49a6-aeff-1732076c2945}", only30, p));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(3, p->EngineVersion());
    // The registry is asked with the class identifier as the engine spells it.
    EXPECT_EQ(
        (std::vector<std::u16string> { std::u16string(kEngine20Class), std::u16string(kEngine30Class) }),
        asked);
    EXPECT_EQ(
        REGDB_E_CLASSNOTREG, CreateProvider(u"{00000000-0000-0000-0000-000000000000}", AllRegistered, p));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CreateProvider(kEngine20Class, nullptr, p));
    EXPECT_EQ(S_OK, CreateProvider(kEngine20Class, AllRegistered, p));
    EXPECT_EQ(2, p->EngineVersion());
}

TEST_F(ProviderTest, CallsOutOfOrderFailWithoutSideEffects)
{
    auto p = MakeProvider(3);
    std::unique_ptr<Session> s;
    EXPECT_EQ(E_UNEXPECTED, p->CreateSession(s));
    EXPECT_EQ(E_UNEXPECTED, p->Compact(Path("x.sdf")));
    ASSERT_EQ(S_OK, p->SetProperties({ Path("a.sdf"), u"" }));
    ASSERT_EQ(S_OK, p->CreateDataSource());
    EXPECT_EQ(DB_E_ALREADYINITIALIZED, p->Initialize());
    EXPECT_EQ(DB_E_ALREADYINITIALIZED, p->SetProperties({ Path("b.sdf"), u"" }));
    EXPECT_EQ(S_OK, p->Uninitialize());
    EXPECT_EQ(STG_E_FILEALREADYEXISTS, p->CreateDataSource());
    EXPECT_EQ("0x80030050 File already exists. Try using a different database name. [ File name ] ["
            + Path("a.sdf").string() + "]",
        LastError());
    EXPECT_EQ(S_OK, p->Initialize());
}

TEST_F(ProviderTest, CreatedDatabaseRecordsItsEngineVersionInThePlainFileHeader)
{
    CreateDatabase("v2.sdf", 2);
    Exec("CREATE TABLE T (a int)");
    Exec("INSERT INTO T VALUES (7)");
    CreateDatabase("v3.sdf", 3);
    m_session.reset();
    m_provider.reset();
    // Nothing but the two databases is left in the folder (no temporary files).
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(m_dir))
        files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::string> { "v2.sdf", "v3.sdf" }), files);
    std::string out;
    ASSERT_EQ(0,
        RunShell("sqlite3", Path("v2.sdf"), "PRAGMA user_version; PRAGMA application_id; SELECT a FROM T;\n",
            out));
    EXPECT_EQ("2\n1364607813\n7\n", out);
    ASSERT_EQ(0, RunShell("sqlite3", Path("v3.sdf"), "PRAGMA user_version;\n", out));
    EXPECT_EQ("3\n", out);
}

TEST_F(ProviderTest, Engine20RefusesAnEngine30DatabaseAndEngine30OpensBoth)
{
    CreateDatabase("v2.sdf", 2);
    CreateDatabase("v3.sdf", 3);
    EXPECT_EQ(STG_E_INVALIDHEADER, OpenDatabase("v3.sdf", 2));
    std::string error = LastError();
    EXPECT_NE(std::string::npos, error.find("The file is not a valid database file")) << error;
    EXPECT_EQ(S_OK, OpenDatabase("v2.sdf", 2)) << LastError();
    EXPECT_EQ(S_OK, OpenDatabase("v3.sdf", 3)) << LastError();
    EXPECT_EQ(S_OK, OpenDatabase("v2.sdf", 3)) << LastError();
}

TEST_F(ProviderTest, PasswordProtectedDatabaseCannotBeReadWithoutItsKey)
{
    CreateDatabase("secret.sdf", 3, U("pässwort"));
    Exec("CREATE TABLE Secrets (word nvarchar(20))");
    Exec("INSERT INTO Secrets VALUES (N'swordfish')");
    m_session.reset();
    m_provider.reset();

    // The file holds neither the SQLite header nor the data in the clear.
    std::ifstream in(Path("secret.sdf"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(0, bytes.compare(0, 15, "SQLite format 3"));
    EXPECT_EQ(std::string::npos, bytes.find("swordfish"));
    EXPECT_EQ(std::string::npos, bytes.find(std::string("s\0w\0o\0r\0d", 9)));

    std::string out;
    EXPECT_NE(0, RunShell("sqlite3", Path("secret.sdf"), "SELECT * FROM Secrets;\n", out));
    EXPECT_NE(std::string::npos, out.find("file is not a database")) << out;
    EXPECT_NE(0, RunShell("sqlcipher", Path("secret.sdf"), "SELECT * FROM Secrets;\n", out));
    EXPECT_NE(std::string::npos, out.find("file is encrypted or is not a database")) << out;
    EXPECT_NE(
        0, RunShell("sqlcipher", Path("secret.sdf"), "PRAGMA key='wrong';\nSELECT * FROM Secrets;\n", out));
    EXPECT_NE(std::string::npos, out.find("file is encrypted or is not a database")) << out;
    ASSERT_EQ(0,
        RunShell("sqlcipher", Path("secret.sdf"),
            "PRAGMA key='pässwort';\nSELECT word FROM Secrets;\nPRAGMA user_version;\n", out));
    EXPECT_EQ("swordfish\n3\n", out);

    EXPECT_EQ(S_OK, OpenDatabase("secret.sdf", 3, U("pässwort"))) << LastError();
    EXPECT_EQ((Rows { { "swordfish" } }), Query("SELECT * FROM Secrets"));
}

TEST_F(ProviderTest, PlainDatabaseOpensWhateverPasswordIsGiven)
{
    CreateDatabase("plain.sdf", 3);
    Exec("CREATE TABLE T (a int)");
    EXPECT_EQ(S_OK, OpenDatabase("plain.sdf", 3, u"unneeded")) << LastError();
    EXPECT_EQ(0, Exec("INSERT INTO T VALUES (1)") - 1);
}

TEST_F(ProviderTest, CompactionKeepsPasswordVersionAndData)
{
    for (int version : { 2, 3 }) {
        for (std::u16string password : { std::u16string(), std::u16string(u"k3y'\"") }) {
            SCOPED_TRACE("version " + std::to_string(version) + " password '" + S(password) + "'");
            std::string name = "c" + std::to_string(version) + (password.empty() ? "p" : "e");
            CreateDatabase(name + ".sdf", version, password);
            Exec("CREATE TABLE T (id int IDENTITY(10, 10) PRIMARY KEY, d datetime DEFAULT GETDATE(), "
                 "n nvarchar(30) NOT NULL DEFAULT N'x')");
            Exec("CREATE INDEX T_n ON T (n)");
            for (int i = 0; i < 12; ++i)
                Exec("INSERT INTO T (n) VALUES ('row " + std::to_string(i) + "')");
            Exec("DELETE FROM T WHERE id > 30");
            ASSERT_EQ(S_OK, m_provider->Compact(Path(name + ".sdfx"))) << LastError();
            // A stale destination is replaced by a complete copy.
            ASSERT_EQ(S_OK, m_provider->Compact(Path(name + ".sdfx"))) << LastError();
            m_session.reset();
            m_provider.reset();

            EXPECT_EQ(
                password.empty() ? S_OK : DB_SEC_E_AUTH_FAILED, OpenDatabase(name + ".sdfx", version, u""));
            ASSERT_EQ(S_OK, OpenDatabase(name + ".sdfx", version, password)) << LastError();
            EXPECT_EQ((Rows { { "10", "row 0" }, { "20", "row 1" }, { "30", "row 2" } }),
                Query("SELECT id, n FROM T ORDER BY id"));
            TableDefinition d;
            ASSERT_EQ(S_OK, m_session->GetTableDefinition(u"T", d));
            EXPECT_TRUE(d.columns[0].properties[0].boolValue);
            EXPECT_EQ(u"GETDATE()", d.columns[1].properties[1].textValue);
            Exec("INSERT INTO T (n) VALUES ('after')");
            EXPECT_EQ((Rows { { "130" } }), Query("SELECT id FROM T WHERE n = 'after'"));
            if (version == 2)
                EXPECT_EQ(S_OK, OpenDatabase(name + ".sdfx", 2, password));
            else
                EXPECT_EQ(STG_E_INVALIDHEADER, OpenDatabase(name + ".sdfx", 2, password));
        }
    }
}

TEST_F(ProviderTest, CompactionRefusesToOverwriteItsSource)
{
    CreateDatabase("self.sdf", 3);
    EXPECT_EQ(E_INVALIDARG, m_provider->Compact(Path("self.sdf")));
    EXPECT_EQ(E_INVALIDARG, m_provider->Compact(m_dir / "." / "self.sdf"));
    EXPECT_EQ(STG_E_FILENOTFOUND, m_provider->Compact(Path("nowhere/x.sdf")));
    EXPECT_EQ(S_OK, OpenDatabase("self.sdf", 3)) << LastError();
}

TEST_F(ProviderTest, NewFilesGetTheUsualPermissions)
{
    mode_t mask = umask(022);
    CreateDatabase("mode.sdf", 3);
    ASSERT_EQ(S_OK, m_provider->Compact(Path("mode.sdfx")));
    umask(mask);
    for (const char* name : { "mode.sdf", "mode.sdfx" }) {
        auto perms = std::filesystem::status(Path(name)).permissions();
        EXPECT_EQ(std::filesystem::perms(0644), perms & std::filesystem::perms::mask) << name;
    }
}

TEST_F(ProviderTest, SessionOutlivesUninitializedProvider)
{
    CreateDatabase("keep.sdf", 3);
    Exec("CREATE TABLE T (a int)");
    ASSERT_EQ(S_OK, m_provider->Uninitialize());
    EXPECT_EQ(1, Exec("INSERT INTO T VALUES (1)"));
    m_provider.reset();
    EXPECT_EQ((Rows { { "1" } }), Query("SELECT a FROM T"));
}

} // namespace
} // namespace enginetest
